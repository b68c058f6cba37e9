// Ties to the installation, kept as hashes of names: a collision could only
// make an entry active that a listed name already ties, so the tables hold
// full 64-bit hashes and are looked up by exact hash.
#include "convert/installation_ties.h"

#include <cstring>
#include <string_view>

#include "convert/guid_digits.h"
#include "convert/name_hash.h"
#include "state/state.h"

namespace {

constexpr std::uint32_t table_size = std::uint32_t{1} << 15;

struct HashSet {
    std::uint64_t slots[table_size];
    std::uint32_t used;

    // A full table takes no more: fewer ties keep more entries.
    void add(std::uint64_t hash)
    {
        if (used >= table_size / 2)
            return;
        for (std::uint32_t at = static_cast<std::uint32_t>(hash) & (table_size - 1);; at = (at + 1) & (table_size - 1)) {
            if (slots[at] == hash)
                return;
            if (slots[at] == 0) {
                slots[at] = hash;
                ++used;
                return;
            }
        }
    }
    bool has(std::uint64_t hash) const
    {
        if (used == 0)
            return false;
        for (std::uint32_t at = static_cast<std::uint32_t>(hash) & (table_size - 1);; at = (at + 1) & (table_size - 1)) {
            if (slots[at] == hash)
                return true;
            if (slots[at] == 0)
                return false;
        }
    }
    void clear()
    {
        for (std::uint64_t& slot : slots)
            slot = 0;
        used = 0;
    }
};

HashSet added_paths;  // files and folders, without a closing backslash
HashSet names;        // ProgIDs, file types and services
HashSet guids;        // as their 32 digits
HashSet own_services;

// Short names such as "Data" stand in Windows' own keys too: only a name
// long enough to be the installation's own ties.
constexpr std::uint32_t shortest_name = 5;

using Units = std::u16string_view;

bool same(Units a, std::u16string_view b)
{
    return a.size() == b.size() && same_name(a.data(), b.data(), static_cast<std::uint32_t>(a.size()));
}

std::uint64_t digits_hash(const char16_t (&digits)[32])
{
    return units_hash(digits, 32);
}

// The path's names, split at its backslashes.
struct Names {
    Units name[64];
    std::uint32_t count;
};

Names split(Units path)
{
    // Not zeroed: only the names counted are read, and a key has few.
    Names result;  // NOLINT(cppcoreguidelines-pro-type-member-init)
    result.count = 0;
    std::size_t start = 0;
    // One pass over the units: keys of the classes come by the million.
    for (std::size_t at = 0; at < path.size(); ++at) {
        if (path[at] == u'\\') {
            result.name[result.count++] = Units(path.data() + start, at - start);
            if (result.count == 64)
                return result;
            start = at + 1;
        }
    }
    result.name[result.count++] = Units(path.data() + start, path.size() - start);
    return result;
}

bool is_control_set(Units name)
{
    if (same(name, u"CurrentControlSet"))
        return true;
    if (name.size() != 13 || !same(Units(name.data(), 10), u"ControlSet"))
        return false;
    return name.find_first_not_of(u"0123456789", 10) == Units::npos;
}

void note_name(Units name)
{
    if (name.size() >= shortest_name)
        names.add(units_hash(name.data(), static_cast<std::uint32_t>(name.size())));
}

void note_guid(Units name)
{
    char16_t digits[32];
    if (guid_digits(name.data(), static_cast<std::uint32_t>(name.size()), digits))
        guids.add(digits_hash(digits));
}

// Classes\NAME: a ProgID or file type; Classes\CLSID\{...} and the like.
void note_class(const Names& names_of, std::uint32_t classes)
{
    const std::uint32_t below = names_of.count - classes - 1;
    Units first = names_of.name[classes + 1];
    std::uint32_t at = classes + 1;
    if (same(first, u"Wow6432Node") && below >= 2) {
        first = names_of.name[++at];
    }
    const std::uint32_t rest = names_of.count - at - 1;
    if (rest == 0) {
        if (!first.empty() && first[0] != u'{')
            note_name(first);
        return;
    }
    if (rest == 1 && (same(first, u"CLSID") || same(first, u"AppID") || same(first, u"TypeLib") ||
                      same(first, u"Interface")))
        note_guid(names_of.name[at + 1]);
    if (rest == 2 && same(first, u"Installer"))
        note_guid(names_of.name[at + 2]);
}

// Folders that Windows and other programs make between any two shots:
// one made there ties nothing.
constexpr std::u16string_view busy_folders[] = {
    u"\\Windows\\",
    u"\\ProgramData\\Microsoft\\",
    u"\\AppData\\Local\\Microsoft\\",
    u"\\AppData\\Roaming\\Microsoft\\",
    u"\\AppData\\LocalLow\\",
    u"\\AppData\\Local\\Packages\\",
    u"\\Temp\\",
    u"\\$Recycle.Bin\\",
    u"\\System Volume Information\\",
};

char16_t folder_path[chunk_size + 1];

bool holds(Units text, std::u16string_view part)
{
    for (std::size_t at = 0; at + part.size() <= text.size(); ++at) {
        if (same(Units(text.data() + at, part.size()), part))
            return true;
    }
    return false;
}

// A folder made on disk between the two shots, where no program but the
// installation makes folders: it ties even where RegShot scanned no folder.
bool made_between_shots(Units folder)
{
    if (!shot_times_known || folder.size() + 1 > chunk_size || folder.size() <= 3)
        return false;
    std::memcpy(folder_path, folder.data(), 2 * folder.size());
    folder_path[folder.size()] = u'\\';
    const Units with_separator(folder_path, folder.size() + 1);
    for (const std::u16string_view busy : busy_folders) {
        if (holds(with_separator, busy))
            return false;
    }
    folder_path[folder.size()] = u'\0';
    std::int64_t made = 0;
    return get_folder_creation(folder_path, made) == FileResult::ok && made >= shot_seconds[0] &&
           made <= shot_seconds[1];
}

// A path into a listed file or folder, or into a folder made between the
// shots: each "X:\" starts one, which may go on past spaces.
bool names_added_path(Units text)
{
    if (added_paths.used == 0 && !shot_times_known)
        return false;
    for (std::size_t start = 0; start + 3 <= text.size(); ++start) {
        const char16_t letter = upper_unit(text[start]);
        if (letter < u'A' || letter > u'Z' || text[start + 1] != u':' || text[start + 2] != u'\\')
            continue;
        for (std::size_t end = start + 3; end <= text.size(); ++end) {
            const char16_t unit = end < text.size() ? text[end] : u'\0';
            const bool ends = unit == u'\0' || unit == u'"' || unit == u',' || unit == u';' || unit == u'|';
            if ((ends || unit == u'\\' || unit == u' ') &&
                added_paths.has(units_hash(text.data() + start, static_cast<std::uint32_t>(end - start))))
                return true;
            if (unit == u'\\' && made_between_shots(Units(text.data() + start, end - start)))
                return true;
            if (ends)
                break;
        }
    }
    return false;
}

bool holds_added_guid(Units text)
{
    if (guids.used == 0)
        return false;
    char16_t digits[32];
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == u'{' && at + 38 <= text.size() && guid_digits(text.data() + at, 38, digits) &&
            guids.has(digits_hash(digits)))
            return true;
        if (!hex_unit(text[at]) || (at > 0 && hex_unit(text[at - 1])))
            continue;
        std::size_t end = at;
        while (end < text.size() && hex_unit(text[end]))
            ++end;
        if (end - at == 32 && guid_digits(text.data() + at, 32, digits) && guids.has(digits_hash(digits)))
            return true;
    }
    return false;
}

bool holds_added_name(Units text)
{
    if (names.used == 0)
        return false;
    if (text.size() >= 2 && text.front() == u'"' && text.back() == u'"')
        text = Units(text.data() + 1, text.size() - 2);
    const Names parts = split(text);
    for (std::uint32_t i = 0; i < parts.count; ++i) {
        const Units name = parts.name[i];
        if (name.size() >= shortest_name && names.has(units_hash(name.data(), static_cast<std::uint32_t>(name.size()))))
            return true;
    }
    return false;
}

}  // namespace

void forget_installation_ties()
{
    added_paths.clear();
    names.clear();
    guids.clear();
    own_services.clear();
}

void note_added_path(const char16_t* path, std::uint32_t length)
{
    while (length > 3 && path[length - 1] == u'\\')
        --length;
    added_paths.add(units_hash(path, length));
}

void note_added_key(bool under_users, const char16_t* path, std::uint32_t length, bool active)
{
    const Names parts = split({path, length});
    const std::uint32_t last = parts.count - 1;
    if (!under_users && parts.count == 4 && same(parts.name[0], u"SYSTEM") && is_control_set(parts.name[1]) &&
        same(parts.name[2], u"Services")) {
        const Units service = parts.name[3];
        own_services.add(units_hash(service.data(), static_cast<std::uint32_t>(service.size())));
        note_name(service);
        return;
    }
    if (!active)
        return;
    for (std::uint32_t i = 0; i < last; ++i) {
        if (same(parts.name[i], u"Classes")) {
            note_class(parts, i);
            return;
        }
    }
    if (last >= 1 && same(parts.name[last - 1], u"Uninstall"))
        note_guid(parts.name[last]);
    // Windows Installer's records: Products, Features, Components and
    // UpgradeCodes below an Installer key, packed.
    for (std::uint32_t i = 0; i + 1 < last; ++i) {
        if (same(parts.name[i], u"Installer")) {
            note_guid(parts.name[last]);
            return;
        }
    }
}

bool service_of_installation(const char16_t* name, std::uint32_t length)
{
    return own_services.has(units_hash(name, length));
}

bool tied_to_installation(const char16_t* text, std::uint32_t length)
{
    const Units units(text, length);
    return names_added_path(units) || holds_added_guid(units) || holds_added_name(units);
}
