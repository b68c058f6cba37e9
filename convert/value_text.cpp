// Values in the registry editor's syntax: "NAME"=DATA.
#include "convert/value_text.h"

namespace {

// The registry editor breaks hex data before this column.
constexpr std::uint32_t hex_line_width = 77;

void put(UnitSink sink, std::u16string_view text)
{
    sink(text.data(), static_cast<std::uint32_t>(text.size()));
}

void put_hex_digits(UnitSink sink, std::uint32_t number, int digits)
{
    char16_t text[8];
    for (int i = 0; i < digits; ++i)
        text[i] = static_cast<char16_t>("0123456789abcdef"[(number >> (4 * (digits - 1 - i))) & 0xF]);
    sink(text, static_cast<std::uint32_t>(digits));
}

bool has_line_break(const char16_t* text, std::uint32_t length)
{
    for (std::uint32_t i = 0; i < length; ++i) {
        if (text[i] == u'\r' || text[i] == u'\n')
            return true;
    }
    return false;
}

// Between quotes, a backslash and a quote are escaped with a backslash.
void put_quoted(const char16_t* text, std::uint32_t length, UnitSink sink)
{
    put(sink, u"\"");
    std::uint32_t plain = 0;
    for (std::uint32_t i = 0; i < length; ++i) {
        if (text[i] != u'\\' && text[i] != u'"')
            continue;
        sink(text + plain, i - plain);
        put(sink, u"\\");
        plain = i;
    }
    sink(text + plain, length - plain);
    put(sink, u"\"");
}

}  // namespace

// A string value is quoted only when importing the quotes gives back its
// exact bytes: whole units, one closing zero and no other, no line break.
bool quotes_carry(std::uint32_t type, const char* data, std::uint32_t length)
{
    if (type != reg_sz || length < 2 || length % 2 != 0)
        return false;
    const auto* units = reinterpret_cast<const char16_t*>(data);
    const std::uint32_t characters = length / 2 - 1;
    if (units[characters] != u'\0' || has_line_break(units, characters))
        return false;
    for (std::uint32_t i = 0; i < characters; ++i) {
        if (units[i] == u'\0')
            return false;
    }
    return true;
}

void write_value_name(const char16_t* name, std::uint32_t length, UnitSink sink)
{
    if (length == 0)
        put(sink, u"@");
    else
        put_quoted(name, length, sink);
}

std::uint32_t value_name_width(const char16_t* name, std::uint32_t length)
{
    std::uint32_t width = length == 0 ? 1 : length + 2;
    for (std::uint32_t i = 0; i < length; ++i)
        width += name[i] == u'\\' || name[i] == u'"' ? 1 : 0;
    return width + 1;
}

void write_value_data(std::uint32_t type, const char* data, std::uint32_t length, UnitSink sink,
                      std::u16string_view continuation, std::uint32_t column)
{
    if (quotes_carry(type, data, length)) {
        put_quoted(reinterpret_cast<const char16_t*>(data), length / 2 - 1, sink);
        return;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    if (type == reg_dword && length == 4) {
        put(sink, u"dword:");
        put_hex_digits(sink, bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24, 8);
        return;
    }
    put(sink, u"hex");
    column += 4;
    if (type != reg_binary) {
        int digits = 1;
        while (digits < 8 && (type >> (4 * digits)) != 0)
            ++digits;
        put(sink, u"(");
        put_hex_digits(sink, type, digits);
        put(sink, u")");
        column += 2 + static_cast<std::uint32_t>(digits);
    }
    put(sink, u":");
    for (std::uint32_t i = 0; i < length; ++i) {
        put_hex_digits(sink, bytes[i], 2);
        column += 2;
        if (i + 1 == length)
            break;
        put(sink, u",");
        ++column;
        if (column >= hex_line_width - 3) {
            put(sink, u"\\\r\n");
            put(sink, continuation);
            column = static_cast<std::uint32_t>(continuation.size());
        }
    }
}
