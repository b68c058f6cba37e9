// Files and folders that tie an entry to the installation: those the report
// lists as added, and folders made between the shots where only an
// installation makes them.
#pragma once

#include <cstdint>

void forget_added_paths();
// A file or folder that the report lists as added, by its full name.
void note_added_path(const char16_t* path, std::uint32_t length);
// The text names a path into a listed file or folder, or into a folder made
// between the shots: each "X:\" starts one, which may go on past spaces.
bool names_added_path(const char16_t* text, std::uint32_t length);
