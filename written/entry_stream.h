// The entries of a script, found in its text as it is written or read: a
// line, or a value's line with the lines that carry its data on, together
// with the key section it lies in. Comments and blank lines are none.
#pragma once

#include <cstdint>

// The encoding that a file's first bytes show.
enum class TextForm : std::uint8_t { ansi, utf16le, utf8, utf16be };

// Remembers each entry as written, or notes each one that was not.
enum class EntryUse : std::uint8_t { remember, check };

// Begins the text behind the byte-order mark: lines end with CR LF, in
// UTF-16LE units or in bytes. A new script's remembered entries are valid
// once it has ended, until another begins.
void begin_script_entries(bool utf16, EntryUse use);
void feed_script_bytes(const char* bytes, std::uint32_t length);
void end_script_entries();
void drop_script_entries();
// The form of the script whose entries were remembered as it was written;
// false when none was.
bool streamed_script_form(TextForm& form);

// The entries noted as not written, and the first few of them, a line each:
// the file, the line's number and its text.
inline constexpr std::uint32_t max_foreign_entries_shown = 5;
void forget_foreign_entries();
// The entry's text: its first line's start, in UTF-16LE or ANSI bytes.
void note_foreign_entry(const char* file, std::uint32_t line, const char* bytes, std::uint32_t length, bool utf16);
std::uint32_t foreign_entry_count();
const char* foreign_entry_lines();
