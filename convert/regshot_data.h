// RegShot's text of a value's data, as its reports print it after the
// value's name and ": ".
#pragma once

#include <cstdint>

#include "platform/platform.h"

// The text that RegShot writes for the value's data now, in UTF-16 units;
// for an ANSI report, as its ANSI build reads strings, in the code page.
// `length` may exceed `capacity`: only the first units are kept then. False
// when the text cannot be told (an ANSI string that does not convert).
bool regshot_data_text(const RegistryValue& value, char16_t* text, std::uint32_t capacity, std::uint32_t& length);
// The data byte by byte, as RegShot 1.8 and 1.9.0 print every multi-string
// and QWORD, and their ANSI builds a string type in the code page.
bool regshot_bytes_text(const RegistryValue& value, char16_t* text, std::uint32_t capacity, std::uint32_t& length);
