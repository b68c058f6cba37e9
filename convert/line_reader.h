// Reads a text file one CR LF line at a time, straight from the file position.
#pragma once

#include "platform/platform.h"
#include "state/state.h"

// Looks at one chunk from the current position, cuts it at its first CR LF
// and delivers the line before it into `buffer` (line_buffer), moving the
// position to just behind that pair; without a pair, the whole chunk is the
// line. False at end of file, leaving the buffer as it was.
bool read_crlf_line(char* buffer, FileHandle file);

// The same for UTF-16LE text: the line ends at the units CR LF (the bytes
// 0D 00 0A 00 at an even offset), and line_length counts its bytes.
bool read_utf16_line(char* buffer, FileHandle file);

// Like the reader it is given, but passes over the rest of a line longer
// than a chunk, so that what it delivers always starts a line of the file;
// when that line goes on past the chunk, line_continues is set. Callers
// clear line_continues when they open the file.
bool read_line_start(char* buffer, FileHandle file, bool (*read_line)(char*, FileHandle) = read_crlf_line);

// Tells a report's encoding from its first two bytes and leaves the file
// position at its first line, behind a byte-order mark. RegShot's Unicode
// builds write UTF-16LE without one: then the first character is ASCII, its
// second byte zero.
ReportEncoding read_encoding(char* buffer, FileHandle file);
// The same for a report, which may also be UTF-16LE whose first character
// was damaged.
ReportEncoding read_report_encoding(char* buffer, FileHandle file);
