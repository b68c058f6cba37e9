// Value data in the registry editor's syntax: "string", dword:, hex(N):.
#include "backup/value_data.h"

#include "convert/value_text.h"

namespace {

const char16_t* skip_blanks(const char16_t* text)
{
    while (*text == u' ' || *text == u'\t')
        ++text;
    return text;
}

int hex_digit(char16_t unit)
{
    if (unit >= u'0' && unit <= u'9')
        return unit - u'0';
    if (unit >= u'a' && unit <= u'f')
        return unit - u'a' + 10;
    return unit >= u'A' && unit <= u'F' ? unit - u'A' + 10 : -1;
}

// Up to `most` hex digits; false when there are none.
bool read_hex(const char16_t*& text, int most, std::uint32_t& number)
{
    number = 0;
    int digits = 0;
    for (int digit = 0; digits < most && (digit = hex_digit(*text)) >= 0; ++digits, ++text)
        number = number << 4 | static_cast<std::uint32_t>(digit);
    return digits > 0;
}

bool starts(const char16_t*& text, const char16_t* word)
{
    const char16_t* at = text;
    for (; *word != u'\0'; ++word, ++at) {
        const char16_t lower = *at >= u'A' && *at <= u'Z' ? static_cast<char16_t>(*at + 32) : *at;
        if (lower != *word)
            return false;
    }
    text = at;
    return true;
}

struct Out {
    char* data;
    std::uint32_t capacity;
    std::uint32_t length;
    bool put(std::uint32_t byte)
    {
        if (length == capacity)
            return false;
        data[length++] = static_cast<char>(byte);
        return true;
    }
};

DataRead read_quoted(const char16_t* text, Out& out)
{
    for (++text; *text != u'"'; ++text) {
        if (*text == u'\0')
            return DataRead::unreadable;
        if (*text == u'\\' && (text[1] == u'\\' || text[1] == u'"'))
            ++text;
        if (!out.put(*text & 0xFFu) || !out.put(*text >> 8))
            return DataRead::unreadable;
    }
    if (*skip_blanks(text + 1) != u'\0' || !out.put(0) || !out.put(0))
        return DataRead::unreadable;
    return DataRead::data;
}

DataRead read_bytes(const char16_t* text, bool (*next_line)(const char16_t*& text), Out& out)
{
    for (text = skip_blanks(text); *text != u'\0';) {
        std::uint32_t byte = 0;
        if (!read_hex(text, 2, byte) || !out.put(byte))
            return DataRead::unreadable;
        text = skip_blanks(text);
        if (*text == u'\0')
            break;
        if (*text++ != u',')
            return DataRead::unreadable;
        text = skip_blanks(text);
        if (*text == u'\\' && *skip_blanks(text + 1) == u'\0') {
            if (!next_line(text))
                return DataRead::unreadable;
            text = skip_blanks(text);
        }
    }
    return DataRead::data;
}

}  // namespace

DataRead read_value_data(const char16_t* text, bool (*next_line)(const char16_t*& text), std::uint32_t& type,
                         char* data, std::uint32_t capacity, std::uint32_t& length)
{
    Out out{data, capacity, 0};
    DataRead result = DataRead::unreadable;
    text = skip_blanks(text);
    if (*text == u'-') {
        result = *skip_blanks(text + 1) == u'\0' ? DataRead::deletion : DataRead::unreadable;
    } else if (*text == u'"') {
        type = reg_sz;
        result = read_quoted(text, out);
    } else if (starts(text, u"dword:")) {
        std::uint32_t number = 0;
        type = reg_dword;
        if (read_hex(text, 8, number) && *skip_blanks(text) == u'\0') {
            for (int i = 0; i < 4; ++i)
                out.put(number >> (8 * i) & 0xFF);
            result = DataRead::data;
        }
    } else if (starts(text, u"hex")) {
        type = reg_binary;
        const bool typed = *text == u'(';
        if (!typed || (++text, read_hex(text, 8, type) && *text++ == u')')) {
            if (*text++ == u':')
                result = read_bytes(text, next_line, out);
        }
    }
    length = out.length;
    return result;
}
