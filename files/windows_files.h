// Where Windows keeps files of its own: files and folders that appear as
// added between two shots without any installation adding them.
#pragma once

#include <cstdint>
#include <string_view>

// Learns the folders the locations lie in; before windows_file_kind.
void prepare_windows_files();
// What Windows keeps at the path (its name as the report gives it), or an
// empty text where it keeps nothing.
std::string_view windows_file_kind(const char16_t* path, std::uint32_t length);
