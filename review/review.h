// The script and the list as the user reviewed them: read once, after the
// confirmation, into a folder that no program without administrator rights
// can change, and held against what was written. The backup, the registry
// editor and the Recycle Bin work from that copy alone.
#pragma once

#include <cstddef>

// Right after the script and the list are written.
void remember_written_files();
// Copies both files, repoints script_path and list_path at the copies, and
// asks about every entry that is not as written. False, with nothing
// changed, when a file cannot be read back or copied, changed its
// encoding, or the user declines what was not written.
bool take_reviewed_files();
// Removes the copies once cleaning is done.
void discard_reviewed_copies();
// The closing message's line on entries of the user's own.
void append_review_note(char* text, std::size_t size);
