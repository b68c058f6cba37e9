// Definitions of the program-wide state.
#include "state/state.h"

TagList tag_list;
char line_buffer[chunk_size + 1];
bool line_continues;
char report_path[path_size];
char script_path[path_size];
std::int32_t key_count;
FileHandle input_file = invalid_file;
FileHandle script_file = invalid_file;
