// The native stand-in's ANSI code page: Windows-1252, or another through
// the C library's converter.
#include "platform/platform.h"
#include "platform/posix_names.h"

#include <iconv.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

namespace {

// The stand-in's ANSI code page is Windows-1252: Latin-1 but for the
// characters that it puts at 0x80 to 0x9F.
constexpr std::uint16_t windows_1252_high[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// MORVANE_ANSI_CODE_PAGE (1251, 932, ...) gives the stand-in another ANSI
// code page, through the C library's converter; unset, it is 1252 and the
// converter is nullptr.
iconv_t converter(bool to_ansi)
{
    static iconv_t converters[2];
    const char* code_page = setting("MORVANE_ANSI_CODE_PAGE");
    if (code_page == nullptr || *code_page == '\0' || std::strcmp(code_page, "1252") == 0)
        return nullptr;
    if (converters[0] == nullptr) {
        // iconv_open's failure is (iconv_t)-1.
        const auto failed = reinterpret_cast<iconv_t>(-1);  // NOLINT(performance-no-int-to-ptr)
        char name[32];
        std::snprintf(name, sizeof name, "CP%s", code_page);
        converters[0] = iconv_open("UTF-16LE", name);
        converters[1] = iconv_open(name, "UTF-16LE");
        if (converters[0] == failed || converters[1] == failed)
            std::abort();
    }
    return converters[to_ansi ? 1 : 0];
}

std::size_t convert(iconv_t with, const char* from, std::size_t length, char* to, std::size_t capacity)
{
    iconv(with, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(from);
    char* out = to;
    std::size_t left = capacity;
    return iconv(with, &in, &length, &out, &left) == static_cast<std::size_t>(-1) ? 0 : capacity - left;
}

}  // namespace

std::uint32_t utf16_to_ansi(const char16_t* text, std::uint32_t length, char* bytes, std::uint32_t capacity)
{
    if (const iconv_t with = converter(true); with != nullptr) {
        std::uint32_t written = 0;
        for (std::uint32_t i = 0; i < length && written < capacity; ++i) {
            char one[8];
            const std::size_t got = convert(with, reinterpret_cast<const char*>(text + i), 2, one, sizeof one);
            if (got == 0 || written + got > capacity) {
                bytes[written++] = '?';
                continue;
            }
            std::memcpy(bytes + written, one, got);
            written += static_cast<std::uint32_t>(got);
        }
        return written;
    }
    std::uint32_t written = 0;
    for (; written < length && written < capacity; ++written) {
        const char16_t unit = text[written];
        char byte = '?';
        // Only the units outside Latin-1's own are looked up: the table
        // costs more than the text's plain letters.
        if (unit < 0x80 || (unit >= 0xA0 && unit < 0x100)) {
            byte = static_cast<char>(unit);
        } else {
            for (std::uint32_t high = 0; high < std::size(windows_1252_high); ++high) {
                if (windows_1252_high[high] == unit)
                    byte = static_cast<char>(0x80 + high);
            }
        }
        bytes[written] = byte;
    }
    return written;
}

std::uint32_t ansi_to_utf16le(const char* text, std::uint32_t length, char* bytes, std::uint32_t capacity)
{
    if (const iconv_t with = converter(false); with != nullptr)
        return length == 0 ? 0 : static_cast<std::uint32_t>(convert(with, text, length, bytes, capacity));
    const auto& high = windows_1252_high;
    if (std::size_t{length} * 2 > capacity)
        return 0;
    // Key names are nearly always ASCII: that case widens in vector steps.
    unsigned char seen = 0;
    for (std::uint32_t i = 0; i < length; ++i)
        seen |= static_cast<unsigned char>(text[i]);
    if (seen < 0x80) {
        for (std::uint32_t i = 0; i < length; ++i) {
            bytes[std::size_t{2} * i] = text[i];
            bytes[std::size_t{2} * i + 1] = '\0';
        }
        return 2 * length;
    }
    for (std::uint32_t i = 0; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const std::uint16_t unit = byte >= 0x80 && byte < 0xA0 ? high[byte - 0x80] : byte;
        bytes[std::size_t{2} * i] = static_cast<char>(unit & 0xFF);
        bytes[std::size_t{2} * i + 1] = static_cast<char>(unit >> 8);
    }
    return 2 * length;
}
