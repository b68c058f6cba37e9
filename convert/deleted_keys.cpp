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

constexpr std::uint32_t slots = std::uint32_t{1} << 21;
constexpr std::uint32_t most_keys = slots / 4 * 3;

std::uint64_t hashes[slots];
std::uint32_t remembered_count;
bool overflowed;
// The hashes last remembered, whose slots are fetched into the cache while
// the next lines are read: the table is far larger than the cache.
constexpr std::uint32_t pending_size = 8;
std::uint64_t pending[pending_size];
std::uint32_t pending_at;

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
    if (remembered_count == most_keys) {
        overflowed = true;
        return;
    }
    *slot = hash;
    ++remembered_count;
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
    if (remembered_count > 0)
        std::fill(std::begin(hashes), std::end(hashes), 0);
    remembered_count = 0;
    overflowed = false;
}

void remember_deleted_key(bool under_users, std::string_view path)
{
    const std::uint64_t hash = name_hash(under_users, path);
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
    if (remembered_count == 0)
        return false;
    for (std::size_t at = text.find('\\'); at != std::string_view::npos; at = text.find('\\', at + 1)) {
        if (*slot_of(name_hash(under_users, text.substr(0, at))) != 0)
            return true;
    }
    return false;
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
