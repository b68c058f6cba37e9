// The deletion entries of morvane.reg as it is when cleaning starts: the
// user may have edited it.
#pragma once

#include <cstdint>

#include "platform/platform.h"

struct ScriptEntry {
    // False for a line that the registry editor may take as a deletion but
    // that cannot be read whole here; only `text` is then set.
    bool readable;
    RegistryRoot root;
    const char16_t* path;  // below the root, zero-terminated
    // The key's name as written, root and all.
    const char16_t* text;
    std::uint32_t text_length;
};

// Opens the script in input_file; false when it cannot be opened.
bool open_script_entries();
// The next entry that deletes a key below one of the registry editor's
// roots; false at the end of the script.
bool next_script_entry(ScriptEntry& entry);
void close_script_entries();
