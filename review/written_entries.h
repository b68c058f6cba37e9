// What the program wrote into the script and the list, kept as hashes of
// their entries under a key drawn for this run, and the files as the user
// left them held against it.
#pragma once

#include <cstdint>

// The encoding that a file's first bytes show.
enum class TextForm : std::uint8_t { ansi, utf16le, utf8, utf16be };

// Forgets what was written and draws a new key.
void forget_written_entries();
// Reads the entries of the script at `path`, or of the list at list_path,
// and remembers them as written (`remember`), or notes each one that was
// not written. False when the file cannot be opened.
bool walk_script_entries(const char* path, bool remember, TextForm& form);
bool walk_list_entries(bool remember);
// Readies what was remembered for the checks.
void seal_written_entries();

// The entries noted, and the first few of them, a line each: the file,
// the line's number and its text.
inline constexpr std::uint32_t max_foreign_entries_shown = 5;
std::uint32_t foreign_entry_count();
const char* foreign_entry_lines();
