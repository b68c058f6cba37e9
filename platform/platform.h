// Every operating-system operation the logic may call, and prompt_user.
#pragma once

#include <cstdint>

using FileHandle = std::intptr_t;
inline constexpr FileHandle invalid_file = -1;

FileHandle open_file_for_reading(const char* name);
// Creates the file anew, truncating an existing one.
FileHandle create_file_for_writing(const char* name);
// Returns the count of bytes delivered: 0 at end of file and on failure.
std::uint32_t read_file(FileHandle file, char* buffer, std::uint32_t size);
void move_file_position(FileHandle file, std::int32_t distance);
void write_file(FileHandle file, const char* bytes, std::uint32_t length);
void close_file(FileHandle file);

// 0 on failure; the length of the path (ending in a separator) when it fits
// in `size` bytes with its terminator; otherwise the size it would need.
std::uint32_t get_temp_path(std::uint32_t size, char* buffer);

// The system's directories, without a closing backslash; the results are
// those of get_temp_path. The WOW64 system directory, which holds the 32-bit
// programs of 64-bit Windows, fails on 32-bit Windows.
std::uint32_t get_system_directory(char* buffer, std::uint32_t size);
std::uint32_t get_windows_directory(char* buffer, std::uint32_t size);
std::uint32_t get_system_wow64_directory(char* buffer, std::uint32_t size);

// Converts `length` bytes of text in the system's ANSI code page into
// UTF-16LE; returns the bytes written, 0 when the text does not convert
// exactly or does not fit in `capacity`.
std::uint32_t ansi_to_utf16le(const char* text, std::uint32_t length, char* bytes, std::uint32_t capacity);

struct OpenFileDialog {
    const char* filter;  // pairs of description and pattern, ended by an empty text
    std::uint32_t filter_index;
    char* file_name;
    std::uint32_t file_name_size;
    const char* initial_directory;
    const char* title;
    std::uint32_t flags;
};
inline constexpr std::uint32_t dialog_path_must_exist = 0x800;
inline constexpr std::uint32_t dialog_file_must_exist = 0x1000;
// True when the user picked a file that fit into file_name.
bool show_open_file_dialog(const OpenFileDialog& dialog);

enum class ShowMode : int { hidden = 0, default_mode = 10 };
// Starts the command line, whose first word is the program's full path, and
// does not wait for it; failures are not reported.
void start_program(const char* command_line, ShowMode show);
// The same, for a program of the Windows directory that must be the one
// named: 64-bit Windows would send a 32-bit process's start of it to the
// 32-bit program of the same name in the WOW64 system directory.
void start_program_as_named(const char* command_line, ShowMode show);

[[noreturn]] void end_process(int status);

enum MessageStyle : std::uint32_t {
    style_plain = 0,
    style_ok_cancel = 0x21,
    style_yes_no = 0x24,
};
enum Button : int {
    button_ok = 1,
    button_cancel = 2,
    button_yes = 6,
    button_no = 7,
};
inline constexpr char prompt_caption[] = "Morvane 2 - https://morvane.example";
Button prompt_user(const char* text, MessageStyle style);
