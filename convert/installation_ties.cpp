// Ties to the installation, kept as hashes of names: a collision could only
// make an entry active that a listed name already ties, so the tables hold
// full 64-bit hashes and are looked up by exact hash.
#include "convert/installation_ties.h"

#include <string_view>

#include "convert/added_paths.h"
#include "convert/guid_digits.h"
#include "convert/hash_set.h"
#include "convert/name_hash.h"

namespace {

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

// A name of a path. Unlike a string view it is built without being set
// empty first, so that the 64 of a split are not all cleared for a key's
// few: keys of the classes come by the million.
struct Name {
    const char16_t* units;
    std::size_t length;
    operator Units() const { return {units, length}; }
};

// The path's names, split at its backslashes.
struct Names {
    Name name[64];
    std::uint32_t count;
};

Names split(Units path)
{
    // Not zeroed: only the names counted are read.
    Names result;  // NOLINT(cppcoreguidelines-pro-type-member-init)
    result.count = 0;
    std::size_t start = 0;
    for (std::size_t at = 0; at < path.size(); ++at) {
        if (path[at] == u'\\') {
            result.name[result.count++] = {path.data() + start, at - start};
            if (result.count == 64)
                return result;
            start = at + 1;
        }
    }
    result.name[result.count++] = {path.data() + start, path.size() - start};
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
    forget_added_paths();
    names.clear();
    guids.clear();
    own_services.clear();
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
    return names_added_path(text, length) || holds_added_guid(units) || holds_added_name(units);
}
