// The CR LF line reader.
#include "convert/line_reader.h"

#include <cstring>

#include "state/state.h"

bool read_crlf_line(char* buffer, FileHandle file)
{
    const std::uint32_t n = read_file(file, buffer, chunk_size);
    if (n == 0)
        return false;
    // A pair must begin before the chunk's last byte.
    char* const last = buffer + n - 1;
    for (char* cr = buffer; (cr = static_cast<char*>(std::memchr(cr, '\r', last - cr))); ++cr) {
        if (cr[1] == '\n') {
            move_file_position(file, -static_cast<std::int32_t>(last - cr - 1));
            *cr = '\0';
            line_continues = false;
            return true;
        }
    }
    buffer[n] = '\0';
    line_continues = n == chunk_size;
    return true;
}

bool read_line_start(char* buffer, FileHandle file)
{
    bool rest_of_line = line_continues;
    while (read_crlf_line(buffer, file)) {
        if (!rest_of_line)
            return true;
        rest_of_line = line_continues;
    }
    return false;
}
