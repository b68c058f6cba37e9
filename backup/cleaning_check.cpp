// After the registry editor: which listed keys are gone, and the one message
// that tells the user so.
#include <cstdio>
#include <cstring>

#include "backup/backup.h"
#include "backup/script_entries.h"
#include "state/state.h"

namespace {

constexpr std::uint32_t names_shown = 5;
constexpr int name_width = 100;

char result_text[1536];
char still_there_names[names_shown * (name_width + 8)];

void add_name(const ScriptEntry& entry)
{
    char name[name_width + 1];
    const std::uint32_t length = utf16_to_ansi(entry.text, entry.text_length, name, name_width);
    const std::size_t used = std::strlen(still_there_names);
    std::snprintf(still_there_names + used, sizeof still_there_names - used, "%.*s%s\n", static_cast<int>(length),
                  name, entry.text_length > length ? "..." : "");
}

}  // namespace

void report_cleaning(bool editor_ran)
{
    std::int32_t listed = 0;
    std::int32_t gone = 0;
    std::int32_t still_there = 0;
    const RegistryView view = report_from_x64 ? RegistryView::bits64 : RegistryView::bits32;
    if (open_script_entries()) {
        ScriptEntry entry;
        for (; next_script_entry(entry); ++listed) {
            RegistryKey key = 0;
            const RegistryResult opened =
                entry.readable ? open_registry_key(entry.root, entry.path, view, key) : RegistryResult::failed;
            if (opened == RegistryResult::ok)
                close_registry_key(key);
            if (opened == RegistryResult::absent) {
                gone += listed_key_existed(listed) ? 1 : 0;
                continue;
            }
            if (static_cast<std::uint32_t>(still_there++) < names_shown)
                add_name(entry);
        }
        close_script_entries();
    }
    const std::int32_t absent = listed - gone - still_there;
    char more[48] = "";
    if (static_cast<std::uint32_t>(still_there) > names_shown)
        std::snprintf(more, sizeof more, "and %u more\n", static_cast<unsigned>(still_there) - names_shown);
    char backup[path_size + 96];
    if (backup_path[0] != '\0')
        std::snprintf(backup, sizeof backup, "Backup: %s\nOpening the backup restores the deleted keys.", backup_path);
    else
        std::snprintf(backup, sizeof backup, "No backup was written.");
    std::snprintf(result_text, sizeof result_text,
                  "%s\n\n"
                  "Listed keys: %d\n"
                  "Gone: %d\n"
                  "Already absent: %d\n"
                  "Still there: %d\n"
                  "%s%s\n"
                  "%s",
                  editor_ran ? "Cleaning finished." : "The registry editor could not be started.", listed, gone,
                  absent, still_there, still_there_names, more, backup);
    prompt_user(result_text, style_plain);
}
