// Writes registry keys into backup_file in the registry editor's own format,
// so that importing the file restores them exactly.
#pragma once

#include "platform/platform.h"

enum class ExportProblem : std::uint8_t {
    none,
    denied,
    too_large,       // a value, or a name, larger than the buffers
    too_deep,        // subkeys deeper than the registry allows
    name_uncarried,  // a name with a line break, which the format cannot carry
    unreadable,
};

// UTF-16LE with a byte-order mark, and the format's heading.
void write_backup_header();
// The key, its values and every subkey below it, subkeys opened in `view`.
// Goes on past a part it cannot save, and returns the first such problem.
ExportProblem export_key_tree(RegistryKey key, RegistryView view);
// The key's value of that name, in a section of its own; `existed` tells
// whether the key has it.
ExportProblem export_value(RegistryKey key, const char16_t* name, bool& existed);
// The key's section with a line that deletes its value of that name.
void export_value_absence(RegistryKey key, const char16_t* name);
// Writes what is still gathered.
void flush_backup_text();
