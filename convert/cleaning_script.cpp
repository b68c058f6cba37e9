// The cleaning-script builder: report section in, registry deletion entries out.
#include "convert/cleaning_script.h"

#include <cstring>

#include "convert/line_reader.h"
#include "state/state.h"

namespace {

constexpr char script_header[] = "Windows Registry Editor Version 5.00\r\n\r\n";
constexpr char script_name[] = "\\morvane.reg";
constexpr std::uint32_t temp_path_size = 200;

// A report writes a root either short or in full; both become the full name.
struct RootName {
    const char* written_in_report;
    const char* full;
};
constexpr RootName root_names[] = {
    {"HKLM", "HKEY_LOCAL_MACHINE"},
    {"HKEY_LOCAL_MACHINE", "HKEY_LOCAL_MACHINE"},
    {"HKU", "HKEY_USERS"},
    {"HKEY_USERS", "HKEY_USERS"},
};

[[noreturn]] void fail(const char* message)
{
    prompt_user(message, style_plain);
    if (input_file != invalid_file)
        close_file(input_file);
    if (script_file != invalid_file)
        close_file(script_file);
    end_process(0);
}

void write_text(const char* text)
{
    write_file(script_file, text, static_cast<std::uint32_t>(std::strlen(text)));
}

bool begins_with_tag(const char* line)
{
    for (std::uint32_t t = 0; t < tag_list.count; ++t) {
        const char* tag = tag_list.tags[t];
        if (std::strncmp(line, tag, std::strlen(tag)) == 0)
            return true;
    }
    return false;
}

// Pieces of a line longer than a chunk never count as lines of their own:
// a heading there would start the wrong section, a key there a wrong key.
void find_heading()
{
    line_continues = false;
    do {
        if (!read_line_start(line_buffer, input_file))
            fail("Invalid or empty report file.");
    } while (!begins_with_tag(line_buffer));
}

// Only a line that opens with a root name names a key: a root name further
// in belongs to some other key, and a bare root would delete the whole hive.
void write_entry_for(const char* line)
{
    const char* key = line + std::strspn(line, " \t");
    if (line_continues || std::strpbrk(key, "\r\n"))
        return;
    for (const RootName& root : root_names) {
        const std::size_t length = std::strlen(root.written_in_report);
        if (std::strncmp(key, root.written_in_report, length) == 0 && key[length] == '\\' &&
            key[length + 1] != '\0') {
            write_text("[-");
            write_text(root.full);
            write_text(key + length);
            write_text("]\r\n");
            ++key_count;
            return;
        }
    }
}

void convert_section()
{
    while (read_line_start(line_buffer, input_file) && (line_buffer[0] != '\0' || line_continues))
        write_entry_for(line_buffer);
}

}  // namespace

void build_cleaning_script()
{
    input_file = open_file_for_reading(report_path);
    if (input_file == invalid_file)
        fail("Error opening input file.");

    const std::uint32_t length = get_temp_path(temp_path_size, script_path);
    if (length == 0 || length >= temp_path_size)
        fail("Error accessing temporary directory.");

    find_heading();
    std::memcpy(script_path + length, script_name, sizeof script_name);

    script_file = create_file_for_writing(script_path);
    if (script_file == invalid_file)
        fail("Error creating temporary file.");
    write_text(script_header);
    key_count = 0;

    convert_section();

    close_file(input_file);
    input_file = invalid_file;
    close_file(script_file);
    script_file = invalid_file;
    if (key_count == 0)
        fail("No keys found, nothing to do.");
}
