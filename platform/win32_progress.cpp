// The progress window on Windows: a plain window with a static line, the
// common controls' progress bar and a Cancel button, pumped by the caller.
#include "platform/platform.h"
#include "platform/win32_answering.h"

#include <windows.h>
#include <commctrl.h>

namespace {

constexpr DWORD show_after_ms = 300;
constexpr DWORD answer_every_ms = 50;
constexpr int cancel_id = IDCANCEL;
constexpr WCHAR class_name[] = L"MorvaneProgress";

HWND window;
HWND line;
HWND bar;
HWND cancel;
HFONT font;
DWORD opened_at;
DWORD answered_at;
bool shown;
bool marquee;
bool cancel_offered;
bool cancel_chosen;

LRESULT CALLBACK window_procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam)
{
    if ((message == WM_COMMAND && LOWORD(wparam) == cancel_id) || message == WM_CLOSE) {
        cancel_chosen = cancel_chosen || cancel_offered;
        return 0;
    }
    return DefWindowProcW(hwnd, message, wparam, lparam);
}

int scaled(int pixels)
{
    HDC screen = GetDC(nullptr);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen != nullptr)
        ReleaseDC(nullptr, screen);
    return MulDiv(pixels, dpi, 96);
}

HWND child(const WCHAR* kind, const WCHAR* text, DWORD style, int x, int y, int width, int height, int id)
{
    // A child window's menu handle is its control id.
    const auto control_id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(id));  // NOLINT(performance-no-int-to-ptr)
    HWND made = CreateWindowExW(0, kind, text, WS_CHILD | WS_VISIBLE | style, scaled(x), scaled(y), scaled(width),
                                scaled(height), window, control_id, GetModuleHandleW(nullptr), nullptr);
    if (made != nullptr && font != nullptr)
        SendMessageW(made, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return made;
}

// Messages for the window, Escape and Enter on its button included.
void answer_messages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (window != nullptr && IsDialogMessageW(window, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    answered_at = GetTickCount();
    if (window != nullptr && !shown && answered_at - opened_at >= show_after_ms) {
        ShowWindow(window, SW_SHOWNORMAL);
        UpdateWindow(window);
        shown = true;
    }
}

}  // namespace

void open_progress_window()
{
    if (window != nullptr)
        return;
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    WNDCLASSW kind = {};
    kind.lpfnWndProc = window_procedure;
    kind.hInstance = GetModuleHandleW(nullptr);
    kind.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    kind.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    kind.lpszClassName = class_name;
    RegisterClassW(&kind);
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof metrics;
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        font = CreateFontIndirectW(&metrics.lfMessageFont);
    WCHAR caption[128];
    MultiByteToWideChar(CP_ACP, 0, prompt_caption, -1, caption, 128);
    RECT frame = {0, 0, scaled(420), scaled(118)};
    const DWORD style = WS_CAPTION | WS_SYSMENU;
    AdjustWindowRectEx(&frame, style, FALSE, WS_EX_DLGMODALFRAME);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    window = CreateWindowExW(WS_EX_DLGMODALFRAME, class_name, caption, style,
                             (GetSystemMetrics(SM_CXSCREEN) - width) / 2, (GetSystemMetrics(SM_CYSCREEN) - height) / 2,
                             width, height, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (window == nullptr)
        return;
    line = child(L"STATIC", L"", SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS, 16, 14, 388, 20, 0);
    bar = child(PROGRESS_CLASSW, L"", 0, 16, 40, 388, 18, 0);
    cancel = child(L"BUTTON", L"Cancel", BS_DEFPUSHBUTTON | WS_TABSTOP, 316, 76, 88, 26, cancel_id);
    opened_at = GetTickCount();
    shown = false;
    marquee = false;
    cancel_chosen = false;
}

void show_progress(const char* text, std::uint32_t done, std::uint32_t total, bool cancellable)
{
    if (window == nullptr)
        return;
    WCHAR wide[256];
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 256);
    wide[255] = L'\0';
    SetWindowTextW(line, wide);
    if ((total == 0) != marquee) {
        marquee = total == 0;
        const LONG_PTR style = GetWindowLongPtrW(bar, GWL_STYLE);
        SetWindowLongPtrW(bar, GWL_STYLE, marquee ? style | PBS_MARQUEE : style & ~static_cast<LONG_PTR>(PBS_MARQUEE));
        SendMessageW(bar, PBM_SETMARQUEE, marquee, 0);
    }
    if (!marquee) {
        // The bar's range is 16-bit: it shows thousandths.
        SendMessageW(bar, PBM_SETRANGE32, 0, 1000);
        SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(static_cast<unsigned long long>(done) * 1000 / total), 0);
    }
    cancel_offered = cancellable;
    EnableWindow(cancel, cancellable);
    answer_messages();
}

bool progress_cancelled()
{
    if (window != nullptr && GetTickCount() - answered_at >= answer_every_ms)
        answer_messages();
    return cancel_chosen;
}

void close_progress_window()
{
    if (window == nullptr)
        return;
    DestroyWindow(window);
    window = nullptr;
    if (font != nullptr)
        DeleteObject(font);
    font = nullptr;
    answer_messages();
}

// Windows marks a window that takes no message for 5 s "Not responding"
// and offers to close its program, mid-cleaning.
void wait_answering(HANDLE waited)
{
    if (window == nullptr) {
        WaitForSingleObject(waited, INFINITE);
        return;
    }
    while (MsgWaitForMultipleObjects(1, &waited, FALSE, answer_every_ms, QS_ALLINPUT) != WAIT_OBJECT_0)
        answer_messages();
}

namespace {

struct Work {
    void (*run)(void*);
    void* argument;
};

DWORD WINAPI run_work(void* work)
{
    const auto* given = static_cast<const Work*>(work);
    given->run(given->argument);
    return 0;
}

}  // namespace

void answering_while(void (*work)(void*), void* argument)
{
    Work given = {work, argument};
    HANDLE thread = window == nullptr ? nullptr : CreateThread(nullptr, 0, run_work, &given, 0, nullptr);
    if (thread == nullptr) {
        work(argument);
        return;
    }
    wait_answering(thread);
    CloseHandle(thread);
}
