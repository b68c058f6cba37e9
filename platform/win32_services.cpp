// Services on Windows, through the service manager: which are the
// installation's to stop and remove, and the truth about their removal.
#include "platform/platform.h"
#include "platform/win32_text.h"

#include <windows.h>

namespace {

SC_HANDLE manager;
// The service manager gives at most 256 KB a call.
alignas(8) BYTE service_list[256 * 1024];
DWORD service_count;
alignas(8) BYTE service_config[8192];
alignas(8) BYTE template_config[8192];

// Not in every SDK's headers.
constexpr DWORD user_service_type = 0x40;
constexpr DWORD user_instance_type = 0x80;

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
