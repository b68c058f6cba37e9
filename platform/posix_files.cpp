// The native stand-in's files and Recycle Bin: Windows names map to folders
// below MORVANE_DRIVES_DIR, and the Recycle Bin is the folder named by
// MORVANE_RECYCLE_BIN_DIR (unset: no Recycle Bin).
#include "platform/platform.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "platform/posix_names.h"
#include "text/utf16.h"

namespace {

// Seconds from 1601, where Windows counts file times from, to 1970.
constexpr std::int64_t seconds_before_1970 = 11644473600;


FileResult result_of_errno()
{
    if (errno == ENOENT || errno == ENOTDIR)
        return FileResult::absent;
    return errno == EACCES ? FileResult::denied : FileResult::failed;
}

void facts_of(const struct stat& info, FileFacts& facts)
{
    facts.folder = S_ISDIR(info.st_mode);
    facts.reparse_point = S_ISLNK(info.st_mode);
    facts.size = facts.folder ? 0 : static_cast<std::uint64_t>(info.st_size);
    facts.write_seconds = static_cast<std::int64_t>(info.st_mtime) + seconds_before_1970;
}

DIR* listings[300];

std::uint32_t directory_from(const char* variable, char16_t* buffer, std::uint32_t size)
{
    const char* directory = setting(variable);
    if (directory == nullptr || *directory == '\0')
        return 0;
    const char* next = directory;
    const char* const end = directory + std::strlen(directory);
    const std::uint32_t bytes = utf8_to_utf16(next, end, reinterpret_cast<char*>(buffer), 2 * (size - 1));
    if (next != end)
        return static_cast<std::uint32_t>(end - directory) + 1;
    buffer[bytes / 2] = u'\0';
    return bytes / 2;
}

}  // namespace

std::uint32_t get_program_data_directory(char16_t* buffer, std::uint32_t size)
{
    return directory_from("MORVANE_PROGRAM_DATA_DIR", buffer, size);
}

std::uint32_t get_profiles_directory(char16_t* buffer, std::uint32_t size)
{
    return directory_from("MORVANE_PROFILES_DIR", buffer, size);
}

FileResult get_file_facts(const char16_t* path, FileFacts& facts)
{
    char native[PATH_MAX];
    struct stat info;
    if (!native_path(path, native))
        return FileResult::failed;
    if (lstat(native, &info) != 0)
        return result_of_errno();
    facts_of(info, facts);
    return FileResult::ok;
}

// The stand-in's folders were made when they were last written: the tests
// set that time, which Linux keeps for every file system.
FileResult get_folder_creation(const char16_t* path, std::int64_t& seconds)
{
    FileFacts facts{};
    const FileResult result = get_file_facts(path, facts);
    if (result != FileResult::ok)
        return result;
    if (!facts.folder || facts.reparse_point)
        return FileResult::failed;
    seconds = facts.write_seconds;
    return FileResult::ok;
}

FileResult open_folder_listing(const char16_t* path, FolderListing& listing)
{
    char native[PATH_MAX];
    if (!native_path(path, native))
        return FileResult::failed;
    for (std::size_t slot = 0; slot < std::size(listings); ++slot) {
        if (listings[slot] != nullptr)
            continue;
        listings[slot] = opendir(native);
        if (listings[slot] == nullptr)
            return result_of_errno();
        listing = static_cast<FolderListing>(slot);
        return FileResult::ok;
    }
    return FileResult::failed;
}

bool next_folder_entry(FolderListing listing, char16_t* name, std::uint32_t capacity, FileFacts& facts)
{
    DIR* directory = listings[listing];
    while (const dirent* entry = readdir(directory)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
            continue;
        struct stat info;
        if (fstatat(dirfd(directory), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
            return false;
        facts_of(info, facts);
        const char* next = entry->d_name;
        const char* const end = next + std::strlen(next);
        const std::uint32_t bytes = utf8_to_utf16(next, end, reinterpret_cast<char*>(name), 2 * (capacity - 1));
        name[bytes / 2] = u'\0';
        return next == end;
    }
    return false;
}

void close_folder_listing(FolderListing listing)
{
    closedir(listings[listing]);
    listings[listing] = nullptr;
}

namespace {

// A lock held by another process stands for a program that has the file
// open; a folder is held by what is held below it, as on Windows.
bool held(const char* native, int depth)
{
    const int fd = open(native, O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd == -1)
        return false;
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISDIR(info.st_mode)) {
        const bool locked = flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
        close(fd);
        return locked;
    }
    DIR* const folder = fdopendir(fd);
    if (folder == nullptr) {
        close(fd);
        return false;
    }
    bool locked = false;
    for (const dirent* entry; !locked && depth < 64 && (entry = readdir(folder)) != nullptr;) {
        char below[PATH_MAX];
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0 &&
            std::snprintf(below, sizeof below, "%s/%s", native, entry->d_name) < static_cast<int>(sizeof below))
            locked = held(below, depth + 1);
    }
    closedir(folder);
    return locked;
}

std::uint32_t utf16_length(const char16_t* text)
{
    std::uint32_t length = 0;
    while (text[length] != u'\0')
        ++length;
    return length;
}

}  // namespace

bool file_in_use(const char16_t* path)
{
    char native[PATH_MAX];
    return native_path(path, native) && held(native, 0);
}

BinRoom recycle_bin_room(const char16_t*, std::uint64_t)
{
    const char* bin = setting("MORVANE_RECYCLE_BIN_DIR");
    return bin != nullptr && *bin != '\0' ? BinRoom::takes : BinRoom::no_bin;
}

// Each item is moved into the bin under a number of its own. As the
// shell's operation, it ends at the first item that cannot be moved.
bool move_to_recycle_bin(const char16_t* paths, bool* taken)
{
    std::uint32_t count = 0;
    for (const char16_t* path = paths; *path != u'\0'; path += utf16_length(path) + 1)
        taken[count++] = false;
    const char* bin = setting("MORVANE_RECYCLE_BIN_DIR");
    if (bin == nullptr || *bin == '\0')
        return false;
    static unsigned moved;
    for (const char16_t* path = paths; *path != u'\0'; ++taken) {
        char native[PATH_MAX];
        char target[2 * PATH_MAX];
        const bool named = native_path(path, native);
        const char* base = std::strrchr(native, '/');
        const int length = std::snprintf(target, sizeof target, "%s/%u-%s", bin, ++moved, base ? base + 1 : native);
        if (!named || length <= 0 || static_cast<std::size_t>(length) >= PATH_MAX || held(native, 0) ||
            rename(native, target) != 0)
            return false;
        *taken = true;
        path += utf16_length(path) + 1;
    }
    return true;
}

bool native_path(const char16_t* path, char (&native)[PATH_MAX])
{
    std::uint32_t units = 0;
    while (path[units] != u'\0')
        ++units;
    char text[PATH_MAX * 3 + 1];
    std::uint32_t decoded = 0;
    return units < PATH_MAX &&
           utf16_to_utf8(reinterpret_cast<const char*>(path), 2 * units, text, decoded) &&
           std::strlen(text) < PATH_MAX && to_native_name(text, native);
}
