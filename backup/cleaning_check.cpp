// After the registry editor: which listed keys and values are gone or set
// back, for the closing message, and what running programs are told.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "backup/backup.h"
#include "backup/key_names.h"
#include "backup/script_entries.h"
#include "progress/progress.h"
#include "state/state.h"

namespace {

constexpr std::uint32_t names_shown = 5;
constexpr std::uint32_t name_width = 100;

struct Tally {
    std::int32_t listed;
    std::int32_t gone;
    std::int32_t still_there;
    char names[names_shown * (name_width + 8)];
};

Tally keys;
Tally values;
Tally settings;
// Programs read these once: they are told when cleaning changed them.
bool environment_changed;
bool classes_changed;

void count(Tally& tally, bool absent, bool existed, const ScriptEntry& entry)
{
    ++tally.listed;
    if (absent) {
        tally.gone += existed ? 1 : 0;
        return;
    }
    if (static_cast<std::uint32_t>(tally.still_there++) < names_shown) {
        char after[name_width + 8] = "";
        if (entry.value && entry.value_name_length == 0) {
            std::snprintf(after, sizeof after, " : @");
        } else if (entry.value) {
            char name[name_width / 2];
            const std::uint32_t shown = utf16_to_ansi(entry.value_name, entry.value_name_length, name, sizeof name);
            std::snprintf(after, sizeof after, " : \"%.*s%s\"", static_cast<int>(shown), name,
                          entry.value_name_length > shown ? "..." : "");
        }
        append_key_line(tally.names, sizeof tally.names, entry.text, entry.text_length, name_width, after);
    }
}

// The registry editor makes the key of a value's section anew when it is
// missing: such a key, left empty, is removed again.
void remove_key_made_for(const ScriptEntry& entry, std::int32_t index)
{
    if (!entry.readable || !listed_value_key_was_absent(index))
        return;
    RegistryKey key = 0;
    if (open_registry_key(entry.root, entry.path, report_view(), key) != RegistryResult::ok)
        return;
    const bool empty = registry_key_is_empty(key);
    close_registry_key(key);
    if (empty)
        delete_registry_key(entry.root, entry.path, report_view());
}

bool has_name(std::u16string_view path, std::u16string_view name)
{
    for (std::size_t at = 0; at <= path.size(); ++at) {
        const std::size_t end = std::min(path.find(u'\\', at), path.size());
        if (end - at == name.size() && same_name(path.data() + at, name.data(), end - at))
            return true;
        at = end;
    }
    return false;
}

// Whether the entry lies where Windows keeps the environment, or file
// types and classes.
void note_what_changed(const ScriptEntry& entry)
{
    // Views without substr(), which may throw, and would bring the C++
    // library's exceptions into the program.
    const std::u16string_view path(entry.path);
    const std::size_t last = path.rfind(u'\\') + 1;
    const std::u16string_view key(path.data() + last, path.size() - last);
    environment_changed =
        environment_changed || (entry.value && key.size() == 11 && same_name(key.data(), u"Environment", 11));
    const std::u16string_view hive(path.data(), std::min(path.find(u'\\'), path.size()));
    classes_changed = classes_changed || has_name(path, u"Classes") ||
                      (hive.size() > 8 && same_name(hive.data() + hive.size() - 8, u"_Classes", 8));
}

void check_entry(const ScriptEntry& entry, std::int32_t index)
{
    if (entry.value)
        remove_key_made_for(entry, index);
    RegistryKey key = 0;
    const RegistryResult opened =
        entry.readable ? open_registry_key(entry.root, entry.path, report_view(), key) : RegistryResult::failed;
    bool done = !entry.sets && opened == RegistryResult::absent;
    if (opened == RegistryResult::ok) {
        done = entry.sets ? value_holds(key, entry) : entry.value && !value_exists(key, entry.value_name);
        close_registry_key(key);
    }
    // Whether cleaning changed it, rather than finding it done.
    const bool was_to_do = entry.sets    ? !listed_value_already_set(index)
                           : entry.value ? listed_value_existed(index)
                                         : listed_key_existed(index);
    count(entry.sets ? settings : entry.value ? values : keys, done, was_to_do, entry);
    if (done && was_to_do && entry.readable)
        note_what_changed(entry);
}

struct Labels {
    const char* listed;
    const char* done;
    const char* already;
    const char* left;
};
constexpr Labels deletions = {"Listed keys", "Gone", "Already absent", "Still there"};
constexpr Labels value_deletions = {"\nListed values", "Gone", "Already absent", "Still there"};
constexpr Labels value_settings = {"\nValues to set back", "Set back", "Already as before", "Still changed"};

// "Listed keys: 4\nGone: 3\n..." and the first few still there.
void append_tally(char* text, std::size_t size, const Labels& labels, const Tally& tally)
{
    char more[48] = "";
    if (static_cast<std::uint32_t>(tally.still_there) > names_shown)
        std::snprintf(more, sizeof more, "and %u more\n", static_cast<unsigned>(tally.still_there) - names_shown);
    const std::size_t used = std::strlen(text);
    std::snprintf(text + used, size - used, "%s: %d\n%s: %d\n%s: %d\n%s: %d\n%s%s", labels.listed, tally.listed,
                  labels.done, tally.gone, labels.already, tally.listed - tally.gone - tally.still_there, labels.left,
                  tally.still_there, tally.names, more);
}

}  // namespace

std::uint32_t check_cleaning()
{
    if (open_script_entries()) {
        ScriptEntry entry;
        while (next_script_entry(entry)) {
            advance_progress(CleaningStep::checking,
                             static_cast<std::uint32_t>(keys.listed + values.listed + settings.listed));
            check_entry(entry, entry.value ? values.listed + settings.listed : keys.listed);
        }
        close_script_entries();
        advance_progress(CleaningStep::checking,
                         static_cast<std::uint32_t>(keys.listed + values.listed + settings.listed));
    }
    if (environment_changed)
        announce_environment_change();
    if (classes_changed)
        announce_association_change();
    return static_cast<std::uint32_t>(keys.listed + values.listed + settings.listed);
}

void append_cleaning_result(char* text, std::size_t size)
{
    append_tally(text, size, deletions, keys);
    if (values.listed > 0)
        append_tally(text, size, value_deletions, values);
    if (settings.listed > 0)
        append_tally(text, size, value_settings, settings);
}

void append_backup_note(char* text, std::size_t size, bool others_went)
{
    const std::size_t used = std::strlen(text);
    if (backup_empty && keys.listed + values.listed + settings.listed == 0)
        std::snprintf(text + used, size - used, "No backup was written: no registry key or value was listed.");
    else if (backup_empty && keys.gone + values.gone == 0 && !others_went)
        std::snprintf(text + used, size - used,
                      "Nothing was deleted, and nothing needed saving: none of the listed keys was there, so no "
                      "backup was written.");
    else if (backup_empty)
        std::snprintf(text + used, size - used,
                      "No backup was written: none of the listed keys was there when it was taken.");
    else if (backup_path[0] != '\0')
        std::snprintf(text + used, size - used, "Backup: %s\nOpening the backup restores the deleted keys%s%s.",
                      backup_path, values.listed + settings.listed > 0 ? " and values" : "",
                      settings.listed > 0 ? ", and the data of the values set back" : "");
    else
        std::snprintf(text + used, size - used, "No backup was written.");
}

void report_cancelled()
{
    char text[path_size + 160];
    if (backup_path[0] != '\0')
        std::snprintf(text, sizeof text,
                      "Cleaning cancelled: nothing was deleted.\n\nWhat was saved before you cancelled is in the "
                      "backup:\n%s",
                      backup_path);
    else
        std::snprintf(text, sizeof text,
                      "Cleaning cancelled: nothing was deleted.\n\nNothing had been saved yet, so no backup was "
                      "written.");
    prompt_user(text, style_plain);
}
