// Scheduled tasks on Windows, through the Task Scheduler's COM interfaces:
// it keeps a task in its own memory, its registry cache and a file, and
// only it removes all three together.
#include "platform/platform.h"
#include "platform/win32_redirection.h"

#include <windows.h>
#include <taskschd.h>

namespace {

ITaskService* service;
bool com_started;

// HRESULT_FROM_WIN32 of ERROR_FILE_NOT_FOUND and ERROR_PATH_NOT_FOUND: the
// Task Scheduler's word for a task or folder it does not know.
constexpr HRESULT file_not_found = static_cast<HRESULT>(0x80070002U);
constexpr HRESULT path_not_found = static_cast<HRESULT>(0x80070003U);

TaskResult result_of(HRESULT result)
{
    if (SUCCEEDED(result))
        return TaskResult::ok;
    if (result == file_not_found || result == path_not_found)
        return TaskResult::absent;
    return result == E_ACCESSDENIED ? TaskResult::denied : TaskResult::failed;
}

// The folder's path and the name in it: "\A\B" and "C" from "\A\B\C".
struct Split {
    BSTR folder;
    BSTR name;
};

Split split(const char16_t* path)
{
    UINT length = static_cast<UINT>(lstrlenW(wide(path)));
    UINT cut = length;
    while (cut > 0 && path[cut - 1] != u'\\')
        --cut;
    const UINT folder_length = cut > 1 ? cut - 1 : 1;
    return {SysAllocStringLen(wide(path), folder_length), SysAllocStringLen(wide(path) + cut, length - cut)};
}

void release(Split parts)
{
    SysFreeString(parts.folder);
    SysFreeString(parts.name);
}

TaskResult open_folder(BSTR path, ITaskFolder*& folder)
{
    folder = nullptr;
    if (service == nullptr)
        return TaskResult::failed;
    return path == nullptr ? TaskResult::failed : result_of(service->GetFolder(path, &folder));
}

}  // namespace

TaskResult connect_task_scheduler()
{
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    com_started = SUCCEEDED(com);
    // As Microsoft's Task Scheduler samples do: calls that carry the
    // caller's identity to the service, encrypted. Refused where it was set
    // already, which changes nothing.
    CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT_PRIVACY, RPC_C_IMP_LEVEL_IMPERSONATE,
                         nullptr, 0, nullptr);
    HRESULT result = CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                                      reinterpret_cast<void**>(&service));
    if (SUCCEEDED(result)) {
        VARIANT none;
        VariantInit(&none);
        result = service->Connect(none, none, none, none);
    }
    if (FAILED(result))
        disconnect_task_scheduler();
    return FAILED(result) ? (result == E_ACCESSDENIED ? TaskResult::denied : TaskResult::failed) : TaskResult::ok;
}

void disconnect_task_scheduler()
{
    if (service != nullptr)
        service->Release();
    service = nullptr;
    if (com_started)
        CoUninitialize();
    com_started = false;
}

TaskResult read_task_definition(const char16_t* path, char16_t* xml, std::uint32_t capacity, std::uint32_t& length)
{
    const Split parts = split(path);
    ITaskFolder* folder = nullptr;
    IRegisteredTask* task = nullptr;
    BSTR text = nullptr;
    TaskResult result = open_folder(parts.folder, folder);
    if (result == TaskResult::ok)
        result = result_of(folder->GetTask(parts.name, &task));
    if (result == TaskResult::ok)
        result = result_of(task->get_Xml(&text));
    length = text == nullptr ? 0 : SysStringLen(text);
    if (result == TaskResult::ok && (text == nullptr || length > capacity))
        result = TaskResult::failed;
    if (result == TaskResult::ok)
        CopyMemory(xml, text, 2 * std::size_t{length});
    SysFreeString(text);
    if (task != nullptr)
        task->Release();
    if (folder != nullptr)
        folder->Release();
    release(parts);
    return result;
}

TaskResult delete_scheduled_task(const char16_t* path)
{
    const Split parts = split(path);
    ITaskFolder* folder = nullptr;
    TaskResult result = open_folder(parts.folder, folder);
    if (result == TaskResult::ok)
        result = result_of(folder->DeleteTask(parts.name, 0));
    if (folder != nullptr)
        folder->Release();
    release(parts);
    return result;
}

TaskResult delete_task_folder(const char16_t* path)
{
    BSTR whole = SysAllocString(wide(path));
    ITaskFolder* folder = nullptr;
    TaskResult result = open_folder(whole, folder);
    SysFreeString(whole);
    if (result != TaskResult::ok)
        return result;
    ITaskFolderCollection* folders = nullptr;
    IRegisteredTaskCollection* tasks = nullptr;
    LONG folder_count = 1;
    LONG task_count = 1;
    if (SUCCEEDED(folder->GetFolders(0, &folders)))
        folders->get_Count(&folder_count);
    if (SUCCEEDED(folder->GetTasks(TASK_ENUM_HIDDEN, &tasks)))
        tasks->get_Count(&task_count);
    if (folders != nullptr)
        folders->Release();
    if (tasks != nullptr)
        tasks->Release();
    folder->Release();
    if (folder_count != 0 || task_count != 0)
        return TaskResult::not_empty;
    const Split parts = split(path);
    ITaskFolder* parent = nullptr;
    result = open_folder(parts.folder, parent);
    if (result == TaskResult::ok)
        result = result_of(parent->DeleteFolder(parts.name, 0));
    if (parent != nullptr)
        parent->Release();
    release(parts);
    return result;
}

bool read_whole_file(const char16_t* path, char* bytes, std::uint32_t capacity, std::uint32_t& length)
{
    const Redirection redirection = see_through(in_system_folder(path));
    const HANDLE file = CreateFileW(wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    restore(redirection);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD read = 0;
    const bool whole = ReadFile(file, bytes, capacity, &read, nullptr) != 0 && read < capacity;
    CloseHandle(file);
    length = read;
    return whole;
}
