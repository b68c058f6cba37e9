// Windows moves a file at boot before any program can open it, but only
// within its volume: the files go into a folder of this cleaning's beside
// the backup, or, on another volume, into an administrators-only folder of
// Morvane's on their own. Nothing is registered to be deleted; a folder is
// registered for removal only once all it holds moves, and Windows removes
// it only when it is empty then.
#include "files/restart_moves.h"

#include <cstdio>
#include <cstring>
#include <iterator>

#include "backup/backup.h"
#include "convert/name_hash.h"
#include "files/file_list.h"
#include "files/file_view.h"
#include "files/listed_paths.h"
#include "state/state.h"

namespace {

constexpr std::uint32_t name_size = 32768;
constexpr std::uint32_t names_shown = 4;
constexpr std::uint32_t name_width = 100;

char16_t real[name_size];
char16_t target[name_size];
char16_t entry_name[name_size];
char16_t folder[path_size + 32];  // this cleaning's, beside the backup
std::uint32_t folder_length;
char16_t folder_root[path_size + 32];
char16_t item_root[name_size];
// The last folder made on another volume, and that volume's root.
char16_t other[path_size];
char16_t other_root[path_size];
std::uint32_t other_length;
char folder_text[path_size + 32];
std::uint32_t registered;
std::uint32_t earlier;  // registered by an earlier cleaning
bool elsewhere;         // some went to Morvane's folder on their own volume

bool same_root(const char16_t* a, const char16_t* b)
{
    std::uint32_t length = 0;
    while (a[length] != u'\0' && b[length] != u'\0')
        ++length;
    return a[length] == b[length] && same_name(a, b, length);
}

bool learn_folder()
{
    if (folder_length > 0)
        return true;
    if (!backup_side_folder("restart", folder_text, sizeof folder_text, false))
        return false;
    const std::uint32_t bytes = ansi_to_utf16le(folder_text, static_cast<std::uint32_t>(std::strlen(folder_text)),
                                                reinterpret_cast<char*>(folder), sizeof folder - 2);
    folder_length = bytes / 2;
    folder[folder_length] = u'\0';
    if (folder_length == 0 || !make_folders(folder, FolderAccess::user_reads) ||
        volume_root(folder, folder_root, path_size + 32) == 0)
        folder_length = 0;
    return folder_length > 0;
}

// "<folder>\C\Program Files\...": the item's own path below the folder, so
// that it is found by its name; its folders are made now, as the move at
// boot makes none.
bool target_of(std::uint32_t length)
{
    if (length < 4 || real[1] != u':' || !learn_folder())
        return false;
    const std::uint32_t root_length = volume_root(real, item_root, name_size);
    if (root_length == 0)
        return false;
    std::uint32_t used = 0;
    if (same_root(item_root, folder_root)) {
        std::memcpy(target, folder, 2 * std::size_t{folder_length});
        used = folder_length;
    } else if (same_root(item_root, other_root)) {
        used = other_length;
        std::memcpy(target, other, 2 * std::size_t{used});
    } else {
        // A folder no one could foresee at the volume's root, that only
        // administrators may change: a move at boot runs as the system.
        unsigned char random[8];
        get_random_bytes(random, sizeof random);
        used = root_length - (item_root[root_length - 1] == u'\\' ? 1 : 0);
        std::memcpy(target, item_root, 2 * std::size_t{used});
        constexpr char16_t own[] = u"\\Morvane-";
        std::memcpy(target + used, own, sizeof own - 2);
        used += 9;
        for (const unsigned char byte : random) {
            target[used++] = u"0123456789abcdef"[byte >> 4];
            target[used++] = u"0123456789abcdef"[byte & 15];
        }
        target[used] = u'\0';
        if (used + 1 >= std::size(other) || root_length + 1 > std::size(other_root) ||
            !make_folders(target, FolderAccess::administrators))
            return false;
        std::memcpy(other, target, 2 * std::size_t{used});
        std::memcpy(other_root, item_root, 2 * std::size_t{root_length + 1});
        other_length = used;
        elsewhere = true;
    }
    if (used + length + 2 >= name_size)
        return false;
    target[used++] = u'\\';
    target[used++] = real[0];
    std::memcpy(target + used, real + 2, 2 * std::size_t{length - 2});
    used += length - 2;
    std::uint32_t parent = used;
    while (target[parent - 1] != u'\\')
        --parent;
    target[parent - 1] = u'\0';
    const bool made = make_folders(target, FolderAccess::inherited);
    target[parent - 1] = u'\\';
    target[used] = u'\0';
    return made;
}

void register_move(ListedPath& record, std::uint32_t length, bool folder_item)
{
    if (move_registered(real)) {
        record.state = PathState::at_restart;
        ++earlier;
        return;
    }
    const bool moved = folder_item ? move_at_restart(real, nullptr) : target_of(length) && move_at_restart(real, target);
    record.state = moved ? PathState::at_restart : PathState::restart_refused;
    registered += moved ? 1 : 0;
}

// Everything the folder holds is listed and moves at the restart.
bool empties(std::uint32_t length)
{
    FolderListing listing = 0;
    if (open_folder_listing(real, listing) != FileResult::ok)
        return false;
    bool all = true;
    FileFacts facts{};
    while (all && next_folder_entry(listing, entry_name, name_size - length - 2, facts)) {
        std::uint32_t name_length = 0;
        while (entry_name[name_length] != u'\0')
            ++name_length;
        real[length] = u'\\';
        std::memcpy(real + length + 1, entry_name, 2 * std::size_t{name_length});
        const ListedPath* child = listed_path(real, length + 1 + name_length, false);
        all = child != nullptr && child->listed && child->folder == facts.folder && child->state == PathState::at_restart;
    }
    close_folder_listing(listing);
    real[length] = u'\0';
    return all;
}

std::uint32_t depth_of(std::uint32_t length)
{
    std::uint32_t depth = 0;
    for (std::uint32_t i = 0; i < length; ++i)
        depth += real[i] == u'\\' ? 1 : 0;
    return depth;
}

// Each listed item of the kind (folders or files) at the depth that is in
// use; with `depth` 0, each at any depth, and the deepest depth found.
std::uint32_t register_items(bool folders, std::uint32_t depth)
{
    std::uint32_t deepest = 0;
    if (!open_file_list())
        return 0;
    ListEntry entry;
    while (next_list_entry(entry)) {
        const std::uint32_t length = entry.folder == folders ? real_path(entry.path, entry.length, real, name_size) : 0;
        ListedPath* record = length == 0 ? nullptr : listed_path(real, length, false);
        if (record == nullptr || !record->listed || record->folder != folders || record->state != PathState::in_use)
            continue;
        const std::uint32_t at = depth_of(length);
        deepest = at > deepest ? at : deepest;
        if (depth == 0 ? !folders : at == depth && empties(length))
            register_move(*record, length, folders);
    }
    close_file_list();
    return deepest;
}

}  // namespace

void register_moves_at_restart()
{
    registered = earlier = 0;
    if (!files_listed)
        return;
    register_items(false, 0);
    for (std::uint32_t depth = register_items(true, 0); depth > 0; --depth)
        register_items(true, depth);
}

void append_in_use_question(char* text, std::size_t size,
                            bool (*stopped_first)(const char16_t* path, std::uint32_t length, bool folder))
{
    if (!files_listed || !open_file_list())
        return;
    std::uint32_t counts[2] = {0, 0};
    char names[names_shown * (name_width + 8)] = "";
    ListEntry entry;
    FileFacts facts{};
    while (next_list_entry(entry)) {
        const std::uint32_t length = real_path(entry.path, entry.length, real, name_size);
        if (length == 0 || get_file_facts(real, facts) != FileResult::ok || facts.folder != entry.folder ||
            !file_in_use(real) || stopped_first(real, length, entry.folder))
            continue;
        if (counts[0] + counts[1] < names_shown) {
            char name[name_width];
            const std::uint32_t shown = utf16_to_ansi(entry.path, entry.length, name, sizeof name);
            const std::size_t used = std::strlen(names);
            std::snprintf(names + used, sizeof names - used, "%s%.*s%s%s", used == 0 ? "" : ", ",
                          static_cast<int>(shown), name, entry.length > shown ? "..." : "", entry.folder ? "\\" : "");
        }
        ++counts[entry.folder ? 1 : 0];
    }
    close_file_list();
    const std::uint32_t total = counts[0] + counts[1];
    if (total == 0)
        return;
    const std::size_t used = std::strlen(text);
    std::snprintf(text + used, size - used,
                  "%u file(s) and %u folder(s) in use are moved out when Windows restarts.\n%s%s\n", counts[0],
                  counts[1], names, total > names_shown ? " and more" : "");
}

void append_restart_note(char* text, std::size_t size)
{
    if (registered + earlier == 0)
        return;
    const std::size_t used = std::strlen(text);
    std::snprintf(text + used, size - used,
                  "\nWhat is in use moves out when Windows restarts: files into %s%s, by their full names, "
                  "listed folders removed once empty. Move a file back from there to restore it.%s",
                  folder_length > 0 ? folder_text : "Morvane's folder",
                  elsewhere ? " (on another drive, into a folder \"Morvane-...\" at its root)" : "",
                  earlier > 0 ? " Some were registered by an earlier cleaning, and move where it said." : "");
}
