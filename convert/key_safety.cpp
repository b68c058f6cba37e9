// Keeps what an installation never adds: the roots of hives, the keys of a
// hive loaded between the shots, and Windows' own state.
#include "convert/key_safety.h"

#include <cstdint>

#include "convert/installation_ties.h"
#include "convert/name_hash.h"
#include "convert/report_text.h"
#include "convert/scheduled_tasks.h"
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

// Each scope's locations grouped by their first name, and the groups found
// by that name's hash, so that a key is compared only with the locations
// that begin with its own first name: most keys begin with none of them.
struct FirstNameGroup {
    std::string_view name;
    std::uint8_t count;
    std::uint8_t at[96];
};
constexpr std::size_t most_groups = 32;
FirstNameGroup groups[scope_count][most_groups];
std::uint8_t group_count[scope_count];
constexpr std::uint32_t bucket_count = 2 * most_groups;
std::uint8_t buckets[scope_count][bucket_count];  // a group's index + 1; 0 is free
bool grouped;

// From the name's length and its outer letters, without regard to case:
// every listed key asks, and the groups are few.
std::uint32_t bucket_of(std::string_view name)
{
    if (name.empty())
        return 0;
    const auto folded = [](char c) { return static_cast<std::uint32_t>(static_cast<unsigned char>(c) & 0xDF); };
    const auto length = static_cast<std::uint32_t>(name.size());
    return (length * 7 + folded(name.front()) * 3 + folded(name.back())) % bucket_count;
}

FirstNameGroup* group_of(std::size_t scope, std::string_view key)
{
    const std::string_view name = first_name(key);
    for (std::uint32_t b = bucket_of(name); buckets[scope][b] != 0; b = (b + 1) % bucket_count) {
        FirstNameGroup& group = groups[scope][buckets[scope][b] - 1];
        if (same_text(group.name, name))
            return &group;
    }
    return nullptr;
}

void group_locations()
{
    for (std::size_t scope = 0; scope < scope_count; ++scope) {
        const std::span<const StateLocation> locations = scoped_locations[scope];
        for (std::size_t i = 0; i < locations.size(); ++i) {
            FirstNameGroup* group = group_of(scope, locations[i].path);
            if (group == nullptr) {
                group = &groups[scope][group_count[scope]++];
                group->name = first_name(locations[i].path);
                std::uint32_t b = bucket_of(group->name);
                while (buckets[scope][b] != 0)
                    b = (b + 1) % bucket_count;
                buckets[scope][b] = group_count[scope];
            }
            group->at[group->count++] = static_cast<std::uint8_t>(i);
        }
    }
    grouped = true;
}

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
    if (!grouped)
        group_locations();
    ScopedNames names{};
    scope_names(under_users, path, names);
    for (std::size_t scope = 0; scope < scope_count; ++scope) {
        for (std::string_view below : names[scope]) {
            const FirstNameGroup* group = below.empty() ? nullptr : group_of(scope, below);
            for (std::uint8_t i = 0; group != nullptr && i < group->count; ++i) {
                const StateLocation& location = scoped_locations[scope][group->at[i]];
                std::string_view rest = below;
                if (!strip_key(rest, location.path))
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
    std::uint32_t task = 0;
    if (!under_users && task_part_of_key(key, true, task) != TaskPart::none)
        return {KeptReason::with_task, {}};
    const KeyVerdict state = find_state(under_users, key, name, length);
    return state.reason != KeptReason::none ? state
                                            : tree_verdict(under_users, key, name, length, data, data_length);
}
