// The installation's scheduled tasks as the report shows them: the Task
// Scheduler's cache keys it lists as added, and the task files of its file
// view. Their lines are written commented out: the tasks go through the
// Task Scheduler, which removes its cache and files with them.
#pragma once

#include <cstdint>
#include <string_view>

// What a listed key, value or file is of the installation's tasks.
enum class TaskPart : std::uint8_t {
    none,
    task,       // the line that names a task: deleting it keeps the task
    with_task,  // the rest of a task's cache, its folder or its file
};

// The line that names a task, and what follows its path.
inline constexpr std::string_view task_line_start = "; Removed through the Task Scheduler: ";
inline constexpr std::string_view task_line_end = ". Delete this line to keep the task.";
inline constexpr std::string_view with_task_reason = "; Removed through the Task Scheduler, with its task. ";

void forget_scheduled_tasks();
// While the report is surveyed: a key listed as added below
// HKEY_LOCAL_MACHINE, and a value listed as added, as "KEY\NAME: DATA".
void note_task_cache_key(std::string_view path);
void note_task_value(std::string_view line);
// Once the survey is done: a cache key of the task tree with an Id, or
// with no listed key below it, names a task; the others are task folders.
void settle_scheduled_tasks();
// A key below HKEY_LOCAL_MACHINE, or a value's key (`value`); `task` is
// the task's index among the noted tasks.
TaskPart task_part_of_key(std::string_view path, bool value, std::uint32_t& task);
// A listed file or folder by its name as 64-bit Windows gives it; a task
// file that no listed key named is noted here. `task` is its index among
// the noted tasks.
TaskPart task_part_of_file(const char16_t* path, std::uint32_t length, bool folder, std::uint32_t& task);
// The tasks that the script and the list name, each on a line of its own.
std::uint32_t installation_task_count();
// The task's file below System32\Tasks, as 64-bit Windows names it,
// zero-terminated; false when it does not fit or cannot be told.
bool task_file_of(std::uint32_t task, char16_t* file, std::uint32_t capacity);
// Writes the line that names the task, before its commented line.
void write_task_line(std::uint32_t task, void (*write_ascii)(std::string_view),
                     void (*write_units)(const char16_t*, std::uint32_t));
// The task whose path the text names exactly; max_noted_tasks for none.
std::uint32_t noted_task_named(const char16_t* path, std::uint32_t length);
