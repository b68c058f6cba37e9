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

}  // namespace

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
