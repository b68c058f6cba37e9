// An entry's hash is a polynomial modulo 2^61 - 1 at a point drawn at
// random for each run, over symbols that each carry up to seven of the
// entry's bytes: two different entries of n bytes share it with a chance of
// about n / 7 / 2^61, and a program that does not know the point cannot
// make one entry pass for another.
#include "written/entry_hash.h"

#include <algorithm>
#include <cstring>

#include "platform/platform.h"

namespace {

constexpr std::uint64_t prime = (std::uint64_t{1} << 61) - 1;
constexpr std::uint64_t low31 = (std::uint64_t{1} << 31) - 1;
std::uint64_t point;

// Below 2^61 + 8, the same modulo the prime: a hash being built is kept
// so, and reduced fully only when it is finished.
std::uint64_t fold(std::uint64_t value)
{
    return (value & prime) + (value >> 61);
}

std::uint64_t reduce(std::uint64_t value)
{
    value = fold(fold(value));
    return value >= prime ? value - prime : value;
}

// hash * point modulo the prime in 64-bit steps, which 32-bit builds also
// have: 2^61 is 1 there, so the product's parts above it fold back onto
// it. With the hash below 2^61 + 8 and the point below 2^61, the parts
// sum to less than 2^63 + 2^32, so that a symbol below 2^61 joins them
// before the one fold.
std::uint64_t point_high;
std::uint64_t point_low;

std::uint64_t feed(std::uint64_t hash, std::uint64_t symbol)
{
    const std::uint64_t hash_high = hash >> 31;
    const std::uint64_t hash_low = hash & low31;
    const std::uint64_t middle = hash_high * point_low + hash_low * point_high;
    return fold((hash_high * point_high << 1) + (middle >> 30) + ((middle & (low31 >> 1)) << 31) +
                hash_low * point_low + symbol + 1);
}

// Bytes go in seven at a time, as one symbol below the prime that also
// tells how many bytes it carries (1 to 7), so that no run of bytes is fed
// as a mark or as another run.
void flush(EntryHash& hash)
{
    if (hash.pending_count == 0)
        return;
    hash.value = feed(hash.value, hash.pending_count * (std::uint64_t{1} << 56) | hash.pending);
    hash.pending = 0;
    hash.pending_count = 0;
}

// 32 MiB of hashes: scripts of millions of lines. An entry past them is
// not remembered, and so is shown to the user.
constexpr std::uint32_t max_written = std::uint32_t{1} << 22;
std::uint64_t written[max_written];
std::uint32_t written_count;
// Sorted at the first look-up, after the confirmation: a script of millions
// of entries takes a while, and the user should not wait for it before the
// question.
bool sorted;

}  // namespace

void feed_bytes(EntryHash& hash, const char* bytes, std::uint32_t length)
{
    std::uint32_t at = 0;
    while (at < length && hash.pending_count > 0 && hash.pending_count < 7)
        hash.pending |= std::uint64_t{static_cast<unsigned char>(bytes[at++])} << (8 * hash.pending_count++);
    if (hash.pending_count == 7)
        flush(hash);
    for (; at + 8 <= length; at += 7) {
        std::uint64_t word;
        std::memcpy(&word, bytes + at, 8);
        hash.value = feed(hash.value, std::uint64_t{7} << 56 | (word & 0x00FFFFFFFFFFFFFF));
    }
    for (; at < length; ++at) {
        hash.pending |= std::uint64_t{static_cast<unsigned char>(bytes[at])} << (8 * hash.pending_count++);
        if (hash.pending_count == 7)
            flush(hash);
    }
}

void feed_mark(EntryHash& hash, Mark mark)
{
    flush(hash);
    hash.value = feed(hash.value, static_cast<std::uint32_t>(mark));
}

void feed_value(EntryHash& hash, std::uint64_t value)
{
    flush(hash);
    hash.value = feed(hash.value, value);
}

std::uint64_t finished(EntryHash& hash)
{
    flush(hash);
    return reduce(hash.value);
}

void forget_written_entries()
{
    get_random_bytes(&point, sizeof point);
    point = reduce(point);
    point_high = point >> 31;
    point_low = point & low31;
    written_count = 0;
    sorted = true;
}

void remember_entry(std::uint64_t hash)
{
    if (written_count < max_written)
        written[written_count++] = hash;
    sorted = false;
}

bool entry_was_written(std::uint64_t hash)
{
    if (!sorted)
        std::sort(written, written + written_count);
    sorted = true;
    return std::binary_search(written, written + written_count, hash);
}
