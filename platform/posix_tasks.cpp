// The native stand-in's Task Scheduler: a task is a file below
// MORVANE_TASKS_DIR, as Windows keeps it below System32\Tasks ("\A\B" is
// A/B there), holding its XML; one whose first line is "denied" is not let
// go. A task folder is a directory. Without the setting, it cannot be
// reached.
#include "platform/platform.h"
#include "platform/posix_names.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "text/utf16.h"

namespace {

bool connected;

bool task_file(const char16_t* path, char (&native)[PATH_MAX])
{
    const char* directory = setting("MORVANE_TASKS_DIR");
    char text[PATH_MAX * 3 + 1];
    std::uint32_t units = 0;
    while (path[units] != u'\0')
        ++units;
    std::uint32_t decoded = 0;
    if (!connected || directory == nullptr || units >= PATH_MAX ||
        !utf16_to_utf8(reinterpret_cast<const char*>(path), 2 * units, text, decoded))
        return false;
    for (char* c = text; *c != '\0'; ++c)
        *c = *c == '\\' ? '/' : *c;
    return std::snprintf(native, sizeof native, "%s%s", directory, text) < static_cast<int>(sizeof native);
}

TaskResult result_of_errno()
{
    return errno == ENOENT || errno == ENOTDIR ? TaskResult::absent : TaskResult::failed;
}

bool read_bytes(const char* native, char* bytes, std::uint32_t capacity, std::uint32_t& length)
{
    FILE* file = std::fopen(native, "rb");
    if (file == nullptr)
        return false;
    length = static_cast<std::uint32_t>(std::fread(bytes, 1, capacity, file));
    std::fclose(file);
    return length < capacity;
}

}  // namespace

TaskResult connect_task_scheduler()
{
    const char* directory = setting("MORVANE_TASKS_DIR");
    connected = directory != nullptr && *directory != '\0';
    return connected ? TaskResult::ok : TaskResult::failed;
}

void disconnect_task_scheduler()
{
    connected = false;
}

TaskResult read_task_definition(const char16_t* path, char16_t* xml, std::uint32_t capacity, std::uint32_t& length)
{
    char native[PATH_MAX];
    static char bytes[65536];
    struct stat info {};
    if (!task_file(path, native))
        return TaskResult::failed;
    if (stat(native, &info) != 0 || S_ISDIR(info.st_mode))
        return TaskResult::absent;
    std::uint32_t count = 0;
    if (!read_bytes(native, bytes, sizeof bytes, count))
        return TaskResult::failed;
    const char* next = bytes;
    length = utf8_to_utf16(next, bytes + count, reinterpret_cast<char*>(xml), 2 * capacity) / 2;
    return next == bytes + count ? TaskResult::ok : TaskResult::failed;
}

TaskResult delete_scheduled_task(const char16_t* path)
{
    char native[PATH_MAX];
    char first[8] = "";
    if (!task_file(path, native))
        return TaskResult::failed;
    if (FILE* file = std::fopen(native, "rb")) {
        const std::size_t read = std::fread(first, 1, 6, file);
        first[read] = '\0';
        std::fclose(file);
    }
    if (std::strcmp(first, "denied") == 0)
        return TaskResult::denied;
    return unlink(native) == 0 ? TaskResult::ok : result_of_errno();
}

TaskResult delete_task_folder(const char16_t* path)
{
    char native[PATH_MAX];
    if (!task_file(path, native))
        return TaskResult::failed;
    if (rmdir(native) == 0)
        return TaskResult::ok;
    return errno == ENOTEMPTY || errno == EEXIST ? TaskResult::not_empty : result_of_errno();
}

bool read_whole_file(const char16_t* path, char* bytes, std::uint32_t capacity, std::uint32_t& length)
{
    char native[PATH_MAX];
    return native_path(path, native) && read_bytes(native, bytes, capacity, length);
}
