// Definitions of the program-wide state.
#include "state/state.h"

TagList tag_list;
TagList section_tags[section_count];
char line_buffer[chunk_size + 1];
std::uint32_t line_length;
bool line_continues;
char report_path[path_size];
ReportEncoding report_encoding;
bool report_from_x64;
char report_line[chunk_size / 2 * utf8_per_unit + 1];
char report_tags[max_tags][(tag_slot_size - 1) * utf8_per_unit + 1];
std::uint32_t report_tag_count;
char report_section_tags[section_count][max_tags][(tag_slot_size - 1) * utf8_per_unit + 1];
std::uint32_t report_section_tag_count[section_count];
char held_line[wrap_length * utf8_per_unit + 1];
char script_path[path_size];
std::int32_t key_count;
std::int32_t kept_key_count;
std::int32_t value_count;
std::int32_t set_back_count;
bool script_needs_utf16;
std::int64_t file_sections_at = -1;
FileHandle input_file = invalid_file;
FileHandle script_file = invalid_file;
char backup_path[path_size];
FileHandle backup_file = invalid_file;
char backup_problems[max_backup_problems_shown * 192 + 1];
std::uint32_t backup_problem_count;
bool backup_empty;
bool backup_cancelled;
std::uint8_t key_existed[max_listed_keys_tracked / 8];
std::uint8_t value_existed[max_listed_values_tracked / 8];
std::uint8_t value_key_absent[max_listed_values_tracked / 8];
std::uint8_t value_already_set[max_listed_values_tracked / 8];
