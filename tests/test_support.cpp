// Helpers for tests that run the real code against real files.
#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <iconv.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <cstring>
#include <random>

#include "convert/cleaning_script.h"
#include "convert/tag_list.h"
#include "files/file_sections.h"
#include "state/state.h"

namespace test {

namespace {
constexpr int returned_status = 77;
}

std::string read_bytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_bytes(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

namespace {
std::string convert(const char* to, const char* from, std::string text)
{
    const iconv_t converter = iconv_open(to, from);
    EXPECT_NE(converter, reinterpret_cast<iconv_t>(-1));
    std::string out(text.size() * 4 + 4, '\0');
    char* in = text.data();
    char* put = out.data();
    std::size_t in_left = text.size();
    std::size_t out_left = out.size();
    EXPECT_NE(iconv(converter, &in, &in_left, &put, &out_left), static_cast<std::size_t>(-1)) << text;
    iconv_close(converter);
    out.resize(out.size() - out_left);
    return out;
}
}  // namespace

std::string utf16le(const std::string& utf8)
{
    return convert("UTF-16LE", "UTF-8", utf8);
}

std::string utf8_from_utf16le(const std::string& utf16)
{
    return convert("UTF-8", "UTF-16LE", utf16);
}

std::string crlf_lines(std::initializer_list<std::string> lines)
{
    std::string joined;
    for (const std::string& line : lines)
        joined += line + "\r\n";
    return joined;
}

Sandbox::Sandbox()
{
    std::random_device random;
    root = std::filesystem::temp_directory_path() / ("morvane-test-" + std::to_string(random()));
    work = root / "work";
    temp = root / "temp";
    std::filesystem::create_directories(work);
    std::filesystem::create_directories(temp);
}

Sandbox::~Sandbox()
{
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
}

bool Outcome::exited_with(int code) const
{
    return testing::ExitedWithCode(code)(wait_status);
}

bool Outcome::returned() const
{
    return exited_with(returned_status);
}

Outcome run_isolated(const Sandbox& sandbox, const std::function<void()>& body, const std::string& input)
{
    const std::filesystem::path output = sandbox.root / "stdout";
    const std::filesystem::path input_file = sandbox.root / "stdin";
    write_bytes(input_file, input);
    Outcome outcome{-1, {}};
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_EXIT(
        {
            std::filesystem::current_path(sandbox.work);
            setenv("TMPDIR", sandbox.temp.c_str(), 1);
            std::freopen(output.c_str(), "w", stdout);
            std::freopen(input_file.c_str(), "r", stdin);
            body();
            std::fflush(stdout);
            std::_Exit(returned_status);
        },
        [&](int status) {
            outcome.wait_status = status;
            return true;
        },
        "");
    outcome.output = read_bytes(output);
    return outcome;
}

std::filesystem::path value_path(const std::filesystem::path& key, const std::string& name)
{
    std::string file = "v";
    for (const unsigned char byte : utf16le(name)) {
        file += "0123456789abcdef"[byte >> 4];
        file += "0123456789abcdef"[byte & 15];
    }
    return key / file;
}

void set_value(const std::filesystem::path& key, const std::string& name, std::uint32_t type, const std::string& data)
{
    std::filesystem::create_directories(key);
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>(type >> (8 * i));
    write_bytes(value_path(key, name), bytes + data);
}

std::string file_data_line(const std::filesystem::path& file)
{
    struct stat info{};
    EXPECT_EQ(stat(file.c_str(), &info), 0) << file;
    char time[32];
    std::tm utc{};
    gmtime_r(&info.st_mtime, &utc);
    std::strftime(time, sizeof time, "%Y-%m-%d %H:%M:%S", &utc);
    return std::string(time) + ", 0x00000020, " + std::to_string(info.st_size);
}

std::string message(const std::string& text)
{
    return caption + text + "\n";
}

void convert_report(const char* path)
{
    std::strcpy(tag_list.tags[0], "Keys added");
    tag_list.count = 1;
    load_section_tags();
    std::strcpy(report_path, path);
    build_cleaning_script();
    build_file_list();
}

}  // namespace test
