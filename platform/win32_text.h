// Texts the system gives, copied out to the logic's UTF-16 buffers.
#pragma once

#include <windows.h>

#include <cstdint>

// False when the text and its terminating zero do not fit.
inline bool copy_text(const WCHAR* text, char16_t* into, std::uint32_t capacity)
{
    const int length = text == nullptr ? 0 : lstrlenW(text);
    if (static_cast<std::uint32_t>(length) >= capacity)
        return false;
    CopyMemory(into, text == nullptr ? L"" : text, 2 * static_cast<SIZE_T>(length + 1));
    return true;
}
