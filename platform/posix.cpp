// The platform operations on POSIX: the native stand-in for tests and tools.
#include "platform/platform.h"
#include "platform/file_window.h"
#include "platform/posix_names.h"

#include <fcntl.h>
#include <spawn.h>
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


FileHandle open_file(const char* name, int flags, bool truncate)
{
    char native[PATH_MAX];
    if (!to_native_name(name, native))
        return invalid_file;
    for (FileIdentity& identity : open_files) {
        if (identity.fd != -1)
            continue;
        const int fd = open(native, flags | O_CLOEXEC, 0666);
        if (fd == -1)
            return invalid_file;
        struct stat info;
        if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || already_open(info) ||
            (truncate && ftruncate(fd, 0) != 0)) {
            close(fd);
            return invalid_file;
        }
        identity = {info.st_dev, info.st_ino, fd};
        return adopt_file(fd, truncate);
    }
    return invalid_file;
}

// Reads one line of standard input into `buffer`, without its line end.
// Returns the line's whole length, which may exceed what fit, or -1 at end
// of input.
long read_input_line(char* buffer, std::size_t size)
{
    long length = 0;
    int c;
    while ((c = std::getchar()) != EOF && c != '\n') {
        if (static_cast<std::size_t>(length) + 1 < size)
            buffer[length] = static_cast<char>(c);
        ++length;
    }
    if (c == EOF && length == 0)
        return -1;
    if (length > 0 && static_cast<std::size_t>(length) < size && buffer[length - 1] == '\r')
        --length;
    buffer[static_cast<std::size_t>(length) < size ? length : size - 1] = '\0';
    return length;
}

// The stand-in's system directories come from the environment, so that
// tests can put programs of their own there; unset, the call fails.
std::uint32_t directory_from(const char* variable, char* buffer, std::uint32_t size)
{
    const char* directory = std::getenv(variable);
    if (directory == nullptr || *directory == '\0')
        return 0;
    const std::size_t length = std::strlen(directory);
    if (length + 1 > size)
        return static_cast<std::uint32_t>(length + 1);
    std::memcpy(buffer, directory, length + 1);
    return static_cast<std::uint32_t>(length);
}

}  // namespace

// A backslash separates directories here as it does on Windows, and a drive
// letter names a folder below MORVANE_DRIVES_DIR ("C:\\x" is "C/x" there,
// "\\\\server\\share" is "UNC/server/share"), so that tests can give
// Windows names.
bool to_native_name(const char* name, char (&native)[PATH_MAX])
{
    const char* drives = std::getenv("MORVANE_DRIVES_DIR");
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

bool make_directory(const char* path)
{
    char native[PATH_MAX];
    struct stat info;
    return to_native_name(path, native) && (mkdir(native, 0777) == 0 || (stat(native, &info) == 0 && S_ISDIR(info.st_mode)));
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
    const char* directory = std::getenv("TMPDIR");
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

LocalTime get_local_time()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {static_cast<std::uint16_t>(local.tm_year + 1900), static_cast<std::uint16_t>(local.tm_mon + 1),
            static_cast<std::uint16_t>(local.tm_mday), static_cast<std::uint16_t>(local.tm_hour),
            static_cast<std::uint16_t>(local.tm_min), static_cast<std::uint16_t>(local.tm_sec)};
}

// The stand-in's ANSI code page is Windows-1252: Latin-1 but for the
// characters that it puts at 0x80 to 0x9F.
constexpr std::uint16_t windows_1252_high[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

std::uint32_t utf16_to_ansi(const char16_t* text, std::uint32_t length, char* bytes, std::uint32_t capacity)
{
    std::uint32_t written = 0;
    for (; written < length && written < capacity; ++written) {
        const char16_t unit = text[written];
        char byte = '?';
        if (unit < 0x80 || (unit >= 0xA0 && unit < 0x100))
            byte = static_cast<char>(unit);
        for (std::uint32_t high = 0; high < std::size(windows_1252_high); ++high) {
            if (windows_1252_high[high] == unit)
                byte = static_cast<char>(0x80 + high);
        }
        bytes[written] = byte;
    }
    return written;
}

std::uint32_t ansi_to_utf16le(const char* text, std::uint32_t length, char* bytes, std::uint32_t capacity)
{
    const auto& high = windows_1252_high;
    if (std::size_t{length} * 2 > capacity)
        return 0;
    for (std::uint32_t i = 0; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const std::uint16_t unit = byte >= 0x80 && byte < 0xA0 ? high[byte - 0x80] : byte;
        bytes[std::size_t{2} * i] = static_cast<char>(unit & 0xFF);
        bytes[std::size_t{2} * i + 1] = static_cast<char>(unit >> 8);
    }
    return 2 * length;
}

bool show_open_file_dialog(const OpenFileDialog& dialog)
{
    std::printf("%s\n", dialog.title);
    std::fflush(stdout);
    const long length = read_input_line(dialog.file_name, dialog.file_name_size);
    return length > 0 && static_cast<std::size_t>(length) < dialog.file_name_size;
}

namespace {

// Splits the way Windows does for a program's arguments: blanks separate
// words and double quotes group them. The first word is the program's path,
// never looked up in the search path.
pid_t spawn(const char* command_line)
{
    char words[1024] = {};
    char* argv[64];
    std::size_t argc = 0;
    std::size_t used = 0;
    bool quoted = false;
    bool in_word = false;
    for (const char* c = command_line; *c != '\0' && used + 1 < sizeof words; ++c) {
        if (!quoted && (*c == ' ' || *c == '\t')) {
            if (in_word)
                words[used++] = '\0';
            in_word = false;
            continue;
        }
        if (!in_word) {
            if (argc + 1 == std::size(argv))
                break;
            argv[argc++] = &words[used];
            in_word = true;
        }
        if (*c == '"')
            quoted = !quoted;
        else
            words[used++] = *c;
    }
    words[used] = '\0';
    argv[argc] = nullptr;
    char program[PATH_MAX];
    if (argc == 0 || !to_native_name(argv[0], program))
        return -1;
    std::fflush(stdout);
    pid_t child;
    return posix_spawn(&child, program, nullptr, nullptr, argv, environ) == 0 ? child : -1;
}

}  // namespace

void start_program(const char* command_line, ShowMode)
{
    spawn(command_line);
}

bool run_program_to_end(const char* command_line, ShowMode)
{
    const pid_t child = spawn(command_line);
    int status;
    return child != -1 && waitpid(child, &status, 0) == child;
}

// Weak, so that an in-process harness such as a fuzzer can take the run
// back instead of ending the process.
[[gnu::weak]] void end_process(int status)
{
    std::exit(status);
}

Button prompt_user(const char* text, MessageStyle style)
{
    std::printf("%s\n%s\n", prompt_caption, text);
    if (style == style_plain) {
        std::fflush(stdout);
        return button_ok;
    }
    const bool yes_no = style == style_yes_no;
    std::printf("%s\n", yes_no ? "[yes/no]" : "[ok/cancel]");
    std::fflush(stdout);
    char answer[16];
    const char first = read_input_line(answer, sizeof answer) > 0 ? answer[0] : '\0';
    const bool agreed = first == 'y' || first == 'Y' || (!yes_no && (first == 'o' || first == 'O'));
    if (yes_no)
        return agreed ? button_yes : button_no;
    return agreed ? button_ok : button_cancel;
}

namespace {

// The stand-in's progress window writes what it would show into the file
// named by MORVANE_PROGRESS_LOG; MORVANE_PROGRESS_CANCEL=N stands for a user
// who chooses Cancel once N lines were shown, if it is offered then.
void log_progress(const char* format, const char* text, std::uint32_t done, std::uint32_t total)
{
    const char* name = std::getenv("MORVANE_PROGRESS_LOG");
    if (name == nullptr)
        return;
    if (FILE* log = std::fopen(name, "a")) {
        std::fprintf(log, format, text, done, total);
        std::fclose(log);
    }
}

bool progress_open;
bool cancel_offered;
long lines_shown;

}  // namespace

void open_progress_window()
{
    progress_open = true;
    log_progress("open%s\n", "", 0, 0);
}

void show_progress(const char* text, std::uint32_t done, std::uint32_t total, bool cancellable)
{
    cancel_offered = cancellable;
    ++lines_shown;
    log_progress(cancellable ? "%s [%u/%u, Cancel]\n" : "%s [%u/%u]\n", text, done, total);
}

bool progress_cancelled()
{
    const char* after = std::getenv("MORVANE_PROGRESS_CANCEL");
    return progress_open && cancel_offered && after != nullptr && lines_shown >= std::strtol(after, nullptr, 10);
}

// The stand-in's desktop has no programs to tell: what they would be told
// goes into the progress log.
void announce_environment_change()
{
    log_progress("told%s: the environment changed\n", "", 0, 0);
}

void announce_association_change()
{
    log_progress("told%s: file types and classes changed\n", "", 0, 0);
}

void close_progress_window()
{
    if (progress_open)
        log_progress("close%s\n", "", 0, 0);
    progress_open = false;
}
