// RegShot's text of a value's data, as its reports print it after the
// value's name and ": ", and the way back from such a text to the bytes.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// The text that RegShot writes for the value's data now, in UTF-16 units;
// for an ANSI report, as its ANSI build reads strings, in the code page.
// `length` may exceed `capacity`: only the first units are kept then. False
// when the text cannot be told (an ANSI string that does not convert).
bool regshot_data_text(const RegistryValue& value, char16_t* text, std::uint32_t capacity, std::uint32_t& length);

enum class OldData : std::uint8_t {
    exact,       // the bytes are exactly what the text stood for
    cut,         // RegShot printed only the first bytes
    other_form,  // the text is not of the form that `type` is printed in
    uncertain,   // more than one form of bytes prints as this text
};
// The bytes of data of `type` that RegShot printed as `text`: a quoted
// string for the string types, 0x and the number for the number types, hex
// bytes for the others.
OldData old_data_bytes(const char16_t* text, std::uint32_t length, std::uint32_t type, char* bytes,
                       std::uint32_t capacity, std::uint32_t& data_length);
