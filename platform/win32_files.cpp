// Files and folders on Windows: through WOW64's file-system redirection
// where a 32-bit program would otherwise be sent elsewhere.
#include "platform/platform.h"
#include "platform/win32_redirection.h"

#include <windows.h>
#include <shlobj.h>

#include <cstring>

const WCHAR* wide(const char16_t* text)
{
    return reinterpret_cast<const WCHAR*>(text);
}

// The 64-bit System32 folder, for a 32-bit program, lies behind the
// redirection. Turning it off also keeps DLLs from loading, so it is turned
// off only for paths there.
bool in_system_folder(const char16_t* path)
{
    WCHAR system[MAX_PATH];
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || static_cast<UINT>(lstrlenW(wide(path))) < length)
        return false;
    return CompareStringOrdinal(wide(path), static_cast<int>(length), system, static_cast<int>(length), TRUE) ==
               CSTR_EQUAL &&
           (path[length] == u'\\' || path[length] == u'\0');
}

Redirection see_through(bool needed)
{
    Redirection redirection{nullptr, false};
    if (needed)
        redirection.off = Wow64DisableWow64FsRedirection(&redirection.old) != 0;
    return redirection;
}

void restore(Redirection redirection)
{
    if (redirection.off)
        Wow64RevertWow64FsRedirection(redirection.old);
}

namespace {

constexpr int max_listings = 300;

// "\\?\" before the name lifts the limit of MAX_PATH characters.
WCHAR long_name[32800];

const WCHAR* long_name_of(const char16_t* path, const WCHAR* tail = L"")
{
    const bool share = path[0] == u'\\' && path[1] == u'\\';
    const int length = lstrlenW(wide(path));
    if (length + lstrlenW(tail) + 8 >= static_cast<int>(sizeof long_name / sizeof long_name[0]))
        return wide(path);
    lstrcpyW(long_name, share ? L"\\\\?\\UNC" : L"\\\\?\\");
    lstrcatW(long_name, wide(path) + (share ? 1 : 0));
    lstrcatW(long_name, tail);
    return long_name;
}

FileResult result_of_last_error()
{
    switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return FileResult::absent;
    case ERROR_ACCESS_DENIED:
        return FileResult::denied;
    default:
        return FileResult::failed;
    }
}

void facts_of(DWORD attributes, DWORD size_high, DWORD size_low, FILETIME written, FileFacts& facts)
{
    facts.folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    facts.reparse_point = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    facts.size = static_cast<std::uint64_t>(size_high) << 32 | size_low;
    const auto ticks = static_cast<std::uint64_t>(written.dwHighDateTime) << 32 | written.dwLowDateTime;
    facts.write_seconds = static_cast<std::int64_t>(ticks / 10000000);
}

HANDLE listings[max_listings];
WIN32_FIND_DATAW pending[max_listings];
bool has_pending[max_listings];

std::uint32_t folder_path(int csidl, char16_t* buffer, std::uint32_t size)
{
    WCHAR path[MAX_PATH];
    if (SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK)
        return 0;
    const auto length = static_cast<std::uint32_t>(lstrlenW(path));
    if (length + 1 > size)
        return length + 1;
    std::memcpy(buffer, path, 2 * (std::size_t{length} + 1));
    return length;
}

}  // namespace

std::uint32_t get_program_data_directory(char16_t* buffer, std::uint32_t size)
{
    return folder_path(CSIDL_COMMON_APPDATA, buffer, size);
}

// The folder above the user's own profile.
std::uint32_t get_profiles_directory(char16_t* buffer, std::uint32_t size)
{
    std::uint32_t length = folder_path(CSIDL_PROFILE, buffer, size);
    if (length == 0 || length >= size)
        return length;
    while (length > 0 && buffer[length - 1] != u'\\')
        --length;
    if (length < 2)
        return 0;
    buffer[--length] = u'\0';
    return length;
}

FileResult get_file_facts(const char16_t* path, FileFacts& facts)
{
    const Redirection redirection = see_through(in_system_folder(path));
    WIN32_FILE_ATTRIBUTE_DATA data;
    const bool found = GetFileAttributesExW(long_name_of(path), GetFileExInfoStandard, &data) != 0;
    const FileResult result = found ? FileResult::ok : result_of_last_error();
    restore(redirection);
    if (found)
        facts_of(data.dwFileAttributes, data.nFileSizeHigh, data.nFileSizeLow, data.ftLastWriteTime, facts);
    return result;
}

FileResult get_folder_creation(const char16_t* path, std::int64_t& seconds)
{
    const Redirection redirection = see_through(in_system_folder(path));
    WIN32_FILE_ATTRIBUTE_DATA data;
    const bool found = GetFileAttributesExW(long_name_of(path), GetFileExInfoStandard, &data) != 0;
    const FileResult result = found ? FileResult::ok : result_of_last_error();
    restore(redirection);
    if (!found)
        return result;
    if ((data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != FILE_ATTRIBUTE_DIRECTORY)
        return FileResult::failed;
    const auto ticks = static_cast<std::uint64_t>(data.ftCreationTime.dwHighDateTime) << 32 |
                       data.ftCreationTime.dwLowDateTime;
    seconds = static_cast<std::int64_t>(ticks / 10000000);
    return FileResult::ok;
}

FileResult open_folder_listing(const char16_t* path, FolderListing& listing)
{
    for (int slot = 0; slot < max_listings; ++slot) {
        if (listings[slot] != nullptr)
            continue;
        const Redirection redirection = see_through(in_system_folder(path));
        const HANDLE found = FindFirstFileW(long_name_of(path, L"\\*"), &pending[slot]);
        const FileResult result = found == INVALID_HANDLE_VALUE ? result_of_last_error() : FileResult::ok;
        restore(redirection);
        if (result != FileResult::ok)
            return result;
        listings[slot] = found;
        has_pending[slot] = true;
        listing = slot;
        return FileResult::ok;
    }
    return FileResult::failed;
}

bool next_folder_entry(FolderListing listing, char16_t* name, std::uint32_t capacity, FileFacts& facts)
{
    WIN32_FIND_DATAW& entry = pending[listing];
    for (;;) {
        if (!has_pending[listing] && !FindNextFileW(listings[listing], &entry))
            return false;
        has_pending[listing] = false;
        if (lstrcmpW(entry.cFileName, L".") != 0 && lstrcmpW(entry.cFileName, L"..") != 0)
            break;
    }
    const auto length = static_cast<std::uint32_t>(lstrlenW(entry.cFileName));
    if (length + 1 > capacity)
        return false;
    std::memcpy(name, entry.cFileName, 2 * (std::size_t{length} + 1));
    facts_of(entry.dwFileAttributes, entry.nFileSizeHigh, entry.nFileSizeLow, entry.ftLastWriteTime, facts);
    return true;
}

void close_folder_listing(FolderListing listing)
{
    FindClose(listings[listing]);
    listings[listing] = nullptr;
}

// Moving a file to the Recycle Bin needs every open handle of it to allow
// that. A program that runs from a folder, or holds a file in it open,
// keeps the folder from being moved although each file opens for deletion:
// only a move shows that. So the item is moved to a name beside it, as the
// Recycle Bin would move it, and back.
// Opening for deletion with no sharing fails while any other program has
// the item open. Nothing is renamed to find out: on Windows an antivirus,
// the indexer or a sync client opens a newly named item at once, and the
// name might not come back.
bool file_in_use(const char16_t* path)
{
    const Redirection redirection = see_through(in_system_folder(path));
    const HANDLE file = CreateFileW(long_name_of(path), DELETE, 0, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    const DWORD error = GetLastError();
    restore(redirection);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return false;
    }
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED;
}
