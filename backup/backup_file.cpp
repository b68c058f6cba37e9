// Where the backup goes: a new file in Morvane's folder of the user's local
// application data, or else in the temporary directory.
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "backup/backup.h"
#include "state/state.h"

namespace {

constexpr std::uint32_t name_attempts = 9;

// A new file, never one that exists: a second backup in the same second
// gets a number.
bool create_backup_in(const char* directory, std::uint32_t length)
{
    const LocalTime now = get_local_time();
    for (std::uint32_t attempt = 1; attempt <= name_attempts; ++attempt) {
        char number[4] = "";
        if (attempt > 1)
            std::snprintf(number, sizeof number, "-%u", attempt);
        const int written =
            std::snprintf(backup_path, sizeof backup_path, "%.*s%smorvane-backup-%04u%02u%02u-%02u%02u%02u%s.reg",
                          static_cast<int>(length), directory,
                          length > 0 && (directory[length - 1] == '\\' || directory[length - 1] == '/') ? "" : "\\",
                          now.year, now.month, now.day, now.hour, now.minute, now.second, number);
        if (written <= 0 || static_cast<std::size_t>(written) >= sizeof backup_path)
            break;
        backup_file = create_new_file_for_writing(backup_path);
        if (backup_file != invalid_file)
            return true;
    }
    backup_path[0] = '\0';
    return false;
}

}  // namespace

std::uint32_t backup_directory(char* directory)
{
    std::uint32_t length = get_local_app_data_directory(directory, path_size);
    if (length == 0 || length >= path_size)
        return 0;
    for (const char* part : {"\\Morvane", "\\Backups"}) {
        const std::size_t part_length = std::strlen(part);
        if (length + part_length >= path_size)
            return 0;
        std::memcpy(directory + length, part, part_length + 1);
        length += static_cast<std::uint32_t>(part_length);
        if (!make_directory(directory))
            return 0;
    }
    return length;
}

bool create_backup_file()
{
    char directory[path_size];
    std::uint32_t length = backup_directory(directory);
    if (length != 0 && create_backup_in(directory, length))
        return true;
    length = get_temp_path(path_size, directory);
    return length != 0 && length < path_size && create_backup_in(directory, length);
}

bool backup_side_folder(const char* kind, char* folder, std::size_t size, bool make)
{
    const std::size_t backup_length = std::strlen(backup_path);
    int written = -1;
    if (backup_length > 4) {
        written = std::snprintf(folder, size, "%.*s-%s", static_cast<int>(backup_length - 4), backup_path, kind);
    } else {
        char directory[path_size];
        std::uint32_t length = backup_directory(directory);
        if (length == 0)
            length = get_temp_path(path_size, directory);
        const LocalTime now = get_local_time();
        if (length > 0 && length < path_size)
            written = std::snprintf(folder, size, "%.*s%smorvane-%s-%04u%02u%02u-%02u%02u%02u", static_cast<int>(length),
                                    directory, directory[length - 1] == '\\' || directory[length - 1] == '/' ? "" : "\\",
                                    kind, now.year, now.month, now.day, now.hour, now.minute, now.second);
    }
    return written > 0 && static_cast<std::size_t>(written) < size && (!make || make_directory(folder));
}
