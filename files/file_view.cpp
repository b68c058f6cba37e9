// The file-system view of the report: WOW64 shows a 32-bit program the
// 32-bit system folder under the name of the 64-bit one.
#include "files/file_view.h"

#include <cstring>
#include <string_view>

#include "convert/name_hash.h"
#include "state/state.h"

namespace {

char16_t system_folder[path_size];
std::uint32_t system_length;
char16_t wow64_folder[path_size];
std::uint32_t wow64_length;

// Below the system folder, WOW64 leaves these where they are.
constexpr std::u16string_view not_redirected[] = {u"catroot", u"catroot2", u"driverstore", u"drivers\\etc",
                                                  u"logfiles", u"spool"};

std::uint32_t folder_name(std::uint32_t (*get)(char*, std::uint32_t), char16_t (&folder)[path_size])
{
    char name[path_size];
    const std::uint32_t length = get(name, path_size);
    if (length == 0 || length >= path_size)
        return 0;
    const std::uint32_t bytes = ansi_to_utf16le(name, length, reinterpret_cast<char*>(folder), sizeof folder - 2);
    folder[bytes / 2] = u'\0';
    return bytes / 2;
}

}  // namespace

bool below_folder(const char16_t* path, std::uint32_t length, const char16_t* folder, std::uint32_t folder_length,
                  std::uint32_t& rest)
{
    if (folder_length == 0 || length < folder_length || !same_name(path, folder, folder_length))
        return false;
    if (length == folder_length) {
        rest = length;
        return true;
    }
    rest = folder_length + 1;
    return path[folder_length] == u'\\';
}

void prepare_file_view()
{
    system_length = folder_name(get_system_directory, system_folder);
    wow64_length = folder_name(get_system_wow64_directory, wow64_folder);
}

bool is_full_path(const char16_t* path, std::uint32_t length)
{
    std::uint32_t start = 0;
    if (length >= 3 && path[1] == u':' && path[2] == u'\\' && upper_unit(path[0]) >= u'A' && upper_unit(path[0]) <= u'Z')
        start = 3;
    else if (length >= 2 && path[0] == u'\\' && path[1] == u'\\')
        start = 2;
    else
        return false;
    std::uint32_t names = 0;
    for (std::uint32_t at = start; at <= length; ++names) {
        std::uint32_t end = at;
        while (end < length && path[end] != u'\\') {
            if (path[end] < u' ' || path[end] == u'/' || path[end] == u':')
                return false;
            ++end;
        }
        const std::u16string_view name(path + at, end - at);
        if (name.empty() || name == u"." || name == u"..")
            return false;
        at = end + 1;
    }
    // A share needs its server and share names before any file's.
    return start == 3 || names >= 3;
}

std::uint32_t real_path(const char16_t* path, std::uint32_t length, char16_t* real, std::uint32_t capacity)
{
    std::uint32_t rest = 0;
    bool redirected = !report_from_x64 && wow64_length > 0 && below_folder(path, length, system_folder, system_length, rest);
    for (const std::u16string_view kept : not_redirected) {
        std::uint32_t ignored = 0;
        redirected = redirected && !below_folder(path + rest, length - rest, kept.data(),
                                                 static_cast<std::uint32_t>(kept.size()), ignored);
    }
    const std::uint32_t head = redirected ? wow64_length : 0;
    const std::uint32_t skipped = redirected ? system_length : 0;
    const std::uint32_t total = head + length - skipped;
    if (total + 1 > capacity)
        return 0;
    std::memcpy(real, wow64_folder, 2 * std::size_t{head});
    std::memcpy(real + head, path + skipped, 2 * std::size_t{length - skipped});
    real[total] = u'\0';
    return total;
}
