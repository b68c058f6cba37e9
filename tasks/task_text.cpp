// What the question before cleaning and the closing message say of the
// installation's scheduled tasks.
#include <cstdio>
#include <cstring>

#include "convert/scheduled_tasks.h"
#include "tasks/task_fates.h"
#include "tasks/tasks.h"

namespace {

constexpr std::uint32_t names_shown = 4;
constexpr std::uint32_t name_width = 200;

void append(char* text, std::size_t size, const char* format, auto... values)
{
    const std::size_t used = std::strlen(text);
    std::snprintf(text + used, size - used, format, values...);
}

// In the ANSI code page, cut to name_width with "..." where it was.
void append_path(char* text, std::size_t size, const NotedTask& task)
{
    char shown[name_width];
    const std::uint32_t bytes = utf16_to_ansi(task.path, task.length, shown, sizeof shown);
    append(text, size, "%.*s%s", static_cast<int>(bytes), shown, task.length > bytes ? "..." : "");
}

std::uint32_t count_of(TaskFate fate)
{
    std::uint32_t count = 0;
    for (std::uint32_t i = 0; i < noted_task_count; ++i)
        count += task_fates[i] == fate ? 1 : 0;
    return count;
}

const char* reason_for(TaskFate fate)
{
    switch (fate) {
    case TaskFate::denied:
        return "the Task Scheduler refused: access denied";
    case TaskFate::failed:
        return "the Task Scheduler refused";
    case TaskFate::unsaved:
        return "its definition could not be saved first";
    default:
        return nullptr;
    }
}

}  // namespace

std::uint32_t removed_task_count()
{
    return count_of(TaskFate::removed);
}

void append_task_question(char* text, std::size_t size)
{
    const std::uint32_t count = installation_task_count();
    if (count == 0)
        return;
    append(text, size, "%u scheduled task(s) of the installation are removed.\n", count);
    std::uint32_t shown = 0;
    for (std::uint32_t i = 0; i < noted_task_count && shown < names_shown; ++i) {
        if (!noted_tasks[i].line_written)
            continue;
        append(text, size, "%s", shown++ == 0 ? "" : ", ");
        append_path(text, size, noted_tasks[i]);
    }
    if (count > shown)
        append(text, size, " and %u more", count - shown);
    append(text, size, "%s", "\n");
}

void append_task_result(char* text, std::size_t size)
{
    const std::uint32_t removed = count_of(TaskFate::removed);
    const std::uint32_t absent = count_of(TaskFate::absent);
    const std::uint32_t unreachable = count_of(TaskFate::unreachable);
    std::uint32_t refused = 0;
    for (std::uint32_t i = 0; i < noted_task_count; ++i)
        refused += reason_for(task_fates[i]) != nullptr ? 1 : 0;
    if (removed + absent + unreachable + refused == 0)
        return;
    append(text, size, "%s", "\n");
    if (removed > 0)
        append(text, size, "Scheduled tasks removed: %u\n", removed);
    if (absent > 0)
        append(text, size, "Scheduled tasks already absent: %u\n", absent);
    if (unreachable > 0)
        append(text, size, "The Task Scheduler could not be reached: %u scheduled task(s) are left as they are.\n",
               unreachable);
    std::uint32_t shown = 0;
    for (std::uint32_t i = 0; i < noted_task_count && refused > 0; ++i) {
        const char* reason = reason_for(task_fates[i]);
        if (reason == nullptr || shown++ >= names_shown)
            continue;
        append(text, size, "%s", "Not removed: ");
        append_path(text, size, noted_tasks[i]);
        append(text, size, ": %s\n", reason);
    }
    if (refused > names_shown)
        append(text, size, "and %u more not removed\n", refused - names_shown);
    shown = 0;
    for (std::uint32_t i = 0; i < noted_task_count; ++i) {
        if (task_fates[i] != TaskFate::removed || saved_task_files[i][0] == '\0')
            continue;
        if (shown++ == 0)
            append(text, size, "%s", "To get a task back: ");
        if (shown > names_shown)
            continue;
        append(text, size, "%sschtasks /create /xml \"%s\" /tn \"", shown == 1 ? "" : "\n  ", saved_task_files[i]);
        append_path(text, size, noted_tasks[i]);
        append(text, size, "%s", "\"");
    }
    if (shown > names_shown)
        append(text, size, "\n  and %u more, saved beside them", shown - names_shown);
    if (shown > 0)
        append(text, size, "%s", "\n");
}
