// The way back from RegShot's text of a value's data to its bytes.
#pragma once

#include <cstdint>

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
