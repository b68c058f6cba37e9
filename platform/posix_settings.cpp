// The native stand-in's settings, the Windows folders they name, and its
// clock.
#include "platform/platform.h"
#include "platform/posix_names.h"

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iterator>

namespace {

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
