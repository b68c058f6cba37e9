// The platform operations on Windows.
#include "platform/platform.h"

#include <windows.h>
#include <commdlg.h>

#include <cstdlib>

namespace {

HANDLE to_handle(FileHandle file)
{
    // A FileHandle carries the HANDLE's bits; this cast is the conversion itself.
    return reinterpret_cast<HANDLE>(file);  // NOLINT(performance-no-int-to-ptr)
}

FileHandle from_handle(HANDLE handle)
{
    return reinterpret_cast<FileHandle>(handle);
}

}  // namespace

FileHandle open_file_for_reading(const char* name)
{
    return from_handle(
        CreateFileA(name, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

FileHandle create_file_for_writing(const char* name)
{
    return from_handle(
        CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

std::uint32_t read_file(FileHandle file, char* buffer, std::uint32_t size)
{
    DWORD delivered = 0;
    ReadFile(to_handle(file), buffer, size, &delivered, nullptr);
    return delivered;
}

void move_file_position(FileHandle file, std::int32_t distance)
{
    SetFilePointer(to_handle(file), distance, nullptr, FILE_CURRENT);
}

void write_file(FileHandle file, const char* bytes, std::uint32_t length)
{
    DWORD written;
    WriteFile(to_handle(file), bytes, length, &written, nullptr);
}

void close_file(FileHandle file)
{
    CloseHandle(to_handle(file));
}

std::uint32_t get_temp_path(std::uint32_t size, char* buffer)
{
    return GetTempPathA(size, buffer);
}

bool show_open_file_dialog(const OpenFileDialog& dialog)
{
    OPENFILENAMEA settings = {};
    settings.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    settings.hwndOwner = GetActiveWindow();
    settings.hInstance = GetModuleHandleA(nullptr);
    settings.lpstrFilter = dialog.filter;
    settings.nFilterIndex = dialog.filter_index;
    settings.lpstrFile = dialog.file_name;
    settings.nMaxFile = dialog.file_name_size;
    settings.lpstrInitialDir = dialog.initial_directory;
    settings.lpstrTitle = dialog.title;
    settings.Flags = dialog.flags;
    return GetOpenFileNameA(&settings) != 0;
}

void start_program(const char* command_line, ShowMode show)
{
    WinExec(command_line, static_cast<UINT>(show));
}

void end_process(int status)
{
    std::exit(status);
}

Button prompt_user(const char* text, MessageStyle style)
{
    return static_cast<Button>(MessageBoxA(nullptr, text, prompt_caption, style));
}
