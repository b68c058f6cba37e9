// Names as Windows compares those of keys and files, here ASCII letters
// without regard to case, and hashes of them.
#pragma once

#include <cstdint>
#include <string_view>

// Never zero, so that zero can mark a free slot; `under_users` tells the
// two roots apart.
std::uint64_t name_hash(bool under_users, std::string_view name);
// True once `found` is true for name_hash of `text` up to one of its
// backslashes. The parents share their words on the way: a value line is
// asked about at each of its backslashes, and is read once for all.
bool any_parent_hash(bool under_users, std::string_view text, bool (*found)(std::uint64_t));

// The same for a name in UTF-16, such as a file's full path.
std::uint64_t units_hash(const char16_t* units, std::uint32_t length);

// ASCII and ANSI names compared as the registry does, a word at a time.
// Most names asked about differ in their length or first letter, which is
// told here: two bytes that differ in more than the case bit differ in any
// case.
bool same_sized_text(std::string_view a, std::string_view b);
inline bool same_text(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && (a.empty() || ((a[0] ^ b[0]) & ~0x20) == 0) && same_sized_text(a, b);
}

char16_t upper_unit(char16_t unit);
bool same_name(const char16_t* a, const char16_t* b, std::uint32_t length);
