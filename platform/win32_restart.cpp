// Moves at the next restart on Windows: the session manager carries out
// what PendingFileRenameOperations lists before any program can hold a file.
#include "platform/platform.h"
#include "platform/win32_redirection.h"

#include <windows.h>

namespace {

// Each move is the source, then the target ("!" before it for a move that
// replaces, empty for a deletion), as NT names them: "\??\C:\...".
WCHAR pending[1 << 20];

bool same_path(const WCHAR* listed, const char16_t* path)
{
    if (listed[0] == L'\\' && listed[1] == L'?' && listed[2] == L'?' && listed[3] == L'\\')
        listed += 4;
    return CompareStringOrdinal(listed, -1, wide(path), -1, TRUE) == CSTR_EQUAL;
}

}  // namespace

bool move_at_restart(const char16_t* from, const char16_t* to)
{
    const Redirection redirection = see_through(in_system_folder(from) || (to != nullptr && in_system_folder(to)));
    const bool registered =
        MoveFileExW(wide(from), to == nullptr ? nullptr : wide(to), MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
    restore(redirection);
    return registered;
}

bool move_registered(const char16_t* from)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0,
                      KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = 0;
    DWORD size = sizeof pending - 4;
    const LONG read =
        RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, &type, reinterpret_cast<BYTE*>(pending), &size);
    RegCloseKey(key);
    if (read != ERROR_SUCCESS || type != REG_MULTI_SZ)
        return false;
    const DWORD units = size / 2;
    pending[units] = pending[units + 1] = L'\0';
    bool source = true;
    for (const WCHAR* entry = pending; entry < pending + units; entry += lstrlenW(entry) + 1) {
        if (source && *entry != L'\0' && same_path(entry, from))
            return true;
        source = !source;
    }
    return false;
}

std::uint32_t volume_root(const char16_t* path, char16_t* root, std::uint32_t capacity)
{
    const Redirection redirection = see_through(in_system_folder(path));
    const bool found = GetVolumePathNameW(wide(path), reinterpret_cast<WCHAR*>(root), capacity) != 0;
    restore(redirection);
    return found ? static_cast<std::uint32_t>(lstrlenW(reinterpret_cast<WCHAR*>(root))) : 0;
}
