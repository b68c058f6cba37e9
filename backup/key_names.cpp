// A fixed table of hashes of full key names, compared as the registry does,
// without regard to case (here for ASCII letters; a name differing only in
// the case of other letters is then written twice, which restores the same).
#include "backup/key_names.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace {

constexpr std::uint32_t key_name_size = 32768;
// Past three quarters full, names are no longer remembered: a key may then
// be written twice, which costs room but restores the same.
constexpr std::uint32_t slots = std::uint32_t{1} << 18;
constexpr std::uint32_t most_names = slots / 4 * 3;
constexpr std::uint64_t claimed = 1;
constexpr std::uint64_t in_use = 2;

std::uint64_t names[slots];
std::uint32_t name_count;
char16_t name[key_name_size];

std::uint64_t* slot_of(std::uint64_t hash)
{
    const std::uint64_t wanted = hash & ~(claimed | in_use);
    for (std::uint32_t at = static_cast<std::uint32_t>(wanted >> 32) % slots;; at = (at + 1) % slots) {
        if (names[at] == 0 || (names[at] & ~(claimed | in_use)) == wanted)
            return &names[at];
    }
}

std::uint64_t* add(std::uint64_t hash)
{
    std::uint64_t* slot = slot_of(hash);
    if (*slot == 0) {
        if (name_count == most_names)
            return nullptr;
        ++name_count;
        *slot = (hash & ~claimed) | in_use;
    }
    return slot;
}

// FNV-1a over the name's units, letters in upper case; calls `at_parent`
// with the hash of each name above the key's own, and returns that.
template <typename AtParent>
std::uint64_t hash_name(RegistryKey key, bool& named, AtParent at_parent)
{
    std::uint32_t length = 0;
    named = get_registry_key_name(key, name, key_name_size, length) == RegistryResult::ok;
    std::uint64_t hash = 14695981039346656037u;
    for (std::uint32_t i = 0; named && i < length; ++i) {
        const char16_t unit = upper_unit(name[i]);
        if (unit == u'\\')
            at_parent(hash);
        hash = (hash ^ unit) * 1099511628211u;
    }
    return hash;
}

}  // namespace

void forget_key_names()
{
    std::fill(std::begin(names), std::end(names), 0);
    name_count = 0;
}

void remember_key_name(RegistryKey key)
{
    bool named = false;
    const std::uint64_t hash = hash_name(key, named, [](std::uint64_t) {});
    if (named)
        add(hash);
}

bool claim_key_name(RegistryKey key)
{
    bool named = false;
    bool held = false;
    const std::uint64_t hash = hash_name(key, named, [&held](std::uint64_t parent) {
        const std::uint64_t* slot = slot_of(parent);
        held = held || *slot != 0;
    });
    if (!named)
        return true;
    if (held)
        return false;
    std::uint64_t* slot = add(hash);
    if (slot == nullptr)
        return true;
    if ((*slot & claimed) != 0)
        return false;
    *slot |= claimed;
    return true;
}

bool key_name_held(RegistryKey key)
{
    bool named = false;
    bool held = false;
    const std::uint64_t hash = hash_name(key, named, [&held](std::uint64_t parent) {
        held = held || *slot_of(parent) != 0;
    });
    return named && (held || *slot_of(hash) != 0);
}
