// The values sections' part of the cleaning script: entries under [KEY]
// sections, kept values commented out, and comments for lines that give no
// entry.
#pragma once

#include <cstdint>
#include <string_view>

#include "convert/report_text.h"
#include "convert/value_lines.h"

// Forgets the sections of an earlier report.
void start_value_entries();
// Writes the deletion entry of one line of the values-added section, a kept
// value commented out, or a comment saying why the line gives no entry.
void write_value_entry_for(const ReportLine& line);

// Shared with the section of changed values.
enum class ValuePart : std::uint8_t { added, changed };
// "; No entry, WHY: LINE", the line as a comment that nothing can turn into
// a line of its own.
void write_value_comment(ValuePart part, std::string_view why, const char16_t* units, std::uint32_t length);
// The entry `write_line` writes for the value that `split` finds in `units`,
// in its key's [KEY] section (the last one, when it is the same key), or
// commented out with the reason when the value must stay. False when kept.
bool write_value_entry(ValuePart part, const RootName& root, const char16_t* units, std::uint32_t path,
                       std::uint32_t length, Split split,
                       void (*write_line)(const char16_t* units, Split split, bool commented));
// The comment for a line that resolved to no single value.
void write_unresolved_comment(ValuePart part, Resolution resolution, const char16_t* units, std::uint32_t length);
