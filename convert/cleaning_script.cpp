// The cleaning-script builder: report section in, registry deletion entries out.
#include "convert/cleaning_script.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "convert/deleted_keys.h"
#include "convert/key_safety.h"
#include "convert/line_reader.h"
#include "convert/report_text.h"
#include "convert/utf16.h"
#include "convert/value_entries.h"
#include "state/state.h"

namespace {

constexpr char script_header[] = "Windows Registry Editor Version 5.00\r\n\r\n";
constexpr char utf16_byte_order_mark[] = "\xFF\xFE";
constexpr char script_name[] = "\\morvane.reg";
constexpr std::uint32_t temp_path_size = 200;

[[noreturn]] void fail(const char* message)
{
    prompt_user(message, style_plain);
    if (input_file != invalid_file)
        close_file(input_file);
    if (script_file != invalid_file)
        close_file(script_file);
    end_process(0);
}

bool read_report_line(ReportLine& line)
{
    if (report_encoding == ReportEncoding::ansi) {
        if (!read_line_start(line_buffer, input_file))
            return false;
        const auto length = static_cast<std::uint32_t>(std::strlen(line_buffer));
        line = {line_buffer, nullptr, length, length, length == line_length && !line_continues,
                length == 0 && !line_continues};
        return true;
    }
    if (!read_line_start(line_buffer, input_file, read_utf16_line))
        return false;
    std::uint32_t units = 0;
    const bool exact = utf16_to_utf8(line_buffer, line_length, report_line, units) && 2 * units == line_length;
    line = {report_line, line_buffer, static_cast<std::uint32_t>(std::strlen(report_line)), units,
            exact && !line_continues, report_line[0] == '\0' && !line_continues};
    return true;
}

// A UTF-16 report is searched for its tags as UTF-8. A tag that the code
// page does not convert matches no line.
std::uint32_t convert_tags(const TagList& tags, char (&converted_tags)[max_tags][sizeof report_tags[0]])
{
    std::uint32_t converted_count = 0;
    for (std::uint32_t t = 0; t < tags.count; ++t) {
        const char* tag = tags.tags[t];
        const auto length = static_cast<std::uint32_t>(std::strlen(tag));
        alignas(char16_t) char units[2 * (tag_slot_size - 1)];
        const std::uint32_t bytes = ansi_to_utf16le(tag, length, units, sizeof units);
        std::uint32_t converted = 0;
        if ((length == 0 || bytes > 0) && utf16_to_utf8(units, bytes, converted_tags[converted_count], converted))
            ++converted_count;
    }
    return converted_count;
}

template <std::size_t Size>
bool begins_with_any(const char* line, const char (&tags)[max_tags][Size], std::uint32_t count)
{
    for (std::uint32_t t = 0; t < count; ++t) {
        if (std::strncmp(line, tags[t], std::strlen(tags[t])) == 0)
            return true;
    }
    return false;
}

bool begins_with_tag(const char* line)
{
    if (report_encoding == ReportEncoding::ansi)
        return begins_with_any(line, tag_list.tags, tag_list.count);
    return begins_with_any(line, report_tags, report_tag_count);
}

bool begins_with_value_tag(const char* line)
{
    if (report_encoding == ReportEncoding::ansi)
        return begins_with_any(line, value_tag_list.tags, value_tag_list.count);
    return begins_with_any(line, report_value_tags, report_value_tag_count);
}

// RegShot's title, such as "Regshot 1.9.0 x64 Unicode" or
// "Regshot 1.9.1 x64 ANSI (beta r321)", names the build that took the shots.
bool names_x64(const char* line)
{
    if (std::strncmp(line, "Regshot ", 8) != 0)
        return false;
    for (const char* word = line; (word = std::strstr(word, " x64")) != nullptr; word += 4) {
        if (word[4] == ' ' || word[4] == '\0')
            return true;
    }
    return false;
}

// Pieces of a line longer than a chunk never count as lines of their own:
// a heading there would start the wrong section, a key there a wrong key.
// RegShot leaves out a section with nothing in it, so the values section's
// heading may come first; false then.
bool find_heading()
{
    ReportLine line;
    line_continues = false;
    if (!read_report_line(line))
        fail("Invalid or empty report file.");
    report_from_x64 = names_x64(line.text);
    while (!begins_with_tag(line.text)) {
        if (begins_with_value_tag(line.text))
            return false;
        if (!read_report_line(line))
            fail("Invalid or empty report file.");
    }
    return true;
}

// The values section follows the keys section in RegShot's reports.
bool find_value_heading()
{
    ReportLine line;
    while (read_report_line(line)) {
        if (begins_with_value_tag(line.text))
            return true;
    }
    return false;
}

// Each byte of `word` that equals `byte` has its high bit set in the result.
std::uint64_t bytes_equal(std::uint64_t word, unsigned char byte)
{
    constexpr std::uint64_t low_bits = 0x7F7F7F7F7F7F7F7F;
    const std::uint64_t differs = word ^ (0x0101010101010101 * byte);
    return ~(((differs & low_bits) + low_bits) | differs | low_bits);
}

// A key names exactly one key when no line break stands in it and no key
// name in its path is empty (a closing backslash, or two in a row): the
// registry editor would delete a parent of the key instead, or the whole
// hive. Reports hold millions of keys, so eight bytes are looked at a time.
bool names_one_key(const char* tail, std::size_t length)
{
    std::uint64_t after_backslash = 0;
    std::size_t at = 0;
    for (; at + 8 <= length; at += 8) {
        std::uint64_t word;
        std::memcpy(&word, tail + at, 8);
        const std::uint64_t backslashes = bytes_equal(word, '\\');
        // Any byte below 0x0E, as CR and LF are, sends the word to the exact
        // test below; key names hardly ever hold such bytes.
        const std::uint64_t low = (word - 0x0E0E0E0E0E0E0E0E) & ~word & 0x8080808080808080;
        if ((low | (backslashes & ((backslashes << 8) | after_backslash))) != 0)
            break;
        after_backslash = backslashes >> 56;
    }
    bool backslash = after_backslash != 0;
    for (; at < length; ++at) {
        const char c = tail[at];
        if (c == '\r' || c == '\n' || (c == '\\' && backslash))
            return false;
        backslash = c == '\\';
    }
    return length >= 2 && tail[length - 1] != '\\';
}

// A key that no installation adds is written commented out, after a line
// that says why: the user can still delete it by removing the ';'.
std::string_view keep_or_count(bool under_users, std::string_view path)
{
    const KeyVerdict verdict = classify_listed_key(under_users, path);
    if (verdict.reason == KeptReason::none) {
        ++key_count;
        remember_deleted_key(under_users, path);
        return "[-";
    }
    ++kept_key_count;
    write_kept_comment(verdict, "Remove the ';' below to delete it anyway.");
    return ";[-";
}

// Only a line that opens with a root name names a key: a root name further
// in belongs to some other key. The entry is written at once: a report may
// give millions.
void write_entry_for(const ReportLine& line)
{
    const char* key = key_of(line.text);
    const RootName* root = root_of(key);
    if (root == nullptr || !line.whole)
        return;
    const char* tail = key + root->written_in_report.size();
    const std::size_t length = line.bytes - static_cast<std::size_t>(tail - line.text);
    if (!names_one_key(tail, length))
        return;
    const std::string_view entry_start = keep_or_count(root->users, {tail + 1, length - 1});
    char entry[2 * chunk_size + 64];
    std::size_t used = 0;
    const auto put = [&entry, &used](std::string_view ascii, std::size_t unit) {
        if (unit == 1) {
            std::memcpy(entry + used, ascii.data(), ascii.size());
            used += ascii.size();
            return;
        }
        for (const char c : ascii) {
            entry[used++] = c;
            entry[used++] = '\0';
        }
    };
    if (line.units != nullptr) {
        // What stands before the tail is ASCII, a unit a byte: the tail's
        // units are the line's own, as read.
        const auto offset = static_cast<std::uint32_t>(tail - line.text);
        const std::uint32_t tail_bytes = 2 * (line.characters - offset);
        put(entry_start, 2);
        put(root->full, 2);
        std::memcpy(entry + used, line.units + 2 * std::size_t{offset}, tail_bytes);
        used += tail_bytes;
        put("]\r\n", 2);
        write_file(script_file, entry, static_cast<std::uint32_t>(used));
        return;
    }
    put(entry_start, 1);
    put(root->full, 1);
    std::memcpy(entry + used, tail, length);
    used += length;
    put("]\r\n", 1);
    write_text({entry, used});
}

// RegShot breaks a result after every wrap_length characters. A line of
// exactly that length is a whole result only when the next line ends the
// section or opens with a root name; otherwise that result was cut, and
// neither it nor the lines that carry it on name a key or a value.
void convert_section(void (*write_entry)(const ReportLine&))
{
    enum class Wrap { none, maybe_cut, cut };
    Wrap wrap = Wrap::none;
    ReportLine line;
    ReportLine held{};
    while (read_report_line(line) && !line.empty) {
        const bool carries_on = wrap != Wrap::none && root_of(key_of(line.text)) == nullptr;
        if (wrap == Wrap::maybe_cut && !carries_on)
            write_entry(held);
        if (line.characters == wrap_length) {
            wrap = carries_on ? Wrap::cut : Wrap::maybe_cut;
            // wrap_length characters always fit; the bound only keeps it so.
            const std::size_t size = std::min(std::strlen(line.text), sizeof held_line - 1);
            std::memcpy(held_line, line.text, size);
            held_line[size] = '\0';
            held = {held_line, nullptr, static_cast<std::uint32_t>(size), line.characters, line.whole, false};
            continue;
        }
        wrap = Wrap::none;
        if (!carries_on)
            write_entry(line);
    }
    if (wrap == Wrap::maybe_cut)
        write_entry(held);
}

}  // namespace

void build_cleaning_script()
{
    input_file = open_file_for_reading(report_path);
    if (input_file == invalid_file)
        fail("Error opening input file.");
    report_encoding = read_encoding(line_buffer, input_file);

    const std::uint32_t length = get_temp_path(temp_path_size, script_path);
    if (length == 0 || length >= temp_path_size)
        fail("Error accessing temporary directory.");

    if (report_encoding == ReportEncoding::utf16le) {
        report_tag_count = convert_tags(tag_list, report_tags);
        report_value_tag_count = convert_tags(value_tag_list, report_value_tags);
    }
    const bool keys_listed = find_heading();
    std::memcpy(script_path + length, script_name, sizeof script_name);

    script_file = create_file_for_writing(script_path);
    if (script_file == invalid_file)
        fail("Error creating temporary file.");
    if (report_encoding == ReportEncoding::utf16le)
        write_file(script_file, utf16_byte_order_mark, 2);
    write_text(script_header);
    key_count = 0;
    kept_key_count = 0;
    value_count = 0;
    forget_listed_hives();
    forget_deleted_keys();
    start_value_entries();

    if (keys_listed)
        convert_section(write_entry_for);
    if (!keys_listed || find_value_heading())
        convert_section(write_value_entry_for);

    close_file(input_file);
    input_file = invalid_file;
    close_file(script_file);
    script_file = invalid_file;
    if (key_count == 0 && value_count == 0 && kept_key_count > 0) {
        char text[192];
        std::snprintf(text, sizeof text,
                      "Nothing to delete: the %d listed key(s) hold Windows' own state, so all are kept (see "
                      "morvane.reg).",
                      kept_key_count);
        fail(text);
    }
    if (key_count == 0 && value_count == 0)
        fail("No keys found, nothing to do.");
}
