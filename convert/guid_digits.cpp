// GUIDs in their two written forms, brought to one.
#include "convert/guid_digits.h"

#include "convert/name_hash.h"

bool hex_unit(char16_t unit)
{
    return (unit >= u'0' && unit <= u'9') || (unit >= u'A' && unit <= u'F') || (unit >= u'a' && unit <= u'f');
}

bool guid_digits(const char16_t* text, std::uint32_t length, char16_t (&digits)[32])
{
    if (length == 38 && text[0] == u'{' && text[37] == u'}') {
        std::uint32_t count = 0;
        for (std::uint32_t i = 1; i < 37; ++i) {
            const bool dash_place = i == 9 || i == 14 || i == 19 || i == 24;
            if (dash_place ? text[i] != u'-' : !hex_unit(text[i]))
                return false;
            if (!dash_place)
                digits[count++] = upper_unit(text[i]);
        }
        return true;
    }
    if (length != 32)
        return false;
    for (std::uint32_t i = 0; i < 32; ++i) {
        if (!hex_unit(text[i]))
            return false;
    }
    // Packed: the first three groups reversed, the rest a byte at a time
    // with its two digits swapped.
    for (std::uint32_t i = 0; i < 8; ++i)
        digits[i] = upper_unit(text[7 - i]);
    for (std::uint32_t i = 0; i < 4; ++i) {
        digits[8 + i] = upper_unit(text[11 - i]);
        digits[12 + i] = upper_unit(text[15 - i]);
    }
    for (std::uint32_t i = 16; i < 32; i += 2) {
        digits[i] = upper_unit(text[i + 1]);
        digits[i + 1] = upper_unit(text[i]);
    }
    return true;
}
