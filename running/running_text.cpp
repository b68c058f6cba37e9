// What the question before cleaning and the closing message say of the
// services and programs the installation left running.
#include "running/running_text.h"

#include <cstdio>
#include <cstring>

#include "convert/name_hash.h"
#include "running/running.h"
#include "state/state.h"

namespace {

constexpr std::uint32_t question_names = 4;
constexpr std::uint32_t name_width = 120;

// In the ANSI code page, cut to name_width with "..." where it was.
void append_name(char* text, std::size_t size, const char16_t* name)
{
    std::uint32_t length = 0;
    while (name[length] != u'\0')
        ++length;
    char shown[name_width];
    const std::uint32_t bytes = utf16_to_ansi(name, length, shown, sizeof shown);
    const std::size_t used = std::strlen(text);
    std::snprintf(text + used, size - used, "%.*s%s", static_cast<int>(bytes), shown, length > bytes ? "..." : "");
}

const char* reason_for(Fate fate)
{
    switch (fate) {
    case Fate::late:
        return "did not stop in time";
    case Fate::depended_on:
        return "services that run depend on it";
    case Fate::denied:
        return "the service manager did not stop it";
    case Fate::kept:
        return "left running";
    case Fate::not_ended:
        return "could not be ended";
    case Fate::unopened:
        return "could not be looked at";
    default:
        return "";
    }
}

bool still_running(Fate fate)
{
    return *reason_for(fate) != '\0';
}

std::uint32_t count_of(bool service, Fate fate, Fate other)
{
    std::uint32_t count = 0;
    for (std::uint32_t i = 0; i < item_count; ++i)
        count += items[i].service == service && (items[i].fate == fate || items[i].fate == other) ? 1 : 0;
    return count;
}

// Services that the service manager lets go only at the next restart, with
// their names.
void append_restart_services(char* text, std::size_t size, Fate fate, const char* heading)
{
    const std::uint32_t count = count_of(true, fate, fate);
    if (count == 0)
        return;
    char names[running_names_size];
    running_names(names, fate, count);
    const std::size_t used = std::strlen(text);
    std::snprintf(text + used, size - used, "%s: %u\n%s", heading, count, names);
}

}  // namespace

void running_names(char (&text)[running_names_size], Fate fate, std::uint32_t count)
{
    text[0] = '\0';
    std::uint32_t shown = 0;
    for (std::uint32_t i = 0; i < item_count && shown < running_names_shown; ++i) {
        const Item& item = items[i];
        if (fate == Fate::kept ? !still_running(item.fate) : item.fate != fate)
            continue;
        append_name(text, sizeof text, !item.service && item.path_length > 0 ? item.path : item.name);
        const std::size_t used = std::strlen(text);
        std::snprintf(text + used, sizeof text - used, "%s%s\n", fate == Fate::kept ? ": " : "",
                      fate == Fate::kept ? reason_for(item.fate) : "");
        ++shown;
    }
    if (count > shown) {
        const std::size_t used = std::strlen(text);
        std::snprintf(text + used, sizeof text - used, "and %u more\n", count - shown);
    }
}

void find_what_runs()
{
    find_items(false);
    announce_items();
}

bool stopped_before_cleaning(const char16_t* path, std::uint32_t length, bool folder)
{
    for (std::uint32_t i = 0; i < item_count; ++i) {
        const Item& item = items[i];
        if (item.fate != Fate::found || !item.running || item.path_length < length + (folder ? 1 : 0) ||
            (!folder && item.path_length != length) || (folder && item.path[length] != u'\\'))
            continue;
        if (same_name(item.path, path, length))
            return true;
    }
    return false;
}

void append_running_question(char* text, std::size_t size)
{
    std::uint32_t programs = 0;
    std::uint32_t services = 0;
    for (std::uint32_t i = 0; i < item_count; ++i) {
        const Item& item = items[i];
        if (item.fate == Fate::found && item.running)
            ++(item.service ? services : programs);
    }
    if (programs + services == 0)
        return;
    std::size_t used = std::strlen(text);
    std::snprintf(text + used, size - used,
                  "%u program(s) and %u service(s) of the installation are running: they are stopped first.\n",
                  programs, services);
    std::uint32_t shown = 0;
    for (std::uint32_t i = 0; i < item_count && shown < question_names; ++i) {
        const Item& item = items[i];
        if (item.fate != Fate::found || !item.running)
            continue;
        used = std::strlen(text);
        std::snprintf(text + used, size - used, "%s", shown == 0 ? "" : ", ");
        append_name(text, size, item.name);
        ++shown;
    }
    used = std::strlen(text);
    if (programs + services > shown)
        std::snprintf(text + used, size - used, " and %u more\n", programs + services - shown);
    else
        std::snprintf(text + used, size - used, "\n");
}

void append_running_result(char* text, std::size_t size)
{
    if (item_count == 0)
        return;
    const std::uint32_t drivers = count_of(true, Fate::driver, Fate::driver);
    std::uint32_t services = 0;
    std::uint32_t still = 0;
    for (std::uint32_t i = 0; i < item_count; ++i) {
        services += items[i].service ? 1 : 0;
        still += still_running(items[i].fate) ? 1 : 0;
    }
    const std::uint32_t programs = item_count - services;
    services -= drivers;
    std::size_t used = std::strlen(text);
    std::snprintf(text + used, size - used, "\n");
    used = std::strlen(text);
    if (services > 0)
        std::snprintf(text + used, size - used, "Services stopped and removed: %u\n",
                      count_of(true, Fate::removed, Fate::removed));
    used = std::strlen(text);
    if (const std::uint32_t stopped = count_of(true, Fate::stopped, Fate::not_removed))
        std::snprintf(text + used, size - used, "Services stopped, still registered: %u\n", stopped);
    append_restart_services(text, size, Fate::marked, "Services stopped, removed when Windows restarts");
    append_restart_services(text, size, Fate::driver, "Drivers whose keys are deleted, loaded until Windows restarts");
    used = std::strlen(text);
    if (programs > 0)
        std::snprintf(text + used, size - used, "Programs closed: %u\n", count_of(false, Fate::closed, Fate::closed));
    used = std::strlen(text);
    if (const std::uint32_t ended = count_of(false, Fate::ended, Fate::ended))
        std::snprintf(text + used, size - used, "Programs ended: %u\n", ended);
    if (still == 0)
        return;
    char names[running_names_size];
    running_names(names, Fate::kept, still);
    used = std::strlen(text);
    std::snprintf(text + used, size - used, "Still running: %u\n%s", still, names);
}

void append_service_note(char* text, std::size_t size)
{
    if (count_of(true, Fate::removed, Fate::marked) == 0 || backup_path[0] == '\0' || backup_empty)
        return;
    std::size_t used = std::strlen(text);
    std::snprintf(text + used, size - used, "\nA service restored from the backup runs again after a restart.");
    used = std::strlen(text);
    if (count_of(true, Fate::marked, Fate::marked) > 0)
        std::snprintf(text + used, size - used,
                      " Restore it only after Windows has restarted: until then the service manager deletes a "
                      "restored service's key.");
}

bool restart_finishes_running()
{
    for (std::uint32_t i = 0; i < item_count; ++i) {
        const Fate fate = items[i].fate;
        if (still_running(fate) || fate == Fate::marked || (fate == Fate::driver && items[i].running))
            return true;
    }
    return false;
}
