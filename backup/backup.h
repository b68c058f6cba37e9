// The backup of every key that cleaning will delete, and the check of what
// cleaning did.
#pragma once

#include <cstdint>

// Saves each key that the script deletes, in the report's registry view,
// into a new file in the user's local application data (backup_path), and
// notes in backup_problems what could not be saved.
void back_up_listed_keys();

// Whether the listed key at `index`, in the script's order, existed when the
// backup was taken.
bool listed_key_existed(std::int32_t index);

// After the registry editor ran (or could not start), checks each listed key
// again and tells the user what became of them, and where the backup is.
void report_cleaning(bool editor_ran);
