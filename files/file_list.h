// The list of files and folders as the user left it: one full path a line,
// a folder's ending with a backslash; lines opening with ';' are comments.
#pragma once

#include <cstdint>

struct ListEntry {
    const char16_t* path;  // zero-terminated, without a folder's closing backslash
    std::uint32_t length;
    bool folder;
    std::uint32_t line;  // its number in the file, from 1
};

// Opens list_path in input_file; false when it cannot be opened.
bool open_file_list();
// The next entry; false at the end of the list.
bool next_list_entry(ListEntry& entry);
void close_file_list();
