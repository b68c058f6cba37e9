// The platform operations on Windows.
#include "platform/platform.h"

#include <windows.h>
#include <commdlg.h>
#include <shlobj.h>
#include <sddl.h>

#include <cstdio>
#include <cstdlib>

#include "platform/file_window.h"
#include "platform/win32_answering.h"

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

// Under ProgramData, where every user may make folders but none may change
// another's: a new folder of a random name, made with its own protected
// access list, is one that no program without administrator rights can
// change or have made first.
bool create_private_directory(char* buffer, std::uint32_t size)
{
    char parent[MAX_PATH];
    if (SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, parent) != S_OK)
        return false;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", SDDL_REVISION_1,
                                                              &descriptor, nullptr))
        return false;
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
    unsigned char random[8];
    get_random_bytes(random, sizeof random);
    const int used = std::snprintf(buffer, size, "%s\\Morvane-%02x%02x%02x%02x%02x%02x%02x%02x", parent, random[0],
                                   random[1], random[2], random[3], random[4], random[5], random[6], random[7]);
    const bool made = used > 0 && static_cast<std::uint32_t>(used) < size && used < MAX_PATH &&
                      CreateDirectoryA(buffer, &attributes) != 0;
    LocalFree(descriptor);
    return made;
}

void remove_directory(const char* path)
{
    RemoveDirectoryA(path);
}

// From bcrypt, by its full path in System32 and looked up only now, after
// the DLL search was narrowed: ADVAPI32's RtlGenRandom forwards to
// cryptbase.dll, which 64-bit Windows does not count among its known DLLs,
// so a copy beside the program would load with administrator rights before
// its first line. The RNG provider is opened by name, as Vista needs.
void get_random_bytes(void* bytes, std::uint32_t size)
{
    using Open = LONG(WINAPI*)(void**, const WCHAR*, const WCHAR*, ULONG);
    using Generate = LONG(WINAPI*)(void*, UCHAR*, ULONG, ULONG);
    static HMODULE bcrypt;
    static void* provider;
    static Generate generate;
    if (provider == nullptr) {
        WCHAR path[MAX_PATH + 16];
        const UINT length = GetSystemDirectoryW(path, MAX_PATH);
        if (length == 0 || length >= MAX_PATH)
            std::abort();
        lstrcatW(path, L"\\bcrypt.dll");
        bcrypt = LoadLibraryW(path);
        const auto open = bcrypt == nullptr ? nullptr
                                            : reinterpret_cast<Open>(reinterpret_cast<void*>(
                                                  GetProcAddress(bcrypt, "BCryptOpenAlgorithmProvider")));
        generate = bcrypt == nullptr
                       ? nullptr
                       : reinterpret_cast<Generate>(reinterpret_cast<void*>(GetProcAddress(bcrypt, "BCryptGenRandom")));
        if (open == nullptr || generate == nullptr || open(&provider, L"RNG", nullptr, 0) != 0)
            std::abort();
    }
    if (generate(provider, static_cast<UCHAR*>(bytes), size, 0) != 0)
        std::abort();
}

void delete_file(const char* name)
{
    DeleteFileA(name);
}

bool replace_file(const char* from, const char* to)
{
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) != 0;
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

bool raw_write(RawFile file, const char* bytes, std::uint32_t length)
{
    DWORD written = 0;
    return WriteFile(to_handle(file), bytes, length, &written, nullptr) && written == length;
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

// On a terminal server, GetWindowsDirectory may name a folder of the
// user's own; the system's is where the registry editor is.
std::uint32_t get_windows_directory(char* buffer, std::uint32_t size)
{
    return GetSystemWindowsDirectoryA(buffer, size);
}

std::uint32_t get_system_wow64_directory(char* buffer, std::uint32_t size)
{
    return GetSystemWow64DirectoryA(buffer, size);
}

std::uint32_t get_local_app_data_directory(char* buffer, std::uint32_t size)
{
    char path[MAX_PATH];
    if (SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK)
        return 0;
    const std::uint32_t length = lstrlenA(path);
    if (length + 1 > size)
        return length + 1;
    lstrcpyA(buffer, path);
    return length;
}

LocalTime get_local_time()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

bool local_time_to_file_seconds(const LocalTime& time, std::int64_t& seconds)
{
    const SYSTEMTIME local{time.year, time.month, 0, time.day, time.hour, time.minute, time.second, 0};
    SYSTEMTIME utc;
    FILETIME file_time;
    if (!TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) || !SystemTimeToFileTime(&utc, &file_time))
        return false;
    const std::uint64_t ticks = std::uint64_t{file_time.dwHighDateTime} << 32 | file_time.dwLowDateTime;
    seconds = static_cast<std::int64_t>(ticks / 10000000);
    return true;
}

std::uint32_t utf16_to_ansi(const char16_t* text, std::uint32_t length, char* bytes, std::uint32_t capacity)
{
    if (length == 0 || capacity == 0)
        return 0;
    const int written = WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const WCHAR*>(text), static_cast<int>(length),
                                            bytes, static_cast<int>(capacity), "?", nullptr);
    return written > 0 ? static_cast<std::uint32_t>(written) : 0;
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

bool run_program_to_end(const char* command_line, ShowMode show)
{
    char line[2 * MAX_PATH + 64];
    if (lstrlenA(command_line) >= static_cast<int>(sizeof line))
        return false;
    lstrcpyA(line, command_line);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(show);
    PROCESS_INFORMATION process = {};
    // Fails on 32-bit Windows, which redirects nothing.
    void* redirection = nullptr;
    const bool disabled = Wow64DisableWow64FsRedirection(&redirection) != 0;
    const bool started = CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
    if (disabled)
        Wow64RevertWow64FsRedirection(redirection);
    if (!started)
        return false;
    wait_answering(process.hProcess);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

void end_process(int status)
{
    std::exit(status);
}

void announce_environment_change()
{
    // Each window that does not answer holds the broadcast up to 5 s.
    answering_while(
        [](void*) {
            DWORD_PTR result = 0;
            SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"Environment"),
                                SMTO_ABORTIFHUNG, 5000, &result);
        },
        nullptr);
}

void announce_association_change()
{
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

Button prompt_user(const char* text, MessageStyle style)
{
    return static_cast<Button>(MessageBoxA(nullptr, text, prompt_caption, style));
}
