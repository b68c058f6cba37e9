// Names in an ANSI report that hold '?': RegShot's ANSI build read each
// name through the code page, which turns a character it lacks into '?'.
// Such a name is matched against the live registry, never taken literally.
#pragma once

#include <cstdint>

#include "platform/platform.h"

enum class Fitting : std::uint8_t { one, none, several, unreadable };

// Whether a line of an ANSI report holds a '?' in its names: between
// `path` and the first ": ".
bool names_unknown_character(const char16_t* units, std::uint32_t path, std::uint32_t length);
// Why a line or key with '?' gives no entry.
const char* unmatched_reason(Fitting fitting);

// The key below `root` whose name reads as `path` through the code page;
// its real path into `real` (zero-terminated, `real_length` units).
Fitting match_key(RegistryRoot root, const char16_t* path, std::uint32_t length, char16_t* real,
                  std::uint32_t capacity, std::uint32_t& real_length);

// A values line `units` (`path` where the key's name starts) whose key or
// value name holds '?': where exactly one key and value fit one split of
// it, the line is rewritten with their real names (`length` updated, and
// `old_end`/`new_end` where the text before ": DATA" ended before and ends
// now). `capacity` bounds the rewritten line.
Fitting match_value_line(RegistryRoot root, char16_t* units, std::uint32_t path, std::uint32_t& length,
                         std::uint32_t capacity, std::uint32_t& old_end, std::uint32_t& new_end);
