// After the registry editor: which listed keys are gone, and the one message
// that tells the user so.
#include <cstdio>

#include "backup/backup.h"
#include "backup/script_entries.h"
#include "state/state.h"

namespace {

constexpr std::uint32_t names_shown = 5;
constexpr std::uint32_t name_width = 100;

char result_text[1536];
char still_there_names[names_shown * (name_width + 8)];

}  // namespace

void report_cleaning(bool editor_ran)
{
    std::int32_t listed = 0;
    std::int32_t gone = 0;
    std::int32_t still_there = 0;
    if (open_script_entries()) {
        ScriptEntry entry;
        for (; next_script_entry(entry); ++listed) {
            RegistryKey key = 0;
            const RegistryResult opened =
                entry.readable ? open_registry_key(entry.root, entry.path, report_view(), key) : RegistryResult::failed;
            if (opened == RegistryResult::ok)
                close_registry_key(key);
            if (opened == RegistryResult::absent) {
                gone += listed_key_existed(listed) ? 1 : 0;
                continue;
            }
            if (static_cast<std::uint32_t>(still_there++) < names_shown)
                append_key_line(still_there_names, sizeof still_there_names, entry.text, entry.text_length,
                                name_width, "");
        }
        close_script_entries();
    }
    const std::int32_t absent = listed - gone - still_there;
    char more[48] = "";
    if (static_cast<std::uint32_t>(still_there) > names_shown)
        std::snprintf(more, sizeof more, "and %u more\n", static_cast<unsigned>(still_there) - names_shown);
    char backup[path_size + 96];
    if (backup_empty && gone == 0)
        std::snprintf(backup, sizeof backup,
                      "Nothing was deleted, and nothing needed saving: none of the listed keys was there, so no "
                      "backup was written.");
    else if (backup_empty)
        std::snprintf(backup, sizeof backup,
                      "No backup was written: none of the listed keys was there when it was taken.");
    else if (backup_path[0] != '\0')
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
