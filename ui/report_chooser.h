// Lets the user pick the RegShot report.
#pragma once

// Fills report_path from the open-file dialog; leaves it empty when the user
// cancels or the dialog fails.
void choose_report_file();
