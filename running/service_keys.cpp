// The installation's services and programs, from the script and the list
// as the user left them: only what they delete leads to anything stopped.
#include "running/service_keys.h"

#include <algorithm>
#include <iterator>

#include "convert/name_hash.h"
#include "files/file_list.h"
#include "files/file_view.h"
#include "state/state.h"

namespace {

constexpr std::uint32_t slots = std::uint32_t{1} << 18;
constexpr std::uint32_t most_files = slots / 4 * 3;

// Hashes of the listed files' full paths, and of their file names.
std::uint64_t paths[slots];
std::uint64_t names[slots];
std::uint32_t file_count_known;
char16_t real[32768];

// Whether the table holds the hash; where it does not, adds it when `add`.
bool probe(std::uint64_t (&table)[slots], std::uint64_t hash, bool add)
{
    for (std::uint32_t at = static_cast<std::uint32_t>(hash >> 40) % slots;; at = (at + 1) % slots) {
        if (table[at] == hash)
            return true;
        if (table[at] != 0)
            continue;
        if (add)
            table[at] = hash;
        return false;
    }
}

bool starts_with(const char16_t* text, std::uint32_t length, const char16_t* head, std::uint32_t head_length)
{
    return length >= head_length && same_name(text, head, head_length);
}

std::uint32_t name_start(const char16_t* path, std::uint32_t length)
{
    std::uint32_t start = length;
    while (start > 0 && path[start - 1] != u'\\')
        --start;
    return start;
}

}  // namespace

std::uint32_t service_key_name(const char16_t* path, std::uint32_t length)
{
    constexpr char16_t system[] = u"SYSTEM\\";
    constexpr char16_t current[] = u"CurrentControlSet\\";
    constexpr char16_t numbered[] = u"ControlSet";
    constexpr char16_t services[] = u"Services\\";
    constexpr std::uint32_t most_name = 256;
    if (!starts_with(path, length, system, 7))
        return 0;
    std::uint32_t at = 7;
    if (starts_with(path + at, length - at, current, 18)) {
        at += 18;
    } else if (starts_with(path + at, length - at, numbered, 10) && length - at > 14 &&
               std::all_of(path + at + 10, path + at + 13,
                           [](char16_t unit) { return unit >= u'0' && unit <= u'9'; }) &&
               path[at + 13] == u'\\') {
        at += 14;
    } else {
        return 0;
    }
    if (!starts_with(path + at, length - at, services, 9))
        return 0;
    at += 9;
    if (at == length || length - at > most_name || std::find(path + at, path + length, u'\\') != path + length)
        return 0;
    return at;
}

bool load_listed_programs()
{
    if (file_count_known > 0) {
        std::fill(std::begin(paths), std::end(paths), 0);
        std::fill(std::begin(names), std::end(names), 0);
    }
    file_count_known = 0;
    if (!files_listed || !open_file_list())
        return false;
    ListEntry entry;
    while (next_list_entry(entry) && file_count_known < most_files) {
        const std::uint32_t length = entry.folder ? 0 : real_path(entry.path, entry.length, real, std::size(real));
        if (length == 0)
            continue;
        ++file_count_known;
        probe(paths, units_hash(real, length), true);
        const std::uint32_t start = name_start(real, length);
        probe(names, units_hash(real + start, length - start), true);
    }
    close_file_list();
    return file_count_known > 0;
}

bool listed_program(const char16_t* path, std::uint32_t length)
{
    return file_count_known > 0 && probe(paths, units_hash(path, length), false);
}

bool listed_program_name(const char16_t* name, std::uint32_t length)
{
    return file_count_known > 0 && probe(names, units_hash(name, length), false);
}

bool listed_service_program(const char16_t* command_line)
{
    const char16_t* path = command_line;
    if (*path == u'"') {
        std::uint32_t length = 1;
        while (path[length] != u'\0' && path[length] != u'"')
            ++length;
        return path[length] == u'"' && listed_program(path + 1, length - 1);
    }
    // The service manager tries each space in turn as the path's end, and
    // the whole line last.
    for (std::uint32_t length = 1;; ++length) {
        if ((path[length] == u' ' || path[length] == u'\0') && listed_program(path, length))
            return true;
        if (path[length] == u'\0')
            return false;
    }
}
