// RegShot's text of a value's old data read back into bytes, in the form
// of the value's type now.
#include "convert/old_data.h"

#include <cstring>
#include <string_view>

#include "convert/value_text.h"
#include "state/state.h"

namespace {

constexpr std::u16string_view no_data = u"(NULL!)";
constexpr std::u16string_view cut_mark = u" ...";
constexpr std::u16string_view separator = u"\", \"";

int hex_digit(char16_t unit)
{
    if (unit >= u'0' && unit <= u'9')
        return unit - u'0';
    return unit >= u'A' && unit <= u'F' ? unit - u'A' + 10 : -1;
}

// "0x" and exactly `digits` upper-case hex digits.
bool read_number(std::u16string_view text, int digits, std::uint64_t& number)
{
    if (text.size() != 2 + static_cast<std::size_t>(digits) || text.substr(0, 2) != u"0x")
        return false;
    number = 0;
    for (int i = 0; i < digits; ++i) {
        const int digit = hex_digit(text[2 + static_cast<std::size_t>(i)]);
        if (digit < 0)
            return false;
        number = number << 4 | static_cast<std::uint64_t>(digit);
    }
    return true;
}

struct Bytes {
    char* data;
    std::uint32_t capacity;
    std::uint32_t length;

    bool put(unsigned char byte)
    {
        if (length == capacity)
            return false;
        data[length++] = static_cast<char>(byte);
        return true;
    }
    bool put_zero() { return put(0) && put(0); }
    bool put_units(std::u16string_view units)
    {
        for (const char16_t unit : units) {
            if (!put(static_cast<unsigned char>(unit & 0xFF)) || !put(static_cast<unsigned char>(unit >> 8)))
                return false;
        }
        return true;
    }
};

// Strings in quotes. RegShot prints a string with and without its closing
// zero alike: the zero, as the registry's own functions store it, is taken.
// An ANSI report prints a character that its code page lacks as '?'.
OldData read_strings(std::u16string_view text, bool list, Bytes& bytes)
{
    if (text.size() < 2 || text.front() != u'"' || text.back() != u'"')
        return OldData::other_form;
    std::u16string_view inner = text.substr(1, text.size() - 2);
    if (report_encoding == ReportEncoding::ansi && inner.find(u'?') != std::u16string_view::npos)
        return OldData::uncertain;
    if (!list)
        return bytes.put_units(inner) && bytes.put_zero() ? OldData::exact : OldData::uncertain;
    // "" is printed for a list of no strings in either of its two forms.
    if (inner.empty())
        return OldData::uncertain;
    for (;;) {
        const std::size_t end = inner.find(separator);
        const std::u16string_view one = inner.substr(0, end);
        if (one.empty() || !bytes.put_units(one) || !bytes.put_zero())
            return OldData::uncertain;
        if (end == std::u16string_view::npos)
            break;
        inner.remove_prefix(end + separator.size());
    }
    return bytes.put_zero() ? OldData::exact : OldData::uncertain;
}

OldData read_bytes(std::u16string_view text, Bytes& bytes)
{
    if (text.size() >= cut_mark.size() && text.substr(text.size() - cut_mark.size()) == cut_mark)
        return OldData::cut;
    if (text.size() % 3 != 2)
        return OldData::other_form;
    for (std::size_t at = 0; at < text.size(); at += 3) {
        const int high = hex_digit(text[at]);
        const int low = hex_digit(text[at + 1]);
        if (high < 0 || low < 0 || (at + 2 < text.size() && text[at + 2] != u' '))
            return OldData::other_form;
        if (!bytes.put(static_cast<unsigned char>(high * 16 + low)))
            return OldData::uncertain;
    }
    return OldData::exact;
}

}  // namespace

OldData old_data_bytes(const char16_t* units, std::uint32_t length, std::uint32_t type, char* data,
                       std::uint32_t capacity, std::uint32_t& data_length)
{
    std::u16string_view text(units, length);
    Bytes bytes{data, capacity, 0};
    OldData result = OldData::other_form;
    std::uint64_t number = 0;
    // RegShot 1.8 and 1.9.0 print bytes after two spaces, and every
    // multi-string and QWORD byte by byte.
    const std::size_t spaces = text.find_first_not_of(u' ');
    const bool as_bytes = spaces != std::u16string_view::npos && spaces + 1 < text.size() &&
                          hex_digit(text[spaces]) >= 0 && hex_digit(text[spaces + 1]) >= 0 &&
                          (spaces > 0 || type == reg_multi_sz || type == reg_qword);
    if (as_bytes)
        text.remove_prefix(spaces);
    if (as_bytes && type == reg_multi_sz && report_encoding == ReportEncoding::ansi) {
        // The ANSI build printed the code page's bytes.
        char ansi[1024];
        result = read_bytes(text, bytes);
        if (result != OldData::exact || bytes.length > sizeof ansi)
            result = OldData::uncertain;
        else {
            std::memcpy(ansi, data, bytes.length);
            const std::uint32_t converted = ansi_to_utf16le(ansi, bytes.length, data, capacity);
            result = std::memchr(ansi, '?', bytes.length) == nullptr && (converted > 0 || bytes.length == 0)
                         ? OldData::exact
                         : OldData::uncertain;
            bytes.length = converted;
        }
    } else if (text == no_data && !as_bytes) {
        result = OldData::exact;
    } else if (!as_bytes && (type == reg_sz || type == reg_expand_sz || type == reg_multi_sz)) {
        result = read_strings(text, type == reg_multi_sz, bytes);
    } else if (!as_bytes && (type == reg_dword || type == reg_dword_big_endian)) {
        if (read_number(text, 8, number)) {
            for (int i = 0; i < 4; ++i)
                bytes.put(static_cast<unsigned char>(number >> (8 * (type == reg_dword ? i : 3 - i))));
            result = OldData::exact;
        }
    } else if (!as_bytes && type == reg_qword) {
        if (read_number(text, 16, number)) {
            for (int i = 0; i < 8; ++i)
                bytes.put(static_cast<unsigned char>(number >> (8 * i)));
            result = OldData::exact;
        }
    } else {
        result = read_bytes(text, bytes);
    }
    data_length = bytes.length;
    return result;
}
