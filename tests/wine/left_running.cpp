// What an installation leaves running, for the Wine test: with "service",
// a service that runs until the service manager stops it; with "tray", a
// program with a hidden window, as tray programs have, that closes when
// asked; with "refuse", one that refuses to close. Each leaves a mark
// C:\<argument>-started once it runs.
#include <windows.h>

namespace {

SERVICE_STATUS_HANDLE status_handle;
SERVICE_STATUS status{SERVICE_WIN32_OWN_PROCESS, SERVICE_START_PENDING, 0, NO_ERROR, 0, 0, 0};
HANDLE stop_event;
bool refuse;

void mark(const char* kind)
{
    char path[64];
    wsprintfA(path, "C:\\%s-started", kind);
    CloseHandle(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
}

void report(DWORD state)
{
    status.dwCurrentState = state;
    status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    SetServiceStatus(status_handle, &status);
}

DWORD WINAPI control(DWORD code, DWORD, void*, void*)
{
    if (code == SERVICE_CONTROL_STOP) {
        report(SERVICE_STOP_PENDING);
        SetEvent(stop_event);
    }
    return NO_ERROR;
}

void WINAPI service_main(DWORD, LPWSTR*)
{
    status_handle = RegisterServiceCtrlHandlerExW(L"", control, nullptr);
    stop_event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    report(SERVICE_RUNNING);
    mark("service");
    WaitForSingleObject(stop_event, INFINITE);
    report(SERVICE_STOPPED);
}

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (refuse && (message == WM_QUERYENDSESSION || message == WM_CLOSE))
        return 0;
    if (message == WM_DESTROY)
        PostQuitMessage(0);
    return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && lstrcmpA(argv[1], "service") == 0) {
        SERVICE_TABLE_ENTRYW table[] = {{const_cast<WCHAR*>(L""), service_main}, {nullptr, nullptr}};
        return StartServiceCtrlDispatcherW(table) ? 0 : 1;
    }
    refuse = argc > 1 && lstrcmpA(argv[1], "refuse") == 0;
    WNDCLASSW kind{};
    kind.lpfnWndProc = window_procedure;
    kind.hInstance = GetModuleHandleW(nullptr);
    kind.lpszClassName = L"MorvaneLeftRunning";
    RegisterClassW(&kind);
    if (CreateWindowW(kind.lpszClassName, L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr, kind.hInstance,
                      nullptr) == nullptr)
        return 1;
    mark(argc > 1 ? argv[1] : "tray");
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        DispatchMessageW(&message);
    return 0;
}
