// The cleaning-script builder: the report's registry sections in, registry
// script entries out.
#include "convert/cleaning_script.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "convert/changed_values.h"
#include "convert/deleted_keys.h"
#include "convert/headings.h"
#include "convert/key_entries.h"
#include "convert/key_safety.h"
#include "convert/line_reader.h"
#include "convert/report_survey.h"
#include "convert/report_text.h"
#include "convert/scheduled_tasks.h"
#include "convert/value_entries.h"
#include "state/state.h"
#include "written/entry_stream.h"

namespace {

constexpr char script_header[] = "Windows Registry Editor Version 5.00\r\n\r\n";
constexpr char utf16_byte_order_mark[] = "\xFF\xFE";
constexpr char script_name[] = "\\morvane.reg";
constexpr std::uint32_t temp_path_size = 200;
std::uint32_t temp_length;

[[noreturn]] void fail(const char* message)
{
    prompt_user(message, style_plain);
    if (input_file != invalid_file)
        close_file(input_file);
    if (script_file != invalid_file)
        close_file(script_file);
    end_process(0);
}

// RegShot breaks a result after every wrap_length characters, and a value's
// data may hold line breaks of its own. A line that does not open with a
// root name carries on the result before it when that one may go on: after
// a line of exactly wrap_length characters, and in a section of old and new
// lines after any line, so that a cut pair cannot shift the pairing. A
// result that was carried on was cut: it is handed on, but not whole.
void convert_section(void (*write_entry)(const ReportLine&), bool pairs)
{
    enum class Held { none, open, cut };
    Held held = Held::none;
    ReportLine line;
    ReportLine kept{};
    const auto hand_on_held = [&] {
        kept.wrapped = kept.whole && held == Held::cut;
        kept.whole = kept.whole && held == Held::open;
        write_entry(kept);
        held = Held::none;
    };
    while (read_report_line(line) && !line.empty) {
        const bool opens = root_of(key_of(line.text)) != nullptr;
        if (held != Held::none && !opens) {
            held = Held::cut;
            continue;
        }
        if (held != Held::none)
            hand_on_held();
        if (!opens || (!pairs && line.characters != wrap_length)) {
            write_entry(line);
            continue;
        }
        // A line of RegShot's fits; a longer one can only be cut.
        const std::size_t size = std::min(std::strlen(line.text), sizeof held_line - 1);
        std::memcpy(held_line, line.text, size);
        held_line[size] = '\0';
        kept = {held_line, nullptr, static_cast<std::uint32_t>(size), line.characters,
                line.whole && line.characters <= wrap_length, false, false};
        held = Held::open;
    }
    if (held != Held::none)
        hand_on_held();
}

void create_script()
{
    script_file = create_file_for_writing(script_path);
    if (script_file == invalid_file) {
        static char text[path_size + 256];
        creation_failure_text(text, sizeof text, script_path);
        fail(text);
    }
    if (script_in_utf16)
        write_file(script_file, utf16_byte_order_mark, 2);
    begin_script_entries(script_in_utf16, EntryUse::remember);
    write_text(script_header);
    key_count = 0;
    kept_key_count = 0;
    noted_service_count = 0;
    service_note_whole = true;
    untied_count = 0;
    value_count = 0;
    set_back_count = 0;
    script_needs_utf16 = false;
    forget_listed_hives();
    forget_deleted_keys();
    start_value_entries();
    start_changed_values();
}

// Sections come in RegShot's order, the keys first: a section's first
// heading opens it and closes those before it (the values sections rely on
// knowing every deleted key). The sections of files and folders are read by
// the file list, from the first of them on.
void convert_sections(ReportLine& line, std::int64_t line_start)
{
    std::uint32_t next = 0;  // the keys, then the sections in their order
    do {
        std::uint32_t s = next;
        while (s <= section_count &&
               !(s == 0 ? opens_keys(line.text) : opens_section(line.text, static_cast<Section>(s - 1))))
            ++s;
        if (s > section_count)
            continue;
        next = s + 1;
        if (script_file == invalid_file) {
            std::memcpy(script_path + temp_length, script_name, sizeof script_name);
            create_script();
        }
        if (s == 0) {
            convert_section(write_key_entry, false);
            continue;
        }
        switch (static_cast<Section>(s - 1)) {
        case Section::values_added:
            convert_section(write_value_entry_for, false);
            break;
        case Section::values_modified:
            convert_section(write_changed_value_for, true);
            break;
        default:
            if (file_sections_at < 0)
                file_sections_at = line_start;
        }
    } while ((line_start = file_position(input_file), read_report_line(line)));
}

}  // namespace

void build_cleaning_script()
{
    input_file = open_file_for_reading(report_path);
    if (input_file == invalid_file)
        fail("Error opening input file.");
    report_encoding = read_report_encoding(line_buffer, input_file);

    temp_length = get_temp_path(temp_path_size, script_path);
    if (temp_length == 0 || temp_length >= temp_path_size)
        fail("Error accessing temporary directory.");

    prepare_headings();
    file_sections_at = -1;
    ReportLine line;
    line_continues = false;
    const std::int64_t first_line = file_position(input_file);
    if (!read_report_line(line))
        fail("Invalid or empty report file.");
    survey_report(first_line, build_named_in(line.text));
    if (!read_report_line(line))
        fail("Invalid or empty report file.");
    convert_sections(line, first_line);
    if (script_file == invalid_file)
        fail("Invalid or empty report file.");

    close_file(input_file);
    input_file = invalid_file;
    const bool written = close_file(script_file);
    script_file = invalid_file;
    if (written)
        end_script_entries();
    if (script_needs_utf16 && !script_in_utf16)
        convert_script_to_utf16();
    if (key_count + value_count + set_back_count + installation_task_count() == 0 && file_sections_at < 0)
        end_with_nothing_to_do();
}

void end_with_nothing_to_do()
{
    if (kept_key_count > 0) {
        char text[192];
        std::snprintf(text, sizeof text,
                      "Nothing to delete: the %d listed key(s) hold Windows' own state, so all are kept (see "
                      "morvane.reg).",
                      kept_key_count);
        fail(text);
    }
    fail("No keys found, nothing to do.");
}

void creation_failure_text(char* text, std::size_t size, const char* path)
{
    if (!creation_met_link()) {
        std::snprintf(text, size, "Error creating temporary file.");
        return;
    }
    std::snprintf(text, size,
                  "Error creating temporary file.\n\n%s lies behind a junction or symbolic link, or has another name "
                  "too: Morvane does not write there with administrator rights. Nothing was changed.",
                  path);
}
