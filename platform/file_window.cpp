// Reads served from a window of the file and writes gathered until it fills
// or the file is closed: a line costs a copy, not a system call or two. The
// window slides, so a file of any size is read in a small address space.
#include "platform/file_window.h"

#include <cstring>
#include <iterator>

namespace {

constexpr std::uint32_t window_size = std::uint32_t{256} * 1024;

struct OpenFile {
    std::int64_t position = 0;
    std::int64_t window_start = 0;
    RawFile raw = 0;
    std::uint32_t window_length = 0;
    bool open = false;
    bool writing = false;
    bool write_failed = false;
    char window[window_size] = {};
};

OpenFile files[4];

void flush(OpenFile& file)
{
    if (!raw_write(file.raw, file.window, file.window_length))
        file.write_failed = true;
    file.window_length = 0;
}

}  // namespace

FileHandle adopt_file(RawFile raw, bool writing)
{
    for (std::size_t slot = 0; slot < std::size(files); ++slot) {
        OpenFile& file = files[slot];
        if (file.open)
            continue;
        file.open = true;
        file.raw = raw;
        file.writing = writing;
        file.write_failed = false;
        file.position = 0;
        file.window_start = 0;
        file.window_length = 0;
        return static_cast<FileHandle>(slot);
    }
    raw_close(raw);
    return invalid_file;
}

std::uint32_t peek_file(FileHandle handle, const char*& bytes, std::uint32_t size)
{
    OpenFile& file = files[handle];
    const std::int64_t window_end = file.window_start + file.window_length;
    if (file.position < file.window_start || file.position + size > window_end) {
        file.window_start = file.position;
        file.window_length = raw_read_at(file.raw, file.position, file.window, window_size);
    }
    const auto offset = static_cast<std::uint32_t>(file.position - file.window_start);
    const std::uint32_t available = file.window_length - offset;
    bytes = file.window + offset;
    return available < size ? available : size;
}

std::uint32_t read_file(FileHandle handle, char* buffer, std::uint32_t size)
{
    const char* bytes = nullptr;
    const std::uint32_t delivered = peek_file(handle, bytes, size);
    std::memcpy(buffer, bytes, delivered);
    files[handle].position += delivered;
    return delivered;
}

void move_file_position(FileHandle handle, std::int32_t distance)
{
    OpenFile& file = files[handle];
    if (file.position + distance >= 0)
        file.position += distance;
}

std::int64_t file_position(FileHandle handle)
{
    return files[handle].position;
}

void set_file_position(FileHandle handle, std::int64_t position)
{
    if (position >= 0)
        files[handle].position = position;
}

void write_file(FileHandle handle, const char* bytes, std::uint32_t length)
{
    OpenFile& file = files[handle];
    if (file.window_length + length > window_size)
        flush(file);
    if (length > window_size) {
        if (!raw_write(file.raw, bytes, length))
            file.write_failed = true;
        return;
    }
    std::memcpy(file.window + file.window_length, bytes, length);
    file.window_length += length;
}

bool close_file(FileHandle handle)
{
    OpenFile& file = files[handle];
    if (file.writing)
        flush(file);
    raw_close(file.raw);
    file.open = false;
    return !file.write_failed;
}
