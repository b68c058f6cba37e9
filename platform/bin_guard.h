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

// The path as it lies on its volume, where `device` is what the system
// says its drive letter stands for: a drive made with subst stands for a
// folder ("\??\D:\Work") or a share ("\??\UNC\server\share"), whose own
// Recycle Bin decides. Any other device leaves the path as it is. False when it does not fit `capacity` units.
bool path_through_substitute(const char16_t* device, const char16_t* path, char16_t* resolved,
                             std::uint32_t capacity);
