// The Windows GUI entry: no window of its own, one pass of the main flow.
#include <windows.h>

#include "ui/main_flow.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return main_flow();
}
