// What the fuzz targets share.
#include "tests/fuzz/fuzz_support.h"

#include <iconv.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "state/state.h"

std::jmp_buf fuzz::process_end;

[[noreturn]] void end_process(int status)
{
    fuzz::check(status == 0, "exit status 0");
    std::longjmp(fuzz::process_end, 1);
}

namespace fuzz {

namespace {
std::filesystem::path work;
std::filesystem::path temp;

std::filesystem::path root;

void remove_sandbox()
{
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
}
}  // namespace

// One sandbox per process: two fuzz runs at once must not share the report
// and the script.
void enter_sandbox()
{
    root = std::filesystem::temp_directory_path() / ("morvane-fuzz-" + std::to_string(getpid()));
    std::atexit(remove_sandbox);
    work = root / "work";
    temp = root / "temp";
    std::filesystem::create_directories(work);
    std::filesystem::create_directories(temp);
    std::filesystem::current_path(work);
    setenv("TMPDIR", temp.c_str(), 1);
    if (!std::freopen("/dev/null", "w", stdout))
        std::abort();
}

std::string work_file(const char* name)
{
    return (work / name).string();
}

std::string script_location()
{
    return (temp / "morvane.reg").string();
}

void write_bytes(const std::string& path, const std::uint8_t* data, std::size_t size)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data), static_cast<long>(size));
}

std::string read_bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void reset_state()
{
    std::memset(&tag_list, 0, sizeof tag_list);
    std::memset(section_tags, 0, sizeof section_tags);
    std::memset(line_buffer, 0, sizeof line_buffer);
    std::memset(report_path, 0, sizeof report_path);
    std::memset(script_path, 0, sizeof script_path);
    line_continues = false;
    line_length = 0;
    report_encoding = ReportEncoding::ansi;
    report_from_x64 = false;
    report_tag_count = 0;
    key_count = 0;
    kept_key_count = 0;
    value_count = 0;
    set_back_count = 0;
    file_sections_at = -1;
    input_file = invalid_file;
    ::script_file = invalid_file;
    std::memset(backup_path, 0, sizeof backup_path);
    std::memset(backup_problems, 0, sizeof backup_problems);
    std::memset(key_existed, 0, sizeof key_existed);
    backup_problem_count = 0;
    backup_empty = false;
    file_count = folder_count = kept_file_count = 0;
    files_listed = false;
}

std::set<std::string> lines_of(const std::uint8_t* data, std::size_t size, bool as_report)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::set<std::string> lines;
    std::size_t start = 0;
    while (start <= bytes.size()) {
        std::size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos)
            end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        start = end + 2;
        if (!as_report) {
            lines.insert(line.substr(0, line.find('\0')));
        } else if (line.find('\0') == std::string::npos) {
            line.erase(0, std::min(line.find_first_not_of(" \t"), line.size()));
            lines.insert(line);
        }
    }
    return lines;
}

bool utf16le_to_utf8(const std::string& utf16, std::string& utf8)
{
    const iconv_t converter = iconv_open("UTF-8", "UTF-16LE");
    check(converter != reinterpret_cast<iconv_t>(-1), "a UTF-16LE converter");
    std::string in_copy = utf16;
    utf8.assign(utf16.size() * 2 + 4, '\0');
    char* in = in_copy.data();
    char* out = utf8.data();
    std::size_t in_left = in_copy.size();
    std::size_t out_left = utf8.size();
    const bool converted = iconv(converter, &in, &in_left, &out, &out_left) != static_cast<std::size_t>(-1);
    iconv_close(converter);
    utf8.resize(utf8.size() - out_left);
    return converted;
}

std::set<std::string> utf16_lines_of(const std::uint8_t* data, std::size_t size)
{
    std::string bytes(reinterpret_cast<const char*>(data), size);
    if (bytes.rfind("\xFF\xFE", 0) == 0)
        bytes.erase(0, 2);
    std::set<std::string> lines;
    std::size_t start = 0;
    while (start <= bytes.size()) {
        std::size_t end = start;
        while (end + 3 < bytes.size() && bytes.compare(end, 4, std::string("\r\0\n\0", 4)) != 0)
            end += 2;
        if (end + 3 >= bytes.size())
            end = bytes.size();
        const std::string line = bytes.substr(start, end - start);
        std::string text;
        if (utf16le_to_utf8(line, text) && text.find('\0') == std::string::npos) {
            text.erase(0, std::min(text.find_first_not_of(" \t"), text.size()));
            lines.insert(text);
        }
        start = end + 4;
    }
    return lines;
}

void check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::abort();
    }
}

}  // namespace fuzz
