// Finds what the installation left running. Services first: a service's
// process is not counted again as a program.
#include "running/running_items.h"

#include <cstring>
#include <iterator>

#include "backup/script_entries.h"
#include "convert/name_hash.h"
#include "running/service_keys.h"
#include "state/state.h"

Item items[max_items];
std::uint32_t item_count;

namespace {

// Hashes of the names of the services and the paths of the programs the
// question named.
std::uint64_t announced[max_items];
std::uint32_t announced_count;

char16_t name[item_name_size];
char16_t program[32768];
char16_t path[32768];

std::uint32_t length_of(const char16_t* text)
{
    std::uint32_t length = 0;
    while (text[length] != u'\0')
        ++length;
    return length;
}

std::uint64_t hash_of(const Item& item)
{
    return item.service ? units_hash(item.name, length_of(item.name)) ^ 1 : units_hash(item.path, item.path_length);
}

bool was_announced(const Item& item)
{
    const std::uint64_t hash = hash_of(item);
    for (std::uint32_t i = 0; i < announced_count; ++i) {
        if (announced[i] == hash)
            return true;
    }
    return false;
}

Item* known_service(const char16_t* service, std::uint32_t length)
{
    for (std::uint32_t i = 0; i < item_count; ++i) {
        if (items[i].service && length_of(items[i].name) == length && same_name(items[i].name, service, length))
            return &items[i];
    }
    return nullptr;
}

bool add_item(const Item& item, bool announced_only)
{
    if (item_count == max_items || (announced_only && item.fate == Fate::found && !was_announced(item)))
        return false;
    items[item_count++] = item;
    return true;
}

// A service whose own key the script deletes; one the service manager
// does not know has nothing left to stop. A driver is left to its key's
// deletion, and a per-user instance is Windows' own.
void add_listed_service(const char16_t* service, std::uint32_t length, bool announced_only)
{
    if (length >= item_name_size || known_service(service, length) != nullptr)
        return;
    std::memcpy(name, service, 2 * std::size_t{length});
    name[length] = u'\0';
    ServiceFacts facts{};
    if (query_service(name, facts) != ServiceResult::ok || facts.kind == ServiceKind::user_instance)
        return;
    Item item{};
    item.service = true;
    item.key_listed = true;
    item.running = facts.running;
    item.fate = facts.kind == ServiceKind::driver ? Fate::driver : Fate::found;
    item.process_id = facts.process_id;
    std::memcpy(item.name, name, sizeof name);
    add_item(item, announced_only);
}

// Before the question, from the note taken as the script was written;
// after it, from the reviewed copy.
void find_listed_services(bool announced_only)
{
    if (!announced_only && service_note_whole) {
        for (std::uint32_t i = 0; i < noted_service_count; ++i)
            add_listed_service(noted_services[i], length_of(noted_services[i]), false);
        return;
    }
    if (!open_script_entries())
        return;
    ScriptEntry entry;
    while (next_script_entry(entry)) {
        if (!entry.readable || entry.value || entry.root != RegistryRoot::local_machine)
            continue;
        const std::uint32_t length = length_of(entry.path);
        if (const std::uint32_t at = service_key_name(entry.path, length))
            add_listed_service(entry.path + at, length - at, announced_only);
    }
    close_script_entries();
}

// A running service whose program goes to the Recycle Bin: stopped, so
// that its files can go, though its registration is not the script's.
void find_program_services(bool announced_only)
{
    const std::uint32_t count = list_services();
    for (std::uint32_t i = 0; i < count; ++i) {
        ServiceFacts facts{};
        if (!service_at(i, name, item_name_size, program, std::size(program), facts) || !facts.running ||
            facts.kind != ServiceKind::program ||
            known_service(name, length_of(name)) != nullptr || !listed_service_program(program))
            continue;
        Item item{};
        item.service = true;
        item.running = true;
        item.process_id = facts.process_id;
        std::memcpy(item.name, name, sizeof name);
        add_item(item, announced_only);
    }
}

Item* service_of_process(std::uint32_t id)
{
    for (std::uint32_t i = 0; i < item_count; ++i) {
        if (items[i].service && items[i].running && items[i].process_id == id)
            return &items[i];
    }
    return nullptr;
}

}  // namespace

void find_programs(bool announced_only)
{
    std::uint32_t kept = 0;
    for (std::uint32_t i = 0; i < item_count; ++i) {
        if (items[i].service)
            items[kept++] = items[i];
    }
    item_count = kept;
    const std::uint32_t count = list_processes();
    for (std::uint32_t i = 0; i < count; ++i) {
        ProcessFacts facts{};
        if (!process_at(i, facts, name, item_name_size, path, std::size(path)))
            continue;
        const std::uint32_t length = facts.opened ? length_of(path) : 0;
        // A service's process is the service's: its program is known, so
        // that its file is not taken for one that stays in use.
        if (Item* service = service_of_process(facts.id)) {
            if (length > 0 && length < item_path_size) {
                std::memcpy(service->path, path, 2 * std::size_t{length});
                service->path_length = length;
            }
            continue;
        }
        if (facts.opened ? !listed_program(path, length) || length >= item_path_size
                         : !listed_program_name(name, length_of(name)))
            continue;
        Item item{};
        item.running = true;
        item.process_id = facts.id;
        std::memcpy(item.name, name, sizeof name);
        std::memcpy(item.path, path, 2 * std::size_t{length});
        item.path_length = length;
        item.fate = facts.opened ? Fate::found : Fate::unopened;
        // Whose program it runs is not known: it is named, never stopped.
        add_item(item, announced_only);
    }
}

void find_items(bool announced_only)
{
    item_count = 0;
    const bool programs = load_listed_programs();
    find_listed_services(announced_only);
    if (programs) {
        find_program_services(announced_only);
        find_programs(announced_only);
    }
}

void announce_items()
{
    announced_count = 0;
    for (std::uint32_t i = 0; i < item_count; ++i) {
        if (items[i].fate == Fate::found)
            announced[announced_count++] = hash_of(items[i]);
    }
}

bool anything_announced()
{
    return announced_count > 0;
}
