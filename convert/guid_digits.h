// GUIDs as Windows writes them and as Windows Installer packs them.
#pragma once

#include <cstdint>

bool hex_unit(char16_t unit);

// Brace-less GUIDs, from "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" or
// Windows Installer's packed form of 32 digits, as 32 upper-case digits in
// the GUID's own order; false when `text` is neither.
bool guid_digits(const char16_t* text, std::uint32_t length, char16_t (&digits)[32]);
