// The native stand-in's registry: a directory tree, so that tests can make
// keys and see which are gone.
//
// Below MORVANE_REGISTRY_DIR (unset: an empty registry) each root is a
// directory named as a registry script names it, each key a directory, and
// each value a file named 'v' and the hex of its UTF-16LE name, holding its
// type (four bytes, little-endian) and then its data. The 32-bit view of
// HKEY_LOCAL_MACHINE\SOFTWARE lies in its WOW6432Node, as on 64-bit Windows.
#include "platform/platform.h"
#include "platform/posix_names.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "text/utf16.h"

namespace {

constexpr const char* root_names[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS",
                                      "HKEY_CURRENT_CONFIG"};

struct OpenKey {
    bool open;
    char path[PATH_MAX];
};
// Deep enough for the deepest tree the registry allows, and a few more.
OpenKey keys[520];

RegistryResult result_of_errno()
{
    if (errno == ENOENT || errno == ENOTDIR)
        return RegistryResult::absent;
    return errno == EACCES ? RegistryResult::denied : RegistryResult::failed;
}

// Appends "/" and the UTF-16 path, backslashes becoming slashes.
bool append_path(char* path, const char16_t* names)
{
    std::size_t used = std::strlen(path);
    std::size_t units = 0;
    while (names[units] != u'\0')
        ++units;
    if (units == 0)
        return true;
    char text[PATH_MAX * 3 + 1];
    std::uint32_t decoded = 0;
    if (units > PATH_MAX || !utf16_to_utf8(reinterpret_cast<const char*>(names), static_cast<std::uint32_t>(2 * units),
                                           text, decoded))
        return false;
    const std::size_t length = std::strlen(text);
    if (used + 1 + length >= PATH_MAX || std::strchr(text, '/') != nullptr)
        return false;
    path[used++] = '/';
    for (std::size_t i = 0; i <= length; ++i)
        path[used + i] = text[i] == '\\' ? '/' : text[i];
    return true;
}

RegistryResult open_path(const char* path, RegistryKey& key)
{
    struct stat info;
    if (stat(path, &info) != 0)
        return result_of_errno();
    if (!S_ISDIR(info.st_mode))
        return RegistryResult::absent;
    for (std::size_t slot = 0; slot < std::size(keys); ++slot) {
        if (keys[slot].open)
            continue;
        keys[slot].open = true;
        std::memcpy(keys[slot].path, path, std::strlen(path) + 1);
        key = static_cast<RegistryKey>(slot);
        return RegistryResult::ok;
    }
    return RegistryResult::failed;
}

bool is_value_file(const dirent& entry)
{
    return entry.d_type == DT_REG && entry.d_name[0] == 'v';
}

bool is_key_directory(const dirent& entry)
{
    return entry.d_type == DT_DIR && std::strcmp(entry.d_name, ".") != 0 && std::strcmp(entry.d_name, "..") != 0;
}

// The entry of the directory at `index` in name order among those `wanted`
// takes, so that every listing of an unchanged key is the same.
bool nth_entry(const char* path, std::uint32_t index, bool (*wanted)(const dirent&), char (&name)[NAME_MAX + 1])
{
    DIR* directory = opendir(path);
    if (directory == nullptr)
        return false;
    bool found = false;
    while (const dirent* candidate = readdir(directory)) {
        if (!wanted(*candidate))
            continue;
        std::memcpy(name, candidate->d_name, std::strlen(candidate->d_name) + 1);
        const long position = telldir(directory);
        std::uint32_t before = 0;
        rewinddir(directory);
        while (const dirent* other = readdir(directory)) {
            if (wanted(*other) && std::strcmp(other->d_name, name) < 0)
                ++before;
        }
        if (before == index) {
            found = true;
            break;
        }
        seekdir(directory, position);
    }
    closedir(directory);
    return found;
}

// UTF-8 to UTF-16 into `name`, zero-terminated; false when it does not fit.
bool to_utf16(const char* text, char16_t* name, std::uint32_t capacity, std::uint32_t& length)
{
    const char* next = text;
    const char* const end = text + std::strlen(text);
    const std::uint32_t bytes = utf8_to_utf16(next, end, reinterpret_cast<char*>(name), 2 * capacity);
    length = bytes / 2;
    if (next != end || length + 1 > capacity)
        return false;
    name[length] = u'\0';
    return true;
}

int hex_digit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

}  // namespace

RegistryResult open_registry_key(RegistryRoot root, const char16_t* path, RegistryView view, RegistryKey& key)
{
    const char* base = setting("MORVANE_REGISTRY_DIR");
    if (base == nullptr || *base == '\0')
        return RegistryResult::absent;
    char native[PATH_MAX];
    const int length = std::snprintf(native, sizeof native, "%s/%s", base, root_names[static_cast<int>(root)]);
    if (length < 0 || static_cast<std::size_t>(length) >= sizeof native)
        return RegistryResult::failed;
    constexpr char16_t software[] = u"SOFTWARE";
    const std::size_t software_length = std::size(software) - 1;
    bool redirected = root == RegistryRoot::local_machine && view == RegistryView::bits32;
    for (std::size_t i = 0; redirected && i < software_length; ++i)
        redirected = path[i] == software[i] || path[i] == software[i] + ('a' - 'A');
    if (redirected && (path[software_length] == u'\\' || path[software_length] == u'\0')) {
        char16_t head[std::size(software) + 12] = u"SOFTWARE\\WOW6432Node";
        if (!append_path(native, head) || !append_path(native, path + software_length + (path[software_length] != 0)))
            return RegistryResult::failed;
    } else if (!append_path(native, path)) {
        return RegistryResult::failed;
    }
    return open_path(native, key);
}

RegistryResult open_registry_subkey(RegistryKey parent, const char16_t* name, RegistryView, RegistryKey& key)
{
    char native[PATH_MAX];
    std::memcpy(native, keys[parent].path, std::strlen(keys[parent].path) + 1);
    if (!append_path(native, name))
        return RegistryResult::failed;
    return open_path(native, key);
}

void close_registry_key(RegistryKey key)
{
    keys[key].open = false;
}

RegistryResult get_registry_key_name(RegistryKey key, char16_t* name, std::uint32_t capacity, std::uint32_t& length)
{
    const char* base = setting("MORVANE_REGISTRY_DIR");
    if (base == nullptr)
        return RegistryResult::failed;
    char relative[PATH_MAX];
    const char* path = keys[key].path + std::strlen(base) + 1;
    for (std::size_t i = 0;; ++i) {
        relative[i] = path[i] == '/' ? '\\' : path[i];
        if (path[i] == '\0')
            break;
    }
    return to_utf16(relative, name, capacity, length) ? RegistryResult::ok : RegistryResult::too_large;
}

RegistryResult enum_registry_subkey(RegistryKey key, std::uint32_t index, char16_t* name, std::uint32_t capacity)
{
    char found[NAME_MAX + 1];
    if (!nth_entry(keys[key].path, index, is_key_directory, found))
        return RegistryResult::no_more;
    std::uint32_t length = 0;
    return to_utf16(found, name, capacity, length) ? RegistryResult::ok : RegistryResult::too_large;
}

namespace {

RegistryResult read_value_file(const char* key_path, const char* file, RegistryValue& value)
{
    char native[PATH_MAX];
    const int path_length = std::snprintf(native, sizeof native, "%s/%s", key_path, file);
    if (path_length < 0 || static_cast<std::size_t>(path_length) >= sizeof native)
        return RegistryResult::failed;
    const int fd = open(native, O_RDONLY | O_CLOEXEC);
    if (fd == -1)
        return result_of_errno();
    unsigned char type[4];
    struct stat info;
    RegistryResult result = RegistryResult::failed;
    if (fstat(fd, &info) == 0 && info.st_size >= 4 && read(fd, type, 4) == 4) {
        value.type = type[0] | type[1] << 8 | type[2] << 16 | static_cast<std::uint32_t>(type[3]) << 24;
        value.data_length = static_cast<std::uint32_t>(info.st_size - 4);
        if (value.data_length > value.data_capacity)
            result = RegistryResult::too_large;
        else if (read(fd, value.data, value.data_length) == static_cast<ssize_t>(value.data_length))
            result = RegistryResult::ok;
    }
    close(fd);
    return result;
}

}  // namespace

RegistryResult enum_registry_value(RegistryKey key, std::uint32_t index, RegistryValue& value)
{
    char found[NAME_MAX + 1];
    if (!nth_entry(keys[key].path, index, is_value_file, found))
        return RegistryResult::no_more;
    const std::size_t digits = std::strlen(found + 1);
    if (digits % 4 != 0 || digits / 4 + 1 > value.name_capacity)
        return RegistryResult::too_large;
    for (std::size_t unit = 0; unit < digits / 4; ++unit) {
        std::uint32_t code = 0;
        for (const std::size_t at : {2, 3, 0, 1}) {
            const int digit = hex_digit(found[1 + 4 * unit + at]);
            if (digit < 0)
                return RegistryResult::failed;
            code = code * 16 + static_cast<std::uint32_t>(digit);
        }
        value.name[unit] = static_cast<char16_t>(code);
    }
    value.name_length = static_cast<std::uint32_t>(digits / 4);
    value.name[value.name_length] = u'\0';
    return read_value_file(keys[key].path, found, value);
}

// Names are compared exactly here; the registry's own comparison ignores case.
RegistryResult query_registry_value(RegistryKey key, const char16_t* name, RegistryValue& value)
{
    char file[NAME_MAX + 1] = "v";
    std::size_t used = 1;
    for (; *name != u'\0'; ++name) {
        if (used + 4 >= sizeof file)
            return RegistryResult::absent;
        for (const unsigned byte : {*name & 0xFFu, static_cast<unsigned>(*name) >> 8}) {
            file[used++] = "0123456789abcdef"[byte >> 4];
            file[used++] = "0123456789abcdef"[byte & 15];
        }
    }
    file[used] = '\0';
    return read_value_file(keys[key].path, file, value);
}

RegistryResult count_registry_entries(RegistryKey key, std::uint32_t& subkeys, std::uint32_t& values)
{
    subkeys = 0;
    values = 0;
    DIR* directory = opendir(keys[key].path);
    if (directory == nullptr)
        return result_of_errno();
    while (const dirent* entry = readdir(directory)) {
        subkeys += is_key_directory(*entry) ? 1 : 0;
        values += is_value_file(*entry) ? 1 : 0;
    }
    closedir(directory);
    return RegistryResult::ok;
}

bool registry_key_is_empty(RegistryKey key)
{
    std::uint32_t subkeys = 1;
    std::uint32_t values = 1;
    return count_registry_entries(key, subkeys, values) == RegistryResult::ok && subkeys == 0 && values == 0;
}

void delete_registry_key(RegistryRoot root, const char16_t* path, RegistryView view)
{
    RegistryKey key = 0;
    if (open_registry_key(root, path, view, key) != RegistryResult::ok)
        return;
    rmdir(keys[key].path);
    close_registry_key(key);
}
