// A fixed table of hashes of the deleted keys' names, compared as the
// registry does, without regard to case (here for ASCII letters). A
// collision can only leave a value out, never delete one that stays.
#include "convert/deleted_keys.h"

#include <algorithm>
#include <cstring>
#include <cstdint>
#include <iterator>

namespace {

constexpr std::uint32_t slots = std::uint32_t{1} << 21;
constexpr std::uint32_t most_keys = slots / 4 * 3;

std::uint64_t hashes[slots];
std::uint32_t key_count;
bool overflowed;
// The hashes last remembered, whose slots are fetched into the cache while
// the next lines are read: the table is far larger than the cache.
constexpr std::uint32_t pending_size = 8;
std::uint64_t pending[pending_size];
std::uint32_t pending_at;

// ASCII letters in upper case, eight bytes at a time: a report holds
// millions of keys.
std::uint64_t upper_case(std::uint64_t word)
{
    constexpr std::uint64_t high_bits = 0x8080808080808080;
    const std::uint64_t low_seven = word & 0x7F7F7F7F7F7F7F7F;
    const std::uint64_t from_a = low_seven + 0x1F1F1F1F1F1F1F1F;   // high bit from 'a' (0x61) up
    const std::uint64_t after_z = low_seven + 0x0505050505050505;  // high bit from '{' (0x7B) up
    return word - ((from_a & ~after_z & ~word & high_bits) >> 2);
}

std::uint64_t mix(std::uint64_t hash, std::uint64_t word)
{
    hash = (hash ^ word) * 0x9E3779B97F4A7C15;
    return hash ^ (hash >> 29);
}

// Zero marks a free slot.
std::uint64_t hash_of(bool under_users, const char* text, std::size_t length)
{
    std::uint64_t hash = mix(under_users ? 0x84222325cbf29ce4 : 0xcbf29ce484222325, length);
    std::size_t at = 0;
    for (; at + 8 <= length; at += 8) {
        std::uint64_t word;
        std::memcpy(&word, text + at, 8);
        hash = mix(hash, upper_case(word));
    }
    std::uint64_t rest = 0;
    std::memcpy(&rest, text + at, length - at);
    return mix(hash, upper_case(rest)) | 1;
}

std::uint32_t home_of(std::uint64_t hash)
{
    return static_cast<std::uint32_t>(hash >> 40) % slots;
}

std::uint64_t* slot_of(std::uint64_t hash)
{
    for (std::uint32_t at = home_of(hash);; at = (at + 1) % slots) {
        if (hashes[at] == 0 || hashes[at] == hash)
            return &hashes[at];
    }
}

void settle(std::uint64_t hash)
{
    if (hash == 0)
        return;
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

void settle_pending()
{
    for (std::uint64_t& hash : pending) {
        settle(hash);
        hash = 0;
    }
}

}  // namespace

void forget_deleted_keys()
{
    std::fill(std::begin(pending), std::end(pending), 0);
    if (key_count > 0)
        std::fill(std::begin(hashes), std::end(hashes), 0);
    key_count = 0;
    overflowed = false;
}

void remember_deleted_key(bool under_users, std::string_view path)
{
    const std::uint64_t hash = hash_of(under_users, path.data(), path.size());
    __builtin_prefetch(&hashes[home_of(hash)], 1);
    pending_at = (pending_at + 1) % pending_size;
    settle(pending[pending_at]);
    pending[pending_at] = hash;
}

bool deleted_with_a_key(bool under_users, std::string_view text)
{
    settle_pending();
    if (overflowed)
        return true;
    if (key_count == 0)
        return false;
    for (std::size_t at = text.find('\\'); at != std::string_view::npos; at = text.find('\\', at + 1)) {
        if (*slot_of(hash_of(under_users, text.data(), at)) != 0)
            return true;
    }
    return false;
}
