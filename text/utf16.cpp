// UTF-16LE to UTF-8 and back.
#include "text/utf16.h"

#include <bit>
#include <cstring>

static_assert(std::endian::native == std::endian::little, "the fast paths read units as they lie in memory");

namespace {

// Reports are mostly ASCII: runs of it are converted eight bytes at a time.
constexpr std::uint64_t ascii_units = 0xFF80FF80FF80FF80;
constexpr std::uint64_t unit_high_bits = 0x8000800080008000;

// Eight ASCII units, none of them zero, become eight bytes of UTF-8.
bool eight_ascii_units(const char* bytes, char* text)
{
    std::uint64_t words[2];
    std::memcpy(words, bytes, 16);
    // A unit below 0x80 plus 0x7FFF reaches its high bit unless it is zero.
    const std::uint64_t nonzero = ((words[0] + 0x7FFF7FFF7FFF7FFF) & (words[1] + 0x7FFF7FFF7FFF7FFF)) & unit_high_bits;
    if (((words[0] | words[1]) & ascii_units) != 0 || nonzero != unit_high_bits)
        return false;
    std::uint64_t eight = 0;
    for (int word = 0; word < 2; ++word) {
        // The low bytes of four units, side by side.
        const std::uint64_t pairs = words[word] | words[word] >> 8;
        eight |= ((pairs & 0xFFFF) | (pairs >> 16 & 0xFFFF0000)) << (32 * word);
    }
    std::memcpy(text, &eight, 8);
    return true;
}

std::uint64_t spread(std::uint32_t four)
{
    return (four & 0xFF) | (four & 0xFF00) << 8 | std::uint64_t{four & 0xFF0000} << 16 |
           std::uint64_t{four & 0xFF000000} << 24;
}

// Eight ASCII bytes become eight units of UTF-16LE.
bool eight_ascii_bytes(const char* text, char* bytes)
{
    std::uint64_t word;
    std::memcpy(&word, text, 8);
    if ((word & 0x8080808080808080) != 0)
        return false;
    const std::uint64_t units[2] = {spread(static_cast<std::uint32_t>(word)), spread(static_cast<std::uint32_t>(word >> 32))};
    std::memcpy(bytes, units, 16);
    return true;
}

std::uint32_t unit_at(const char* bytes, std::uint32_t offset)
{
    return static_cast<unsigned char>(bytes[offset]) | static_cast<unsigned char>(bytes[offset + 1]) << 8;
}

bool is_high_surrogate(std::uint32_t unit)
{
    return unit >= 0xD800 && unit < 0xDC00;
}

bool is_low_surrogate(std::uint32_t unit)
{
    return unit >= 0xDC00 && unit < 0xE000;
}

char* put_utf8(char* text, std::uint32_t code)
{
    if (code < 0x80) {
        *text++ = static_cast<char>(code);
    } else if (code < 0x800) {
        *text++ = static_cast<char>(0xC0 | code >> 6);
        *text++ = static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        *text++ = static_cast<char>(0xE0 | code >> 12);
        *text++ = static_cast<char>(0x80 | (code >> 6 & 0x3F));
        *text++ = static_cast<char>(0x80 | (code & 0x3F));
    } else {
        *text++ = static_cast<char>(0xF0 | code >> 18);
        *text++ = static_cast<char>(0x80 | (code >> 12 & 0x3F));
        *text++ = static_cast<char>(0x80 | (code >> 6 & 0x3F));
        *text++ = static_cast<char>(0x80 | (code & 0x3F));
    }
    return text;
}

char* put_unit(char* bytes, std::uint32_t unit)
{
    *bytes++ = static_cast<char>(unit & 0xFF);
    *bytes++ = static_cast<char>(unit >> 8);
    return bytes;
}

}  // namespace

bool utf16_to_utf8(const char* bytes, std::uint32_t length, char* text, std::uint32_t& units)
{
    bool exact = length % 2 == 0;
    std::uint32_t offset = 0;
    for (; offset + 1 < length; offset += 2) {
        for (; offset + 16 <= length && eight_ascii_units(bytes + offset, text); offset += 16)
            text += 8;
        if (offset + 1 >= length)
            break;
        std::uint32_t code = unit_at(bytes, offset);
        if (code == 0)
            break;
        if (code < 0x80) {
            *text++ = static_cast<char>(code);
            continue;
        }
        if (is_high_surrogate(code) && offset + 3 < length && is_low_surrogate(unit_at(bytes, offset + 2))) {
            offset += 2;
            code = 0x10000 + ((code - 0xD800) << 10) + (unit_at(bytes, offset) - 0xDC00);
        } else if (is_high_surrogate(code) || is_low_surrogate(code)) {
            // A byte that UTF-8 never holds: the text then matches no tag.
            exact = false;
            *text++ = '\xFF';
            continue;
        }
        text = put_utf8(text, code);
    }
    *text = '\0';
    units = offset / 2;
    return exact;
}

std::uint32_t utf8_to_utf16(const char*& text, const char* end, char* bytes, std::uint32_t capacity)
{
    char* out = bytes;
    char* const limit = bytes + capacity;
    while (text < end) {
        for (; end - text >= 8 && limit - out >= 16 && eight_ascii_bytes(text, out); text += 8)
            out += 16;
        if (text == end)
            break;
        const auto lead = static_cast<unsigned char>(*text);
        if (lead < 0x80 && out + 2 <= limit) {
            *out++ = static_cast<char>(lead);
            *out++ = '\0';
            ++text;
            continue;
        }
        const int trail = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
        if (out + (trail == 3 ? 4 : 2) > limit || text + trail >= end)
            break;
        std::uint32_t code = trail == 0 ? lead : lead & (0x3F >> trail);
        for (int i = 1; i <= trail; ++i)
            code = code << 6 | (static_cast<unsigned char>(text[i]) & 0x3F);
        text += trail + 1;
        if (code >= 0x10000) {
            out = put_unit(out, 0xD800 + ((code - 0x10000) >> 10));
            out = put_unit(out, 0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            out = put_unit(out, code);
        }
    }
    return static_cast<std::uint32_t>(out - bytes);
}
