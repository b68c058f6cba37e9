// The script and the list read for their entries: as they were written,
// where the script was not remembered while it was, and as the user left
// them, held against what was written.
#pragma once

#include "written/entry_stream.h"

// Reads the entries of the script at `path`, or of the list at list_path,
// and remembers them as written, or notes each one that was not. False
// when the file cannot be opened.
bool walk_script_entries(const char* path, EntryUse use, TextForm& form);
bool walk_list_entries(EntryUse use);
