// The installation's scheduled tasks: named in the question, removed
// through the Task Scheduler before the registry editor runs, each saved
// first, and told at the end.
#pragma once

#include <cstddef>
#include <cstdint>

// The question's line on them, when there are any.
void append_task_question(char* text, std::size_t size);
// From the reviewed copies: the tasks whose lines the user left in are
// saved and removed, then the task folders the report lists as added
// that this leaves empty.
void remove_installation_tasks();
// How many were removed.
std::uint32_t removed_task_count();
// The closing message's part on them.
void append_task_result(char* text, std::size_t size);
