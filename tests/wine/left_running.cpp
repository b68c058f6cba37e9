// What an installation leaves running, for the Wine test: with "service",
// a service that runs until the service manager stops it; with "tray", a
// program with a hidden window, as tray programs have, that closes when
// asked; with "refuse", one that refuses to close; with "prompt", one whose
// answer to the log-off question is its own "Save changes?" window for 8 s,
// beside a message-only window and COM's, logging to C:\prompt-log what
// its windows are told; with "watch <folder>", a watcher that holds each
// item newly named below the folder open without delete sharing. Each
// leaves a mark C:\<argument>-started once it runs.
#include <windows.h>
#include <objbase.h>

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

bool prompt;
HWND com_window;

void log(const char* line)
{
    HANDLE file = CreateFileA("C:\\prompt-log", FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, line, lstrlenA(line), &written, nullptr);
    WriteFile(file, "\n", 1, &written, nullptr);
    CloseHandle(file);
}

// A user not at the keyboard: the window stays 8 s, then the answer is yes.
LRESULT ask_to_save()
{
    log("asked");
    HWND box = CreateWindowW(L"STATIC", L"Save changes?", WS_POPUP | WS_VISIBLE | WS_CAPTION, 0, 0, 200, 80, nullptr,
                             nullptr, GetModuleHandleW(nullptr), nullptr);
    const DWORD until = GetTickCount() + 8000;
    MSG message;
    while (GetTickCount() < until && IsWindow(box)) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        Sleep(20);
    }
    log(IsWindow(box) ? "answered yes" : "its box was destroyed");
    DestroyWindow(box);
    return TRUE;
}

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (prompt && message == WM_QUERYENDSESSION)
        return ask_to_save();
    if (prompt && message == WM_ENDSESSION)
        log(wparam ? "told the session ends" : "told the session goes on");
    if (prompt && message == WM_CLOSE) {
        log("closed");
        return 0;
    }
    if (refuse && (message == WM_QUERYENDSESSION || message == WM_CLOSE))
        return 0;
    if (message == WM_DESTROY)
        PostQuitMessage(0);
    return DefWindowProcW(window, message, wparam, lparam);
}

LRESULT CALLBACK message_only_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_CLOSE || message == WM_QUERYENDSESSION || message == WM_ENDSESSION)
        log("the message-only window was told something");
    return DefWindowProcW(window, message, wparam, lparam);
}

void CALLBACK check_com_window(HWND, UINT, UINT_PTR, DWORD)
{
    if (com_window != nullptr && !IsWindow(com_window)) {
        log("COM's window is gone");
        com_window = nullptr;
    }
}

int watch(const char* folder)
{
    HANDLE directory = CreateFileA(folder, FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (directory == INVALID_HANDLE_VALUE)
        return 1;
    mark("watch");
    alignas(8) static BYTE changes[65536];
    DWORD size = 0;
    while (ReadDirectoryChangesW(directory, changes, sizeof changes, TRUE,
                                 FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME, &size, nullptr, nullptr)) {
        for (const BYTE* at = changes; size > 0;) {
            const auto* change = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(at);
            if (change->Action == FILE_ACTION_ADDED || change->Action == FILE_ACTION_RENAMED_NEW_NAME) {
                WCHAR path[MAX_PATH * 2];
                const int length = MultiByteToWideChar(CP_ACP, 0, folder, -1, path, MAX_PATH);
                path[length - 1] = L'\\';
                lstrcpynW(path + length, change->FileName, static_cast<int>(change->FileNameLength / 2 + 1));
                // Held until the watcher ends, as an indexer holds what it reads.
                CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS, nullptr);
            }
            if (change->NextEntryOffset == 0)
                break;
            at += change->NextEntryOffset;
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 2 && lstrcmpA(argv[1], "watch") == 0)
        return watch(argv[2]);
    if (argc > 1 && lstrcmpA(argv[1], "service") == 0) {
        SERVICE_TABLE_ENTRYW table[] = {{const_cast<WCHAR*>(L""), service_main}, {nullptr, nullptr}};
        return StartServiceCtrlDispatcherW(table) ? 0 : 1;
    }
    refuse = argc > 1 && lstrcmpA(argv[1], "refuse") == 0;
    prompt = argc > 1 && lstrcmpA(argv[1], "prompt") == 0;
    WNDCLASSW kind{};
    kind.lpfnWndProc = window_procedure;
    kind.hInstance = GetModuleHandleW(nullptr);
    kind.lpszClassName = L"MorvaneLeftRunning";
    RegisterClassW(&kind);
    if (CreateWindowW(kind.lpszClassName, L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr, kind.hInstance,
                      nullptr) == nullptr)
        return 1;
    if (prompt) {
        WNDCLASSW own{};
        own.lpfnWndProc = message_only_procedure;
        own.hInstance = kind.hInstance;
        own.lpszClassName = L"MorvaneMessageOnly";
        RegisterClassW(&own);
        CreateWindowW(own.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, kind.hInstance, nullptr);
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        for (HWND found = nullptr; com_window == nullptr &&
                                   (found = FindWindowExW(HWND_MESSAGE, found, L"OleMainThreadWndClass", nullptr));) {
            DWORD owner = 0;
            GetWindowThreadProcessId(found, &owner);
            com_window = owner == GetCurrentProcessId() ? found : nullptr;
        }
        log(com_window != nullptr ? "COM's window is there" : "COM made no window");
        SetTimer(nullptr, 0, 200, check_com_window);
    }
    mark(argc > 1 ? argv[1] : "tray");
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        DispatchMessageW(&message);
    return 0;
}
