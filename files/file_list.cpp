// Reads the list in the encoding it was saved in: UTF-16LE as written, or
// UTF-8 or the ANSI code page where Notepad saved it so.
#include "files/file_list.h"

#include <cstring>

#include "convert/line_reader.h"
#include "files/file_view.h"
#include "state/state.h"
#include "text/utf16.h"

namespace {

enum class ListEncoding : std::uint8_t { utf16le, utf8, ansi };
ListEncoding encoding;
std::uint32_t line_number;
char16_t entry_units[chunk_size + 1];

// Notepad saves well-formed UTF-8: a line that is not names nothing the
// user wrote.
bool well_formed_utf8(const unsigned char* text, std::uint32_t length)
{
    for (std::uint32_t at = 0; at < length;) {
        const unsigned char lead = text[at];
        const int trail = lead < 0x80 ? 0 : lead >= 0xC2 && lead < 0xE0 ? 1 : lead >= 0xE0 && lead < 0xF0 ? 2
                                          : lead >= 0xF0 && lead < 0xF5                      ? 3
                                                                                             : -1;
        if (trail < 0 || at + static_cast<std::uint32_t>(trail) >= length + (trail == 0 ? 1 : 0))
            return false;
        std::uint32_t code = trail == 0 ? lead : lead & (0x3Fu >> trail);
        for (int i = 1; i <= trail; ++i) {
            if ((text[at + static_cast<std::uint32_t>(i)] & 0xC0) != 0x80)
                return false;
            code = code << 6 | (text[at + static_cast<std::uint32_t>(i)] & 0x3Fu);
        }
        constexpr std::uint32_t least[] = {0, 0x80, 0x800, 0x10000};
        if (code < least[trail] || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000))
            return false;
        at += static_cast<std::uint32_t>(trail) + 1;
    }
    return true;
}

// The line's units; false when it does not convert whole.
bool units_of_line(std::uint32_t& length)
{
    auto* bytes = reinterpret_cast<char*>(entry_units);
    if (encoding == ListEncoding::utf16le) {
        length = line_length / 2;
        std::memcpy(entry_units, line_buffer, 2 * std::size_t{length});
        return line_length % 2 == 0;
    }
    if (encoding == ListEncoding::ansi) {
        length = ansi_to_utf16le(line_buffer, line_length, bytes, 2 * chunk_size) / 2;
        return length > 0 || line_length == 0;
    }
    if (!well_formed_utf8(reinterpret_cast<const unsigned char*>(line_buffer), line_length))
        return false;
    const char* next = line_buffer;
    const char* const end = line_buffer + line_length;
    length = utf8_to_utf16(next, end, bytes, 2 * chunk_size) / 2;
    return next == end;
}

bool blank(char16_t unit)
{
    return unit == u' ' || unit == u'\t';
}

}  // namespace

bool open_file_list()
{
    input_file = open_file_for_reading(list_path);
    if (input_file == invalid_file)
        return false;
    char start[3] = {};
    const std::uint32_t read = read_file(input_file, start, 3);
    move_file_position(input_file, -static_cast<std::int32_t>(read));
    if (read == 3 && std::memcmp(start, "\xEF\xBB\xBF", 3) == 0) {
        move_file_position(input_file, 3);
        encoding = ListEncoding::utf8;
    } else {
        encoding = read_encoding(line_buffer, input_file) == ReportEncoding::utf16le ? ListEncoding::utf16le
                                                                                      : ListEncoding::ansi;
    }
    line_continues = false;
    line_number = 0;
    return true;
}

bool next_list_entry(ListEntry& entry)
{
    for (;;) {
        const bool read = encoding == ListEncoding::utf16le ? read_line_start(line_buffer, input_file, read_utf16_line)
                                                            : read_line_start(line_buffer, input_file);
        if (!read)
            return false;
        ++line_number;
        std::uint32_t length = 0;
        if (line_continues || !units_of_line(length))
            continue;
        std::uint32_t start = 0;
        while (start < length && blank(entry_units[start]))
            ++start;
        while (length > start && blank(entry_units[length - 1]))
            --length;
        const bool folder = length > start && entry_units[length - 1] == u'\\';
        length -= folder ? 1 : 0;
        if (length == start || entry_units[start] == u';' || !is_full_path(entry_units + start, length - start))
            continue;
        entry_units[length] = u'\0';
        entry = {entry_units + start, length - start, folder, line_number};
        return true;
    }
}

void close_file_list()
{
    close_file(input_file);
    input_file = invalid_file;
}
