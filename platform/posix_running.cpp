// The native stand-in's services and processes: a file for each service in
// MORVANE_SERVICES_DIR, named by the service, that holds its state
// ("running", "stopped", "hangs" for one that never stops, "denied" for one
// the service manager will not stop, "held" for one whose deletion is only
// marked, "driver", or "instance" of a per-user service), its command line, its process id and
// the services it depends on; and a file for each process in
// MORVANE_PROCESSES_DIR, named by its id, that holds its program's path and
// how it answers ("closes", "refuses" to close, or "sealed": it cannot be
// looked at). They change at once, so waiting needs no time.
#include "platform/platform.h"
#include "platform/posix_names.h"

#include <dirent.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "text/utf16.h"

namespace {

constexpr std::uint32_t most_entries = 256;
constexpr std::uint32_t field_size = 1024;

// A service's state, command line, process id and dependencies; a
// process's program and answer.
struct Fields {
    char lines[4][field_size];
};
constexpr int state = 0;
constexpr int command = 1;
constexpr int process_id = 2;
constexpr int depends = 3;
constexpr int program = 0;
constexpr int answer = 1;

char service_names[most_entries][256];
std::uint32_t service_count;
std::uint32_t process_ids[most_entries];
std::uint32_t process_count;

std::uint32_t number(const char* text)
{
    return static_cast<std::uint32_t>(std::strtoul(text, nullptr, 10));
}

ServiceFacts facts_of(const Fields& fields)
{
    const char* line = fields.lines[state];
    const ServiceKind kind = std::strcmp(line, "driver") == 0     ? ServiceKind::driver
                             : std::strcmp(line, "instance") == 0 ? ServiceKind::user_instance
                                                                  : ServiceKind::program;
    return {std::strcmp(line, "stopped") != 0 && std::strcmp(line, "marked") != 0, number(fields.lines[process_id]),
            kind};
}

bool entry_path(const char* variable, const char* name, char (&path)[4096])
{
    const char* directory = setting(variable);
    return directory != nullptr && *directory != '\0' &&
           std::snprintf(path, sizeof path, "%s/%s", directory, name) < static_cast<int>(sizeof path);
}

bool read_fields(const char* variable, const char* name, Fields& fields)
{
    char path[4096];
    fields = Fields{};
    FILE* file = entry_path(variable, name, path) ? std::fopen(path, "r") : nullptr;
    if (file == nullptr)
        return false;
    for (char* field : fields.lines) {
        if (std::fgets(field, field_size, file) == nullptr)
            break;
        field[std::strcspn(field, "\n")] = '\0';
    }
    std::fclose(file);
    return true;
}

void write_state(const char* name, const Fields& fields, const char* new_state)
{
    char path[4096];
    FILE* file = entry_path("MORVANE_SERVICES_DIR", name, path) ? std::fopen(path, "w") : nullptr;
    if (file == nullptr)
        return;
    std::fprintf(file, "%s\n%s\n%s\n%s\n", new_state, fields.lines[command], fields.lines[process_id],
                 fields.lines[depends]);
    std::fclose(file);
}

bool to_utf8(const char16_t* text, char* utf8, std::uint32_t size)
{
    std::uint32_t units = 0;
    while (text[units] != u'\0')
        ++units;
    char decoded[field_size * 3 + 1];
    std::uint32_t read = 0;
    if (units >= field_size || !utf16_to_utf8(reinterpret_cast<const char*>(text), 2 * units, decoded, read) ||
        std::strlen(decoded) >= size)
        return false;
    std::memcpy(utf8, decoded, std::strlen(decoded) + 1);
    return true;
}

bool to_units(const char* utf8, char16_t* text, std::uint32_t capacity)
{
    const char* next = utf8;
    const char* const end = utf8 + std::strlen(utf8);
    const std::uint32_t bytes = utf8_to_utf16(next, end, reinterpret_cast<char*>(text), 2 * (capacity - 1));
    text[bytes / 2] = u'\0';
    return next == end;
}

// The service's file name, found without regard to case as the service
// manager finds names.
bool service_file(const char16_t* name, char (&file)[256])
{
    char wanted[256];
    if (!to_utf8(name, wanted, sizeof wanted))
        return false;
    const char* directory = setting("MORVANE_SERVICES_DIR");
    DIR* listing = directory != nullptr ? opendir(directory) : nullptr;
    bool found = false;
    while (listing != nullptr && !found) {
        const dirent* entry = readdir(listing);
        if (entry == nullptr)
            break;
        found = strcasecmp(entry->d_name, wanted) == 0;
        if (found)
            std::snprintf(file, sizeof file, "%s", entry->d_name);
    }
    if (listing != nullptr)
        closedir(listing);
    return found;
}

bool process_runs(std::uint32_t id, Fields& fields)
{
    char name[16];
    std::snprintf(name, sizeof name, "%u", id);
    return read_fields("MORVANE_PROCESSES_DIR", name, fields);
}

void end_process_file(std::uint32_t id)
{
    char name[16];
    char path[4096];
    std::snprintf(name, sizeof name, "%u", id);
    if (entry_path("MORVANE_PROCESSES_DIR", name, path))
        unlink(path);
}

bool runs_program(std::uint32_t id, const char16_t* path)
{
    Fields fields;
    char wanted[field_size];
    return process_runs(id, fields) && to_utf8(path, wanted, sizeof wanted) &&
           strcasecmp(fields.lines[program], wanted) == 0;
}

// Hands `take` the name of each entry of the folder the variable names.
void list_directory(const char* variable, void (*take)(const char* name))
{
    const char* directory = setting(variable);
    DIR* listing = directory != nullptr ? opendir(directory) : nullptr;
    if (listing == nullptr)
        return;
    while (const dirent* entry = readdir(listing)) {
        if (entry->d_name[0] != '.')
            take(entry->d_name);
    }
    closedir(listing);
}

}  // namespace

std::uint32_t list_services()
{
    service_count = 0;
    list_directory("MORVANE_SERVICES_DIR", [](const char* name) {
        if (service_count < most_entries)
            std::snprintf(service_names[service_count++], 256, "%s", name);
    });
    std::qsort(service_names, service_count, sizeof service_names[0], [](const void* a, const void* b) {
        return std::strcmp(static_cast<const char*>(a), static_cast<const char*>(b));
    });
    return service_count;
}

bool service_at(std::uint32_t index, char16_t* name, std::uint32_t name_capacity, char16_t* program,
                std::uint32_t program_capacity, ServiceFacts& facts)
{
    Fields fields;
    if (index >= service_count || !read_fields("MORVANE_SERVICES_DIR", service_names[index], fields))
        return false;
    facts = facts_of(fields);
    return to_units(service_names[index], name, name_capacity) &&
           to_units(fields.lines[command], program, program_capacity);
}

ServiceResult query_service(const char16_t* name, ServiceFacts& facts)
{
    char file[256];
    Fields fields;
    if (!service_file(name, file) || !read_fields("MORVANE_SERVICES_DIR", file, fields))
        return ServiceResult::absent;
    facts = facts_of(fields);
    return ServiceResult::ok;
}

ServiceResult request_service_stop(const char16_t* name)
{
    char file[256];
    Fields fields;
    if (!service_file(name, file) || !read_fields("MORVANE_SERVICES_DIR", file, fields))
        return ServiceResult::absent;
    if (!facts_of(fields).running)
        return ServiceResult::ok;
    if (std::strcmp(fields.lines[state], "denied") == 0)
        return ServiceResult::denied;
    // A process that other running services share goes on.
    bool shared = false;
    list_services();
    for (std::uint32_t i = 0; i < service_count; ++i) {
        Fields other;
        if (strcasecmp(service_names[i], file) == 0 || !read_fields("MORVANE_SERVICES_DIR", service_names[i], other) ||
            !facts_of(other).running)
            continue;
        shared = shared || std::strcmp(other.lines[process_id], fields.lines[process_id]) == 0;
        for (char* word = std::strtok(other.lines[depends], " "); word != nullptr; word = std::strtok(nullptr, " ")) {
            if (strcasecmp(word, file) == 0)
                return ServiceResult::dependants_run;
        }
    }
    if (std::strcmp(fields.lines[state], "running") == 0 || std::strcmp(fields.lines[state], "held") == 0) {
        write_state(file, fields, std::strcmp(fields.lines[state], "held") == 0 ? "marked" : "stopped");
        if (!shared)
            end_process_file(number(fields.lines[process_id]));
    }
    return ServiceResult::ok;
}

ServiceResult delete_service(const char16_t* name)
{
    char file[256];
    char path[4096];
    Fields fields;
    if (!service_file(name, file) || !entry_path("MORVANE_SERVICES_DIR", file, path) ||
        !read_fields("MORVANE_SERVICES_DIR", file, fields))
        return ServiceResult::absent;
    if (std::strcmp(fields.lines[state], "marked") == 0)
        return ServiceResult::marked;
    return unlink(path) == 0 ? ServiceResult::ok : ServiceResult::failed;
}

std::uint32_t list_processes()
{
    process_count = 0;
    list_directory("MORVANE_PROCESSES_DIR", [](const char* name) {
        if (process_count < most_entries)
            process_ids[process_count++] = number(name);
    });
    std::sort(process_ids, process_ids + process_count);
    return process_count;
}

bool process_at(std::uint32_t index, ProcessFacts& facts, char16_t* name, std::uint32_t name_capacity, char16_t* path,
                std::uint32_t path_capacity)
{
    Fields fields;
    if (index >= process_count || !process_runs(process_ids[index], fields))
        return false;
    facts = {process_ids[index], std::strcmp(fields.lines[answer], "sealed") != 0};
    const char* file_name = std::strrchr(fields.lines[program], '\\');
    path[0] = u'\0';
    return to_units(file_name != nullptr ? file_name + 1 : fields.lines[program], name, name_capacity) &&
           (!facts.opened || to_units(fields.lines[program], path, path_capacity));
}

void ask_process_to_close(std::uint32_t id, const char16_t* path)
{
    Fields fields;
    if (runs_program(id, path) && process_runs(id, fields) && std::strcmp(fields.lines[answer], "closes") == 0)
        end_process_file(id);
}

bool process_ended(std::uint32_t id, const char16_t* path)
{
    return !runs_program(id, path);
}

bool terminate_process(std::uint32_t id, const char16_t* path)
{
    if (!runs_program(id, path))
        return false;
    end_process_file(id);
    return true;
}

void pause_briefly(std::uint32_t) { }
