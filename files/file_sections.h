// The report's sections of folders and files added, into the list that the
// user reviews beside morvane.reg.
#pragma once

// Writes morvane-files.txt beside the script (list_path) from the sections
// that the script's builder found, or deletes the list of an earlier run
// when the report has none; remembers what the report saw of each entry.
void build_file_list();
