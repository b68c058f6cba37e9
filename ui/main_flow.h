// The program's one pass, from start to exit status.
#pragma once

// Always returns 0: every failure ends the process earlier, also with 0.
int main_flow();

// After the registry editor ran (or could not start) and the files went to
// the Recycle Bin: checks every listed entry again and tells the user what
// became of them, where the backup is, and how to undo the cleaning.
void report_cleaning(bool editor_ran);
