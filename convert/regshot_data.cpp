// RegShot 1.9's text of value data: a string in quotes (a list of strings
// as "a", "b"), a number as 0x and upper-case hex digits, anything else
// byte by byte as " XX", and "(NULL!)" for no data. A string whose size does
// not match its text is printed byte by byte.
#include "convert/regshot_data.h"

#include <cstring>
#include <string_view>

#include "convert/value_text.h"
#include "state/state.h"

namespace {

constexpr std::u16string_view no_data = u"(NULL!)";
constexpr std::u16string_view separator = u"\", \"";

// ANSI strings as RegShot's ANSI build gets them from the registry.
char ansi_data[std::uint32_t{1} << 17];
char16_t ansi_units[std::uint32_t{1} << 16];

// Counts on past its capacity, so that a text too long to keep is known to
// be longer than any line.
struct Text {
    char16_t* units;
    std::uint32_t capacity;
    std::uint32_t length;
    bool told;

    void put(char16_t unit)
    {
        if (length < capacity)
            units[length] = unit;
        ++length;
    }
    void put(std::u16string_view text)
    {
        for (const char16_t unit : text)
            put(unit);
    }
    void put_hex(std::uint64_t number, int digits)
    {
        for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
            put(static_cast<char16_t>("0123456789ABCDEF"[(number >> shift) & 0xF]));
    }
};

// Characters of an ANSI string reach the text as the code page converts them.
template <typename Char>
void put_characters(Text& text, const Char* characters, std::uint32_t count)
{
    if constexpr (sizeof(Char) == 2) {
        for (std::uint32_t i = 0; i < count; ++i)
            text.put(static_cast<char16_t>(characters[i]));
    } else {
        const std::uint32_t bytes = ansi_to_utf16le(characters, count, reinterpret_cast<char*>(ansi_units),
                                                    sizeof ansi_units);
        text.told = text.told && (count == 0 || bytes > 0);
        for (std::uint32_t i = 0; i < bytes / 2; ++i)
            text.put(ansi_units[i]);
    }
}

template <typename Char>
std::uint32_t length_within(const Char* characters, std::uint32_t count)
{
    std::uint32_t length = 0;
    while (length < count && characters[length] != 0)
        ++length;
    return length;
}

// Whether the string types' data is printed as strings: its size must end
// right after the first zero (two zeros for a list).
template <typename Char>
bool printed_as_strings(const Char* characters, std::uint32_t size, bool list)
{
    const std::uint32_t count = size / sizeof(Char);
    std::uint32_t actual = 0;
    if (list) {
        for (; actual < count; ++actual) {
            if (characters[actual] != 0)
                continue;
            if (++actual >= count)
                break;
            if (characters[actual] != 0)
                continue;
            ++actual;
            break;
        }
    } else {
        actual = length_within(characters, count);
        if (actual < count)
            ++actual;
    }
    return actual * sizeof(Char) == size;
}

template <typename Char>
void put_strings(Text& text, const Char* characters, std::uint32_t size, bool list)
{
    std::uint32_t to_go = size / sizeof(Char);
    text.put(u'"');
    if (!list) {
        put_characters(text, characters, length_within(characters, to_go));
    } else {
        bool first = true;
        while (to_go > 0 && *characters != 0) {
            if (!first)
                text.put(separator);
            first = false;
            const std::uint32_t length = length_within(characters, to_go);
            put_characters(text, characters, length);
            to_go -= length;
            if (to_go == 0)
                break;
            characters += length + 1;
            --to_go;
        }
    }
    text.put(u'"');
}

void put_bytes(Text& text, const unsigned char* bytes, std::uint32_t size)
{
    for (std::uint32_t i = 0; i < size; ++i) {
        if (i > 0)
            text.put(u' ');
        text.put_hex(bytes[i], 2);
    }
}

template <typename Char>
void put_string_data(Text& text, const Char* characters, std::uint32_t size, bool list)
{
    if (printed_as_strings(characters, size, list))
        put_strings(text, characters, size, list);
    else
        put_bytes(text, reinterpret_cast<const unsigned char*>(characters), size);
}

}  // namespace

bool regshot_data_text(const RegistryValue& value, char16_t* units, std::uint32_t capacity, std::uint32_t& length)
{
    Text text{units, capacity, 0, true};
    const auto* bytes = reinterpret_cast<const unsigned char*>(value.data);
    const std::uint32_t size = value.data_length;
    if (size == 0) {
        text.put(no_data);
        length = text.length;
        return true;
    }
    switch (value.type) {
    case reg_sz:
    case reg_expand_sz:
    case reg_multi_sz: {
        const bool list = value.type == reg_multi_sz;
        if (report_encoding == ReportEncoding::utf16le) {
            put_string_data(text, reinterpret_cast<const char16_t*>(value.data), size, list);
            break;
        }
        // The ANSI build reads strings through the registry's ANSI calls.
        const std::uint32_t converted =
            size % 2 != 0 ? 0
                          : utf16_to_ansi(reinterpret_cast<const char16_t*>(value.data), size / 2, ansi_data,
                                          sizeof ansi_data);
        if (converted == 0)
            return false;
        put_string_data(text, ansi_data, converted, list);
        break;
    }
    case reg_dword:
    case reg_dword_big_endian:
        if (size != 4) {
            put_bytes(text, bytes, size);
            break;
        }
        text.put(u"0x");
        text.put_hex(value.type == reg_dword
                         ? bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24
                         : bytes[3] | bytes[2] << 8 | bytes[1] << 16 | static_cast<std::uint32_t>(bytes[0]) << 24,
                     8);
        break;
    case reg_qword: {
        if (size != 8) {
            put_bytes(text, bytes, size);
            break;
        }
        std::uint64_t number = 0;
        for (int i = 7; i >= 0; --i)
            number = number << 8 | bytes[i];
        text.put(u"0x");
        text.put_hex(number, 16);
        break;
    }
    default:
        put_bytes(text, bytes, size);
    }
    length = text.length;
    return text.told;
}

bool regshot_bytes_text(const RegistryValue& value, char16_t* units, std::uint32_t capacity, std::uint32_t& length)
{
    Text text{units, capacity, 0, true};
    const bool string_type = value.type == reg_sz || value.type == reg_expand_sz || value.type == reg_multi_sz;
    if (report_encoding == ReportEncoding::ansi && string_type) {
        const std::uint32_t converted =
            value.data_length % 2 != 0 ? 0
                                       : utf16_to_ansi(reinterpret_cast<const char16_t*>(value.data),
                                                       value.data_length / 2, ansi_data, sizeof ansi_data);
        if (converted == 0 && value.data_length > 0)
            return false;
        put_bytes(text, reinterpret_cast<const unsigned char*>(ansi_data), converted);
    } else {
        put_bytes(text, reinterpret_cast<const unsigned char*>(value.data), value.data_length);
    }
    length = text.length;
    return true;
}
