// The native stand-in's progress window, and what it would tell running
// programs: lines in a log that tests read.
#include "platform/platform.h"
#include "platform/posix_names.h"

#include <cstdio>
#include <cstdlib>

namespace {

// The stand-in's progress window writes what it would show into the file
// named by MORVANE_PROGRESS_LOG; MORVANE_PROGRESS_CANCEL=N stands for a user
// who chooses Cancel once N lines were shown, if it is offered then.
void log_progress(const char* format, const char* text, std::uint32_t done, std::uint32_t total)
{
    const char* name = setting("MORVANE_PROGRESS_LOG");
    if (name == nullptr)
        return;
    if (FILE* log = std::fopen(name, "a")) {
        std::fprintf(log, format, text, done, total);
        std::fclose(log);
    }
}

bool progress_open;
bool cancel_offered;
long lines_shown;

}  // namespace

void open_progress_window()
{
    progress_open = true;
    log_progress("open%s\n", "", 0, 0);
}

void show_progress(const char* text, std::uint32_t done, std::uint32_t total, bool cancellable)
{
    cancel_offered = cancellable;
    ++lines_shown;
    log_progress(cancellable ? "%s [%u/%u, Cancel]\n" : "%s [%u/%u]\n", text, done, total);
}

bool progress_cancelled()
{
    const char* after = setting("MORVANE_PROGRESS_CANCEL");
    return progress_open && cancel_offered && after != nullptr && lines_shown >= std::strtol(after, nullptr, 10);
}

// The stand-in's desktop has no programs to tell: what they would be told
// goes into the progress log.
void announce_environment_change()
{
    log_progress("told%s: the environment changed\n", "", 0, 0);
}

void announce_association_change()
{
    log_progress("told%s: file types and classes changed\n", "", 0, 0);
}

void close_progress_window()
{
    if (progress_open)
        log_progress("close%s\n", "", 0, 0);
    progress_open = false;
}
