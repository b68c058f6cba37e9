// Roots of report lines, and the script's text in the report's encoding.
#include "convert/report_text.h"

#include <cstdio>
#include <cstring>

#include "convert/key_safety.h"
#include "convert/line_reader.h"
#include "convert/scheduled_tasks.h"
#include "state/state.h"
#include "text/utf16.h"
#include "written/entry_stream.h"

namespace {

constexpr RootName root_names[] = {
    {"HKLM", "HKEY_LOCAL_MACHINE", false},
    {"HKEY_LOCAL_MACHINE", "HKEY_LOCAL_MACHINE", false},
    {"HKU", "HKEY_USERS", true},
    {"HKEY_USERS", "HKEY_USERS", true},
};

}  // namespace

bool read_report_line(ReportLine& line)
{
    if (report_encoding == ReportEncoding::ansi) {
        if (!read_line_start(line_buffer, input_file))
            return false;
        const auto length = static_cast<std::uint32_t>(std::strlen(line_buffer));
        line = {line_buffer, nullptr, length, length, length == line_length && !line_continues,
                length == 0 && !line_continues, false};
        return true;
    }
    if (!read_line_start(line_buffer, input_file, read_utf16_line))
        return false;
    std::uint32_t units = 0;
    const bool exact = utf16_to_utf8(line_buffer, line_length, report_line, units) && 2 * units == line_length;
    line = {report_line, line_buffer, static_cast<std::uint32_t>(std::strlen(report_line)), units,
            exact && !line_continues, report_line[0] == '\0' && !line_continues, false};
    return true;
}

std::uint32_t units_of_text(std::string_view text, char16_t* units, std::uint32_t capacity)
{
    if (text.empty())
        return 0;
    auto* bytes = reinterpret_cast<char*>(units);
    if (report_encoding == ReportEncoding::ansi)
        return ansi_to_utf16le(text.data(), static_cast<std::uint32_t>(text.size()), bytes, 2 * capacity) / 2;
    const char* next = text.data();
    const std::uint32_t written = utf8_to_utf16(next, text.data() + text.size(), bytes, 2 * capacity);
    return next == text.data() + text.size() ? written / 2 : 0;
}

bool holds_word(std::string_view text, std::string_view word)
{
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; };
    for (std::size_t at = 0; at + word.size() <= text.size(); ++at) {
        std::size_t i = 0;
        while (i < word.size() && lower(text[at + i]) == lower(word[i]))
            ++i;
        if (i == word.size())
            return true;
    }
    return false;
}

const char* key_of(const char* line)
{
    return line + std::strspn(line, " \t");
}

const RootName* root_of(const char* key)
{
    // Asked of every line of a report: most are keys, the rest fail at once.
    if (key[0] != 'H' || key[1] != 'K')
        return nullptr;
    for (const RootName& root : root_names) {
        const std::string_view name = root.written_in_report;
        std::size_t i = 2;
        while (i < name.size() && key[i] == name[i])
            ++i;
        if (i == name.size() && key[i] == '\\')
            return &root;
    }
    return nullptr;
}

void write_script(const char* bytes, std::uint32_t length)
{
    write_file(script_file, bytes, length);
    feed_script_bytes(bytes, length);
}

void write_text(std::string_view text)
{
    if (!script_in_utf16) {
        write_script(text.data(), static_cast<std::uint32_t>(text.size()));
        return;
    }
    if (report_encoding == ReportEncoding::ansi) {
        // Whole, so that no character of a double-byte code page is split.
        alignas(char16_t) static char converted[4 * chunk_size + 256];
        std::uint32_t bytes = ansi_to_utf16le(text.data(), static_cast<std::uint32_t>(text.size()), converted,
                                              sizeof converted);
        // Bytes the code page does not convert are not dropped unseen.
        for (std::size_t i = 0; bytes == 0 && i < text.size() && 2 * i + 1 < sizeof converted; ++i) {
            converted[2 * i] = text[i];
            converted[2 * i + 1] = '\0';
        }
        bytes = bytes == 0 ? static_cast<std::uint32_t>(2 * text.size()) : bytes;
        write_script(converted, bytes);
        return;
    }
    const char* next = text.data();
    const char* const end = next + text.size();
    char units[1024];
    while (next < end)
        write_script(units, utf8_to_utf16(next, end, units, sizeof units));
}

void write_units(const char16_t* units, std::uint32_t length)
{
    if (script_in_utf16) {
        write_script(reinterpret_cast<const char*>(units), 2 * length);
        return;
    }
    // A character takes at most two bytes in the ANSI code pages.
    char bytes[1024];
    for (std::uint32_t done = 0; done < length;) {
        const std::uint32_t part = length - done < 512 ? length - done : 512;
        write_script(bytes, utf16_to_ansi(units + done, part, bytes, sizeof bytes));
        done += part;
    }
}

void convert_script_to_utf16()
{
    char converted_path[path_size + 8];
    std::snprintf(converted_path, sizeof converted_path, "%s.new", script_path);
    input_file = open_file_for_reading(script_path);
    script_file = create_file_for_writing(converted_path);
    bool whole = input_file != invalid_file && script_file != invalid_file;
    if (whole) {
        write_file(script_file, "\xFF\xFE", 2);
        begin_script_entries(true, EntryUse::remember);
        alignas(char16_t) char units[2 * chunk_size + 4];
        line_continues = false;
        while (whole && read_crlf_line(line_buffer, input_file)) {
            const std::uint32_t bytes = ansi_to_utf16le(line_buffer, line_length, units, sizeof units - 4);
            whole = bytes > 0 || line_length == 0;
            // A line longer than a chunk comes in pieces, which stay one line.
            constexpr char line_end[] = {'\r', '\0', '\n', '\0'};
            std::memcpy(units + bytes, line_end, sizeof line_end);
            write_script(units, bytes + (line_continues ? 0 : sizeof line_end));
        }
    }
    if (input_file != invalid_file)
        close_file(input_file);
    input_file = invalid_file;
    if (script_file != invalid_file)
        whole = close_file(script_file) && whole;
    script_file = invalid_file;
    end_script_entries();
    if (!whole || !replace_file(converted_path, script_path)) {
        drop_script_entries();
        delete_file(converted_path);
    }
}

void write_kept_comment(const KeyVerdict& verdict, std::string_view how)
{
    if (verdict.reason == KeptReason::with_task) {
        write_text(with_task_reason);
        write_text(how);
        write_text("\r\n");
        return;
    }
    write_text("; Kept: ");
    switch (verdict.reason) {
    case KeptReason::hive_root:
        write_text("the root of a hive loaded between the shots");
        break;
    case KeptReason::in_loaded_hive:
        write_text("in a hive loaded between the shots");
        break;
    case KeptReason::untied:
        write_text("in Windows' own tree, and nothing in the report ties it to the installation");
        break;
    case KeptReason::tracking_tool:
        write_text("of a tool that tracked the installation");
        break;
    default:
        write_text("Windows' own state (");
        write_text(verdict.kind);
        write_text(")");
    }
    write_text(". ");
    write_text(how);
    write_text("\r\n");
}
