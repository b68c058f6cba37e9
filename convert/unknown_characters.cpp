// Names with '?' matched against the registry: a candidate fits when the
// code page turns its real name into exactly the report's bytes, as it did
// for RegShot's ANSI build.
#include "convert/unknown_characters.h"

#include <cstring>

#include "state/state.h"

namespace {

constexpr std::uint32_t name_capacity = 16384;

char16_t work[chunk_size + 1];
char16_t candidate[name_capacity];
char pattern_bytes[name_capacity * 2];
char candidate_bytes[name_capacity * 2];
char16_t fitting_key[chunk_size + 1];
std::uint32_t fitting_key_length;
char16_t fitting_name[name_capacity];
std::uint32_t fitting_name_length;
alignas(char16_t) char value_data[std::uint32_t{1} << 16];

bool reads_as(const char16_t* name, std::uint32_t length, const char16_t* pattern, std::uint32_t pattern_length)
{
    const std::uint32_t wanted = utf16_to_ansi(pattern, pattern_length, pattern_bytes, sizeof pattern_bytes);
    const std::uint32_t got = utf16_to_ansi(name, length, candidate_bytes, sizeof candidate_bytes);
    return wanted == got && std::memcmp(pattern_bytes, candidate_bytes, wanted) == 0;
}

bool has_mark(const char16_t* units, std::uint32_t length)
{
    for (std::uint32_t i = 0; i < length; ++i) {
        if (units[i] == u'?')
            return true;
    }
    return false;
}

struct Walk {
    RegistryRoot root;
    const char16_t* path;
    std::uint32_t length;
    std::uint32_t found;
    bool unreadable;
};

void record(Walk& walk, std::uint32_t used)
{
    if (walk.found++ == 0) {
        std::memcpy(fitting_key, work, 2 * std::size_t{used});
        fitting_key_length = used;
        fitting_key[used] = u'\0';
    }
}

// The names from `at` on, below the key that work[0, used) names.
void walk_names(Walk& walk, std::uint32_t at, std::uint32_t used)
{
    std::uint32_t end = at;
    while (end < walk.length && walk.path[end] != u'\\')
        ++end;
    const std::uint32_t separator = used > 0 ? 1 : 0;
    if (used + separator + (end - at) > chunk_size || walk.found >= 2)
        return;
    if (!has_mark(walk.path + at, end - at)) {
        if (separator != 0)
            work[used] = u'\\';
        std::memcpy(work + used + separator, walk.path + at, 2 * std::size_t{end - at});
        const std::uint32_t now = used + separator + (end - at);
        work[now] = u'\0';
        if (end < walk.length)
            return walk_names(walk, end + 1, now);
        RegistryKey key = 0;
        const RegistryResult opened = open_registry_key(walk.root, work, report_view(), key);
        if (opened == RegistryResult::ok) {
            close_registry_key(key);
            record(walk, now);
        } else if (opened != RegistryResult::absent) {
            walk.unreadable = true;
        }
        return;
    }
    work[used] = u'\0';
    RegistryKey parent = 0;
    const RegistryResult opened = open_registry_key(walk.root, work, report_view(), parent);
    if (opened != RegistryResult::ok) {
        walk.unreadable = walk.unreadable || opened != RegistryResult::absent;
        return;
    }
    for (std::uint32_t index = 0; walk.found < 2; ++index) {
        const RegistryResult next = enum_registry_subkey(parent, index, candidate, name_capacity);
        if (next == RegistryResult::no_more)
            break;
        if (next != RegistryResult::ok) {
            walk.unreadable = true;
            break;
        }
        std::uint32_t count = 0;
        while (candidate[count] != u'\0')
            ++count;
        if (!reads_as(candidate, count, walk.path + at, end - at) || used + separator + count > chunk_size)
            continue;
        if (separator != 0)
            work[used] = u'\\';
        std::memcpy(work + used + separator, candidate, 2 * std::size_t{count});
        const std::uint32_t now = used + separator + count;
        work[now] = u'\0';
        if (end < walk.length)
            walk_names(walk, end + 1, now);
        else
            record(walk, now);
    }
    close_registry_key(parent);
}

Fitting fitting_of(std::uint32_t found, bool unreadable)
{
    if (unreadable)
        return Fitting::unreadable;
    return found == 0 ? Fitting::none : found == 1 ? Fitting::one : Fitting::several;
}

// Values of the key whose names read as the pattern; the first one's name
// into fitting_name.
std::uint32_t matching_values(RegistryKey key, const char16_t* name, std::uint32_t length, bool& unreadable)
{
    std::uint32_t found = 0;
    for (std::uint32_t index = 0; found < 2; ++index) {
        RegistryValue value{candidate, name_capacity, 0, 0, value_data, sizeof value_data, 0};
        const RegistryResult next = enum_registry_value(key, index, value);
        if (next == RegistryResult::no_more)
            break;
        // A name that cannot be read whole may be the one: keep the line.
        if (next != RegistryResult::ok) {
            unreadable = true;
            break;
        }
        if (value.name_length >= name_capacity || !reads_as(candidate, value.name_length, name, length))
            continue;
        if (found++ == 0) {
            std::memcpy(fitting_name, candidate, 2 * std::size_t{value.name_length});
            fitting_name_length = value.name_length;
        }
    }
    return found;
}

}  // namespace

bool names_unknown_character(const char16_t* units, std::uint32_t path, std::uint32_t length)
{
    if (report_encoding != ReportEncoding::ansi)
        return false;
    std::uint32_t end = path;
    while (end + 1 < length && !(units[end] == u':' && units[end + 1] == u' '))
        ++end;
    return has_mark(units + path, end - path);
}

const char* unmatched_reason(Fitting fitting)
{
    switch (fitting) {
    case Fitting::none:
        return "nothing in the registry now reads as its name, where '?' stands for a character the report's code "
               "page lacks";
    case Fitting::several:
        return "more than one name in the registry reads as its name, where '?' stands for a character the "
               "report's code page lacks";
    default:
        return "the registry cannot tell what its name with '?' stands for";
    }
}

Fitting match_key(RegistryRoot root, const char16_t* path, std::uint32_t length, char16_t* real,
                  std::uint32_t capacity, std::uint32_t& real_length)
{
    Walk walk{root, path, length, 0, false};
    walk_names(walk, 0, 0);
    const Fitting fitting = fitting_of(walk.found, walk.unreadable);
    if (fitting == Fitting::one) {
        if (fitting_key_length + 1 > capacity)
            return Fitting::unreadable;
        std::memcpy(real, fitting_key, 2 * std::size_t{fitting_key_length + 1});
        real_length = fitting_key_length;
    }
    return fitting;
}

Fitting match_value_line(RegistryRoot root, char16_t* units, std::uint32_t path, std::uint32_t& length,
                         std::uint32_t capacity, std::uint32_t& old_end, std::uint32_t& new_end)
{
    std::uint32_t found = 0;
    bool unreadable = false;
    static char16_t key_real[chunk_size + 1];
    static char16_t name_real[name_capacity];
    std::uint32_t key_real_length = 0;
    std::uint32_t name_real_length = 0;
    std::uint32_t colon_found = 0;
    for (std::uint32_t slash = path; slash < length && found < 2; ++slash) {
        if (units[slash] != u'\\')
            continue;
        Walk walk{root, units + path, slash - path, 0, false};
        walk_names(walk, 0, 0);
        unreadable = unreadable || walk.unreadable;
        if (walk.found != 1)
            continue;
        RegistryKey key = 0;
        if (open_registry_key(root, fitting_key, report_view(), key) != RegistryResult::ok)
            continue;
        for (std::uint32_t colon = slash + 1; colon + 1 < length && found < 2; ++colon) {
            if (units[colon] != u':' || units[colon + 1] != u' ')
                continue;
            const std::uint32_t matches = matching_values(key, units + slash + 1, colon - slash - 1, unreadable);
            if (matches == 0)
                continue;
            if (found == 0) {
                std::memcpy(key_real, fitting_key, 2 * std::size_t{fitting_key_length});
                key_real_length = fitting_key_length;
                std::memcpy(name_real, fitting_name, 2 * std::size_t{fitting_name_length});
                name_real_length = fitting_name_length;
                colon_found = colon;
            }
            found += matches;
        }
        close_registry_key(key);
    }
    const Fitting fitting = fitting_of(found, unreadable && found == 0);
    if (fitting != Fitting::one)
        return fitting;
    const std::uint32_t rest = length - colon_found;
    const std::uint32_t end = path + key_real_length + 1 + name_real_length;
    if (end + rest > capacity)
        return Fitting::unreadable;
    std::memmove(units + end, units + colon_found, 2 * std::size_t{rest});
    std::memcpy(units + path, key_real, 2 * std::size_t{key_real_length});
    units[path + key_real_length] = u'\\';
    std::memcpy(units + path + key_real_length + 1, name_real, 2 * std::size_t{name_real_length});
    old_end = colon_found;
    new_end = end;
    length = end + rest;
    return Fitting::one;
}
