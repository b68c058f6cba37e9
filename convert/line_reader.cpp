// The CR LF line reader, for 8-bit and for UTF-16LE text.
#include "convert/line_reader.h"

#include <cstring>

namespace {

// `Unit` is the size of a character: 1 for 8-bit text, 2 for UTF-16LE.
template <std::uint32_t Unit>
bool is_line_end(const char* cr)
{
    if constexpr (Unit == 1)
        return cr[1] == '\n';
    else
        return cr[1] == '\0' && cr[2] == '\n' && cr[3] == '\0';
}

template <std::uint32_t Unit>
bool read_line(char* buffer, FileHandle file)
{
    constexpr std::uint32_t pair = 2 * Unit;
    const std::uint32_t n = read_file(file, buffer, chunk_size);
    if (n == 0)
        return false;
    if (n >= pair) {
        // A pair must begin early enough to end inside the chunk.
        char* const last_start = buffer + (n - pair);
        for (char* cr = buffer; cr <= last_start && (cr = static_cast<char*>(std::memchr(cr, '\r', last_start - cr + 1)));
             ++cr) {
            if ((cr - buffer) % Unit == 0 && is_line_end<Unit>(cr)) {
                move_file_position(file, -static_cast<std::int32_t>(buffer + n - (cr + pair)));
                *cr = '\0';
                line_length = static_cast<std::uint32_t>(cr - buffer);
                line_continues = false;
                return true;
            }
        }
    }
    buffer[n] = '\0';
    line_length = n;
    line_continues = n == chunk_size;
    return true;
}

}  // namespace

bool read_crlf_line(char* buffer, FileHandle file)
{
    return read_line<1>(buffer, file);
}

bool read_utf16_line(char* buffer, FileHandle file)
{
    return read_line<2>(buffer, file);
}

bool read_line_start(char* buffer, FileHandle file, bool (*read_line)(char*, FileHandle))
{
    bool rest_of_line = line_continues;
    while (read_line(buffer, file)) {
        if (!rest_of_line)
            return true;
        rest_of_line = line_continues;
    }
    return false;
}

ReportEncoding read_encoding(char* buffer, FileHandle file)
{
    const std::uint32_t n = read_file(file, buffer, 2);
    const auto first = static_cast<unsigned char>(buffer[0]);
    const auto second = static_cast<unsigned char>(buffer[1]);
    if (n == 2 && first == 0xFF && second == 0xFE)
        return ReportEncoding::utf16le;
    move_file_position(file, -static_cast<std::int32_t>(n));
    return n == 2 && first != 0 && second == 0 ? ReportEncoding::utf16le : ReportEncoding::ansi;
}
