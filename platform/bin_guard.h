// What the shell's file operation may do with an item it is asked to
// delete, and what shows that the Recycle Bin took it: the same on every
// platform, so that it is tested where the tests run.
#pragma once

#include <cstdint>

// The shell's flag for a delete that goes to the Recycle Bin; a delete
// without it is for good.
inline constexpr std::uint32_t delete_recycle_if_possible = 0x80;

constexpr bool delete_may_proceed(std::uint32_t flags)
{
    return (flags & delete_recycle_if_possible) != 0;
}

// The shell reports an item in the bin as the one it newly created there.
constexpr bool bin_took_item(bool succeeded, bool item_in_bin)
{
    return succeeded && item_in_bin;
}
