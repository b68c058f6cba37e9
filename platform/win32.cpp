// The platform operations on Windows.
#include "platform/platform.h"

#include <windows.h>
#include <commdlg.h>

#include <cstdlib>

#include "platform/file_window.h"

namespace {

HANDLE to_handle(RawFile file)
{
    // A RawFile carries the HANDLE's bits; this cast is the conversion itself.
    return reinterpret_cast<HANDLE>(file);  // NOLINT(performance-no-int-to-ptr)
}

FileHandle adopt(HANDLE handle, bool writing)
{
    if (handle == INVALID_HANDLE_VALUE)
        return invalid_file;
    return adopt_file(reinterpret_cast<RawFile>(handle), writing);
}

}  // namespace

FileHandle open_file_for_reading(const char* name)
{
    return adopt(CreateFileA(name, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr), false);
}

FileHandle create_file_for_writing(const char* name)
{
    return adopt(CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr), true);
}

std::uint32_t raw_read_at(RawFile file, std::int64_t offset, char* buffer, std::uint32_t size)
{
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD delivered = 0;
    if (!ReadFile(to_handle(file), buffer, size, &delivered, &at))
        return 0;
    return delivered;
}

void raw_write(RawFile file, const char* bytes, std::uint32_t length)
{
    DWORD written;
    WriteFile(to_handle(file), bytes, length, &written, nullptr);
}

void raw_close(RawFile file)
{
    CloseHandle(to_handle(file));
}

std::uint32_t get_temp_path(std::uint32_t size, char* buffer)
{
    return GetTempPathA(size, buffer);
}

std::uint32_t get_system_directory(char* buffer, std::uint32_t size)
{
    return GetSystemDirectoryA(buffer, size);
}

std::uint32_t get_windows_directory(char* buffer, std::uint32_t size)
{
    return GetWindowsDirectoryA(buffer, size);
}

std::uint32_t get_system_wow64_directory(char* buffer, std::uint32_t size)
{
    return GetSystemWow64DirectoryA(buffer, size);
}

std::uint32_t ansi_to_utf16le(const char* text, std::uint32_t length, char* bytes, std::uint32_t capacity)
{
    if (length == 0)
        return 0;
    // WCHAR is UTF-16LE on every Windows.
    const int units = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, static_cast<int>(length),
                                          reinterpret_cast<WCHAR*>(bytes), static_cast<int>(capacity / 2));
    return units > 0 ? static_cast<std::uint32_t>(units) * 2 : 0;
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

void start_program_as_named(const char* command_line, ShowMode show)
{
    // Fails on 32-bit Windows, which redirects nothing.
    void* redirection = nullptr;
    const bool disabled = Wow64DisableWow64FsRedirection(&redirection) != 0;
    WinExec(command_line, static_cast<UINT>(show));
    if (disabled)
        Wow64RevertWow64FsRedirection(redirection);
}

void end_process(int status)
{
    std::exit(status);
}

Button prompt_user(const char* text, MessageStyle style)
{
    return static_cast<Button>(MessageBoxA(nullptr, text, prompt_caption, style));
}
