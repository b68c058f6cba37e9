// An entry is one line of the script, or a value's line with the lines that
// carry its data on, together with the key section it lies in; or one path
// of the list. Its hash is a polynomial modulo 2^61 - 1 at a point drawn at
// random for each run, over symbols that each carry seven of the entry's
// bytes: two different entries of n bytes share it with a chance of about
// n / 7 / 2^61, and a program that does not know the point cannot make one
// entry pass for another.
#include "review/written_entries.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "convert/line_reader.h"
#include "files/file_list.h"
#include "state/state.h"

namespace {

constexpr std::uint64_t prime = (std::uint64_t{1} << 61) - 1;
constexpr std::uint64_t low31 = (std::uint64_t{1} << 31) - 1;
std::uint64_t point;

// Symbols that mark what an entry is: a symbol of bytes carries their count
// above its 56th bit, so that none is a mark.
enum Mark : std::uint32_t {
    first_line = 256,
    key_line,
    value_line,
    data_line,
    other_line,
    listed_file,
    listed_folder,
};

std::uint64_t reduce(std::uint64_t value)
{
    value = (value & prime) + (value >> 61);
    value = (value & prime) + (value >> 61);
    return value >= prime ? value - prime : value;
}

// a * b modulo the prime in 64-bit steps, which 32-bit builds also have:
// 2^61 is 1 there, so the product's parts above it fold back onto it.
std::uint64_t multiply(std::uint64_t a, std::uint64_t b)
{
    const std::uint64_t a_high = a >> 31;
    const std::uint64_t a_low = a & low31;
    const std::uint64_t b_high = b >> 31;
    const std::uint64_t b_low = b & low31;
    const std::uint64_t middle = a_high * b_low + a_low * b_high;
    return reduce((a_high * b_high << 1) + (middle >> 30) + ((middle & (low31 >> 1)) << 31) + a_low * b_low);
}

std::uint64_t feed(std::uint64_t hash, std::uint64_t symbol)
{
    return reduce(multiply(hash, point) + symbol + 1);
}

// Bytes go in seven at a time, as one symbol below the prime that also
// tells how many bytes it carries (1 to 7), so that no run of bytes is fed
// as a mark or as another run; the bytes of an entry may arrive in pieces.
struct Hash {
    std::uint64_t value;
    std::uint64_t pending;
    std::uint32_t pending_count;
};

void flush(Hash& hash)
{
    if (hash.pending_count == 0)
        return;
    hash.value = feed(hash.value, std::uint64_t{hash.pending_count} << 56 | hash.pending);
    hash.pending = 0;
    hash.pending_count = 0;
}

void feed_bytes(Hash& hash, const char* bytes, std::uint32_t length)
{
    std::uint32_t at = 0;
    while (at < length && hash.pending_count > 0 && hash.pending_count < 7)
        hash.pending |= std::uint64_t{static_cast<unsigned char>(bytes[at++])} << (8 * hash.pending_count++);
    if (hash.pending_count == 7)
        flush(hash);
    for (; at + 8 <= length; at += 7) {
        std::uint64_t word;
        std::memcpy(&word, bytes + at, 8);
        hash.value = feed(hash.value, std::uint64_t{7} << 56 | (word & 0x00FFFFFFFFFFFFFF));
    }
    for (; at < length; ++at) {
        hash.pending |= std::uint64_t{static_cast<unsigned char>(bytes[at])} << (8 * hash.pending_count++);
        if (hash.pending_count == 7)
            flush(hash);
    }
}

void feed_mark(Hash& hash, Mark mark)
{
    flush(hash);
    hash.value = feed(hash.value, mark);
}

Hash begun(std::uint64_t from, Mark mark)
{
    Hash hash{from, 0, 0};
    feed_mark(hash, mark);
    return hash;
}

std::uint64_t finished(Hash& hash)
{
    flush(hash);
    return hash.value;
}

// 32 MiB of hashes: scripts of millions of lines. An entry past them is
// not remembered, and so is shown to the user.
constexpr std::uint32_t max_written = std::uint32_t{1} << 22;
std::uint64_t written[max_written];
std::uint32_t written_count;

std::uint32_t foreign_count;
char foreign_lines[max_foreign_entries_shown * 160 + 1];

void take(std::uint64_t hash, bool remember, const char* file, std::uint32_t line, const char* text)
{
    if (remember) {
        if (written_count < max_written)
            written[written_count++] = hash;
        return;
    }
    if (std::binary_search(written, written + written_count, hash) || foreign_count++ >= max_foreign_entries_shown)
        return;
    const std::size_t used = std::strlen(foreign_lines);
    std::snprintf(foreign_lines + used, sizeof foreign_lines - used, "%s, line %u: %s\n", file, line, text);
}

// The line's text as the message shows it: in the ANSI code page, cut
// after 100 characters.
char shown[128];

constexpr std::uint32_t shown_length = 100;

void end_shown(std::uint32_t bytes, bool cut)
{
    std::memcpy(shown + bytes, cut ? "..." : "", cut ? 4 : 1);
}

void show_units(const char16_t* units, std::uint32_t length)
{
    const std::uint32_t kept = length > shown_length ? shown_length : length;
    end_shown(utf16_to_ansi(units, kept, shown, sizeof shown - 4), length > kept);
}

// The unit at `index` of the line in line_buffer.
char16_t unit_at(std::size_t index, bool utf16)
{
    if (!utf16)
        return static_cast<unsigned char>(line_buffer[index]);
    return static_cast<char16_t>(static_cast<unsigned char>(line_buffer[2 * index]) |
                                 static_cast<unsigned char>(line_buffer[2 * index + 1]) << 8);
}

void show_line(bool utf16)
{
    const std::uint32_t length = utf16 ? line_length / 2 : line_length;
    if (!utf16) {
        // An 8-bit line is in the code page already.
        const std::uint32_t kept = length > shown_length ? shown_length : length;
        std::memcpy(shown, line_buffer, kept);
        end_shown(kept, length > kept);
        return;
    }
    char16_t units[shown_length + 1];
    const std::uint32_t taken = length > shown_length + 1 ? shown_length + 1 : length;
    for (std::uint32_t i = 0; i < taken; ++i)
        units[i] = unit_at(i, true);
    show_units(units, taken);
}

TextForm form_of(FileHandle file)
{
    char start[3] = {};
    const std::uint32_t read = read_file(file, start, 3);
    move_file_position(file, -static_cast<std::int32_t>(read));
    if (read >= 2 && start[0] == '\xFF' && start[1] == '\xFE')
        return TextForm::utf16le;
    if (read >= 2 && start[0] == '\xFE' && start[1] == '\xFF')
        return TextForm::utf16be;
    if (read == 3 && std::memcmp(start, "\xEF\xBB\xBF", 3) == 0)
        return TextForm::utf8;
    return TextForm::ansi;
}

// The first unit of the line that is not a blank, or 0.
char16_t first_unit(bool utf16)
{
    const std::uint32_t length = utf16 ? line_length / 2 : line_length;
    for (std::uint32_t i = 0; i < length; ++i) {
        const char16_t unit = unit_at(i, utf16);
        if (unit != u' ' && unit != u'\t')
            return unit;
    }
    return u'\0';
}

bool ends_with_backslash(bool utf16)
{
    return utf16 ? line_length >= 2 && line_buffer[line_length - 2] == '\\' && line_buffer[line_length - 1] == '\0'
                 : line_length >= 1 && line_buffer[line_length - 1] == '\\';
}

}  // namespace

void forget_written_entries()
{
    get_random_bytes(&point, sizeof point);
    point = reduce(point);
    written_count = 0;
    foreign_count = 0;
    foreign_lines[0] = '\0';
}

void seal_written_entries()
{
    std::sort(written, written + written_count);
}

std::uint32_t foreign_entry_count()
{
    return foreign_count;
}

const char* foreign_entry_lines()
{
    return foreign_lines;
}

bool walk_script_entries(const char* path, bool remember, TextForm& form)
{
    input_file = open_file_for_reading(path);
    if (input_file == invalid_file)
        return false;
    form = form_of(input_file);
    const bool utf16 = read_encoding(line_buffer, input_file) == ReportEncoding::utf16le;
    bool (*const read_piece)(char*, FileHandle) = utf16 ? read_utf16_line : read_crlf_line;
    std::uint64_t section = 0;  // the hash of the key line that values lie under
    Hash entry{0, 0, 0};
    std::uint32_t line = 0;
    std::uint32_t entry_line = 0;
    bool open = false;  // an entry has begun and is not taken yet
    bool skipped = false;  // the line is a comment or blank
    bool key = false;
    bool value = false;
    bool piece_continues = false;
    bool value_goes_on = false;
    line_continues = false;
    while (read_piece(line_buffer, input_file)) {
        if (!piece_continues) {
            ++line;
            const char16_t first = first_unit(utf16);
            skipped = !value_goes_on && line > 1 && (first == u'\0' || first == u';');
            if (value_goes_on) {
                feed_mark(entry, data_line);
            } else if (!skipped) {
                key = line > 1 && first == u'[';
                value = line > 1 && (first == u'"' || first == u'@');
                entry = line == 1 ? begun(0, first_line)
                        : key     ? begun(0, key_line)
                        : value   ? begun(section, value_line)
                                  : begun(0, other_line);
                entry_line = line;
                show_line(utf16);
                open = true;
            }
        }
        piece_continues = line_continues;
        if (skipped)
            continue;
        feed_bytes(entry, line_buffer, line_length);
        // The registry editor carries a value's data on past a line that
        // ends with a backslash.
        value_goes_on = value && !piece_continues && ends_with_backslash(utf16);
        if (piece_continues || value_goes_on)
            continue;
        const std::uint64_t hash = finished(entry);
        if (key)
            section = hash;
        take(hash, remember, "morvane.reg", entry_line, shown);
        open = false;
    }
    if (open)
        take(finished(entry), remember, "morvane.reg", entry_line, shown);
    close_file(input_file);
    input_file = invalid_file;
    return true;
}

bool walk_list_entries(bool remember)
{
    if (!open_file_list())
        return false;
    ListEntry listed;
    while (next_list_entry(listed)) {
        Hash hash = begun(0, listed.folder ? listed_folder : listed_file);
        for (std::uint32_t i = 0; i < listed.length; ++i) {
            const char unit[2] = {static_cast<char>(listed.path[i] & 0xFF), static_cast<char>(listed.path[i] >> 8)};
            feed_bytes(hash, unit, 2);
        }
        show_units(listed.path, listed.length);
        take(finished(hash), remember, "morvane-files.txt", listed.line, shown);
    }
    close_file_list();
    return true;
}
