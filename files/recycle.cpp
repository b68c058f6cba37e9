// A file goes when it is as the report saw it, no program holds it open,
// and its drive's Recycle Bin takes it; a folder goes when everything it
// holds goes, and then as a whole, so that the Recycle Bin gives it back as
// a whole. Nothing is deleted for good.
#include "files/recycle.h"

#include <cstring>
#include <iterator>

#include "files/file_list.h"
#include "files/file_view.h"
#include "files/listed_paths.h"
#include "progress/progress.h"
#include "state/state.h"

namespace {

constexpr std::uint32_t max_depth = 256;
constexpr std::uint32_t name_size = 32768;

char16_t real[name_size];
char16_t walk[name_size];
char16_t entry_name[name_size];

struct Frame {
    FolderListing listing;
    ListedPath* record;
    std::uint32_t length;  // of its name in `walk`
    bool all_go;
    bool holds_in_use;  // what it holds stays because a program holds it
    std::uint64_t total;
};
Frame frames[max_depth];

// The report saw the file's last write time to the second, and the low 32
// bits of its size.
void decide_file(ListedPath& record)
{
    FileFacts facts{};
    const FileResult found = get_file_facts(real, facts);
    if (found != FileResult::ok) {
        record.state = found == FileResult::absent ? PathState::absent : PathState::unreadable;
        return;
    }
    const bool as_seen = record.name_only ? facts.write_seconds <= record.write_seconds
                                          : facts.write_seconds == record.write_seconds &&
                                                (facts.size & 0xFFFFFFFF) == record.size;
    if (facts.folder || facts.reparse_point || (record.in_report && !as_seen)) {
        record.state = PathState::changed;
        return;
    }
    record.size = facts.size;
    const BinRoom room = recycle_bin_room(real, facts.size);
    if (file_in_use(real))
        record.state = PathState::in_use;
    else
        record.state = room == BinRoom::takes ? PathState::goes
                       : room == BinRoom::no_bin ? PathState::no_bin
                                                 : PathState::too_large;
}

bool push_folder(ListedPath& record, std::uint32_t length, std::uint32_t depth)
{
    FileFacts facts{};
    const FileResult found = get_file_facts(walk, facts);
    if (found != FileResult::ok) {
        record.state = found == FileResult::absent ? PathState::absent : PathState::unreadable;
        return false;
    }
    if (!facts.folder || facts.reparse_point) {
        record.state = PathState::changed;
        return false;
    }
    if (depth == max_depth || open_folder_listing(walk, frames[depth].listing) != FileResult::ok) {
        record.state = PathState::unreadable;
        return false;
    }
    frames[depth] = {frames[depth].listing, &record, length, true, false, 0};
    return true;
}

// Whether everything below the folder in `walk` goes, depth first; each
// folder's answer is kept, so that each is looked at once.
void decide_folder(ListedPath& top, std::uint32_t length)
{
    if (top.state != PathState::unseen || !push_folder(top, length, 0))
        return;
    std::uint32_t depth = 0;
    for (;;) {
        Frame& frame = frames[depth];
        FileFacts facts{};
        if (frame.all_go && next_folder_entry(frame.listing, entry_name, name_size - frame.length - 2, facts)) {
            std::uint32_t name_length = 0;
            while (entry_name[name_length] != u'\0')
                ++name_length;
            walk[frame.length] = u'\\';
            std::memcpy(walk + frame.length + 1, entry_name, 2 * (std::size_t{name_length} + 1));
            const std::uint32_t child_length = frame.length + 1 + name_length;
            ListedPath* child = listed_path(walk, child_length, false);
            if (child == nullptr || !child->listed || child->folder != facts.folder) {
                frame.all_go = false;
                continue;
            }
            if (child->state == PathState::unseen && facts.folder && push_folder(*child, child_length, depth + 1)) {
                ++depth;
                continue;
            }
            frame.all_go = child->state == PathState::goes;
            frame.holds_in_use = child->state == PathState::in_use;
            frame.total += child->size;
            continue;
        }
        close_folder_listing(frame.listing);
        walk[frame.length] = u'\0';
        ListedPath& record = *frame.record;
        record.size = frame.total;
        const bool in_use = frame.holds_in_use || (frame.all_go && file_in_use(walk));
        const BinRoom room = frame.all_go && !in_use ? recycle_bin_room(walk, frame.total) : BinRoom::takes;
        record.state = in_use                    ? PathState::in_use
                       : !frame.all_go           ? PathState::holds_other
                       : room == BinRoom::takes  ? PathState::goes
                       : room == BinRoom::no_bin ? PathState::no_bin
                                                 : PathState::too_large;
        if (depth == 0)
            return;
        --depth;
        frames[depth].all_go = record.state == PathState::goes;
        frames[depth].holds_in_use = record.state == PathState::in_use;
        frames[depth].total += record.size;
    }
}

// The entry's record, by the name where it lies, which goes into `real`
// with its length into `length`.
ListedPath* record_of(const ListEntry& entry, bool add, std::uint32_t& length)
{
    length = real_path(entry.path, entry.length, real, name_size);
    return length == 0 ? nullptr : listed_path(real, length, add);
}

bool parent_goes(std::uint32_t length)
{
    while (length > 0 && real[length - 1] != u'\\')
        --length;
    const ListedPath* parent = length > 1 ? listed_path(real, length - 1, false) : nullptr;
    return parent != nullptr && parent->folder && parent->listed && parent->state == PathState::goes;
}

// A program that runs from a listed folder keeps all of it: what it holds
// goes neither whole nor item by item while the program may need it.
bool inside_folder_in_use(std::uint32_t length)
{
    for (;;) {
        while (length > 0 && real[length - 1] != u'\\')
            --length;
        if (length < 2)
            return false;
        --length;
        const ListedPath* folder = listed_path(real, length, false);
        if (folder != nullptr && folder->folder && folder->listed && folder->state == PathState::in_use)
            return true;
    }
}

// The paths of one shell operation, each closed by a zero, the whole by
// another; a longer list takes more than one.
char16_t to_recycle[std::uint32_t{1} << 21];
std::uint32_t queued;

bool taken[std::size(to_recycle) / 2];

void note_taken(const char16_t* path, std::uint32_t length)
{
    if (ListedPath* record = listed_path(path, length, false))
        record->recycled = true;
}

// One item the Recycle Bin does not take ends the shell's operation: what
// is still there after it goes one item at a time.
void recycle_queued()
{
    to_recycle[queued] = u'\0';
    const bool all = queued == 0 || move_to_recycle_bin(to_recycle, taken);
    static char16_t alone[name_size + 1];
    FileFacts facts{};
    std::uint32_t index = 0;
    for (const char16_t* path = to_recycle; queued > 0 && *path != u'\0'; ++index) {
        std::uint32_t length = 0;
        while (path[length] != u'\0')
            ++length;
        bool took = taken[index];
        if (!all && !took && get_file_facts(path, facts) != FileResult::absent) {
            std::memcpy(alone, path, 2 * (std::size_t{length} + 1));
            alone[length + 1] = u'\0';
            move_to_recycle_bin(alone, &took);
        }
        if (took)
            note_taken(path, length);
        path += length + 1;
    }
    queued = 0;
}

}  // namespace

void look_at_listed_files()
{
    files_cancelled = false;
    std::uint32_t done = 0;
    for (const bool folders : {false, true}) {
        if (!files_listed || !open_file_list())
            return;
        ListEntry entry;
        while (next_list_entry(entry)) {
            if (!advance_progress(CleaningStep::looking_at_files, done++)) {
                files_cancelled = true;
                break;
            }
            std::uint32_t length = 0;
            ListedPath* record = record_of(entry, !folders, length);
            if (record == nullptr)
                continue;
            if (!folders) {
                // A line the user added names something the report did not see.
                record->listed = true;
                record->folder = entry.folder;
                if (!entry.folder)
                    decide_file(*record);
            } else if (entry.folder) {
                std::memcpy(walk, real, 2 * (std::size_t{length} + 1));
                decide_folder(*record, length);
            }
        }
        close_file_list();
        if (files_cancelled)
            return;
    }
}

void hold_in_use(const char16_t* path, std::uint32_t length)
{
    for (bool file = true; length > 2; file = false) {
        ListedPath* record = listed_path(path, length, false);
        if (record != nullptr && record->listed && record->folder != file &&
            (record->state == PathState::goes || record->state == PathState::holds_other))
            record->state = PathState::in_use;
        while (length > 0 && path[length - 1] != u'\\')
            --length;
        length = length > 0 ? length - 1 : 0;
    }
}

void recycle_listed_files()
{
    if (!files_listed || !open_file_list())
        return;
    advance_progress(CleaningStep::recycling, 0);
    ListEntry entry;
    queued = 0;
    while (next_list_entry(entry)) {
        std::uint32_t length = 0;
        ListedPath* record = record_of(entry, false, length);
        if (record == nullptr || record->state != PathState::goes || record->queued || parent_goes(length))
            continue;
        if (inside_folder_in_use(length)) {
            record->state = PathState::in_use;
            continue;
        }
        record->queued = true;
        if (queued + length + 2 > std::size(to_recycle))
            recycle_queued();
        std::memcpy(to_recycle + queued, real, 2 * (std::size_t{length} + 1));
        queued += length + 1;
    }
    close_file_list();
    recycle_queued();
}
