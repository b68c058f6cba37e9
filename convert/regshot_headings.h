// RegShot's report headings in each of its languages, in UTF-8.
#pragma once

#include <cstdint>

// Every heading of a TXT report, in RegShot's order: those of the sections
// read, and the others, which a line must not be taken for.
enum class HeadingKind : std::uint8_t {
    keys_added,
    keys_deleted,
    values_added,
    values_deleted,
    values_modified,
    files_added,
    files_deleted,
    files_modified,
    folders_added,
    folders_deleted,
    folders_changed,
    total_changes,
};
inline constexpr std::uint32_t heading_kind_count = 12;

struct RegShotLanguage {
    const char* name;
    std::uint16_t code_page;  // the one its block of RegShot's file is in
    const char* headings[heading_kind_count];
};
inline constexpr std::uint32_t regshot_language_count = 29;
extern const RegShotLanguage regshot_languages[regshot_language_count];
