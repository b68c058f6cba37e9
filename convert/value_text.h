// A value's line in the registry editor's own syntax, for the cleaning
// script and the backup alike: a value written this way imports with its
// exact type and bytes.
#pragma once

#include <cstdint>
#include <string_view>

// Receives the line's text, piece by piece.
using UnitSink = void (*)(const char16_t* units, std::uint32_t count);

// "NAME" with its backslashes and quotes escaped, or @ for the default value.
void write_value_name(const char16_t* name, std::uint32_t length, UnitSink sink);
// What follows the '=': a quoted string where that carries the bytes
// exactly, dword:, or hex(type): bytes, broken before the 80th column with
// `continuation` opening each further line. `column` is where the data
// begins in its line.
void write_value_data(std::uint32_t type, const char* data, std::uint32_t length, UnitSink sink,
                      std::u16string_view continuation, std::uint32_t column);
// Whether write_value_data writes the data as a quoted string.
bool quotes_carry(std::uint32_t type, const char* data, std::uint32_t length);
// The column after the name and its '=', for write_value_data.
std::uint32_t value_name_width(const char16_t* name, std::uint32_t length);

inline constexpr std::uint32_t reg_sz = 1;
inline constexpr std::uint32_t reg_expand_sz = 2;
inline constexpr std::uint32_t reg_binary = 3;
inline constexpr std::uint32_t reg_dword = 4;
inline constexpr std::uint32_t reg_dword_big_endian = 5;
inline constexpr std::uint32_t reg_multi_sz = 7;
inline constexpr std::uint32_t reg_qword = 11;
