// The shell's Recycle Bin on Windows: whether it takes an item, and the
// move, which never deletes anything for good.
#include "platform/platform.h"
#include "platform/bin_guard.h"
#include "platform/win32_answering.h"
#include "platform/win32_redirection.h"
#include "platform/win32_shell_delete.h"

#include <windows.h>
#include <shellapi.h>

namespace {

DWORD dword_value(HKEY root, const WCHAR* key, const WCHAR* name, DWORD otherwise)
{
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegGetValueW(root, key, name, RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS)
        return otherwise;
    return value;
}

// By its full path: a DLL of that name in the program's folder would run
// with the program's rights.
void load_system_dll(const WCHAR* name)
{
    WCHAR path[MAX_PATH + 32];
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return;
    lstrcatW(path, L"\\");
    lstrcatW(path, name);
    LoadLibraryW(path);
}

// Only fixed drives have a Recycle Bin. Its size and whether it deletes at
// once are set per volume, the one the item lies on: a subst drive's
// folder's, or a volume's mounted in a folder. A volume not yet set takes
// the default, a twentieth of its size.
bool bin_limit(const char16_t* path, std::uint64_t& limit)
{
    static char16_t resolved[32768];
    static WCHAR root[32768];
    const WCHAR drive[] = {static_cast<WCHAR>(path[0]), L':', L'\0'};
    WCHAR device[MAX_PATH + 1];
    if (QueryDosDeviceW(drive, device, MAX_PATH + 1) == 0)
        device[0] = L'\0';
    if (!path_through_substitute(reinterpret_cast<const char16_t*>(device), path, resolved, 32768) ||
        !GetVolumePathNameW(wide(resolved), root, 32768) ||
        GetDriveTypeW(root) != DRIVE_FIXED ||
        dword_value(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer",
                    L"NoRecycleFiles", 0) != 0)
        return false;
    ULARGE_INTEGER total = {};
    limit = GetDiskFreeSpaceExW(root, nullptr, &total, nullptr) ? total.QuadPart / 20 : 0;
    WCHAR volume[64];
    if (GetVolumeNameForVolumeMountPointW(root, volume, 64) && lstrlenW(volume) > 11) {
        WCHAR key[160] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\BitBucket\\Volume\\";
        lstrcatW(key, volume + 10);  // "\\?\Volume{...}\" without its first part
        key[lstrlenW(key) - 1] = L'\0';
        if (dword_value(HKEY_CURRENT_USER, key, L"NukeOnDelete", 0) != 0)
            return false;
        limit = std::uint64_t{dword_value(HKEY_CURRENT_USER, key, L"MaxCapacity",
                                          static_cast<DWORD>(limit >> 20))} << 20;
    }
    return true;
}

}  // namespace

BinRoom recycle_bin_room(const char16_t* path, std::uint64_t size)
{
    if (path[0] == u'\\' || path[1] != u':')
        return BinRoom::no_bin;
    // An item lies on its folder's volume, as a listed folder is never a
    // mount point itself: the items of one folder share one answer, which
    // would take a dozen calls each to find again.
    static char16_t folder[32768];
    static std::uint32_t folder_length;
    static std::uint64_t limit;
    static bool has_bin;
    std::uint32_t length = 0;
    for (std::uint32_t i = 0; path[i] != u'\0'; ++i)
        length = path[i] == u'\\' ? i : length;
    bool same = length > 0 && length == folder_length;
    for (std::uint32_t i = 0; same && i < length; ++i)
        same = path[i] == folder[i];
    if (!same) {
        has_bin = bin_limit(path, limit);
        folder_length = length < 32768 ? length : 0;
        for (std::uint32_t i = 0; i < folder_length; ++i)
            folder[i] = path[i];
    }
    return !has_bin ? BinRoom::no_bin : size > limit ? BinRoom::too_large : BinRoom::takes;
}

namespace {

// The shell asks before it deletes an item for good that the Recycle Bin
// does not take, with Yes as its default button; unasked, it deletes it
// without a word. The dialogs it would open while it moves the items are
// refused instead, so that its question is never asked and the item stays.
HHOOK dialog_guard;

bool is_dialog_class(const WCHAR* name)
{
    constexpr ULONG_PTR dialog_atom = 0x8002;
    if (IS_INTRESOURCE(name))
        return reinterpret_cast<ULONG_PTR>(name) == dialog_atom;
    return lstrcmpiW(name, L"#32770") == 0;
}

LRESULT CALLBACK refuse_dialogs(int code, WPARAM window, LPARAM details)
{
    // The hook's details carry a pointer's bits; this cast is the conversion itself.
    if (code == HCBT_CREATEWND &&
        is_dialog_class(reinterpret_cast<CBT_CREATEWNDW*>(details)->lpcs->lpszClass))  // NOLINT(performance-no-int-to-ptr)
        return 1;
    return CallNextHookEx(dialog_guard, code, window, details);
}

void recycle(const char16_t* paths, bool* taken, bool system)
{
    const Redirection redirection = see_through(system);
    // With the redirection off, the file operation object would load the
    // shell's DLLs of the other bitness: the older call, whose DLLs were
    // loaded first, takes a 32-bit program's items in System32.
    if (redirection.off || recycle_through_file_operation(paths, taken) == E_NOTIMPL) {
        // The older call says only whether all went: an item counts as
        // taken when it is no longer where it was.
        SHFILEOPSTRUCTW operation = {};
        operation.wFunc = FO_DELETE;
        operation.pFrom = wide(paths);
        operation.fFlags = FOF_ALLOWUNDO | FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_NOCONFIRMMKDIR |
                           FOF_WANTNUKEWARNING;
        dialog_guard = SetWindowsHookExW(WH_CBT, refuse_dialogs, nullptr, GetCurrentThreadId());
        if (dialog_guard != nullptr) {
            SHFileOperationW(&operation);
            UnhookWindowsHookEx(dialog_guard);
            std::uint32_t index = 0;
            for (const char16_t* path = paths; *path != u'\0'; path += lstrlenW(wide(path)) + 1) {
                const bool gone = GetFileAttributesW(wide(path)) == INVALID_FILE_ATTRIBUTES &&
                                  (GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND);
                taken[index++] = gone;
            }
        }
    }
    restore(redirection);
}

}  // namespace

bool move_to_recycle_bin(const char16_t* paths, bool* taken)
{
    bool system = false;
    std::uint32_t count = 0;
    for (const char16_t* path = paths; *path != u'\0'; path += lstrlenW(wide(path)) + 1) {
        system = system || in_system_folder(path);
        taken[count++] = false;
    }
    // With the redirection off no more of the shell's DLLs load: these first.
    if (system) {
        load_system_dll(L"windows.storage.dll");
        load_system_dll(L"propsys.dll");
    }
    // The shell may take many seconds; WOW64's redirection is the working
    // thread's own.
    static struct {
        const char16_t* paths;
        bool* taken;
        bool system;
    } operation_of;
    operation_of = {paths, taken, system};
    answering_while([](void*) { recycle(operation_of.paths, operation_of.taken, operation_of.system); }, nullptr);
    for (std::uint32_t i = 0; i < count; ++i) {
        if (!taken[i])
            return false;
    }
    return true;
}
