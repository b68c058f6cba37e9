// Deletion entries for the values that a report lists as added under keys
// that were already there, each line resolved against the registry.
#pragma once

#include "convert/report_text.h"

// Forgets the sections of an earlier report.
void start_value_entries();
// Writes the entry of one line of the values section, a kept value
// commented out, or a comment saying why the line gives no entry.
void write_value_entry_for(const ReportLine& line);
