// How the question and the closing message name what runs.
#pragma once

#include <cstdint>

#include "running/running_items.h"

inline constexpr std::uint32_t running_names_shown = 5;
inline constexpr std::uint32_t running_names_size = running_names_shown * 160 + 32;

// The first few items of that fate, a line each, "and N more" after them.
void running_names(char (&text)[running_names_size], Fate fate, std::uint32_t count);
