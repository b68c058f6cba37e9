// The Task Scheduler keeps each task in its cache (TaskCache\Tree\<path>
// with the Id of its entries under Tasks, Plain, Logon, Boot and
// Maintenance) and in a file under System32\Tasks. Deleting those behind
// its back leaves it running the task until a restart, and reporting the
// task as corrupt after; so they are named here, and the task is removed
// through the Task Scheduler itself. Microsoft's tasks are Windows' own.
#include "convert/scheduled_tasks.h"

#include <cstring>

#include "convert/guid_digits.h"
#include "convert/name_hash.h"
#include "convert/report_text.h"
#include "convert/windows_trees.h"
#include "state/state.h"

namespace {

constexpr std::string_view task_cache = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Schedule\\TaskCache";
constexpr std::string_view entry_kinds[] = {"Tasks", "Plain", "Logon", "Boot", "Maintenance"};

char16_t units[chunk_size + 1];
char16_t task_files[path_size + 32];
std::uint32_t task_files_length;

bool below_task_cache(std::string_view& path)
{
    return strip_key(path, task_cache);
}

// A task's path names a file below System32\Tasks: no name in it may be
// empty, "." or "..", or it would name another file.
bool plain_names(const char16_t* path, std::uint32_t length)
{
    for (std::uint32_t start = 1, end = 1; start <= length; start = end + 1) {
        end = start;
        while (end < length && path[end] != u'\\')
            ++end;
        const std::uint32_t size = end - start;
        if (size == 0 || (path[start] == u'.' && (size == 1 || (size == 2 && path[start + 1] == u'.'))))
            return false;
    }
    return true;
}

// "\" and the path, from the tree's key names below Tree; a task of
// Microsoft's is none of the installation's.
std::uint32_t task_path_of(std::string_view tree_path, char16_t* path)
{
    std::string_view rest = tree_path;
    if (tree_path.empty() || strip_key(rest, "Microsoft") || tree_path.find_first_of("?\r\n") != std::string_view::npos)
        return 0;
    path[0] = u'\\';
    const std::uint32_t length = units_of_text(tree_path, path + 1, noted_task_size - 2);
    return length == 0 || !plain_names(path, length + 1) ? 0 : length + 1;
}

NotedTask* add_task(const char16_t* path, std::uint32_t length)
{
    if (noted_task_count == max_noted_tasks)
        return nullptr;
    NotedTask& task = noted_tasks[noted_task_count++];
    task = NotedTask{};
    std::memcpy(task.path, path, 2 * std::size_t{length});
    task.length = length;
    return &task;
}

bool starts_with(const char16_t* text, std::uint32_t length, const char16_t* head, std::uint32_t head_length)
{
    return length >= head_length && same_name(text, head, head_length);
}

// The Task Scheduler's folder of task files, as 64-bit Windows names it.
bool learn_task_files()
{
    if (task_files_length > 0)
        return true;
    char windows[path_size];
    const std::uint32_t length = get_windows_directory(windows, path_size);
    if (length == 0 || length >= path_size)
        return false;
    const std::uint32_t bytes = ansi_to_utf16le(windows, length, reinterpret_cast<char*>(task_files), 2 * path_size);
    if (bytes == 0)
        return false;
    constexpr char16_t tail[] = u"\\System32\\Tasks";
    std::memcpy(task_files + bytes / 2, tail, sizeof tail);
    task_files_length = bytes / 2 + static_cast<std::uint32_t>(std::size(tail)) - 1;
    return true;
}

}  // namespace

void forget_scheduled_tasks()
{
    noted_task_count = 0;
}

void note_task_cache_key(std::string_view path)
{
    char16_t task[noted_task_size];
    std::uint32_t length = 0;
    if (below_task_cache(path) && strip_key(path, "Tree") && (length = task_path_of(path, task)) > 0 &&
        noted_task_named(task, length) == max_noted_tasks) {
        if (NotedTask* noted = add_task(task, length))
            noted->key_listed = true;
    }
}

void note_task_value(std::string_view line)
{
    const RootName* root = root_of(line.data());
    if (root == nullptr || root->users)
        return;
    std::string_view path = line;
    path.remove_prefix(root->written_in_report.size() + 1);
    if (!below_task_cache(path) || !strip_key(path, "Tree"))
        return;
    const std::size_t id = path.find("\\Id: ");
    if (id == std::string_view::npos)
        return;
    // By pointer and length: substr() may throw, and would bring the C++
    // library's exceptions into the program.
    const std::string_view data(path.data() + id + 5, path.size() - id - 5);
    char16_t task[noted_task_size];
    const std::uint32_t length = task_path_of({path.data(), id}, task);
    const std::uint32_t at = length == 0 ? max_noted_tasks : noted_task_named(task, length);
    const std::size_t brace = data.find('{');
    if (at == max_noted_tasks || brace == std::string_view::npos || data.size() - brace < 38)
        return;
    const std::uint32_t count = units_of_text({data.data() + brace, 38}, units, chunk_size);
    noted_tasks[at].has_id = count == 38 && guid_digits(units, 38, noted_tasks[at].id);
}

void settle_scheduled_tasks()
{
    for (std::uint32_t i = 0; i < noted_task_count; ++i) {
        NotedTask& task = noted_tasks[i];
        for (std::uint32_t j = 0; j < noted_task_count && !task.has_id && !task.folder; ++j) {
            const NotedTask& other = noted_tasks[j];
            task.folder = other.length > task.length + 1 && other.path[task.length] == u'\\' &&
                          same_name(other.path, task.path, task.length);
        }
    }
}

TaskPart task_part_of_key(std::string_view path, bool value, std::uint32_t& task)
{
    if (noted_task_count == 0 || !below_task_cache(path))
        return TaskPart::none;
    if (strip_key(path, "Tree")) {
        char16_t name[noted_task_size];
        const std::uint32_t length = task_path_of(path, name);
        task = length == 0 ? max_noted_tasks : noted_task_named(name, length);
        if (task == max_noted_tasks)
            return TaskPart::none;
        return value || noted_tasks[task].folder ? TaskPart::with_task : TaskPart::task;
    }
    bool known_kind = false;
    for (const std::string_view kind : entry_kinds)
        known_kind = known_kind || strip_key(path, kind);
    const std::string_view guid = first_name(path);
    char16_t digits[32];
    if (!known_kind || guid.size() != 38 || units_of_text(guid, units, chunk_size) != 38 ||
        !guid_digits(units, 38, digits))
        return TaskPart::none;
    for (std::uint32_t i = 0; i < noted_task_count; ++i) {
        if (noted_tasks[i].has_id && std::memcmp(noted_tasks[i].id, digits, sizeof digits) == 0) {
            task = i;
            return TaskPart::with_task;
        }
    }
    return TaskPart::none;
}

TaskPart task_part_of_file(const char16_t* path, std::uint32_t length, bool folder, std::uint32_t& task)
{
    if (!learn_task_files() || !starts_with(path, length, task_files, task_files_length) ||
        length <= task_files_length + 1 || path[task_files_length] != u'\\')
        return TaskPart::none;
    const char16_t* name = path + task_files_length;
    std::uint32_t name_length = length - task_files_length;
    while (name_length > 1 && name[name_length - 1] == u'\\')
        --name_length;
    constexpr char16_t microsoft[] = u"\\Microsoft";
    if (name_length >= noted_task_size || !plain_names(name, name_length) ||
        (starts_with(name, name_length, microsoft, 10) && (name_length == 10 || name[10] == u'\\')))
        return TaskPart::none;
    task = noted_task_named(name, name_length);
    if (task == max_noted_tasks) {
        NotedTask* noted = add_task(name, name_length);
        if (noted == nullptr)
            return TaskPart::none;
        noted->folder = folder;
        task = noted_task_count - 1;
    }
    NotedTask& noted = noted_tasks[task];
    if (noted.folder != folder)
        return TaskPart::none;
    const bool names_task = !folder && !noted.key_listed && !noted.file_listed;
    noted.file_listed = true;
    return names_task ? TaskPart::task : TaskPart::with_task;
}

bool task_file_of(std::uint32_t task, char16_t* file, std::uint32_t capacity)
{
    const NotedTask& noted = noted_tasks[task];
    if (!learn_task_files() || task_files_length + noted.length >= capacity)
        return false;
    std::memcpy(file, task_files, 2 * std::size_t{task_files_length});
    std::memcpy(file + task_files_length, noted.path, 2 * std::size_t{noted.length});
    file[task_files_length + noted.length] = u'\0';
    return true;
}

std::uint32_t installation_task_count()
{
    std::uint32_t count = 0;
    for (std::uint32_t i = 0; i < noted_task_count; ++i)
        count += noted_tasks[i].line_written ? 1 : 0;
    return count;
}

void write_task_line(std::uint32_t task, void (*write_ascii)(std::string_view),
                     void (*write_units)(const char16_t*, std::uint32_t))
{
    noted_tasks[task].line_written = true;
    write_ascii(task_line_start);
    write_units(noted_tasks[task].path, noted_tasks[task].length);
    write_ascii(task_line_end);
    write_ascii("\r\n");
}

std::uint32_t noted_task_named(const char16_t* path, std::uint32_t length)
{
    for (std::uint32_t i = 0; i < noted_task_count; ++i) {
        if (noted_tasks[i].length == length && same_name(noted_tasks[i].path, path, length))
            return i;
    }
    return max_noted_tasks;
}
