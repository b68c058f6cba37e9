// The Recycle Bin through the shell's file operation object: a progress
// sink refuses every delete that would not go to the bin, and counts an
// item as taken only when the shell names the item it made there.
#include "platform/bin_guard.h"
#include "platform/win32_shell_delete.h"

#include <shlobj.h>
#include <shobjidl.h>

namespace {

// Here rather than from the SDK's library, which brings every shell GUID.
constexpr CLSID file_operation_class = {0x3ad05575, 0x8857, 0x4850, {0x92, 0x77, 0x11, 0xb8, 0x5b, 0xdb, 0x8e, 0x09}};

// The paths of the operation, and how far the sink has got through them:
// the shell deletes the items in the order they were given.
const char16_t* operation_paths;
bool* operation_taken;
const char16_t* cursor;
std::uint32_t cursor_index;

bool same_path(const WCHAR* a, const char16_t* b)
{
    return CompareStringOrdinal(a, -1, reinterpret_cast<const WCHAR*>(b), -1, TRUE) == CSTR_EQUAL;
}

void advance(const char16_t*& path, std::uint32_t& index)
{
    path += lstrlenW(reinterpret_cast<const WCHAR*>(path)) + 1;
    ++index;
    if (*path == u'\0') {
        path = operation_paths;
        index = 0;
    }
}

void note_deleted(IShellItem* item, bool in_bin)
{
    WCHAR* name = nullptr;
    if (item == nullptr || FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, &name)))
        return;
    const char16_t* path = cursor;
    std::uint32_t index = cursor_index;
    do {
        if (same_path(name, path)) {
            operation_taken[index] = in_bin;
            cursor = path;
            cursor_index = index;
            advance(cursor, cursor_index);
            break;
        }
        advance(path, index);
    } while (path != cursor);
    CoTaskMemFree(name);
}

// A COM object, as the shell wants one; it lives as long as the program.
struct BinSink final : IFileOperationProgressSink {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override
    {
        if (IsEqualIID(id, __uuidof(IUnknown)) || IsEqualIID(id, __uuidof(IFileOperationProgressSink))) {
            *object = this;
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE PreDeleteItem(DWORD flags, IShellItem*) override
    {
        return delete_may_proceed(flags) ? S_OK : E_ABORT;
    }
    HRESULT STDMETHODCALLTYPE PostDeleteItem(DWORD, IShellItem* item, HRESULT deleted, IShellItem* in_bin) override
    {
        note_deleted(item, bin_took_item(SUCCEEDED(deleted), in_bin != nullptr));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE StartOperations() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE FinishOperations(HRESULT) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PreRenameItem(DWORD, IShellItem*, LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PostRenameItem(DWORD, IShellItem*, LPCWSTR, HRESULT, IShellItem*) override
    {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE PreMoveItem(DWORD, IShellItem*, IShellItem*, LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PostMoveItem(DWORD, IShellItem*, IShellItem*, LPCWSTR, HRESULT, IShellItem*) override
    {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE PreCopyItem(DWORD, IShellItem*, IShellItem*, LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PostCopyItem(DWORD, IShellItem*, IShellItem*, LPCWSTR, HRESULT, IShellItem*) override
    {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE PreNewItem(DWORD, IShellItem*, LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PostNewItem(DWORD, IShellItem*, LPCWSTR, LPCWSTR, DWORD, HRESULT, IShellItem*) override
    {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE UpdateProgress(UINT, UINT) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ResetTimer() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PauseTimer() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ResumeTimer() override { return S_OK; }
};
BinSink sink;

// Everything up to PerformOperations; E_NOTIMPL where the system has only
// the object's stub.
HRESULT prepare(IFileOperation* operation, DWORD& cookie)
{
    constexpr DWORD flags = FOF_ALLOWUNDO | FOFX_RECYCLEONDELETE | FOF_NOCONFIRMATION | FOF_SILENT |
                            FOF_NOERRORUI | FOF_NOCONFIRMMKDIR;
    HRESULT result = operation->SetOperationFlags(flags);
    if (SUCCEEDED(result))
        result = operation->Advise(&sink, &cookie);
    for (const char16_t* path = operation_paths; SUCCEEDED(result) && *path != u'\0';
         path += lstrlenW(reinterpret_cast<const WCHAR*>(path)) + 1) {
        IShellItem* item = nullptr;
        result = SHCreateItemFromParsingName(reinterpret_cast<const WCHAR*>(path), nullptr, IID_PPV_ARGS(&item));
        // An item the shell cannot name stays, as one it does not take.
        if (FAILED(result) && result != E_NOTIMPL) {
            result = S_OK;
            continue;
        }
        if (SUCCEEDED(result))
            result = operation->DeleteItem(item, nullptr);
        if (item != nullptr)
            item->Release();
    }
    return result;
}

}  // namespace

HRESULT recycle_through_file_operation(const char16_t* paths, bool* taken)
{
    operation_paths = cursor = paths;
    operation_taken = taken;
    cursor_index = 0;
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    IFileOperation* operation = nullptr;
    HRESULT result = CoCreateInstance(file_operation_class, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&operation));
    DWORD cookie = 0;
    if (SUCCEEDED(result))
        result = prepare(operation, cookie);
    // Where anything before the operation failed, nothing was done: the
    // caller takes the older way.
    if (FAILED(result))
        result = E_NOTIMPL;
    else
        operation->PerformOperations();
    if (operation != nullptr) {
        if (cookie != 0)
            operation->Unadvise(cookie);
        operation->Release();
    }
    if (SUCCEEDED(com))
        CoUninitialize();
    return result;
}
