// Keeps what an installation never adds: the roots of hives, the keys of a
// hive loaded between the shots, and Windows' own state.
#include "convert/key_safety.h"

#include <cstdint>

#include "convert/installation_ties.h"
#include "convert/name_hash.h"
#include "convert/report_text.h"
#include "convert/windows_state.h"
#include "convert/windows_trees.h"
#include "state/state.h"

namespace {

constexpr std::uint32_t max_hives = 4096;
// Hashes of the hive roots listed so far: a collision can only keep a key,
// never delete one.
std::uint64_t listed_hives[max_hives];
std::uint32_t listed_hive_count;

char upper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - ('a' - 'A')) : c;
}

// Once the table is full, every key counts as lying in a listed hive: that
// keeps keys rather than deleting a hive's.
bool hive_listed(std::uint64_t hash)
{
    for (std::uint32_t i = 0; i < listed_hive_count; ++i) {
        if (listed_hives[i] == hash)
            return true;
    }
    return listed_hive_count == max_hives;
}


constexpr std::size_t scope_count = 5;
const std::span<const StateLocation> scoped_locations[scope_count] = {
    windows_state_in(StateScope::machine),      windows_state_in(StateScope::machine_software),
    windows_state_in(StateScope::control_set),  windows_state_in(StateScope::user_software),
    windows_state_in(StateScope::user_classes),
};

// The key's name below each scope's key, in up to two spellings (as the
// 64-bit view names it, and through WOW6432Node); absent where it does not
// lie below it.
using ScopedNames = std::string_view[scope_count][2];

void name_below_software(std::string_view path, std::string_view software, std::string_view (&names)[2])
{
    if (!strip_key(path, software))
        return;
    names[0] = path;
    if (strip_key(path, "WOW6432Node"))
        names[1] = path;
}

void scope_names(bool under_users, std::string_view path, ScopedNames& names)
{
    const auto at = [&names](StateScope scope) -> std::string_view(&)[2] {
        return names[static_cast<std::size_t>(scope)];
    };
    if (!under_users) {
        at(StateScope::machine)[0] = path;
        name_below_software(path, "SOFTWARE", at(StateScope::machine_software));
        if (strip_key(path, "SYSTEM") && is_control_set(first_name(path)))
            at(StateScope::control_set)[0] = below_first_name(path);
        return;
    }
    const std::string_view hive = first_name(path);
    path = below_first_name(path);
    constexpr std::string_view classes_suffix = "_Classes";
    if (hive.size() > classes_suffix.size() &&
        same_text(hive.substr(hive.size() - classes_suffix.size()), classes_suffix)) {
        at(StateScope::user_classes)[0] = path;
        return;
    }
    name_below_software(path, "Software", at(StateScope::user_software));
    if (strip_key(path, "Software\\Classes"))
        at(StateScope::user_classes)[0] = path;
}

bool same_value_name(std::string_view wanted, const char16_t* name, std::uint32_t length)
{
    if (wanted.size() != length)
        return false;
    for (std::uint32_t i = 0; i < length; ++i) {
        if (name[i] >= 0x80 || upper(static_cast<char>(name[i])) != upper(wanted[i]))
            return false;
    }
    return true;
}

// The location of Windows' own state that the key lies in, or, for a value
// (`name` set), that names it.
KeyVerdict find_state(bool under_users, std::string_view path, const char16_t* name, std::uint32_t length)
{
    ScopedNames names{};
    scope_names(under_users, path, names);
    for (std::size_t scope = 0; scope < scope_count; ++scope) {
        for (std::string_view below : names[scope]) {
            if (below.empty())
                continue;
            for (const StateLocation& location : scoped_locations[scope]) {
                // Most keys differ from every location in their first letter.
                std::string_view rest = below;
                if (upper(rest[0]) != upper(location.path[0]) || !strip_key(rest, location.path))
                    continue;
                if (location.value.empty() ||
                    (name != nullptr && rest.empty() && same_value_name(location.value, name, length)))
                    return {KeptReason::windows_state, location.kind};
            }
        }
    }
    return {KeptReason::none, {}};
}

char16_t key_units[chunk_size + 1];

// Inside Windows' own trees only what installers register, and what the
// report ties to the installation, is active; outside, the tools that
// tracked it and per-user service instances are never its own.
KeyVerdict tree_verdict(bool under_users, std::string_view path, const char16_t* name, std::uint32_t length,
                        const char16_t* data, std::uint32_t data_length)
{
    switch (place_of(under_users, path)) {
    case Place::outside:
    case Place::registration:
        return {KeptReason::none, {}};
    case Place::tracking_tool:
        return {KeptReason::tracking_tool, {}};
    case Place::user_service:
        return {KeptReason::windows_state, "per-user service instances"};
    default:
        break;
    }
    const std::uint32_t key_length = units_of_text(path, key_units, chunk_size);
    if ((key_length > 0 && tied_to_installation(key_units, key_length)) ||
        (name != nullptr && tied_to_installation(name, length)) ||
        (data != nullptr && tied_to_installation(data, data_length)))
        return {KeptReason::none, {}};
    return {KeptReason::untied, {}};
}

}  // namespace

void forget_listed_hives()
{
    listed_hive_count = 0;
}

KeyVerdict classify_listed_key(bool under_users, std::string_view path)
{
    const std::string_view hive = first_name(path);
    if (hive.size() == path.size()) {
        const std::uint64_t hash = name_hash(under_users, hive);
        if (!hive_listed(hash))
            listed_hives[listed_hive_count++] = hash;
        return {KeptReason::hive_root, {}};
    }
    if (listed_hive_count > 0 && hive_listed(name_hash(under_users, hive)))
        return {KeptReason::in_loaded_hive, {}};
    const KeyVerdict state = find_state(under_users, path, nullptr, 0);
    return state.reason != KeptReason::none ? state : tree_verdict(under_users, path, nullptr, 0, nullptr, 0);
}

// A value's key was there before the installation: it is kept only as a key
// of a hive listed as added, not as the root of one.
KeyVerdict classify_listed_value(bool under_users, std::string_view key, const char16_t* name, std::uint32_t length,
                                 const char16_t* data, std::uint32_t data_length)
{
    if (listed_hive_count > 0 && hive_listed(name_hash(under_users, first_name(key))))
        return {KeptReason::in_loaded_hive, {}};
    const KeyVerdict state = find_state(under_users, key, name, length);
    return state.reason != KeptReason::none ? state
                                            : tree_verdict(under_users, key, name, length, data, data_length);
}
