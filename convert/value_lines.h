// Lines of the values sections resolved against the registry: which key,
// which value, and whether its data is what the report printed.
#pragma once

#include <cstdint>

#include "convert/report_text.h"
#include "platform/platform.h"

// The line as UTF-16 into `units` (room for a chunk's units and one more);
// 0 when it does not convert exactly.
std::uint32_t units_of(const ReportLine& line, char16_t* units);

struct Split {
    std::uint32_t key_end;   // the backslash after the key's name
    std::uint32_t name_end;  // the ": " after the value's name
};

enum class Resolution : std::uint8_t {
    one,
    none,        // no such value
    several,     // more than one split fits
    unreadable,  // the registry cannot tell
    changed,     // the value is there, but its data is no longer the report's
};

// A line is KEY\NAME: DATA, and the key's name, the value's name and the
// data may each hold "\" and ": ". The registry tells them apart: the key is
// a prefix of units[path, length), ending before a backslash, that exists as
// a key in the report's view, and the name the rest up to a ": " such that
// the key has a value of that name. Where `exact`, a value counts only when
// RegShot would print its data now as the line's; otherwise that decides
// only between several splits; where `cut`, the line holds only the start of
// the data. The value's type is left in `type`.
Resolution resolve_value_line(RegistryRoot root, const char16_t* units, std::uint32_t path, std::uint32_t length,
                              bool exact, bool cut, Split& split, std::uint32_t& type);
