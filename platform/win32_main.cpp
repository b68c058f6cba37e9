// The Windows GUI entry: no window of its own, one pass of the main flow.
#include <windows.h>

#include "ui/main_flow.h"

namespace {

// Windows looks for a DLL in the program's folder, and the current one,
// before System32. People run this program from their Downloads folder,
// with administrator rights: a DLL saved there under a name the shell or a
// dialog loads would run with them. Vista without its update lacks the
// call that says otherwise, so it is looked up.
void load_only_system_dlls()
{
    using SetDefaultDllDirectoriesCall = BOOL(WINAPI*)(DWORD);
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const auto set_default = reinterpret_cast<SetDefaultDllDirectoriesCall>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (set_default != nullptr)
        set_default(LOAD_LIBRARY_SEARCH_SYSTEM32);
    SetDllDirectoryW(L"");
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    load_only_system_dlls();
    return main_flow();
}
