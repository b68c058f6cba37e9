// The reviewed files: one reading each, into a folder of administrators
// only, and the question about entries that were not written.
#include "review/review.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "review/written_entries.h"
#include "written/entry_hash.h"
#include "state/state.h"

namespace {

TextForm written_form;
char private_folder[path_size];
char copied_script[path_size];
char copied_list[path_size];
std::uint32_t own_entries;

const char* file_name_of(const char* path)
{
    const char* name = std::strrchr(path, '\\');
    const char* slash = std::strrchr(path, '/');
    name = slash != nullptr && (name == nullptr || slash > name) ? slash : name;
    return name == nullptr ? path : name + 1;
}

constexpr char no_private_copy[] =
    "The reviewed files could not be copied into a folder that only administrators can change. Nothing was changed.";

enum class Copy : std::uint8_t { done, unreadable, unwritable };

Copy copy_file(const char* from, const char* to)
{
    const FileHandle source = open_file_for_reading(from);
    if (source == invalid_file)
        return Copy::unreadable;
    const FileHandle copy = create_new_file_for_writing(to);
    if (copy == invalid_file) {
        close_file(source);
        return Copy::unwritable;
    }
    static char bytes[std::uint32_t{1} << 16];
    std::uint32_t read = 0;
    while ((read = read_file(source, bytes, sizeof bytes)) > 0)
        write_file(copy, bytes, read);
    close_file(source);
    return close_file(copy) ? Copy::done : Copy::unwritable;
}

bool refuse(const char* text)
{
    prompt_user(text, style_plain);
    discard_reviewed_copies();
    return false;
}

// Copies `path` into the private folder, and points `path` at the copy.
bool take_copy(char* path, char* copy)
{
    const int length = std::snprintf(copy, path_size, "%s\\%s", private_folder, file_name_of(path));
    char text[path_size + 96];
    switch (length > 0 && length < static_cast<int>(path_size) ? copy_file(path, copy) : Copy::unwritable) {
    case Copy::done:
        std::memcpy(path, copy, path_size);
        return true;
    case Copy::unreadable:
        std::snprintf(text, sizeof text, "'%s' could not be read back. Nothing was changed.", file_name_of(path));
        return refuse(text);
    default:
        return refuse(no_private_copy);
    }
}

}  // namespace

void remember_written_files()
{
    // The script's entries were remembered as it was written, unless it was
    // written otherwise.
    if (!streamed_script_form(written_form))
        walk_script_entries(script_path, EntryUse::remember, written_form);
    if (files_listed)
        walk_list_entries(EntryUse::remember);
    own_entries = 0;
}

bool take_reviewed_files()
{
    private_folder[0] = copied_script[0] = copied_list[0] = '\0';
    if (!create_private_directory(private_folder, sizeof private_folder)) {
        private_folder[0] = '\0';
        return refuse(no_private_copy);
    }
    if (!take_copy(script_path, copied_script) || (files_listed && !take_copy(list_path, copied_list)))
        return false;
    TextForm form = TextForm::ansi;
    forget_foreign_entries();
    if (!walk_script_entries(script_path, EntryUse::check, form) ||
        (files_listed && !walk_list_entries(EntryUse::check)))
        return refuse("The reviewed files could not be read back. Nothing was changed.");
    if (form != written_form)
        return refuse("'morvane.reg' was saved in another encoding than it was written in, which the registry "
                      "editor would read otherwise. Nothing was changed.");
    own_entries = foreign_entry_count();
    if (own_entries == 0)
        return true;
    char more[48] = "";
    if (own_entries > max_foreign_entries_shown)
        std::snprintf(more, sizeof more, "and %u more\n", own_entries - max_foreign_entries_shown);
    static char question[1280];
    std::snprintf(question, sizeof question,
                  "These entries are not as Morvane wrote them: they were added or changed.\n\n%s%s\n"
                  "Carry them out as your own, at your own risk? Cancel leaves everything untouched.",
                  foreign_entry_lines(), more);
    if (prompt_user(question, style_ok_cancel_warning) == button_ok)
        return true;
    discard_reviewed_copies();
    return false;
}

void discard_reviewed_copies()
{
    for (const char* copy : {copied_script, copied_list}) {
        if (copy[0] != '\0')
            delete_file(copy);
    }
    if (private_folder[0] != '\0')
        remove_directory(private_folder);
    private_folder[0] = copied_script[0] = copied_list[0] = '\0';
}

void append_review_note(char* text, std::size_t size)
{
    if (own_entries == 0)
        return;
    const std::size_t used = std::strlen(text);
    std::snprintf(text + used, size - used, "Entries of your own, carried out as you agreed: %u\n", own_entries);
}
