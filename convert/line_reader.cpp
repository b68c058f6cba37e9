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

// The line end is looked for where the bytes lie in the file's window, and
// only the line is copied: a chunk copied per line would cost far more than
// the line.
template <std::uint32_t Unit>
bool read_line(char* buffer, FileHandle file)
{
    constexpr std::uint32_t pair = 2 * Unit;
    const char* bytes = nullptr;
    const std::uint32_t n = peek_file(file, bytes, chunk_size);
    if (n == 0)
        return false;
    std::uint32_t length = n;
    std::uint32_t skip = n;
    if (n >= pair) {
        // A pair must begin early enough to end inside the chunk.
        const char* const last_start = bytes + (n - pair);
        for (const char* cr = bytes;
             cr <= last_start && (cr = static_cast<const char*>(std::memchr(cr, '\r', last_start - cr + 1))); ++cr) {
            if ((cr - bytes) % Unit == 0 && is_line_end<Unit>(cr)) {
                length = static_cast<std::uint32_t>(cr - bytes);
                skip = length + pair;
                break;
            }
        }
    }
    std::memcpy(buffer, bytes, length);
    buffer[length] = '\0';
    move_file_position(file, static_cast<std::int32_t>(skip));
    line_length = length;
    line_continues = length == chunk_size;
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

// Reports have been seen whose first character was damaged: their text is
// told from the ASCII characters after it, each followed by a zero.
ReportEncoding read_report_encoding(char* buffer, FileHandle file)
{
    const ReportEncoding encoding = read_encoding(buffer, file);
    if (encoding == ReportEncoding::utf16le)
        return encoding;
    constexpr std::uint32_t looked_at = 32;
    const std::uint32_t n = read_file(file, buffer, looked_at);
    move_file_position(file, -static_cast<std::int32_t>(n));
    std::uint32_t ascii_units = 0;
    for (std::uint32_t at = 2; at + 1 < n; at += 2) {
        if (buffer[at] == 0 || buffer[at + 1] != 0 || static_cast<unsigned char>(buffer[at]) >= 0x80)
            break;
        ++ascii_units;
    }
    return ascii_units >= 6 ? ReportEncoding::utf16le : ReportEncoding::ansi;
}
