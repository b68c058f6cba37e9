// Removes the tasks the user left in through the Task Scheduler, each saved
// first as the XML that re-registers it, beside the backup file.
#include "tasks/tasks.h"

#include <cstdio>
#include <cstring>
#include <iterator>

#include "backup/backup.h"
#include "convert/scheduled_tasks.h"
#include "tasks/task_fates.h"

TaskFate task_fates[max_noted_tasks];
char saved_task_files[max_noted_tasks][path_size];

namespace {

constexpr std::uint32_t longest_line = task_line_start.size() + noted_task_size + task_line_end.size() + 2;
constexpr std::uint32_t definition_size = 1 << 18;

bool chosen[max_noted_tasks];
char16_t definition[definition_size / 2];
char folder[path_size];
std::uint32_t folder_length;

bool holds_ascii(const char16_t* units, std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (units[i] != static_cast<unsigned char>(text[i]))
            return false;
    }
    return true;
}

// A line as Morvane wrote it for a task: the task is chosen.
void take_line(const char* bytes, std::uint32_t length, bool utf16)
{
    if (!utf16 && length > 0 && bytes[length - 1] == '\r')
        --length;
    if (utf16 && length > 1 && bytes[length - 2] == '\r' && bytes[length - 1] == '\0')
        length -= 2;
    alignas(char16_t) static char units_bytes[2 * longest_line];
    const std::uint32_t bytes_out =
        utf16 ? length : ansi_to_utf16le(bytes, length, units_bytes, sizeof units_bytes);
    if (utf16)
        std::memcpy(units_bytes, bytes, length);
    const auto* units = reinterpret_cast<const char16_t*>(units_bytes);
    const std::uint32_t count = bytes_out / 2;
    const std::uint32_t ends = task_line_start.size() + task_line_end.size();
    if (count <= ends || !holds_ascii(units, task_line_start) ||
        !holds_ascii(units + count - task_line_end.size(), task_line_end))
        return;
    const std::uint32_t task = noted_task_named(units + task_line_start.size(), count - ends);
    if (task < noted_task_count)
        chosen[task] = noted_tasks[task].line_written;
}

// The lines of a reviewed copy, in UTF-16LE behind its mark or in the ANSI
// code page; only lines short enough to name a task are looked at.
void find_task_lines(const char* path)
{
    const FileHandle file = open_file_for_reading(path);
    if (file == invalid_file)
        return;
    static char chunk[65536];
    static char line[2 * longest_line];
    std::uint32_t used = 0;
    std::uint64_t at = 0;
    bool utf16 = false;
    bool long_line = false;
    char previous = '\0';
    for (std::uint32_t count; (count = read_file(file, chunk, sizeof chunk)) > 0;) {
        for (std::uint32_t i = 0; i < count; ++i, ++at) {
            const char byte = chunk[i];
            if (at == 1 && previous == '\xFF' && byte == '\xFE') {
                utf16 = true;
                used = 0;
                continue;
            }
            const bool ends = utf16 ? at % 2 == 1 && byte == '\0' && previous == '\n' : byte == '\n';
            previous = byte;
            if (used < sizeof line)
                line[used++] = byte;
            else
                long_line = true;
            if (!ends)
                continue;
            if (!long_line)
                take_line(line, used - (utf16 ? 2 : 1), utf16);
            used = 0;
            long_line = false;
        }
    }
    close_file(file);
}

void choose_tasks()
{
    for (std::uint32_t i = 0; i < noted_task_count; ++i) {
        chosen[i] = false;
        task_fates[i] = TaskFate::left;
    }
    find_task_lines(script_path);
    if (files_listed)
        find_task_lines(list_path);
}

bool make_task_folder()
{
    if (folder_length == 0 && backup_side_folder("tasks", folder, sizeof folder, true))
        folder_length = static_cast<std::uint32_t>(std::strlen(folder));
    return folder_length > 0;
}

// A new file named by the task's own name, or by its number where that
// name is taken or not in the code page.
FileHandle create_task_file(std::uint32_t task)
{
    const NotedTask& noted = noted_tasks[task];
    std::uint32_t start = noted.length;
    while (start > 0 && noted.path[start - 1] != u'\\')
        --start;
    char name[3 * noted_task_size];
    const std::uint32_t bytes = utf16_to_ansi(noted.path + start, noted.length - start, name, sizeof name - 1);
    name[bytes] = '\0';
    char* file = saved_task_files[task];
    const bool named = bytes > 0 && std::strpbrk(name, "?*<>|\"/:") == nullptr;
    for (std::uint32_t attempt = named ? 0 : 1; attempt < 10; ++attempt) {
        const int written = attempt == 0 ? std::snprintf(file, path_size, "%s\\%s.xml", folder, name)
                                         : std::snprintf(file, path_size, "%s\\task-%u-%u.xml", folder, task + 1, attempt);
        if (written <= 0 || written >= static_cast<int>(path_size))
            continue;
        const FileHandle handle = create_new_file_for_writing(file);
        if (handle != invalid_file)
            return handle;
    }
    file[0] = '\0';
    return invalid_file;
}

// The Task Scheduler's XML; where it no longer knows the task, the listed
// file's bytes, as it wrote them.
TaskResult save_task(std::uint32_t task)
{
    const NotedTask& noted = noted_tasks[task];
    std::uint32_t length = 0;
    TaskResult known = read_task_definition(noted.path, definition + 1, definition_size / 2 - 1, length);
    const auto* bytes = reinterpret_cast<const char*>(definition);
    if (known == TaskResult::ok) {
        definition[0] = u'\xFEFF';
        length = 2 * (length + 1);
    } else if (known != TaskResult::absent || !noted.file_listed) {
        return known;
    } else {
        char16_t file[path_size + noted_task_size + 32];
        if (!task_file_of(task, file, std::size(file)))
            return TaskResult::absent;
        if (!read_whole_file(file, reinterpret_cast<char*>(definition), definition_size, length))
            return TaskResult::absent;
    }
    const FileHandle handle = make_task_folder() ? create_task_file(task) : invalid_file;
    if (handle == invalid_file)
        return TaskResult::failed;
    write_file(handle, bytes, length);
    return close_file(handle) ? known : TaskResult::failed;
}

TaskFate remove_task(std::uint32_t task)
{
    const TaskResult saved = save_task(task);
    if (saved == TaskResult::failed || saved == TaskResult::denied || saved == TaskResult::not_empty)
        return TaskFate::unsaved;
    switch (delete_scheduled_task(noted_tasks[task].path)) {
    case TaskResult::ok:
        return TaskFate::removed;
    case TaskResult::absent:
        return TaskFate::absent;
    case TaskResult::denied:
        return TaskFate::denied;
    default:
        return TaskFate::failed;
    }
}

// Deepest first, so that a folder emptied of folders goes too.
void remove_emptied_folders()
{
    for (std::uint32_t pass = 0; pass < noted_task_count; ++pass) {
        std::uint32_t deepest = noted_task_count;
        for (std::uint32_t i = 0; i < noted_task_count; ++i) {
            if (noted_tasks[i].folder && !chosen[i] &&
                (deepest == noted_task_count || noted_tasks[i].length > noted_tasks[deepest].length))
                deepest = i;
        }
        if (deepest == noted_task_count)
            return;
        chosen[deepest] = true;
        delete_task_folder(noted_tasks[deepest].path);
    }
}

}  // namespace

void remove_installation_tasks()
{
    choose_tasks();
    bool any = false;
    for (std::uint32_t i = 0; i < noted_task_count; ++i)
        any = any || chosen[i];
    if (!any)
        return;
    if (connect_task_scheduler() != TaskResult::ok) {
        for (std::uint32_t i = 0; i < noted_task_count; ++i)
            task_fates[i] = chosen[i] ? TaskFate::unreachable : TaskFate::left;
        return;
    }
    bool emptied = false;
    for (std::uint32_t i = 0; i < noted_task_count; ++i) {
        if (!chosen[i])
            continue;
        task_fates[i] = remove_task(i);
        emptied = emptied || task_fates[i] == TaskFate::removed || task_fates[i] == TaskFate::absent;
    }
    if (emptied)
        remove_emptied_folders();
    disconnect_task_scheduler();
}
