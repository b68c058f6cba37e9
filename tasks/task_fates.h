// What became of each noted task, shared by the removal and its text.
#pragma once

#include <cstdint>

#include "state/state.h"

enum class TaskFate : std::uint8_t {
    left,         // its line was deleted, or it is a folder
    removed,
    absent,       // the Task Scheduler no longer knew it
    denied,       // the Task Scheduler refused
    failed,       // the Task Scheduler could not remove it
    unsaved,      // its definition could not be saved, so it stays
    unreachable,  // the Task Scheduler could not be reached
};

extern TaskFate task_fates[max_noted_tasks];
// Where each removed task's definition went.
extern char saved_task_files[max_noted_tasks][path_size];
