// Builds morvane.reg from the added-keys section of the chosen report.
#pragma once

#include <cstddef>

// Reads report_path and the tag list; leaves script_path and key_count set.
// Every failure is shown to the user and ends the process with status 0, so
// this only ever returns with at least one entry written.
void build_cleaning_script();
// Tells the user that the report lists nothing to clean, and ends the
// process with status 0.
[[noreturn]] void end_with_nothing_to_do();
// The message for a temporary file that could not be created: the one
// word the user knows, and where a link was on its way, what that means.
void creation_failure_text(char* text, std::size_t size, const char* path);
