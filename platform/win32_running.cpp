// Services and processes on Windows: the service manager, a snapshot of
// the processes, and the messages Windows sends programs at log-off.
#include "platform/platform.h"

#include <windows.h>
#include <tlhelp32.h>

namespace {

constexpr DWORD answer_timeout_ms = 5000;
constexpr int most_windows = 256;

SC_HANDLE manager;
// The service manager gives at most 256 KB a call.
alignas(8) BYTE service_list[256 * 1024];
DWORD service_count;
alignas(8) BYTE service_config[8192];
alignas(8) BYTE template_config[8192];

// Not in every SDK's headers.
constexpr DWORD user_service_type = 0x40;
constexpr DWORD user_instance_type = 0x80;

struct Process {
    DWORD id;
    WCHAR name[MAX_PATH];
};
Process processes[2048];
DWORD process_count;

SC_HANDLE service_manager()
{
    if (manager == nullptr)
        manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE);
    return manager;
}

ServiceResult result_of(DWORD error)
{
    switch (error) {
    case ERROR_SERVICE_DOES_NOT_EXIST:
    case ERROR_INVALID_NAME:
        return ServiceResult::absent;
    case ERROR_ACCESS_DENIED:
        return ServiceResult::denied;
    case ERROR_DEPENDENT_SERVICES_RUNNING:
        return ServiceResult::dependants_run;
    default:
        return ServiceResult::failed;
    }
}

SC_HANDLE open_service(const char16_t* name, DWORD access)
{
    SC_HANDLE scm = service_manager();
    return scm == nullptr ? nullptr : OpenServiceW(scm, reinterpret_cast<const WCHAR*>(name), access);
}

bool is_hex_digit(WCHAR unit)
{
    return (unit >= L'0' && unit <= L'9') || (unit >= L'a' && unit <= L'f') || (unit >= L'A' && unit <= L'F');
}

// Windows names a per-user instance `<template>_<hex>`; older builds do not
// flag the instance itself, only its template.
bool template_is_per_user(const WCHAR* name)
{
    const int length = lstrlenW(name);
    int cut = length;
    while (cut > 0 && is_hex_digit(name[cut - 1]))
        --cut;
    if (cut == length || cut < 2 || name[cut - 1] != L'_' || cut > 256)
        return false;
    WCHAR template_name[257];
    lstrcpynW(template_name, name, cut);
    SC_HANDLE scm = service_manager();
    SC_HANDLE handle = scm == nullptr ? nullptr : OpenServiceW(scm, template_name, SERVICE_QUERY_CONFIG);
    DWORD needed = 0;
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(template_config);
    const bool read = handle != nullptr && QueryServiceConfigW(handle, config, sizeof template_config, &needed);
    if (handle != nullptr)
        CloseServiceHandle(handle);
    return read && (config->dwServiceType & user_service_type) != 0;
}

ServiceKind kind_of(const WCHAR* name, DWORD type)
{
    if ((type & (SERVICE_KERNEL_DRIVER | SERVICE_FILE_SYSTEM_DRIVER)) != 0)
        return ServiceKind::driver;
    if ((type & user_instance_type) != 0 || template_is_per_user(name))
        return ServiceKind::user_instance;
    return ServiceKind::program;
}

bool copy_text(const WCHAR* text, char16_t* into, std::uint32_t capacity)
{
    const int length = text == nullptr ? 0 : lstrlenW(text);
    if (static_cast<std::uint32_t>(length) >= capacity)
        return false;
    CopyMemory(into, text == nullptr ? L"" : text, 2 * static_cast<SIZE_T>(length + 1));
    return true;
}

bool runs_program(HANDLE process, const char16_t* path)
{
    static WCHAR image[32768];
    DWORD size = 32768;
    return QueryFullProcessImageNameW(process, 0, image, &size) &&
           CompareStringOrdinal(image, -1, reinterpret_cast<const WCHAR*>(path), -1, TRUE) == CSTR_EQUAL;
}

struct Windows {
    DWORD id;
    int count;
    HWND found[most_windows];
};

void take_if_owned(HWND window, Windows& windows)
{
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == windows.id && windows.count < most_windows)
        windows.found[windows.count++] = window;
}

BOOL CALLBACK take_window(HWND window, LPARAM windows)
{
    auto* found = reinterpret_cast<Windows*>(windows);  // NOLINT(performance-no-int-to-ptr)
    take_if_owned(window, *found);
    return TRUE;
}

}  // namespace

std::uint32_t list_services()
{
    service_count = 0;
    SC_HANDLE scm = service_manager();
    DWORD needed = 0;
    DWORD resume = 0;
    if (scm == nullptr ||
        (!EnumServicesStatusExW(scm, SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_STATE_ALL, service_list,
                                sizeof service_list, &needed, &service_count, &resume, nullptr) &&
         GetLastError() != ERROR_MORE_DATA))
        service_count = 0;
    return service_count;
}

bool service_at(std::uint32_t index, char16_t* name, std::uint32_t name_capacity, char16_t* program,
                std::uint32_t program_capacity, ServiceFacts& facts)
{
    if (index >= service_count)
        return false;
    const auto& service = reinterpret_cast<const ENUM_SERVICE_STATUS_PROCESSW*>(service_list)[index];
    facts.running = service.ServiceStatusProcess.dwCurrentState != SERVICE_STOPPED;
    facts.process_id = service.ServiceStatusProcess.dwProcessId;
    facts.kind = kind_of(service.lpServiceName, service.ServiceStatusProcess.dwServiceType);
    if (!copy_text(service.lpServiceName, name, name_capacity))
        return false;
    SC_HANDLE handle = open_service(name, SERVICE_QUERY_CONFIG);
    DWORD needed = 0;
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(service_config);
    const bool read = handle != nullptr && QueryServiceConfigW(handle, config, sizeof service_config, &needed);
    if (handle != nullptr)
        CloseServiceHandle(handle);
    return read && copy_text(config->lpBinaryPathName, program, program_capacity);
}

ServiceResult query_service(const char16_t* name, ServiceFacts& facts)
{
    SC_HANDLE handle = open_service(name, SERVICE_QUERY_STATUS);
    if (handle == nullptr)
        return result_of(GetLastError());
    SERVICE_STATUS_PROCESS status{};
    DWORD needed = 0;
    const bool read =
        QueryServiceStatusEx(handle, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof status, &needed);
    const DWORD error = GetLastError();
    CloseServiceHandle(handle);
    if (!read)
        return result_of(error);
    facts.running = status.dwCurrentState != SERVICE_STOPPED;
    facts.process_id = status.dwProcessId;
    facts.kind = kind_of(reinterpret_cast<const WCHAR*>(name), status.dwServiceType);
    return ServiceResult::ok;
}

ServiceResult request_service_stop(const char16_t* name)
{
    SC_HANDLE handle = open_service(name, SERVICE_STOP | SERVICE_QUERY_STATUS);
    if (handle == nullptr)
        return result_of(GetLastError());
    SERVICE_STATUS status{};
    ServiceResult result = ServiceResult::ok;
    if (QueryServiceStatus(handle, &status) && status.dwCurrentState != SERVICE_STOPPED &&
        status.dwCurrentState != SERVICE_STOP_PENDING && !ControlService(handle, SERVICE_CONTROL_STOP, &status)) {
        const DWORD error = GetLastError();
        if (error != ERROR_SERVICE_NOT_ACTIVE)
            result = result_of(error);
    }
    CloseServiceHandle(handle);
    return result;
}

ServiceResult delete_service(const char16_t* name)
{
    SC_HANDLE handle = open_service(name, DELETE);
    if (handle == nullptr)
        return result_of(GetLastError());
    const bool deleted = DeleteService(handle) != 0;
    const DWORD error = GetLastError();
    CloseServiceHandle(handle);
    if (!deleted && error != ERROR_SERVICE_MARKED_FOR_DELETE)
        return result_of(error);
    // While anything else holds a handle to it (the services console, a
    // monitoring agent), the service manager keeps it until the restart.
    handle = open_service(name, SERVICE_QUERY_STATUS);
    const DWORD opened_error = GetLastError();
    if (handle != nullptr)
        CloseServiceHandle(handle);
    return handle != nullptr || opened_error == ERROR_SERVICE_MARKED_FOR_DELETE ? ServiceResult::marked
                                                                                : ServiceResult::ok;
}

std::uint32_t list_processes()
{
    process_count = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    const DWORD own = GetCurrentProcessId();
    for (BOOL more = Process32FirstW(snapshot, &entry); more && process_count < ARRAYSIZE(processes);
         more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ProcessID == 0 || entry.th32ProcessID == own)
            continue;
        processes[process_count].id = entry.th32ProcessID;
        lstrcpynW(processes[process_count].name, entry.szExeFile, MAX_PATH);
        ++process_count;
    }
    CloseHandle(snapshot);
    return process_count;
}

bool process_at(std::uint32_t index, ProcessFacts& facts, char16_t* name, std::uint32_t name_capacity, char16_t* path,
                std::uint32_t path_capacity)
{
    if (index >= process_count || !copy_text(processes[index].name, name, name_capacity))
        return false;
    facts.id = processes[index].id;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, facts.id);
    DWORD size = path_capacity;
    facts.opened = process != nullptr && QueryFullProcessImageNameW(process, 0, reinterpret_cast<WCHAR*>(path), &size);
    if (process != nullptr)
        CloseHandle(process);
    if (!facts.opened && path_capacity > 0)
        path[0] = u'\0';
    return true;
}

// As the Restart Manager's guidelines have it: every top-level window is
// asked first, and a window that does not answer in time (it may be showing
// "Save changes?" to a user not at the keyboard) refuses. Message-only
// windows are left alone: Windows never asks them at log-off, and closing
// one (COM's among them) breaks a program that then runs on.
void ask_process_to_close(std::uint32_t id, const char16_t* path)
{
    // The id may have gone to another program since the list was taken.
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    const bool same = process != nullptr && runs_program(process, path);
    if (process != nullptr)
        CloseHandle(process);
    if (!same)
        return;
    static Windows windows;
    windows.id = id;
    windows.count = 0;
    EnumWindows(take_window, reinterpret_cast<LPARAM>(&windows));
    int agreed = 0;
    for (; agreed < windows.count; ++agreed) {
        DWORD_PTR answer = 0;
        if (SendMessageTimeoutW(windows.found[agreed], WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP,
                                SMTO_ABORTIFHUNG, answer_timeout_ms, &answer) == 0 ||
            answer == 0)
            break;
    }
    const bool all = agreed == windows.count;
    for (int i = 0; i < agreed; ++i) {
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(windows.found[i], WM_ENDSESSION, all ? TRUE : FALSE, ENDSESSION_CLOSEAPP,
                            SMTO_ABORTIFHUNG, answer_timeout_ms, &ignored);
        if (all)
            PostMessageW(windows.found[i], WM_CLOSE, 0, 0);
    }
}

bool process_ended(std::uint32_t id, const char16_t* path)
{
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    if (process == nullptr)
        return GetLastError() == ERROR_INVALID_PARAMETER;
    const bool ended = WaitForSingleObject(process, 0) == WAIT_OBJECT_0 || !runs_program(process, path);
    CloseHandle(process);
    return ended;
}

bool terminate_process(std::uint32_t id, const char16_t* path)
{
    HANDLE process = OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    if (process == nullptr)
        return false;
    const bool ended = runs_program(process, path) && TerminateProcess(process, 1);
    CloseHandle(process);
    return ended;
}

void pause_briefly(std::uint32_t milliseconds)
{
    Sleep(milliseconds);
}
