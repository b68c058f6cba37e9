// Entries that set back the values that a report lists as modified: each
// value is a pair of lines, its old data then its new.
#pragma once

#include "convert/report_text.h"

// Forgets a pair begun in an earlier report.
void start_changed_values();
// Takes one result of the section; the second of a pair writes the entry
// that sets the value back, a kept value commented out, or a comment that
// says why there is none.
void write_changed_value_for(const ReportLine& line);
