// A report's lines as the builder reads them, the roots they name, and the
// script's text in the report's encoding.
#pragma once

#include <cstdint>
#include <string_view>

// A report line as 8-bit text: an ANSI report's bytes, a UTF-16 one's UTF-8.
struct ReportLine {
    const char* text;
    // A UTF-16 report's line as read, when it is still in line_buffer.
    const char* units;
    std::uint32_t bytes;
    std::uint32_t characters;  // bytes of an ANSI report, units of a UTF-16 one
    // Neither longer than a chunk, nor cut short by a zero, nor holding a
    // character that did not convert: a key named by part of it would be
    // another key, a parent of the one listed.
    bool whole;
    bool empty;
    // RegShot wrapped the line: this is its start, whole up to where the
    // wrap cut it.
    bool wrapped;
};

// A report writes a root either short or in full; both become the full name.
struct RootName {
    std::string_view written_in_report;
    std::string_view full;
    bool users;  // HKEY_USERS, else HKEY_LOCAL_MACHINE
};

// The next line of the report in input_file, as 8-bit text; false at its end.
bool read_report_line(ReportLine& line);

// 8-bit text in the report's form as UTF-16 units; 0 when it does not
// convert or fit.
std::uint32_t units_of_text(std::string_view text, char16_t* units, std::uint32_t capacity);
// Whether the text holds `word`, ASCII letters compared without regard to
// case.
bool holds_word(std::string_view text, std::string_view word);

// The line without its leading blanks.
const char* key_of(const char* line);
// The root that the key opens with, followed by a backslash; or none.
const RootName* root_of(const char* key);

// The script is in the report's encoding, so that a UTF-16 report's keys
// are named exactly, whatever their script. `text` is 8-bit: the ANSI code
// page's for an ANSI report, UTF-8 for a UTF-16 one.
void write_text(std::string_view text);
// Bytes as they stand in the script, remembered as written.
void write_script(const char* bytes, std::uint32_t length);
// UTF-16 units, converted for an ANSI script.
void write_units(const char16_t* units, std::uint32_t length);

// Rewrites the closed 8-bit script at script_path in UTF-16LE; the 8-bit
// one stays where that fails.
void convert_script_to_utf16();

struct KeyVerdict;
// The comment line before a kept entry: why it is kept, then `how` to delete
// it anyway.
void write_kept_comment(const KeyVerdict& verdict, std::string_view how);
