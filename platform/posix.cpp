// The platform operations on POSIX: the native stand-in for tests and tools.
#include "platform/platform.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

namespace {

// Reads are served from a window of the file and writes gathered until it
// fills or the file is closed: a line costs a copy, not two system calls.
constexpr std::size_t window_size = std::size_t{64} * 1024;

struct OpenFile {
    dev_t device = 0;
    ino_t inode = 0;
    off_t position = 0;
    off_t window_start = 0;
    std::size_t window_length = 0;
    int fd = -1;
    bool writing = false;
    char window[window_size] = {};
};

OpenFile files[4];

// Files are opened unshared, as on Windows: a file that is already open
// cannot be opened again, so the script can never overwrite the report
// being read.
bool already_open(const struct stat& info)
{
    for (const OpenFile& file : files) {
        if (file.fd != -1 && file.device == info.st_dev && file.inode == info.st_ino)
            return true;
    }
    return false;
}

// A backslash separates directories here as it does on Windows.
bool to_native_name(const char* name, char (&native)[PATH_MAX])
{
    const std::size_t length = std::strlen(name);
    if (length >= sizeof native)
        return false;
    for (std::size_t i = 0; i <= length; ++i)
        native[i] = name[i] == '\\' ? '/' : name[i];
    return true;
}

FileHandle open_file(const char* name, int flags, bool truncate)
{
    char native[PATH_MAX];
    if (!to_native_name(name, native))
        return invalid_file;
    for (std::size_t slot = 0; slot < std::size(files); ++slot) {
        OpenFile& file = files[slot];
        if (file.fd != -1)
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
        file.fd = fd;
        file.device = info.st_dev;
        file.inode = info.st_ino;
        file.writing = truncate;
        file.position = 0;
        file.window_start = 0;
        file.window_length = 0;
        return static_cast<FileHandle>(slot);
    }
    return invalid_file;
}

void write_all(int fd, const char* bytes, std::size_t length)
{
    while (length > 0) {
        const ssize_t written = write(fd, bytes, length);
        if (written <= 0)
            return;
        bytes += written;
        length -= static_cast<std::size_t>(written);
    }
}

void flush(OpenFile& file)
{
    write_all(file.fd, file.window, file.window_length);
    file.window_length = 0;
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

}  // namespace

FileHandle open_file_for_reading(const char* name)
{
    return open_file(name, O_RDONLY, false);
}

FileHandle create_file_for_writing(const char* name)
{
    return open_file(name, O_WRONLY | O_CREAT, true);
}

std::uint32_t read_file(FileHandle handle, char* buffer, std::uint32_t size)
{
    OpenFile& file = files[handle];
    const off_t window_end = file.window_start + static_cast<off_t>(file.window_length);
    if (file.position < file.window_start || file.position + static_cast<off_t>(size) > window_end) {
        const ssize_t got = pread(file.fd, file.window, window_size, file.position);
        file.window_start = file.position;
        file.window_length = got > 0 ? static_cast<std::size_t>(got) : 0;
    }
    const std::size_t offset = static_cast<std::size_t>(file.position - file.window_start);
    const std::size_t available = file.window_length - offset;
    const std::size_t delivered = available < size ? available : size;
    std::memcpy(buffer, file.window + offset, delivered);
    file.position += static_cast<off_t>(delivered);
    return static_cast<std::uint32_t>(delivered);
}

void move_file_position(FileHandle handle, std::int32_t distance)
{
    OpenFile& file = files[handle];
    if (file.position + distance >= 0)
        file.position += distance;
}

void write_file(FileHandle handle, const char* bytes, std::uint32_t length)
{
    OpenFile& file = files[handle];
    if (file.window_length + length > window_size)
        flush(file);
    if (length > window_size) {
        write_all(file.fd, bytes, length);
        return;
    }
    std::memcpy(file.window + file.window_length, bytes, length);
    file.window_length += length;
}

void close_file(FileHandle handle)
{
    OpenFile& file = files[handle];
    if (file.writing)
        flush(file);
    close(file.fd);
    file.fd = -1;
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

bool show_open_file_dialog(const OpenFileDialog& dialog)
{
    std::printf("%s\n", dialog.title);
    std::fflush(stdout);
    const long length = read_input_line(dialog.file_name, dialog.file_name_size);
    return length > 0 && static_cast<std::size_t>(length) < dialog.file_name_size;
}

// Splits the way Windows does for a program's arguments: blanks separate
// words and double quotes group them.
void start_program(const char* command_line, ShowMode)
{
    char words[1024];
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
    if (argc == 0)
        return;
    std::fflush(stdout);
    pid_t child;
    posix_spawnp(&child, argv[0], nullptr, nullptr, argv, environ);
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
