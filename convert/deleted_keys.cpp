// A fixed table of hashes of the deleted keys' names, compared as the
// registry does, without regard to case (here for ASCII letters). A
// collision can only leave a value out, never delete one that stays.
#include "convert/deleted_keys.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace {

constexpr std::uint32_t slots = std::uint32_t{1} << 21;
constexpr std::uint32_t most_keys = slots / 4 * 3;

std::uint64_t hashes[slots];
std::uint32_t key_count;
bool overflowed;

std::uint64_t start(bool under_users)
{
    return under_users ? 0x84222325cbf29ce4 : 0xcbf29ce484222325;
}

std::uint64_t step(std::uint64_t hash, char c)
{
    const char upper = c >= 'a' && c <= 'z' ? static_cast<char>(c - ('a' - 'A')) : c;
    // Zero marks a free slot.
    return ((hash ^ static_cast<unsigned char>(upper)) * 0x100000001b3) | 1;
}

std::uint64_t* slot_of(std::uint64_t hash)
{
    for (std::uint32_t at = static_cast<std::uint32_t>(hash >> 40) % slots;; at = (at + 1) % slots) {
        if (hashes[at] == 0 || hashes[at] == hash)
            return &hashes[at];
    }
}

}  // namespace

void forget_deleted_keys()
{
    if (key_count > 0)
        std::fill(std::begin(hashes), std::end(hashes), 0);
    key_count = 0;
    overflowed = false;
}

void remember_deleted_key(bool under_users, std::string_view path)
{
    std::uint64_t hash = start(under_users);
    for (const char c : path)
        hash = step(hash, c);
    std::uint64_t* slot = slot_of(hash);
    if (*slot != 0)
        return;
    if (key_count == most_keys) {
        overflowed = true;
        return;
    }
    *slot = hash;
    ++key_count;
}

bool deleted_with_a_key(bool under_users, std::string_view text)
{
    if (overflowed)
        return true;
    if (key_count == 0)
        return false;
    std::uint64_t hash = start(under_users);
    for (const char c : text) {
        if (c == '\\' && *slot_of(hash) != 0)
            return true;
        hash = step(hash, c);
    }
    return false;
}
