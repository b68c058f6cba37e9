// Stops the installation's services through the service manager, and asks
// its programs to close; ends a program only with the user's leave.
#include <cstdio>
#include <cstring>

#include "files/recycle.h"
#include "progress/progress.h"
#include "running/running.h"
#include "running/running_items.h"
#include "running/running_text.h"
#include "state/state.h"

namespace {

constexpr std::uint32_t pause_ms = 100;
constexpr std::uint32_t service_wait_ms = 20000;
constexpr std::uint32_t close_wait_ms = 10000;
constexpr std::uint32_t end_wait_ms = 5000;
constexpr std::uint32_t deletion_wait_ms = 3000;

void keep_answering()
{
    advance_progress(CleaningStep::stopping, 0);
    pause_briefly(pause_ms);
}

bool service_stopped(const Item& item)
{
    for (std::uint32_t waited = 0;; waited += pause_ms) {
        ServiceFacts facts{};
        const ServiceResult result = query_service(item.name, facts);
        if (result == ServiceResult::absent || (result == ServiceResult::ok && !facts.running))
            return true;
        if (waited >= service_wait_ms)
            return false;
        keep_answering();
    }
}

// The service manager lets a deleted service go once the last handle to it
// closes; its own process may take a moment to let go after stopping.
bool deleted_soon(const Item& item)
{
    for (std::uint32_t waited = 0; waited < deletion_wait_ms; waited += pause_ms) {
        keep_answering();
        ServiceFacts facts{};
        if (query_service(item.name, facts) == ServiceResult::absent)
            return true;
    }
    return false;
}

Fate stop_service(const Item& item)
{
    switch (request_service_stop(item.name)) {
    case ServiceResult::ok:
        break;
    case ServiceResult::absent:
        return Fate::removed;
    case ServiceResult::dependants_run:
        return Fate::depended_on;
    default:
        return Fate::denied;
    }
    if (!service_stopped(item))
        return Fate::late;
    if (!item.key_listed)
        return Fate::stopped;
    switch (delete_service(item.name)) {
    case ServiceResult::ok:
    case ServiceResult::absent:
        return Fate::removed;
    case ServiceResult::marked:
        return deleted_soon(item) ? Fate::removed : Fate::marked;
    default:
        return Fate::not_removed;
    }
}

// A service that others depend on stops once they have: each pass stops
// what no running service depends on any more.
void stop_services()
{
    for (bool moved = true; moved;) {
        moved = false;
        for (std::uint32_t i = 0; i < item_count; ++i) {
            Item& item = items[i];
            if (!item.service || (item.fate != Fate::found && item.fate != Fate::depended_on))
                continue;
            item.fate = stop_service(item);
            moved = moved || item.fate != Fate::depended_on;
        }
    }
}

// Waits up to `bound` for the programs of fate `waiting` to end; each
// that does becomes `gone`. Returns how many still run.
std::uint32_t wait_for_programs(Fate waiting, Fate gone, std::uint32_t bound)
{
    for (std::uint32_t waited = 0;; waited += pause_ms) {
        std::uint32_t running = 0;
        for (std::uint32_t i = 0; i < item_count; ++i) {
            Item& item = items[i];
            if (item.service || item.fate != waiting)
                continue;
            if (process_ended(item.process_id, item.path))
                item.fate = gone;
            else
                ++running;
        }
        if (running == 0 || waited >= bound)
            return running;
        keep_answering();
    }
}

bool user_lets_end(std::uint32_t count)
{
    char names[running_names_size];
    running_names(names, Fate::found, count);
    char question[sizeof names + 256];
    std::snprintf(question, sizeof question,
                  "These programs of the installation did not close when asked:\n\n%s\n"
                  "End them now? Work they have not saved is lost. No leaves them running, and their files stay.",
                  names);
    end_progress();
    const bool agreed = prompt_user(question, style_yes_no_warning) == button_yes;
    begin_progress();
    return agreed;
}

void close_programs()
{
    for (std::uint32_t i = 0; i < item_count; ++i) {
        if (!items[i].service && items[i].fate == Fate::found)
            ask_process_to_close(items[i].process_id, items[i].path);
    }
    const std::uint32_t running = wait_for_programs(Fate::found, Fate::closed, close_wait_ms);
    if (running == 0)
        return;
    const bool end = user_lets_end(running);
    for (std::uint32_t i = 0; i < item_count; ++i) {
        Item& item = items[i];
        if (item.service || item.fate != Fate::found)
            continue;
        item.fate = end ? Fate::not_ended : Fate::kept;
        if (end)
            terminate_process(item.process_id, item.path);
    }
    if (end)
        wait_for_programs(Fate::not_ended, Fate::ended, end_wait_ms);
}

}  // namespace

void stop_what_runs()
{
    find_items(true);
    for (std::uint32_t i = 0; i < item_count; ++i)
        running_stopped = running_stopped || items[i].fate == Fate::found;
    if (!running_stopped)
        return;
    advance_progress(CleaningStep::stopping, 0);
    stop_services();
    find_programs(true);
    close_programs();
}

void hold_running_programs()
{
    for (std::uint32_t i = 0; i < item_count; ++i) {
        const Item& item = items[i];
        if (!item.service && item.path_length > 0 && item.fate != Fate::closed && item.fate != Fate::ended)
            hold_in_use(item.path, item.path_length);
    }
}
