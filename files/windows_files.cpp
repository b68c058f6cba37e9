// The locations of Windows' own files, one a line, to be reviewed as a list.
// Drawn from the file filter lists of sandbox and monitoring tools (for
// instance Noriben's file approve list) and from what Microsoft documents
// each folder to hold. What installers own still goes: their folders in
// Program Files and ProgramData, the Start menu's shortcuts, Windows
// Installer's cached packages (Windows\Installer), and files they put in
// the system folders. A location ending with '*' takes every name that
// begins with it.
#include "files/windows_files.h"

#include <iterator>

#include "convert/name_hash.h"
#include "files/file_view.h"
#include "state/state.h"

namespace {

enum class Below : std::uint8_t {
    windows,       // the Windows folder
    program_data,  // ProgramData
    profile,       // any user's profile folder
    drive,         // the root of any drive
    anywhere,      // a name in any folder
};

struct FileLocation {
    Below below;
    std::u16string_view path;
    std::string_view kind;
};

constexpr std::string_view prefetch = "prefetch files";
constexpr std::string_view logs = "logs";
constexpr std::string_view reports = "error reports and dumps";
constexpr std::string_view update = "Windows Update's files";
constexpr std::string_view stores = "the component and driver stores";
constexpr std::string_view databases = "Windows' own databases";
constexpr std::string_view hives = "registry hives";
constexpr std::string_view defender = "Windows Defender";
constexpr std::string_view caches = "caches";
constexpr std::string_view recent = "recent items";
constexpr std::string_view temporary = "temporary files";
constexpr std::string_view bin = "the Recycle Bin";
constexpr std::string_view volume = "System Volume Information";
constexpr std::string_view paging = "the page and hibernation files";

using enum Below;

constexpr FileLocation locations[] = {
    {windows, u"Prefetch", prefetch},
    {windows, u"Logs", logs},
    {windows, u"Panther", logs},
    {windows, u"debug", logs},
    {windows, u"INF\\setupapi.*", logs},
    {windows, u"System32\\LogFiles", logs},
    {windows, u"System32\\winevt\\Logs", logs},
    {windows, u"System32\\wbem\\Logs", logs},
    {windows, u"System32\\wdi", logs},
    {windows, u"System32\\SleepStudy", logs},
    {windows, u"Minidump", reports},
    {windows, u"MEMORY.DMP", reports},
    {windows, u"LiveKernelReports", reports},
    {windows, u"SoftwareDistribution", update},
    {windows, u"WinSxS", stores},
    {windows, u"servicing", stores},
    {windows, u"System32\\DriverStore", stores},
    {windows, u"System32\\config", hives},
    {windows, u"System32\\catroot2", databases},
    {windows, u"System32\\sru", databases},
    {windows, u"System32\\spp", databases},
    {windows, u"System32\\wbem\\Repository", databases},
    {windows, u"System32\\Tasks\\Microsoft", databases},
    {windows, u"AppCompat", databases},
    {windows, u"ServiceProfiles", caches},
    {windows, u"ServiceState", caches},
    {windows, u"Temp", temporary},
    {windows, u"SystemTemp", temporary},
    {program_data, u"Microsoft\\Windows\\WER", reports},
    {program_data, u"Microsoft\\Windows Defender", defender},
    {program_data, u"Microsoft\\Windows\\AppRepository", databases},
    {program_data, u"Microsoft\\Windows\\Caches", caches},
    {program_data, u"Microsoft\\Search", databases},
    {program_data, u"Microsoft\\Diagnosis", logs},
    {program_data, u"Microsoft\\RAC", logs},
    {program_data, u"Microsoft\\Network\\Downloader", update},
    {program_data, u"USOPrivate", update},
    {program_data, u"USOShared", update},
    {profile, u"NTUSER.DAT*", hives},
    {profile, u"AppData\\Local\\Microsoft\\Windows\\UsrClass.dat*", hives},
    {profile, u"AppData\\Local\\Microsoft\\Windows\\Explorer", caches},
    {profile, u"AppData\\Local\\Microsoft\\Windows\\Caches", caches},
    {profile, u"AppData\\Local\\Microsoft\\Windows\\INetCache", caches},
    {profile, u"AppData\\Local\\Microsoft\\Windows\\WebCache", caches},
    {profile, u"AppData\\Local\\IconCache.db", caches},
    {profile, u"AppData\\Local\\GDIPFONTCACHEV1.DAT", caches},
    {profile, u"AppData\\LocalLow\\Microsoft\\CryptnetUrlCache", caches},
    {profile, u"AppData\\Local\\CrashDumps", reports},
    {profile, u"AppData\\Local\\Microsoft\\Windows\\WER", reports},
    {profile, u"AppData\\Roaming\\Microsoft\\Windows\\Recent", recent},
    {profile, u"AppData\\Local\\Temp", temporary},
    {drive, u"$Recycle.Bin", bin},
    {drive, u"System Volume Information", volume},
    {drive, u"pagefile.sys", paging},
    {drive, u"hiberfil.sys", paging},
    {drive, u"swapfile.sys", paging},
    {anywhere, u"Thumbs.db", caches},
};

char16_t windows_folder[path_size];
std::uint32_t windows_length;
char16_t program_data_folder[path_size];
std::uint32_t program_data_length;
char16_t profiles_folder[path_size];
std::uint32_t profiles_length;

bool matches(const char16_t* rest, std::uint32_t length, std::u16string_view location)
{
    if (!location.empty() && location.back() == u'*')
        return length >= location.size() - 1 && same_name(rest, location.data(), static_cast<std::uint32_t>(location.size() - 1));
    std::uint32_t ignored = 0;
    return below_folder(rest, length, location.data(), static_cast<std::uint32_t>(location.size()), ignored);
}

std::uint32_t usable(std::uint32_t length)
{
    return length < path_size ? length : 0;
}

}  // namespace

void prepare_windows_files()
{
    char name[path_size];
    const std::uint32_t length = get_windows_directory(name, path_size);
    const std::uint32_t bytes = length == 0 || length >= path_size
                                    ? 0
                                    : ansi_to_utf16le(name, length, reinterpret_cast<char*>(windows_folder),
                                                      sizeof windows_folder - 2);
    windows_length = bytes / 2;
    program_data_length = usable(get_program_data_directory(program_data_folder, path_size));
    profiles_length = usable(get_profiles_directory(profiles_folder, path_size));
}

std::string_view windows_file_kind(const char16_t* path, std::uint32_t length)
{
    // Where the path lies below each kind of folder; the length means none.
    std::uint32_t rest[5] = {length, length, length, length, length};
    std::uint32_t at = 0;
    below_folder(path, length, windows_folder, windows_length, rest[0]);
    below_folder(path, length, program_data_folder, program_data_length, rest[1]);
    if (below_folder(path, length, profiles_folder, profiles_length, at)) {
        while (at < length && path[at] != u'\\')
            ++at;
        rest[2] = at < length ? at + 1 : length;
    }
    if (length > 3 && path[1] == u':')
        rest[3] = 3;
    for (at = length; at > 0 && path[at - 1] != u'\\';)
        --at;
    rest[4] = at;
    for (const FileLocation& location : locations) {
        const std::uint32_t from = rest[static_cast<std::size_t>(location.below)];
        if (from < length && matches(path + from, length - from, location.path))
            return location.kind;
    }
    return {};
}
