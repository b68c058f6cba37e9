// The progress window's texts, and how often they change: a line and the
// bar for every 64th part of the work, or a new step.
#include "progress/progress.h"

#include <cstdio>

#include "state/state.h"

namespace {

constexpr std::uint32_t updates = 64;

bool any_shown;
CleaningStep shown_step;

// 102001 as "102,001".
void with_thousands(char (&text)[16], std::uint32_t number)
{
    char digits[12];
    const int count = std::snprintf(digits, sizeof digits, "%u", number);
    std::size_t used = 0;
    for (int i = 0; i < count; ++i) {
        if (i > 0 && (count - i) % 3 == 0)
            text[used++] = ',';
        text[used++] = digits[i];
    }
    text[used] = '\0';
}

// The script and the list as written count the entries; the user may have
// edited them. The listed files are looked at in two passes.
std::uint32_t entries_of(CleaningStep step)
{
    const auto registry = static_cast<std::uint32_t>(key_count + value_count + set_back_count);
    const auto files = static_cast<std::uint32_t>(file_count + folder_count);
    switch (step) {
    case CleaningStep::looking_at_files:
        return 2 * files;
    case CleaningStep::checking:
        return registry + files;
    default:
        return registry;
    }
}

}  // namespace

void begin_progress()
{
    any_shown = false;
    open_progress_window();
}

bool advance_progress(CleaningStep step, std::uint32_t done)
{
    const bool cancellable = step == CleaningStep::finding || step == CleaningStep::saving ||
                             (step == CleaningStep::looking_at_files && !running_stopped);
    const std::uint32_t listed = entries_of(step);
    const std::uint32_t total = done > listed ? done : listed;
    if (!any_shown || step != shown_step || done % (total / updates + 1) == 0 || done == total) {
        char text[160];
        char done_text[16];
        char total_text[16];
        with_thousands(done_text, done);
        with_thousands(total_text, total);
        const char* what = files_listed ? "entries" : value_count + set_back_count > 0 ? "keys and values" : "keys";
        switch (step) {
        case CleaningStep::finding:
            std::snprintf(text, sizeof text, "Looking for the listed keys: %s of %s %s", done_text, total_text, what);
            break;
        case CleaningStep::saving:
            std::snprintf(text, sizeof text, "Saving the backup: %s of %s %s", done_text, total_text, what);
            break;
        case CleaningStep::looking_at_files:
            std::snprintf(text, sizeof text, "Looking at the listed files and folders: %s of %s", done_text,
                          total_text);
            break;
        case CleaningStep::stopping:
            std::snprintf(text, sizeof text, "Stopping the services and programs that the installation left running.");
            break;
        case CleaningStep::deleting:
            std::snprintf(text, sizeof text, "The registry editor is deleting the %s.",
                          files_listed ? "keys and values" : what);
            break;
        case CleaningStep::recycling:
            std::snprintf(text, sizeof text, "Moving the files and folders to the Recycle Bin.");
            break;
        default:
            std::snprintf(text, sizeof text, "Checking what became of them: %s of %s %s", done_text, total_text, what);
        }
        const bool unmeasured =
            step == CleaningStep::stopping || step == CleaningStep::deleting || step == CleaningStep::recycling;
        show_progress(text, done, unmeasured ? 0 : total, cancellable);
        any_shown = true;
        shown_step = step;
    }
    // Asked in every step, so that the window keeps answering.
    const bool cancelled = progress_cancelled();
    return !(cancellable && cancelled);
}

void end_progress()
{
    close_progress_window();
}
