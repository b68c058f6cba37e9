// The Windows layer's two ways to the Recycle Bin: the shell's file
// operation object where the system implements it, its older call where not.
#pragma once

#include <windows.h>

// E_NOTIMPL, having done nothing, where the system lacks the object or a
// method it needs; otherwise S_OK, with `taken` set for each path.
HRESULT recycle_through_file_operation(const char16_t* paths, bool* taken);
