// The program's own files on Windows, written with administrator rights
// into folders that the user's programs can change (the temporary and the
// local application data folders): nothing on the way may lead elsewhere;
// and whose folders those are.
#include "platform/file_window.h"
#include "platform/platform.h"

#include <windows.h>
#include <sddl.h>

namespace {

constexpr DWORD name_capacity = 32768;

bool met_link;
WCHAR full[name_capacity];
WCHAR part[name_capacity];
WCHAR final_name[name_capacity];
WCHAR long_name[name_capacity];

bool is_reparse_point(const WCHAR* path)
{
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// Each folder below the drive's root or the share, and the file itself
// where it exists.
bool path_passes_link(const WCHAR* path)
{
    const int length = lstrlenW(path);
    int start = 3;
    if (path[0] == L'\\' && path[1] == L'\\') {
        int separators = 0;
        for (start = 2; start < length && separators < 2; ++start)
            separators += path[start] == L'\\' ? 1 : 0;
    }
    for (int at = start; at <= length; ++at) {
        if (at < length && path[at] != L'\\')
            continue;
        CopyMemory(part, path, 2 * static_cast<SIZE_T>(at));
        part[at] = L'\0';
        if (is_reparse_point(part))
            return true;
    }
    return false;
}

bool starts_with(const WCHAR* text, const WCHAR* head)
{
    return CompareStringOrdinal(text, lstrlenW(head), head, -1, TRUE) == CSTR_EQUAL;
}

// What the file system opened, by its one name, is the file the path names.
bool lands_where_meant(HANDLE file, const WCHAR* path)
{
    BY_HANDLE_FILE_INFORMATION information;
    if (!GetFileInformationByHandle(file, &information) || information.nNumberOfLinks > 1 ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        return false;
    const DWORD final_length =
        GetFinalPathNameByHandleW(file, final_name, name_capacity, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    const DWORD long_length = GetLongPathNameW(path, long_name, name_capacity);
    if (final_length == 0 || final_length >= name_capacity || long_length == 0 || long_length >= name_capacity)
        return false;
    const WCHAR* opened = final_name;
    const WCHAR* meant = long_name;
    if (starts_with(opened, L"\\\\?\\UNC\\") && starts_with(meant, L"\\\\")) {
        opened += 8;
        meant += 2;
    } else if (starts_with(opened, L"\\\\?\\")) {
        opened += 4;
    }
    return CompareStringOrdinal(opened, -1, meant, -1, TRUE) == CSTR_EQUAL;
}

FileHandle create_guarded(const char* name, bool only_new)
{
    met_link = false;
    static WCHAR given[name_capacity];
    if (MultiByteToWideChar(CP_ACP, 0, name, -1, given, name_capacity) == 0)
        return invalid_file;
    const DWORD length = GetFullPathNameW(given, name_capacity, full, nullptr);
    if (length == 0 || length >= name_capacity)
        return invalid_file;
    met_link = path_passes_link(full);
    if (met_link)
        return invalid_file;
    // An existing file is truncated only once it proves to be the one meant.
    HANDLE file = CreateFileW(full, GENERIC_WRITE | DELETE, 0, nullptr, only_new ? CREATE_NEW : OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return invalid_file;
    const bool made = only_new || GetLastError() != ERROR_ALREADY_EXISTS;
    met_link = !lands_where_meant(file, full);
    if (met_link || (!made && !SetEndOfFile(file))) {
        if (made) {
            FILE_DISPOSITION_INFO gone = {TRUE};
            SetFileInformationByHandle(file, FileDispositionInfo, &gone, sizeof gone);
        }
        CloseHandle(file);
        return invalid_file;
    }
    return adopt_file(reinterpret_cast<RawFile>(file), true);
}

}  // namespace

// A junction on the way would make the folder wherever it leads.
bool make_directory(const char* path)
{
    static WCHAR given[name_capacity];
    const DWORD length = MultiByteToWideChar(CP_ACP, 0, path, -1, given, name_capacity) == 0
                             ? 0
                             : GetFullPathNameW(given, name_capacity, full, nullptr);
    met_link = length > 0 && length < name_capacity && path_passes_link(full);
    if (length == 0 || length >= name_capacity || met_link)
        return false;
    if (CreateDirectoryW(full, nullptr))
        return true;
    const DWORD attributes = GetFileAttributesW(full);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

FileHandle create_file_for_writing(const char* name)
{
    return create_guarded(name, false);
}

FileHandle create_new_file_for_writing(const char* name)
{
    return create_guarded(name, true);
}

bool creation_met_link()
{
    return met_link;
}

namespace {

bool user_of(HANDLE process, BYTE (&user)[256])
{
    HANDLE token = nullptr;
    DWORD size = 0;
    const bool read = OpenProcessToken(process, TOKEN_QUERY, &token) &&
                      GetTokenInformation(token, TokenUser, user, sizeof user, &size);
    if (token != nullptr)
        CloseHandle(token);
    return read;
}

}  // namespace

// The shell runs as the account signed in.
bool runs_as_signed_in_user()
{
    DWORD shell_id = 0;
    const HWND shell = GetShellWindow();
    if (shell == nullptr || GetWindowThreadProcessId(shell, &shell_id) == 0)
        return true;
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, shell_id);
    alignas(8) BYTE shell_user[256];
    alignas(8) BYTE own_user[256];
    const bool known = process != nullptr && user_of(process, shell_user) && user_of(GetCurrentProcess(), own_user);
    if (process != nullptr)
        CloseHandle(process);
    return !known || EqualSid(reinterpret_cast<TOKEN_USER*>(shell_user)->User.Sid,
                              reinterpret_cast<TOKEN_USER*>(own_user)->User.Sid) != 0;
}

// Each missing folder is made in turn, after the path so far proved free of
// links; a protected one is made anew, and its rights pass to what is made
// inside it.
bool make_folders(const char16_t* path, FolderAccess access)
{
    const DWORD length = GetFullPathNameW(reinterpret_cast<const WCHAR*>(path), name_capacity, full, nullptr);
    if (length < 4 || length >= name_capacity || path_passes_link(full))
        return false;
    WCHAR rights[256] = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
    alignas(8) BYTE user[256];
    WCHAR* sid = nullptr;
    if (access == FolderAccess::user_reads) {
        if (!user_of(GetCurrentProcess(), user) ||
            !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user)->User.Sid, &sid))
            return false;
        wsprintfW(rights + lstrlenW(rights), L"(A;OICI;0x1200a9;;;%s)", sid);
        LocalFree(sid);
    }
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (access != FolderAccess::inherited &&
        !ConvertStringSecurityDescriptorToSecurityDescriptorW(rights, SDDL_REVISION_1, &descriptor, nullptr))
        return false;
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
    bool made = true;
    for (DWORD at = 3; made && at <= length; ++at) {
        if (at < length && full[at] != L'\\')
            continue;
        const WCHAR kept = full[at];
        full[at] = L'\0';
        const DWORD found = GetFileAttributesW(full);
        if (at == length && descriptor != nullptr)
            made = CreateDirectoryW(full, &attributes) != 0;
        else if (found != INVALID_FILE_ATTRIBUTES)
            made = (found & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == FILE_ATTRIBUTE_DIRECTORY;
        else
            made = CreateDirectoryW(full, nullptr) != 0;
        full[at] = kept;
    }
    LocalFree(descriptor);
    return made;
}
