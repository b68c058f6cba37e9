// What the fuzz targets share: a sandbox, a resettable state, and oracles.
#pragma once

#include <cstddef>
#include <cstdint>
#include <csetjmp>
#include <set>
#include <string>

namespace fuzz {

// Makes a working directory and a temporary directory, enters the first,
// points TMPDIR at the second and silences the messages.
void enter_sandbox();
std::string work_file(const char* name);
std::string script_location();

void write_bytes(const std::string& path, const std::uint8_t* data, std::size_t size);
std::string read_bytes(const std::string& path);

// Where end_process returns to instead of ending the process.
extern std::jmp_buf process_end;
void reset_state();

// The input's CR LF lines. Tags are read as strings, up to a zero byte; a
// report's key lines lose their leading spaces and tabs, and a line with a
// zero byte in it names no key.
std::set<std::string> lines_of(const std::uint8_t* data, std::size_t size, bool as_report);

// The same for a UTF-16LE report, as UTF-8; lines with a zero unit, and
// lines that do not convert, are left out.
std::set<std::string> utf16_lines_of(const std::uint8_t* data, std::size_t size);
bool utf16le_to_utf8(const std::string& utf16, std::string& utf8);

void check(bool condition, const char* what);

}  // namespace fuzz
