// Reads a text file one CR LF line at a time, straight from the file position.
#pragma once

#include "platform/platform.h"

// Reads one chunk from the current position into `buffer` (line_buffer),
// cuts it at its first CR LF and moves the position back to just behind that
// pair. False at end of file, leaving the buffer as it was.
bool read_crlf_line(char* buffer, FileHandle file);

// Like read_crlf_line, but passes over the rest of a line longer than a
// chunk, so that what it delivers always starts a line of the file; when
// that line goes on past the chunk, line_continues is set. Callers clear
// line_continues when they open the file.
bool read_line_start(char* buffer, FileHandle file);
