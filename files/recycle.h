// The listed files and folders to the Recycle Bin: which go, the one shell
// operation that moves them, and what became of each.
#pragma once

#include <cstddef>
#include <cstdint>

// Before the registry editor runs: decides for each entry of the list as
// edited whether it goes; sets files_cancelled when the user cancels.
void look_at_listed_files();
// After look_at_listed_files: the file (its full name as 64-bit Windows
// names it) is a running program's, so it and the listed folders that hold
// it stay, as in use.
void hold_in_use(const char16_t* path, std::uint32_t length);
// Moves what goes to the Recycle Bin.
void recycle_listed_files();
// Looks at every listed path again; the progress counts on from `done`.
void check_listed_files(std::uint32_t done);
// The closing message's part on the files, and how to get them back.
void append_files_result(char* text, std::size_t size);
void append_recycle_note(char* text, std::size_t size);
// How many listed files and folders are now in the Recycle Bin.
std::uint32_t recycled_count();
// Some listed file or folder stayed because a program holds it.
bool files_kept_in_use();
