// The backup of every key that cleaning will delete, and the check of what
// cleaning did.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

// Appends a line to `lines`: the key's name in the ANSI code page, cut to
// `width` bytes (with "..." where it was), then `after`.
void append_key_line(char* lines, std::size_t size, const char16_t* key, std::uint32_t length, std::uint32_t width,
                     const char* after);

// Morvane\Backups in the local application data folder, made where it is
// not there: its length, or 0 where it cannot be used.
std::uint32_t backup_directory(char* directory);
// The name of a folder beside the backup file for what cleaning keeps
// besides keys: the backup's with "-" and `kind` after it; where no backup
// was kept, "morvane-<kind>-<time>" where it would have been. Made there
// when `make`.
bool backup_side_folder(const char* kind, char* folder, std::size_t size, bool make);
// Creates backup_file, in that folder or else the temporary directory, a
// new file named in backup_path; false when that fails in both.
bool create_backup_file();

// Saves each key that the script deletes, in the report's registry view,
// into a new file in the user's local application data (backup_path), and
// notes in backup_problems what could not be saved.
void back_up_listed_keys();

// Whether the listed key at `index`, in the script's order, existed when the
// backup was taken.
bool listed_key_existed(std::int32_t index);
// The same for the listed value at `index` among the script's values, and
// whether its key was missing then.
bool listed_value_existed(std::int32_t index);
bool listed_value_key_was_absent(std::int32_t index);
// Whether the listed value that the script sets at `index` held that data
// already when the backup was taken.
bool listed_value_already_set(std::int32_t index);
struct ScriptEntry;
// Whether the key's value holds exactly the type and data the entry sets.
bool value_holds(RegistryKey key, const ScriptEntry& entry);
// Whether the key has a value of that name.
bool value_exists(RegistryKey key, const char16_t* name);

// After the registry editor ran (or could not start), checks each listed
// key and value again, and tells running programs what changed; returns how
// many entries it checked.
std::uint32_t check_cleaning();
// The closing message's counts of keys and values, with the first few
// still there by name.
void append_cleaning_result(char* text, std::size_t size);
// Where the backup is and what opening it restores; `others_went`: files
// or tasks went, which it does not hold.
void append_backup_note(char* text, std::size_t size, bool others_went);
// Tells the user that cancelling the backup deleted nothing, and what it kept.
void report_cancelled();
