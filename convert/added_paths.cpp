// Files and folders as ties: a path that the report lists as added, or a
// folder made on disk between the shots.
#include "convert/added_paths.h"

#include <cstring>
#include <string_view>

#include "convert/hash_set.h"
#include "convert/name_hash.h"
#include "state/state.h"

namespace {

HashSet added_paths;  // files and folders, without a closing backslash

using Units = std::u16string_view;

// Folders that Windows and other programs make between any two shots:
// one made there ties nothing.
constexpr std::u16string_view busy_folders[] = {
    u"\\Windows\\",
    u"\\ProgramData\\Microsoft\\",
    u"\\AppData\\Local\\Microsoft\\",
    u"\\AppData\\Roaming\\Microsoft\\",
    u"\\AppData\\LocalLow\\",
    u"\\AppData\\Local\\Packages\\",
    u"\\Temp\\",
    u"\\$Recycle.Bin\\",
    u"\\System Volume Information\\",
};

char16_t folder_path[chunk_size + 1];

bool holds(Units text, std::u16string_view part)
{
    for (std::size_t at = 0; at + part.size() <= text.size(); ++at) {
        if (same_name(text.data() + at, part.data(), static_cast<std::uint32_t>(part.size())))
            return true;
    }
    return false;
}

// A folder made on disk between the two shots, where no program but the
// installation makes folders: it ties even where RegShot scanned no folder.
bool made_between_shots(Units folder)
{
    if (!shot_times_known || folder.size() + 1 > chunk_size || folder.size() <= 3)
        return false;
    std::memcpy(folder_path, folder.data(), 2 * folder.size());
    folder_path[folder.size()] = u'\\';
    const Units with_separator(folder_path, folder.size() + 1);
    for (const std::u16string_view busy : busy_folders) {
        if (holds(with_separator, busy))
            return false;
    }
    folder_path[folder.size()] = u'\0';
    std::int64_t made = 0;
    return get_folder_creation(folder_path, made) == FileResult::ok && made >= shot_seconds[0] &&
           made <= shot_seconds[1];
}

}  // namespace

bool names_added_path(const char16_t* units, std::uint32_t length)
{
    const Units text(units, length);
    if (added_paths.used == 0 && !shot_times_known)
        return false;
    for (std::size_t start = 0; start + 3 <= text.size(); ++start) {
        const char16_t letter = upper_unit(text[start]);
        if (letter < u'A' || letter > u'Z' || text[start + 1] != u':' || text[start + 2] != u'\\')
            continue;
        for (std::size_t end = start + 3; end <= text.size(); ++end) {
            const char16_t unit = end < text.size() ? text[end] : u'\0';
            const bool ends = unit == u'\0' || unit == u'"' || unit == u',' || unit == u';' || unit == u'|';
            if ((ends || unit == u'\\' || unit == u' ') &&
                added_paths.has(units_hash(text.data() + start, static_cast<std::uint32_t>(end - start))))
                return true;
            if (unit == u'\\' && made_between_shots(Units(text.data() + start, end - start)))
                return true;
            if (ends)
                break;
        }
    }
    return false;
}

void forget_added_paths()
{
    added_paths.clear();
}

void note_added_path(const char16_t* path, std::uint32_t length)
{
    while (length > 3 && path[length - 1] == u'\\')
        --length;
    added_paths.add(units_hash(path, length));
}
