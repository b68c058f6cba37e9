// Helpers for tests that run the real code against real files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>

namespace test {

std::string read_bytes(const std::filesystem::path& path);
void write_bytes(const std::filesystem::path& path, const std::string& bytes);

// UTF-8 to UTF-16LE and back, by the C library's converter.
std::string utf16le(const std::string& utf8);
std::string utf8_from_utf16le(const std::string& utf16);

// Joins lines with CR LF, ending the last one too.
std::string crlf_lines(std::initializer_list<std::string> lines);

inline const std::string script_header = "Windows Registry Editor Version 5.00\r\n\r\n";
inline const std::string caption = "Morvane 2 - https://morvane.example\n";

// A fresh directory tree for one test, removed afterwards: `work` is the
// current directory of code run in it and `temp` its TMPDIR.
struct Sandbox {
    Sandbox();
    ~Sandbox();
    std::filesystem::path root;
    std::filesystem::path work;
    std::filesystem::path temp;
    std::filesystem::path script() const { return temp / "morvane.reg"; }
};

// What a piece of code did when run in a process of its own.
struct Outcome {
    int wait_status;
    std::string output;  // what it wrote to standard output
    bool exited_with(int code) const;
    bool returned() const;  // the code came back instead of ending the process
};

// Runs `body` in a child process inside the sandbox, with `input` as its
// standard input, so that the state it changes and the process end it may
// call do not touch the test.
Outcome run_isolated(const Sandbox& sandbox, const std::function<void()>& body, const std::string& input = "");

// A value in the native stand-in's registry, under the key's directory: a
// file named 'v' and the hex of its UTF-16LE name, holding the type
// (little-endian) and the data.
std::filesystem::path value_path(const std::filesystem::path& key, const std::string& name);
void set_value(const std::filesystem::path& key, const std::string& name, std::uint32_t type, const std::string& data);

// RegShot's data line for a file: last write time in UTC, attributes, size.
std::string file_data_line(const std::filesystem::path& file);

// Converts the report at `path` with the standard tag alone, as the main
// flow does once the user picked it: the script, then the list of files.
void convert_report(const char* path);

// The text the program shows for a plain message.
std::string message(const std::string& text);

}  // namespace test
