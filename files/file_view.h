// Names of files and folders as the report saw them, and where they lie.
#pragma once

#include <cstdint>

// Learns the system folders' names; before real_path.
void prepare_file_view();
// Whether the text is a full path of a file or folder: a drive and ":\",
// or "\\server\share\", then names, none empty, "." or "..", nor holding
// a control character, a '/' or a ':'.
bool is_full_path(const char16_t* path, std::uint32_t length);
// The path as 64-bit Windows names it, into `real` (room for `capacity`
// units): RegShot's x86 build saw the 32-bit system folder (SysWOW64) under
// the 64-bit one's name, but for the folders that WOW64 leaves where they
// are. Zero-terminated; returns its length, 0 when it does not fit.
std::uint32_t real_path(const char16_t* path, std::uint32_t length, char16_t* real, std::uint32_t capacity);
// `path` is `folder` or lies below it; `rest` is what follows its backslash.
bool below_folder(const char16_t* path, std::uint32_t length, const char16_t* folder, std::uint32_t folder_length,
                  std::uint32_t& rest);
