// WOW64's file-system redirection, seen through for the 64-bit System32
// folder: shared by the Windows layer's files and Recycle Bin.
#pragma once

#include <windows.h>

const WCHAR* wide(const char16_t* text);
bool in_system_folder(const char16_t* path);
struct Redirection {
    void* old;
    bool off;
};
Redirection see_through(bool needed);
void restore(Redirection redirection);
