// Processes on Windows: a snapshot of them, and the messages Windows sends
// programs at log-off.
#include "platform/platform.h"
#include "platform/win32_text.h"
#include "platform/win32_answering.h"

#include <windows.h>
#include <tlhelp32.h>

namespace {

constexpr DWORD answer_timeout_ms = 5000;
constexpr int most_windows = 256;

struct Process {
    DWORD id;
    WCHAR name[MAX_PATH];
};
Process processes[2048];
DWORD process_count;

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

void ask_windows(const Windows& windows)
{
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

}  // namespace

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
    // Each window may take up to 5 s to answer.
    answering_while([](void*) { ask_windows(windows); }, nullptr);
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
