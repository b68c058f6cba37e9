// RegShot lists a folder as its full name, then a line with its attributes
// ("0x00000010"), and a file as its full name, then "YYYY-MM-DD HH:MM:SS,
// 0xATTRIBUTES, SIZE": its last write time in UTC, and the low 32 bits of
// its size, printed as a signed number. A name of exactly 1000 characters
// may have been cut by RegShot's wrap and names nothing.
#include "files/file_sections.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "convert/cleaning_script.h"
#include "convert/headings.h"
#include "convert/line_reader.h"
#include "convert/report_text.h"
#include "convert/scheduled_tasks.h"
#include "convert/value_lines.h"
#include "files/file_view.h"
#include "files/listed_paths.h"
#include "files/windows_files.h"
#include "state/state.h"

namespace {

constexpr char list_name[] = "morvane-files.txt";

char16_t name_units[chunk_size + 1];
std::uint32_t name_length;
char16_t data_units[chunk_size + 1];
char16_t real[chunk_size + 1];

void put(std::u16string_view text)
{
    write_file(list_file, reinterpret_cast<const char*>(text.data()), static_cast<std::uint32_t>(2 * text.size()));
}

void put_ascii(std::string_view text)
{
    for (const char c : text) {
        const char16_t unit = static_cast<unsigned char>(c);
        put({&unit, 1});
    }
}

int digits(std::u16string_view text, std::size_t at, std::size_t count)
{
    int number = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (i >= text.size() || text[i] < u'0' || text[i] > u'9')
            return -1;
        number = number * 10 + (text[i] - u'0');
    }
    return number;
}

bool attributes_at(std::u16string_view text, std::size_t at)
{
    if (text.size() < at + 10 || text[at] != u'0' || text[at + 1] != u'x')
        return false;
    for (std::size_t i = at + 2; i < at + 10; ++i) {
        if (!((text[i] >= u'0' && text[i] <= u'9') || (text[i] >= u'A' && text[i] <= u'F')))
            return false;
    }
    return true;
}

// Days from 1601-01-01, where Windows counts file times from, to the date.
std::int64_t days_since_1601(int year, int month, int day)
{
    year -= month <= 2 ? 1 : 0;
    const int era = year / 400;
    const int of_era = year - era * 400;
    const int of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int of_era_days = of_era * 365 + of_era / 4 - of_era / 100 + of_year;
    return std::int64_t{era} * 146097 + of_era_days - 719468 + 134774;
}

// "YYYY-MM-DD HH:MM:SS, 0xXXXXXXXX, SIZE"
bool read_file_data(std::u16string_view text, ListedPath& facts)
{
    const int year = digits(text, 0, 4);
    const int month = digits(text, 5, 2);
    const int day = digits(text, 8, 2);
    const int hour = digits(text, 11, 2);
    const int minute = digits(text, 14, 2);
    const int second = digits(text, 17, 2);
    // Indexes rather than substr(), which may throw and would bring the C++
    // library's exceptions into the program.
    if (year < 1601 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 || minute < 0 ||
        minute > 59 || second < 0 || second > 59 || text.size() < 33 || text[4] != u'-' || text[7] != u'-' ||
        text[10] != u' ' || text[13] != u':' || text[16] != u':' || text[19] != u',' || text[20] != u' ' ||
        !attributes_at(text, 21) || text[31] != u',' || text[32] != u' ')
        return false;
    const bool negative = text.size() > 33 && text[33] == u'-';
    const std::size_t start = negative ? 34 : 33;
    if (text.size() == start || text.size() > start + 10)
        return false;
    std::int64_t size = 0;
    for (std::size_t i = start; i < text.size(); ++i) {
        if (text[i] < u'0' || text[i] > u'9')
            return false;
        size = size * 10 + (text[i] - u'0');
    }
    facts.size = static_cast<std::uint32_t>(negative ? -size : size);
    facts.write_seconds = days_since_1601(year, month, day) * 86400 + std::int64_t{hour} * 3600 +
                          std::int64_t{minute} * 60 + second;
    return true;
}

bool data_fits(std::u16string_view text, bool folders, ListedPath& facts)
{
    return folders ? text.size() == 10 && attributes_at(text, 0) : read_file_data(text, facts);
}

void put_units(const char16_t* units, std::uint32_t length)
{
    put({units, length});
}

// A scheduled task's file or folder goes with the task, through the Task
// Scheduler.
bool write_task_entry(bool folders, std::uint32_t real_length)
{
    std::uint32_t task = 0;
    const TaskPart part = task_part_of_file(real, real_length, folders, task);
    if (part == TaskPart::none)
        return false;
    ++kept_file_count;
    if (part == TaskPart::task) {
        write_task_line(task, put_ascii, put_units);
    } else {
        put_ascii(with_task_reason);
        put_ascii("Remove the ';' below to move it to the Recycle Bin anyway.\r\n");
    }
    put(u";");
    put({name_units, name_length});
    put(folders ? u"\\\r\n" : u"\r\n");
    return true;
}

void write_entry(bool folders, const ListedPath& facts)
{
    const std::uint32_t real_length = real_path(name_units, name_length, real, chunk_size);
    if (real_length == 0 || write_task_entry(folders, real_length))
        return;
    const std::string_view kind = windows_file_kind(name_units, name_length);
    if (facts.name_only && !folders && kind.empty() && !shot_times_known) {
        ++kept_file_count;
        put_ascii("; Kept: the report names it without its time, and gives no time of its shots to check it "
                  "against. Remove the ';' below to move it to the Recycle Bin anyway.\r\n;");
        put({name_units, name_length});
        put(u"\r\n");
        return;
    }
    if (!kind.empty()) {
        ++kept_file_count;
        put_ascii("; Kept: Windows' own files (");
        put_ascii(kind);
        put_ascii("). Remove the ';' below to move it to the Recycle Bin anyway.\r\n;");
    } else {
        ++(folders ? folder_count : file_count);
    }
    put({name_units, name_length});
    put(folders ? u"\\\r\n" : u"\r\n");
    if (ListedPath* record = listed_path(real, real_length, true)) {
        record->in_report = true;
        record->folder = folders;
        record->write_seconds = facts.write_seconds;
        record->size = facts.size;
        record->name_only = facts.name_only;
    }
}

// Name lines and their data lines; after a name that may have been cut,
// the lines up to the next data line carry it on. RegShot 1.8.2 and 1.9.0
// write names only: a name followed by another name, or by the section's
// end, is checked against the second shot's time.
void read_section(bool folders)
{
    enum class Expect { name, data, data_after_cut };
    Expect expect = Expect::name;
    ReportLine line;
    const ListedPath name_only{0, shot_seconds[1], 0, false, true, false, false, false, false, false, PathState::unseen};
    while (read_report_line(line) && !line.empty) {
        const std::uint32_t length = line.whole ? units_of(line, data_units) : 0;
        const std::u16string_view text(data_units, length);
        ListedPath facts{};
        if (expect != Expect::name && data_fits(text, folders, facts)) {
            if (expect == Expect::data)
                write_entry(folders, facts);
            expect = Expect::name;
            continue;
        }
        if (expect == Expect::data_after_cut)
            continue;
        if (expect == Expect::data)
            write_entry(folders, name_only);
        expect = Expect::name;
        if (!line.whole || !is_full_path(data_units, length))
            continue;
        expect = line.characters >= wrap_length ? Expect::data_after_cut : Expect::data;
        std::memcpy(name_units, data_units, 2 * std::size_t{length});
        name_length = length;
    }
    if (expect == Expect::data)
        write_entry(folders, name_only);
}

void start_list()
{
    put(u"\xFEFF");
    put_ascii("; Files and folders that the installation added. Cleaning moves each to the\r\n"
              "; Recycle Bin: a file only if it is as the report saw it, a folder only once\r\n"
              "; nothing else is left in it. Put a ';' before a line to keep it.\r\n\r\n");
}

}  // namespace

void build_file_list()
{
    const std::size_t temp_length = std::strlen(script_path) - std::strlen("morvane.reg");
    std::snprintf(list_path, sizeof list_path, "%.*s%s", static_cast<int>(temp_length), script_path, list_name);
    file_count = folder_count = kept_file_count = 0;
    files_listed = false;
    forget_listed_paths();
    if (file_sections_at < 0) {
        delete_file(list_path);
        return;
    }
    input_file = open_file_for_reading(report_path);
    list_file = input_file == invalid_file ? invalid_file : create_file_for_writing(list_path);
    if (list_file == invalid_file) {
        if (input_file != invalid_file)
            close_file(input_file);
        input_file = invalid_file;
        static char text[path_size + 256];
        creation_failure_text(text, sizeof text, list_path);
        prompt_user(text, style_plain);
        end_process(0);
    }
    prepare_headings();
    prepare_file_view();
    prepare_windows_files();
    start_list();
    set_file_position(input_file, file_sections_at);
    line_continues = false;
    ReportLine line;
    int next = 0;
    while (next < 2 && read_report_line(line)) {
        if (next == 0 && opens_section(line.text, Section::folders_added)) {
            read_section(true);
            next = 1;
        } else if (opens_section(line.text, Section::files_added)) {
            read_section(false);
            next = 2;
        }
    }
    close_file(input_file);
    input_file = invalid_file;
    close_file(list_file);
    list_file = invalid_file;
    files_listed = true;
}
