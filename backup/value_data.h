// The data of a value line, "NAME"=DATA, read as the registry editor
// imports it.
#pragma once

#include <cstdint>

enum class DataRead : std::uint8_t { data, deletion, unreadable };

// `text` follows the '='. Hex data goes on in the next lines after a
// closing backslash; `next_line` gives each such line (false at the end of
// the script). Reads a quoted string (REG_SZ), dword: and hex(type): or
// hex: bytes, or '-' that deletes the value; unreadable for data that does
// not fit or that this reader does not know.
DataRead read_value_data(const char16_t* text, bool (*next_line)(const char16_t*& text), std::uint32_t& type,
                         char* data, std::uint32_t capacity, std::uint32_t& length);
