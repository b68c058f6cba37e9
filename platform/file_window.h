// Files served through a window of their bytes, on top of each platform's
// raw file operations.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// The operating system's own handle of an open file.
using RawFile = std::intptr_t;

// Takes an opened file into a slot; invalid_file when every slot is in use
// (the file is then closed).
FileHandle adopt_file(RawFile file, bool writing);

// Each platform provides these.
std::uint32_t raw_read_at(RawFile file, std::int64_t offset, char* buffer, std::uint32_t size);
// True when all the bytes were written.
bool raw_write(RawFile file, const char* bytes, std::uint32_t length);
void raw_close(RawFile file);
