// After the Recycle Bin step: what became of each listed file and folder,
// as the closing message tells it.
#include <cstdio>
#include <cstring>
#include <iterator>

#include "files/file_list.h"
#include "files/file_view.h"
#include "files/listed_paths.h"
#include "files/recycle.h"
#include "progress/progress.h"
#include "state/state.h"

namespace {

constexpr std::uint32_t names_shown = 3;
constexpr std::uint32_t name_width = 100;

struct Group {
    std::uint32_t count;
    char names[names_shown * (name_width + 48)];
};

std::uint32_t listed;
std::uint32_t in_use;
Group recycled;
Group absent;
Group vanished;
Group kept;
Group moving;
char16_t real[32768];

const char* reason_for(PathState state)
{
    switch (state) {
    case PathState::goes:
        return "the Recycle Bin did not take it";
    case PathState::changed:
        return "changed since the report";
    case PathState::in_use:
        return "in use";
    case PathState::holds_other:
        return "holds other files";
    case PathState::no_bin:
        return "its drive has no Recycle Bin";
    case PathState::too_large:
        return "too large for the Recycle Bin";
    case PathState::unreadable:
        return "cannot be read";
    case PathState::restart_refused:
        return "in use, and its move when Windows restarts was refused";
    default:
        return "not looked at";
    }
}

// The name as the list gives it, in the ANSI code page, cut to
// name_width with "..." where it was.
void add_name(Group& group, const ListEntry& entry, const char* reason)
{
    if (group.count++ >= names_shown)
        return;
    char name[name_width];
    const std::uint32_t shown = utf16_to_ansi(entry.path, entry.length, name, sizeof name);
    const std::size_t used = std::strlen(group.names);
    std::snprintf(group.names + used, sizeof group.names - used, "%.*s%s%s%s%s\n", static_cast<int>(shown), name,
                  entry.length > shown ? "..." : "", entry.folder ? "\\" : "", *reason != '\0' ? ": " : "", reason);
}

void append_group(char* text, std::size_t size, const char* label, const Group& group)
{
    char more[48] = "";
    if (group.count > names_shown)
        std::snprintf(more, sizeof more, "and %u more\n", group.count - names_shown);
    const std::size_t used = std::strlen(text);
    std::snprintf(text + used, size - used, "%s: %u\n%s%s", label, group.count, group.names, more);
}

// It went with a folder that holds it, or by itself.
bool bin_took(std::uint32_t length)
{
    for (;;) {
        const ListedPath* record = listed_path(real, length, false);
        if (record != nullptr && record->recycled)
            return true;
        while (length > 0 && real[length - 1] != u'\\')
            --length;
        if (length < 3)
            return false;
        --length;
    }
}

}  // namespace

void check_listed_files(std::uint32_t done)
{
    listed = 0;
    in_use = 0;
    recycled = absent = vanished = kept = moving = Group{};
    if (!files_listed || !open_file_list())
        return;
    ListEntry entry;
    while (next_list_entry(entry)) {
        advance_progress(CleaningStep::checking, done++);
        const std::uint32_t length = real_path(entry.path, entry.length, real, std::size(real));
        ListedPath* record = length == 0 ? nullptr : listed_path(real, length, false);
        if (record != nullptr && record->counted)
            continue;
        if (record != nullptr)
            record->counted = true;
        ++listed;
        FileFacts facts{};
        const bool there = length == 0 || get_file_facts(real, facts) != FileResult::absent;
        const PathState state = record != nullptr ? record->state : PathState::unseen;
        if (!there && state != PathState::goes)
            add_name(absent, entry, "");
        else if (!there)
            add_name(bin_took(length) ? recycled : vanished, entry, "");
        else
            add_name(state == PathState::at_restart ? moving : kept, entry,
                     state == PathState::at_restart ? "" : reason_for(state));
        in_use += there && (state == PathState::in_use || state == PathState::at_restart ||
                            state == PathState::restart_refused)
                      ? 1
                      : 0;
    }
    close_file_list();
    advance_progress(CleaningStep::checking, done);
}

void append_files_result(char* text, std::size_t size)
{
    if (!files_listed)
        return;
    const std::size_t used = std::strlen(text);
    std::snprintf(text + used, size - used, "\nListed files and folders: %u\n", listed);
    append_group(text, size, "In the Recycle Bin", recycled);
    append_group(text, size, "Already absent", absent);
    if (vanished.count > 0)
        append_group(text, size, "Gone, though the Recycle Bin did not take it", vanished);
    if (moving.count > 0)
        append_group(text, size, "Moved out when Windows restarts", moving);
    append_group(text, size, "Kept", kept);
}

void append_recycle_note(char* text, std::size_t size)
{
    if (recycled.count == 0)
        return;
    const std::size_t used = std::strlen(text);
    std::snprintf(text + used, size - used, "\nThe files and folders are in the Recycle Bin: restore them from there.");
}

std::uint32_t recycled_count()
{
    return recycled.count;
}

bool files_kept_in_use()
{
    return in_use > 0;
}
