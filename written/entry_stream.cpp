// Lines are cut where the registry editor cuts them, at CR LF. Whether a
// line begins an entry is told by its first unit that is not a blank,
// which may come late: each entry's marks go in behind its bytes.
#include "written/entry_stream.h"

#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "written/entry_hash.h"

namespace {

constexpr std::uint32_t shown_length = 100;
constexpr std::uint32_t start_size = 2 * (shown_length + 1);

struct Stream {
    EntryHash entry;
    std::uint64_t section;  // the hash of the key line that values lie under
    std::uint32_t unit;  // bytes a unit: 1 or 2
    std::uint32_t line;
    std::uint32_t entry_line;
    EntryUse use;
    Mark mark;  // of the entry begun
    char16_t first;  // the line's first unit that is not a blank
    char16_t last;  // its last unit, or 0
    bool first_found;
    bool line_begun;
    bool held_cr;  // the bytes fed ended with a CR that may end the line
    bool odd_byte_held;
    char odd_byte;
    bool value_goes_on;  // the value's data carries on past the line
    // Kept to show an entry that was not written: its first line's start.
    char line_start[start_size];
    std::uint32_t line_start_length;
    char entry_start[start_size];
    std::uint32_t entry_start_length;
};
Stream stream;
bool streamed;
TextForm streamed_form;

std::uint32_t foreign_count;
char foreign_lines[max_foreign_entries_shown * 160 + 1];

constexpr char cr_unit[] = {'\r', '\0'};

char16_t unit_at(const char* bytes, std::uint32_t index)
{
    if (stream.unit == 1)
        return static_cast<unsigned char>(bytes[index]);
    return static_cast<char16_t>(static_cast<unsigned char>(bytes[std::size_t{2} * index]) |
                                 static_cast<unsigned char>(bytes[std::size_t{2} * index + 1]) << 8);
}

void begin_line()
{
    if (stream.line_begun)
        return;
    stream.line_begun = true;
    ++stream.line;
    stream.first_found = false;
    stream.first = stream.last = u'\0';
    stream.line_start_length = 0;
    if (stream.value_goes_on)
        feed_mark(stream.entry, Mark::data_line);
    else
        stream.entry = EntryHash{0, 0, 0};
}

bool comment_or_blank()
{
    return !stream.value_goes_on && stream.line > 1 && (!stream.first_found || stream.first == u'\0' || stream.first == u';');
}

void take_content(const char* bytes, std::uint32_t length)
{
    begin_line();
    const std::uint32_t units = length / stream.unit;
    for (std::uint32_t i = 0; i < units && !stream.first_found; ++i) {
        const char16_t unit = unit_at(bytes, i);
        stream.first_found = unit != u' ' && unit != u'\t';
        stream.first = unit;
    }
    if (units > 0)
        stream.last = unit_at(bytes, units - 1);
    if (stream.use == EntryUse::check && stream.line_start_length < start_size) {
        const std::uint32_t kept = length < start_size - stream.line_start_length ? length : start_size - stream.line_start_length;
        std::memcpy(stream.line_start + stream.line_start_length, bytes, kept);
        stream.line_start_length += kept;
    }
    // A comment's bytes are hashed for nothing once it is known to be one.
    if (!(stream.first_found && comment_or_blank()))
        feed_bytes(stream.entry, bytes, length);
}

void finish_entry()
{
    feed_mark(stream.entry, stream.mark);
    feed_value(stream.entry, stream.mark == Mark::value_line ? stream.section : 0);
    const std::uint64_t hash = finished(stream.entry);
    if (stream.mark == Mark::key_line)
        stream.section = hash;
    if (stream.use == EntryUse::remember)
        remember_entry(hash);
    else if (!entry_was_written(hash))
        note_foreign_entry("morvane.reg", stream.entry_line, stream.entry_start, stream.entry_start_length,
                           stream.unit == 2);
}

void end_line()
{
    begin_line();
    stream.line_begun = false;
    if (!stream.value_goes_on) {
        if (comment_or_blank())
            return;
        const char16_t first = stream.first;
        stream.mark = stream.line == 1               ? Mark::first_line
                      : first == u'['                ? Mark::key_line
                      : first == u'"' || first == u'@' ? Mark::value_line
                                                     : Mark::other_line;
        stream.entry_line = stream.line;
        std::memcpy(stream.entry_start, stream.line_start, stream.line_start_length);
        stream.entry_start_length = stream.line_start_length;
    }
    // The registry editor carries a value's data on past a line that ends
    // with a backslash.
    stream.value_goes_on = stream.mark == Mark::value_line && stream.last == u'\\';
    if (!stream.value_goes_on)
        finish_entry();
}

bool ends_with_cr(const char* bytes, std::uint32_t length)
{
    const std::uint32_t unit = stream.unit == 2 ? 2 : 1;
    return length >= unit && bytes[length - unit] == '\r' && (unit == 1 || bytes[length - 1] == '\0');
}

// The offset of the first LF unit in `bytes`, or `length`.
std::uint32_t find_lf(const char* bytes, std::uint32_t length)
{
    for (std::uint32_t from = 0; from < length;) {
        const void* found = std::memchr(bytes + from, '\n', length - from);
        if (found == nullptr)
            return length;
        const auto at = static_cast<std::uint32_t>(static_cast<const char*>(found) - bytes);
        if (stream.unit == 1 || (at % 2 == 0 && at + 1 < length && bytes[at + 1] == '\0'))
            return at;
        from = at + 1;
    }
    return length;
}

void let_go_of_cr()
{
    if (stream.held_cr) {
        stream.held_cr = false;
        take_content(cr_unit, stream.unit);
    }
}

void feed_units(const char* bytes, std::uint32_t length)
{
    const std::uint32_t unit = stream.unit == 2 ? 2 : 1;
    while (length > 0) {
        const std::uint32_t lf = find_lf(bytes, length);
        if (lf == length) {
            let_go_of_cr();
            const bool cr = ends_with_cr(bytes, length);
            take_content(bytes, cr ? length - unit : length);
            stream.held_cr = cr;
            return;
        }
        if (lf == 0 && stream.held_cr) {
            stream.held_cr = false;
            end_line();
        } else if (let_go_of_cr(), ends_with_cr(bytes, lf)) {
            take_content(bytes, lf - unit);
            end_line();
        } else {
            // A lone LF is a part of the line.
            take_content(bytes, lf + unit);
        }
        bytes += lf + unit;
        length -= lf + unit;
    }
}

}  // namespace

void begin_script_entries(bool utf16, EntryUse use)
{
    stream = Stream{};
    stream.use = use;
    stream.unit = utf16 ? 2 : 1;
    streamed = false;
    streamed_form = utf16 ? TextForm::utf16le : TextForm::ansi;
    if (use == EntryUse::remember)
        forget_written_entries();
}

void feed_script_bytes(const char* bytes, std::uint32_t length)
{
    if (length > 0 && stream.odd_byte_held) {
        const char pair[2] = {stream.odd_byte, bytes[0]};
        stream.odd_byte_held = false;
        feed_units(pair, 2);
        ++bytes;
        --length;
    }
    if (length % stream.unit != 0) {
        stream.odd_byte = bytes[--length];
        stream.odd_byte_held = true;
    }
    feed_units(bytes, length);
}

void end_script_entries()
{
    let_go_of_cr();
    if (stream.odd_byte_held)
        take_content(&stream.odd_byte, 1);
    if (stream.line_begun)
        end_line();
    if (stream.value_goes_on)
        finish_entry();
    streamed = stream.use == EntryUse::remember;
}

void drop_script_entries()
{
    streamed = false;
}

bool streamed_script_form(TextForm& form)
{
    form = streamed_form;
    return streamed;
}

void forget_foreign_entries()
{
    foreign_count = 0;
    foreign_lines[0] = '\0';
}

// The line's text as the message shows it: in the ANSI code page, cut
// after 100 characters.
void note_foreign_entry(const char* file, std::uint32_t line, const char* bytes, std::uint32_t length, bool utf16)
{
    if (foreign_count++ >= max_foreign_entries_shown)
        return;
    char shown[2 * shown_length + 8];
    const std::uint32_t units = utf16 ? length / 2 : length;
    const std::uint32_t kept = units > shown_length ? shown_length : units;
    std::uint32_t used = kept;
    if (utf16) {
        char16_t text[shown_length];
        for (std::uint32_t i = 0; i < kept; ++i) {
            const auto low = static_cast<unsigned char>(bytes[std::size_t{2} * i]);
            const auto high = static_cast<unsigned char>(bytes[std::size_t{2} * i + 1]);
            text[i] = static_cast<char16_t>(low | high << 8);
        }
        used = utf16_to_ansi(text, kept, shown, sizeof shown - 4);
    } else {
        // An 8-bit line is in the code page already.
        std::memcpy(shown, bytes, kept);
    }
    std::memcpy(shown + used, units > kept ? "..." : "", units > kept ? 4 : 1);
    const std::size_t at = std::strlen(foreign_lines);
    std::snprintf(foreign_lines + at, sizeof foreign_lines - at, "%s, line %u: %s\n", file, line, shown);
}

std::uint32_t foreign_entry_count()
{
    return foreign_count;
}

const char* foreign_entry_lines()
{
    return foreign_lines;
}
