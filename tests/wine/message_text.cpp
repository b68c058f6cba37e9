// Prints the whole text of the message box under the caption given, as
// UTF-8, read from its text control: Wine's trace shows only its start.
#include <windows.h>

#include <cstdio>

namespace {

WCHAR text[1 << 15];

BOOL CALLBACK take_text(HWND control, LPARAM)
{
    // A message box's text is its static control of id 0xFFFF.
    if (GetDlgCtrlID(control) == 0xFFFF)
        GetWindowTextW(control, text, sizeof text / sizeof text[0]);
    return TRUE;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    WCHAR caption[512];
    MultiByteToWideChar(CP_UTF8, 0, argv[1], -1, caption, 512);
    HWND box = FindWindowW(L"#32770", caption);
    if (box == nullptr)
        return 1;
    EnumChildWindows(box, take_text, 0);
    static char utf8[1 << 17];
    const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
    if (length <= 1)
        return 1;
    std::fwrite(utf8, 1, static_cast<size_t>(length - 1), stdout);
    return 0;
}
