// A fixed open-addressed set of 64-bit hashes, never zero, for the ties'
// tables.
#pragma once

#include <cstdint>

struct HashSet {
    static constexpr std::uint32_t table_size = std::uint32_t{1} << 15;
    std::uint64_t slots[table_size];
    std::uint32_t used;

    // A full table takes no more: fewer ties keep more entries.
    void add(std::uint64_t hash)
    {
        if (used >= table_size / 2)
            return;
        for (std::uint32_t at = static_cast<std::uint32_t>(hash) & (table_size - 1);; at = (at + 1) & (table_size - 1)) {
            if (slots[at] == hash)
                return;
            if (slots[at] == 0) {
                slots[at] = hash;
                ++used;
                return;
            }
        }
    }
    bool has(std::uint64_t hash) const
    {
        if (used == 0)
            return false;
        for (std::uint32_t at = static_cast<std::uint32_t>(hash) & (table_size - 1);; at = (at + 1) & (table_size - 1)) {
            if (slots[at] == hash)
                return true;
            if (slots[at] == 0)
                return false;
        }
    }
    void clear()
    {
        for (std::uint64_t& slot : slots)
            slot = 0;
        used = 0;
    }
};
