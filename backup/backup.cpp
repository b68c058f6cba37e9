// The backup before cleaning: where it goes, which keys it holds, what it
// could not save.
#include "backup/backup.h"

#include <cstdio>
#include <cstring>
#include <iterator>

#include "backup/key_export.h"
#include "backup/key_names.h"
#include "backup/script_entries.h"
#include "progress/progress.h"
#include "state/state.h"

namespace {

void note_problem(const char16_t* key, std::uint32_t key_length, const char* reason)
{
    if (backup_problem_count++ >= max_backup_problems_shown)
        return;
    char after[64];
    std::snprintf(after, sizeof after, ": %s", reason);
    append_key_line(backup_problems, sizeof backup_problems, key, key_length, 120, after);
}

const char* reason_for(ExportProblem problem)
{
    switch (problem) {
    case ExportProblem::denied:
        return "access denied";
    case ExportProblem::too_large:
        return "a value too large to save";
    case ExportProblem::too_deep:
        return "subkeys nested too deep";
    case ExportProblem::name_uncarried:
        return "a name with a line break";
    default:
        return "cannot be read";
    }
}

void set_bit(std::uint8_t* bits, std::uint32_t tracked, std::int32_t index)
{
    if (static_cast<std::uint32_t>(index) < tracked)
        bits[index / 8] = static_cast<std::uint8_t>(bits[index / 8] | 1u << (index % 8));
}

// The bit, or `past_tracked` for an index past the bits kept.
bool bit_or(const std::uint8_t* bits, std::uint32_t tracked, std::int32_t index, bool past_tracked)
{
    if (static_cast<std::uint32_t>(index) >= tracked)
        return past_tracked;
    return (bits[index / 8] >> (index % 8) & 1) != 0;
}

// The entry's key in the report's view; why it cannot be read is noted.
RegistryResult open_listed_key(const ScriptEntry& entry, RegistryKey& key)
{
    if (!entry.readable) {
        note_problem(entry.text, entry.text_length, "an entry that cannot be read whole");
        return RegistryResult::failed;
    }
    const RegistryResult opened = open_registry_key(entry.root, entry.path, report_view(), key);
    if (opened != RegistryResult::ok && opened != RegistryResult::absent)
        note_problem(entry.text, entry.text_length,
                     opened == RegistryResult::denied ? "access denied" : "cannot be read");
    return opened;
}

// The last listed key that exists, as the script names it: keys listed
// below it need no name of their own, their tree is saved with its tree.
// RegShot lists a key before its subkeys, so this spares most look-ups; the
// full names decide the rest.
char16_t tree_top[chunk_size + 1];
std::uint32_t tree_top_length;

void remember_tree_top(const ScriptEntry& entry)
{
    std::memcpy(tree_top, entry.text, 2 * std::size_t{entry.text_length});
    tree_top_length = entry.text_length;
}

bool below_tree_top(const ScriptEntry& entry)
{
    return tree_top_length > 0 && entry.text_length > tree_top_length && entry.text[tree_top_length] == u'\\' &&
           same_name(entry.text, tree_top, tree_top_length);
}

// First pass: which keys exist, and the full names of those that do.
void find_listed_keys()
{
    ScriptEntry entry;
    std::uint32_t done = 0;
    for (std::int32_t index = -1; next_script_entry(entry);) {
        if (!advance_progress(CleaningStep::finding, done++)) {
            backup_cancelled = true;
            return;
        }
        if (entry.value)
            continue;
        ++index;
        RegistryKey key = 0;
        const RegistryResult opened = open_listed_key(entry, key);
        if (opened == RegistryResult::absent)
            continue;
        set_bit(key_existed, max_listed_keys_tracked, index);
        if (opened != RegistryResult::ok)
            continue;
        if (!below_tree_top(entry)) {
            remember_key_name(key);
            remember_tree_top(entry);
        }
        close_registry_key(key);
    }
    advance_progress(CleaningStep::finding, done);
}

std::uint32_t saved_count;

// A value, unless the tree of a listed key above it holds it.
void save_listed_value(const ScriptEntry& entry, std::int32_t index)
{
    RegistryKey key = 0;
    const RegistryResult opened = open_listed_key(entry, key);
    if (opened == RegistryResult::absent) {
        set_bit(value_key_absent, max_listed_values_tracked, index);
        return;
    }
    if (opened != RegistryResult::ok) {
        set_bit(value_existed, max_listed_values_tracked, index);
        return;
    }
    bool existed = false;
    if (key_name_held(key)) {
        existed = value_exists(key, entry.value_name);
    } else {
        const ExportProblem problem = export_value(key, entry.value_name, existed);
        if (problem != ExportProblem::none)
            note_problem(entry.text, entry.text_length, reason_for(problem));
        // Setting a value that is not there adds it: opening the backup
        // deletes it again.
        if (!existed && entry.sets)
            export_value_absence(key, entry.value_name);
        saved_count += existed || entry.sets ? 1 : 0;
    }
    if (existed)
        set_bit(value_existed, max_listed_values_tracked, index);
    if (entry.sets && value_holds(key, entry))
        set_bit(value_already_set, max_listed_values_tracked, index);
    close_registry_key(key);
}

// Second pass: each key's tree, unless a listed key above it holds it, and
// each listed value.
void save_listed_keys()
{
    ScriptEntry entry;
    std::int32_t value_index = -1;
    std::uint32_t done = 0;
    for (std::int32_t index = -1; next_script_entry(entry);) {
        if (!advance_progress(CleaningStep::saving, done++)) {
            backup_cancelled = true;
            return;
        }
        if (entry.value) {
            save_listed_value(entry, ++value_index);
            continue;
        }
        ++index;
        if (!entry.readable || !listed_key_existed(index) || below_tree_top(entry))
            continue;
        RegistryKey key = 0;
        if (open_registry_key(entry.root, entry.path, report_view(), key) != RegistryResult::ok)
            continue;
        if (claim_key_name(key)) {
            remember_tree_top(entry);
            ++saved_count;
            const ExportProblem problem = export_key_tree(key, report_view());
            if (problem != ExportProblem::none)
                note_problem(entry.text, entry.text_length, reason_for(problem));
        }
        close_registry_key(key);
    }
    advance_progress(CleaningStep::saving, done);
}

}  // namespace

void append_key_line(char* lines, std::size_t size, const char16_t* key, std::uint32_t length, std::uint32_t width,
                     const char* after)
{
    char name[128];
    const std::uint32_t shown = utf16_to_ansi(key, length, name, width < sizeof name ? width : sizeof name);
    const std::size_t used = std::strlen(lines);
    std::snprintf(lines + used, size - used, "%.*s%s%s\n", static_cast<int>(shown), name, length > shown ? "..." : "",
                  after);
}

// Past the bits kept, a key counts as existing: it is then saved if it
// does, and counted as gone if it is absent afterwards.
bool listed_key_existed(std::int32_t index)
{
    return bit_or(key_existed, max_listed_keys_tracked, index, true);
}

bool listed_value_existed(std::int32_t index)
{
    return bit_or(value_existed, max_listed_values_tracked, index, true);
}

// Past the bits kept, the key counts as having been there: it is left alone.
bool listed_value_key_was_absent(std::int32_t index)
{
    return bit_or(value_key_absent, max_listed_values_tracked, index, false);
}

bool listed_value_already_set(std::int32_t index)
{
    return bit_or(value_already_set, max_listed_values_tracked, index, false);
}

bool value_holds(RegistryKey key, const ScriptEntry& entry)
{
    static char16_t unused_name[1];
    alignas(char16_t) static char data[(std::uint32_t{1} << 16) + 1];
    RegistryValue value{unused_name, 1, 0, 0, data, sizeof data, 0};
    return query_registry_value(key, entry.value_name, value) == RegistryResult::ok && value.type == entry.data_type &&
           value.data_length == entry.data_length && std::memcmp(data, entry.data, entry.data_length) == 0;
}

bool value_exists(RegistryKey key, const char16_t* name)
{
    char16_t unused_name[1];
    char unused_data[1];
    RegistryValue value{unused_name, 1, 0, 0, unused_data, 0, 0};
    return query_registry_value(key, name, value) != RegistryResult::absent;
}

void back_up_listed_keys()
{
    if (!create_backup_file()) {
        backup_problem_count = 1;
        std::snprintf(backup_problems, sizeof backup_problems,
                      "The backup file could not be created, neither in the local application data folder nor in "
                      "the temporary directory.\n");
        return;
    }
    write_backup_header();
    forget_key_names();
    saved_count = 0;
    backup_cancelled = false;
    for (void (*pass)() : {find_listed_keys, save_listed_keys}) {
        if (backup_cancelled || !open_script_entries())
            break;
        tree_top_length = 0;
        pass();
        close_script_entries();
    }
    flush_backup_text();
    if (!close_file(backup_file)) {
        ++backup_problem_count;
        std::snprintf(backup_problems, sizeof backup_problems, "The backup file %s could not be written whole.\n",
                      backup_path);
    }
    backup_file = invalid_file;
    // A file that restores nothing would only suggest that something was saved.
    backup_empty = saved_count == 0 && (backup_problem_count == 0 || backup_cancelled);
    if (backup_empty) {
        delete_file(backup_path);
        backup_path[0] = '\0';
    }
}
