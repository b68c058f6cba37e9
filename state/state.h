// The program-wide state: zero at start, alive for the whole run.
#pragma once

#include <cstdint>

#include "platform/platform.h"

inline constexpr std::uint32_t max_tags = 512;
inline constexpr std::uint32_t tag_slot_size = 512;
inline constexpr std::uint32_t chunk_size = 8192;
inline constexpr std::uint32_t path_size = 260;

struct TagList {
    char tags[max_tags][tag_slot_size];
    std::uint32_t count;
};

// RegShot wraps a result after every 1000 characters.
inline constexpr std::uint32_t wrap_length = 1000;
// A UTF-16 unit takes up to three bytes in UTF-8.
inline constexpr std::uint32_t utf8_per_unit = 3;

enum class ReportEncoding : std::uint8_t { ansi, utf16le };

extern TagList tag_list;
// The sections read besides the added keys, in the order of RegShot's
// reports; each is found by headings of its own.
enum class Section : std::uint8_t { values_added, values_modified, folders_added, files_added };
inline constexpr std::uint32_t section_count = 4;
extern TagList section_tags[section_count];
// The sections' headings were loaded, RegShot's own in each of its
// languages among them.
extern bool regshot_headings_known;
extern char line_buffer[chunk_size + 1];
// The bytes the line reader delivered, up to the cut (a UTF-16 line holds
// zero bytes, so its length is not the string's).
extern std::uint32_t line_length;
// Set by the line reader when it delivered a whole chunk without a line end:
// the line goes on in the next call, which then delivers only its rest.
extern bool line_continues;
extern char report_path[path_size];
extern ReportEncoding report_encoding;
// The report's first line names RegShot's x64 build, which saw the keys as
// the 64-bit system does.
extern bool report_from_x64;
// The report did not say which build wrote it, nor did its keys tell: the
// question says which view was taken.
extern bool report_view_guessed;
// The times of RegShot's two shots, in seconds since 1601 (UTC), when the
// report gives them.
extern bool shot_times_known;
extern std::int64_t shot_seconds[2];
// The view in which RegShot saw the keys: the one they are looked up,
// saved and deleted in.
inline RegistryView report_view()
{
    return report_from_x64 ? RegistryView::bits64 : RegistryView::bits32;
}
// A UTF-16 report's current line, and its tags, as UTF-8: the 8-bit form in
// which the builder reads every report.
extern char report_line[chunk_size / 2 * utf8_per_unit + 1];
extern char report_tags[max_tags][(tag_slot_size - 1) * utf8_per_unit + 1];
extern std::uint32_t report_tag_count;
extern char report_section_tags[section_count][max_tags][(tag_slot_size - 1) * utf8_per_unit + 1];
extern std::uint32_t report_section_tag_count[section_count];
// A line of exactly wrap_length characters, kept until the next line tells
// whether RegShot cut it.
extern char held_line[wrap_length * utf8_per_unit + 1];
extern char script_path[path_size];
extern std::int32_t key_count;
// Listed keys written commented out: no installation adds them.
extern std::int32_t kept_key_count;
// Of those, the ones in Windows' own trees that nothing ties to the
// installation.
extern std::int32_t untied_count;
// Deletion entries of values added under keys that were already there.
extern std::int32_t value_count;
// Entries that set a value the installation changed back to its old data.
extern std::int32_t set_back_count;
// An 8-bit script holds hex data of a string type, which registry editors
// read from an 8-bit file in different ways: it is written in UTF-16LE.
extern bool script_needs_utf16;
// The script is written in UTF-16LE from the start: the report is, or an
// ANSI report names keys or values by '?' whose real names the code page
// lacks.
extern bool script_in_utf16;
// Where the report's first section of files or folders begins, or -1.
extern std::int64_t file_sections_at;
extern FileHandle input_file;
extern FileHandle script_file;

// The files and folders that the report lists as added, in a list beside
// the script when it lists any.
extern char list_path[path_size];
extern FileHandle list_file;
extern bool files_listed;
extern std::int32_t file_count;
extern std::int32_t folder_count;
// Listed files and folders written commented out: Windows' own, or a
// scheduled task's.
extern std::int32_t kept_file_count;
// The user chose Cancel while the listed files were looked at.
extern bool files_cancelled;
// Services or programs of the installation were stopped: what follows can
// no longer be cancelled.
extern bool running_stopped;
// The services whose own keys the script deletes, noted as it is written;
// `service_note_whole` is false where one could not be noted (too many, or
// a name with '?'), and the script must be read for them.
inline constexpr std::uint32_t max_noted_services = 128;
inline constexpr std::uint32_t noted_service_size = 257;
extern char16_t noted_services[max_noted_services][noted_service_size];
extern std::uint32_t noted_service_count;
extern bool service_note_whole;
// The scheduled tasks of the installation and the task folders it added,
// by their paths in the Task Scheduler ("\Vendor\Updater"), noted from the
// report's cache keys and task files as the script and the list are
// written. A task's line in them (its cache key's where the report lists
// it, else its file's) is the one the user keeps or deletes.
inline constexpr std::uint32_t max_noted_tasks = 64;
inline constexpr std::uint32_t noted_task_size = 261;
struct NotedTask {
    std::uint32_t length;
    char16_t id[32];  // the digits of its cache's GUID, where the report gives them
    char16_t path[noted_task_size];
    bool has_id;
    bool folder;
    bool key_listed;
    bool file_listed;
    bool line_written;  // the line that names it is in the script or the list
};
extern NotedTask noted_tasks[max_noted_tasks];
extern std::uint32_t noted_task_count;

// The backup taken before cleaning, and the check after it.
inline constexpr std::uint32_t max_backup_problems_shown = 5;
inline constexpr std::uint32_t max_listed_keys_tracked = std::uint32_t{1} << 23;
extern char backup_path[path_size];
extern FileHandle backup_file;
// What could not be saved, a line each for the first few, as the question
// before cleaning shows them.
extern char backup_problems[max_backup_problems_shown * 192 + 1];
extern std::uint32_t backup_problem_count;
// None of the listed keys was there to save, so no backup file was kept.
extern bool backup_empty;
// The user chose Cancel while the backup was being written.
extern bool backup_cancelled;
// A bit for each listed key, in the script's order: it existed before
// cleaning.
extern std::uint8_t key_existed[max_listed_keys_tracked / 8];
// For each listed value, in the script's order: it existed before cleaning;
// its key did not (the registry editor then makes the key anew).
inline constexpr std::uint32_t max_listed_values_tracked = std::uint32_t{1} << 20;
extern std::uint8_t value_existed[max_listed_values_tracked / 8];
extern std::uint8_t value_key_absent[max_listed_values_tracked / 8];
// For each listed value that the script sets: it held that data already.
extern std::uint8_t value_already_set[max_listed_values_tracked / 8];
