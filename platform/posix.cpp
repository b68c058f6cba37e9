// The platform operations on POSIX: the native stand-in for tests and tools.
#include "platform/platform.h"
#include "platform/file_window.h"
#include "platform/posix_names.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iterator>

namespace {

// Files are opened unshared, as on Windows: a file that is already open
// cannot be opened again, so the script can never overwrite the report
// being read.
struct FileIdentity {
    dev_t device;
    ino_t inode;
    int fd;
};
FileIdentity open_files[4] = {{0, 0, -1}, {0, 0, -1}, {0, 0, -1}, {0, 0, -1}};

bool already_open(const struct stat& info)
{
    for (const FileIdentity& file : open_files) {
        if (file.fd != -1 && file.device == info.st_dev && file.inode == info.st_ino)
            return true;
    }
    return false;
}


bool met_link;

// A symbolic link stands for a junction or link on Windows.
bool path_passes_link(const char* native)
{
    char part[PATH_MAX];
    struct stat info;
    for (std::size_t at = 1;; ++at) {
        if (native[at] != '/' && native[at] != '\0')
            continue;
        std::memcpy(part, native, at);
        part[at] = '\0';
        if (lstat(part, &info) == 0 && S_ISLNK(info.st_mode))
            return true;
        if (native[at] == '\0')
            return false;
    }
}

FileHandle open_file(const char* name, int flags, bool truncate)
{
    char native[PATH_MAX];
    if (!to_native_name(name, native))
        return invalid_file;
    met_link = truncate && native[0] != '\0' && path_passes_link(native);
    if (met_link)
        return invalid_file;
    for (FileIdentity& identity : open_files) {
        if (identity.fd != -1)
            continue;
        const int fd = open(native, flags | O_CLOEXEC | (truncate ? O_NOFOLLOW : 0), 0666);
        if (fd == -1)
            return invalid_file;
        struct stat info;
        const bool fstat_failed = fstat(fd, &info) != 0;
        met_link = !fstat_failed && truncate && info.st_nlink > 1;
        if (fstat_failed || met_link || !S_ISREG(info.st_mode) || already_open(info) ||
            (truncate && ftruncate(fd, 0) != 0)) {
            close(fd);
            return invalid_file;
        }
        identity = {info.st_dev, info.st_ino, fd};
        return adopt_file(fd, truncate);
    }
    return invalid_file;
}

// The stand-in's system directories come from the environment, so that
// tests can put programs of their own there; unset, the call fails.
std::uint32_t directory_from(const char* variable, char* buffer, std::uint32_t size)
{
    const char* directory = setting(variable);
    if (directory == nullptr || *directory == '\0')
        return 0;
    const std::size_t length = std::strlen(directory);
    if (length + 1 > size)
        return static_cast<std::uint32_t>(length + 1);
    std::memcpy(buffer, directory, length + 1);
    return static_cast<std::uint32_t>(length);
}

}  // namespace

namespace {

bool keeping;
struct Kept {
    const char* name;
    const char* value;
};
Kept kept[16];
std::uint32_t kept_count;

}  // namespace

void keep_settings()
{
    keeping = true;
}

const char* setting(const char* name)
{
    if (!keeping)
        return std::getenv(name);
    for (std::uint32_t i = 0; i < kept_count; ++i) {
        if (std::strcmp(kept[i].name, name) == 0)
            return kept[i].value;
    }
    const char* value = std::getenv(name);
    if (kept_count < std::size(kept))
        kept[kept_count++] = {name, value};
    return value;
}

// A backslash separates directories here as it does on Windows, and a drive
// letter names a folder below MORVANE_DRIVES_DIR ("C:\\x" is "C/x" there,
// "\\\\server\\share" is "UNC/server/share"), so that tests can give
// Windows names.
bool to_native_name(const char* name, char (&native)[PATH_MAX])
{
    const char* drives = setting("MORVANE_DRIVES_DIR");
    const bool drive = name[0] != '\0' && name[1] == ':' && name[2] == '\\';
    const bool share = name[0] == '\\' && name[1] == '\\';
    int used = 0;
    if (drives != nullptr && *drives != '\0' && (drive || share)) {
        used = std::snprintf(native, sizeof native, "%s/%.*s", drives, drive ? 1 : 3, drive ? name : "UNC");
        name += drive ? 2 : 1;
    }
    const std::size_t length = std::strlen(name);
    if (used < 0 || used + length >= sizeof native)
        return false;
    for (std::size_t i = 0; i <= length; ++i)
        native[used + i] = name[i] == '\\' ? '/' : name[i];
    return true;
}

FileHandle open_file_for_reading(const char* name)
{
    return open_file(name, O_RDONLY, false);
}

FileHandle create_file_for_writing(const char* name)
{
    return open_file(name, O_WRONLY | O_CREAT, true);
}

FileHandle create_new_file_for_writing(const char* name)
{
    return open_file(name, O_WRONLY | O_CREAT | O_EXCL, true);
}

bool creation_met_link()
{
    return met_link;
}

// MORVANE_OTHER_ACCOUNT stands for an elevation with another account.
bool runs_as_signed_in_user()
{
    const char* other = setting("MORVANE_OTHER_ACCOUNT");
    return other == nullptr || *other == '\0';
}

bool make_directory(const char* path)
{
    char native[PATH_MAX];
    struct stat info;
    if (!to_native_name(path, native))
        return false;
    met_link = path_passes_link(native);
    return !met_link && (mkdir(native, 0777) == 0 || (lstat(native, &info) == 0 && S_ISDIR(info.st_mode)));
}

// The stand-in's ProgramData is the temporary folder; the folder's mode
// stands for the administrators-only security descriptor.
bool create_private_directory(char* buffer, std::uint32_t size)
{
    char parent[PATH_MAX];
    const std::uint32_t length = get_temp_path(sizeof parent, parent);
    if (length == 0 || length >= sizeof parent)
        return false;
    unsigned char random[8];
    get_random_bytes(random, sizeof random);
    const int used = std::snprintf(buffer, size, "%sMorvane-%02x%02x%02x%02x%02x%02x%02x%02x", parent, random[0],
                                   random[1], random[2], random[3], random[4], random[5], random[6], random[7]);
    char native[PATH_MAX];
    return used > 0 && static_cast<std::uint32_t>(used) < size && to_native_name(buffer, native) &&
           mkdir(native, 0700) == 0;
}

void remove_directory(const char* path)
{
    char native[PATH_MAX];
    if (to_native_name(path, native))
        rmdir(native);
}

void get_random_bytes(void* bytes, std::uint32_t size)
{
    auto* out = static_cast<unsigned char*>(bytes);
    while (size > 0) {
        const ssize_t got = getrandom(out, size, 0);
        if (got <= 0)
            std::abort();
        out += got;
        size -= static_cast<std::uint32_t>(got);
    }
}

void delete_file(const char* name)
{
    char native[PATH_MAX];
    if (to_native_name(name, native))
        unlink(native);
}

bool replace_file(const char* from, const char* to)
{
    char native_from[PATH_MAX];
    char native_to[PATH_MAX];
    return to_native_name(from, native_from) && to_native_name(to, native_to) && rename(native_from, native_to) == 0;
}

std::uint32_t raw_read_at(RawFile file, std::int64_t offset, char* buffer, std::uint32_t size)
{
    const ssize_t got = pread(static_cast<int>(file), buffer, size, offset);
    return got > 0 ? static_cast<std::uint32_t>(got) : 0;
}

bool raw_write(RawFile file, const char* bytes, std::uint32_t length)
{
    while (length > 0) {
        const ssize_t written = write(static_cast<int>(file), bytes, length);
        if (written <= 0)
            return false;
        bytes += written;
        length -= static_cast<std::uint32_t>(written);
    }
    return true;
}

void raw_close(RawFile file)
{
    for (FileIdentity& identity : open_files) {
        if (identity.fd == file)
            identity.fd = -1;
    }
    close(static_cast<int>(file));
}

std::uint32_t get_temp_path(std::uint32_t size, char* buffer)
{
    const char* directory = setting("TMPDIR");
    if (directory == nullptr || *directory == '\0')
        directory = "/tmp/";
    const std::size_t length = std::strlen(directory);
    const bool add_slash = directory[length - 1] != '/';
    const std::size_t needed = length + (add_slash ? 1 : 0);
    if (needed + 1 > size)
        return static_cast<std::uint32_t>(needed + 1);
    std::memcpy(buffer, directory, length);
    if (add_slash)
        buffer[length] = '/';
    buffer[needed] = '\0';
    return static_cast<std::uint32_t>(needed);
}


std::uint32_t get_system_directory(char* buffer, std::uint32_t size)
{
    return directory_from("MORVANE_SYSTEM_DIR", buffer, size);
}

std::uint32_t get_windows_directory(char* buffer, std::uint32_t size)
{
    return directory_from("MORVANE_WINDOWS_DIR", buffer, size);
}

std::uint32_t get_system_wow64_directory(char* buffer, std::uint32_t size)
{
    return directory_from("MORVANE_WOW64_DIR", buffer, size);
}

std::uint32_t get_local_app_data_directory(char* buffer, std::uint32_t size)
{
    return directory_from("MORVANE_LOCAL_APPDATA_DIR", buffer, size);
}

// The stand-in keeps the shots' times in UTC: the C library's time
// functions read the system's zone, which allocates, and the tests write
// their reports' times in UTC.
bool local_time_to_file_seconds(const LocalTime& time, std::int64_t& seconds)
{
    if (time.month < 1 || time.month > 12 || time.day < 1 || time.day > 31 || time.year < 1601)
        return false;
    // Days from 1601-01-01 to the date, by the civil calendar's 400-year era.
    const std::int64_t year = time.year - (time.month <= 2 ? 1 : 0);
    const std::int64_t era = year / 400;
    const std::int64_t of_era = year - era * 400;
    const std::int64_t of_year = (153 * (time.month + (time.month > 2 ? -3 : 9)) + 2) / 5 + time.day - 1;
    const std::int64_t days = era * 146097 + of_era * 365 + of_era / 4 - of_era / 100 + of_year - 584694;
    seconds = days * 86400 + std::int64_t{time.hour} * 3600 + std::int64_t{time.minute} * 60 + time.second;
    return true;
}

LocalTime get_local_time()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {static_cast<std::uint16_t>(local.tm_year + 1900), static_cast<std::uint16_t>(local.tm_mon + 1),
            static_cast<std::uint16_t>(local.tm_mday), static_cast<std::uint16_t>(local.tm_hour),
            static_cast<std::uint16_t>(local.tm_min), static_cast<std::uint16_t>(local.tm_sec)};
}
