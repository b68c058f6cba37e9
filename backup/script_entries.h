// The deletion entries of morvane.reg as it is when cleaning starts: the
// user may have edited it.
#pragma once

#include <cstdint>

#include "platform/platform.h"

struct ScriptEntry {
    // False for a line that the registry editor may take as a deletion but
    // that cannot be read whole here; only `text` (and `value`) are then set.
    bool readable;
    // The deletion of one value ("NAME"=- or @=-) in the section of the key
    // that root, path and text name; else of the key itself.
    bool value;
    // A value line that sets the value ("NAME"=DATA) instead, to data of
    // this type.
    bool sets;
    std::uint32_t data_type;
    const char* data;
    std::uint32_t data_length;
    const char16_t* value_name;  // zero-terminated; empty for the default value
    std::uint32_t value_name_length;
    RegistryRoot root;
    const char16_t* path;  // below the root, zero-terminated
    // The key's name as written, root and all.
    const char16_t* text;
    std::uint32_t text_length;
};

// Opens the script in input_file; false when it cannot be opened.
bool open_script_entries();
// The next entry that deletes a key below one of the registry editor's
// roots, or deletes or sets a value of such a key; false at the end of the
// script.
bool next_script_entry(ScriptEntry& entry);
void close_script_entries();
