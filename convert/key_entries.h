// The entries of the keys section, written as each report line is read.
#pragma once

#include "convert/report_text.h"

// The entry of the key that `line` names, if it names exactly one.
void write_key_entry(const ReportLine& line);
