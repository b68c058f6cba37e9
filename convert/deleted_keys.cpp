// A fixed table of hashes of the deleted keys' names, compared as the
// registry does, without regard to case (here for ASCII letters). A
// collision can only leave a value out, never delete one that stays.
#include "convert/deleted_keys.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "convert/name_hash.h"
#include "convert/report_text.h"
#include "convert/windows_trees.h"
#include "state/state.h"

namespace {

// The table is cut into regions by a hash's top bits. While the keys are
// listed, each hash is only appended to its region's front, so that the
// writes stay in a few hot lines; at the first look-up each region, small
// enough for the cache, is made a table of its own. Set into the large
// table one by one, every key cost a miss of the cache.
constexpr std::uint32_t region_bits = 8;
constexpr std::uint32_t regions = std::uint32_t{1} << region_bits;
constexpr std::uint32_t region_slots = std::uint32_t{1} << 13;
constexpr std::uint32_t most_in_region = region_slots / 5 * 4;

std::uint64_t hashes[regions * region_slots];
// The hashes in each region: packed at its front until the regions are
// made tables, then spread over it.
std::uint32_t in_region[regions];
std::uint64_t region_copy[most_in_region];
std::uint32_t remembered_count;
bool tabled;
bool overflowed;

std::uint32_t region_of(std::uint64_t hash)
{
    return static_cast<std::uint32_t>(hash >> (64 - region_bits));
}

std::uint64_t* slot_of(std::uint64_t hash)
{
    std::uint64_t* const region = hashes + std::size_t{region_of(hash)} * region_slots;
    for (auto at = static_cast<std::uint32_t>(hash >> 40) % region_slots;; at = (at + 1) % region_slots) {
        if (region[at] == 0 || region[at] == hash)
            return &region[at];
    }
}

// A full region takes no more: from then on every value counts as going
// with a deleted key.
bool room_for(std::uint64_t hash)
{
    if (in_region[region_of(hash)] < most_in_region)
        return true;
    overflowed = true;
    return false;
}

void set_in_table(std::uint64_t hash)
{
    std::uint64_t* slot = slot_of(hash);
    if (*slot != 0 || !room_for(hash))
        return;
    *slot = hash;
    ++in_region[region_of(hash)];
}

void make_tables()
{
    tabled = true;
    for (std::uint32_t r = 0; r < regions; ++r) {
        const std::uint32_t count = in_region[r];
        if (count == 0)
            continue;
        std::uint64_t* const region = hashes + std::size_t{r} * region_slots;
        std::copy(region, region + count, region_copy);
        std::fill(region, region + count, 0);
        in_region[r] = 0;
        for (std::uint32_t i = 0; i < count; ++i)
            set_in_table(region_copy[i]);
    }
}

}  // namespace

void forget_deleted_keys()
{
    if (remembered_count > 0)
        std::fill(std::begin(hashes), std::end(hashes), 0);
    std::fill(std::begin(in_region), std::end(in_region), 0);
    remembered_count = 0;
    tabled = false;
    overflowed = false;
}

void remember_deleted_key(bool under_users, std::string_view path)
{
    const std::uint64_t hash = name_hash(under_users, path);
    ++remembered_count;
    if (tabled) {
        set_in_table(hash);
        return;
    }
    if (room_for(hash))
        hashes[std::size_t{region_of(hash)} * region_slots + in_region[region_of(hash)]++] = hash;
}

bool deleted_with_a_key(bool under_users, std::string_view text)
{
    if (!tabled)
        make_tables();
    if (overflowed)
        return true;
    if (remembered_count == 0)
        return false;
    return any_parent_hash(under_users, text, [](std::uint64_t hash) { return *slot_of(hash) != 0; });
}

void note_service_key(std::string_view path)
{
    if (!strip_key(path, "SYSTEM") || !is_control_set(first_name(path)))
        return;
    path = below_first_name(path);
    if (!strip_key(path, "Services") || path.empty() || path.find('\\') != std::string_view::npos)
        return;
    const std::uint32_t length = noted_service_count < max_noted_services && path.find('?') == std::string_view::npos
                                     ? units_of_text(path, noted_services[noted_service_count], noted_service_size - 1)
                                     : 0;
    if (length == 0) {
        service_note_whole = false;
        return;
    }
    noted_services[noted_service_count++][length] = u'\0';
}
