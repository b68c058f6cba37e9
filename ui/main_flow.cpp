// The main flow: tags, report, cleaning script, edit offer, confirmation, import.
#include "ui/main_flow.h"

#include <cstdio>

#include "convert/cleaning_script.h"
#include "convert/tag_list.h"
#include "state/state.h"
#include "ui/report_chooser.h"

namespace {

// The registry editor of a 64-bit Windows' WOW64 directory imports into the
// registry view of 32-bit programs, the one of the Windows directory into
// the 64-bit view: the one in which RegShot saw the keys must delete them.
std::uint32_t registry_editor_directory(char* directory)
{
    if (!report_from_x64) {
        const std::uint32_t length = get_system_wow64_directory(directory, path_size);
        if (length != 0 && length < path_size)
            return length;
    }
    return get_windows_directory(directory, path_size);
}

// Programs are started by their full path: through the search path, a
// regedit.exe saved beside this program would run with its rights. Both
// paths are quoted, since either may hold spaces.
void start_with_script(std::uint32_t directory_length, const char* directory, const char* program,
                       const char* options, ShowMode show, void (*start)(const char*, ShowMode) = start_program)
{
    if (directory_length == 0 || directory_length >= path_size)
        return;
    char command_line[2 * path_size + 32];
    std::snprintf(command_line, sizeof command_line, "\"%s\\%s\"%s \"%s\"", directory, program, options,
                  script_path);
    start(command_line, show);
}

}  // namespace

int main_flow()
{
    load_tag_list();
    choose_report_file();
    build_cleaning_script();

    char directory[path_size];
    if (prompt_user("'morvane.reg' has been created, do you want to edit it (at your own risk)?", style_yes_no) ==
        button_yes)
        start_with_script(get_system_directory(directory, path_size), directory, "notepad.exe", "",
                          ShowMode::default_mode);

    char question[192];
    std::snprintf(question, sizeof question,
                  "%d registry key(s) found parsing report.\n\n"
                  "CONTINUE WITH CLEANING?\n"
                  "Warning: if you are editing 'morvane.reg', close it NOW.",
                  key_count);
    if (prompt_user(question, style_ok_cancel) == button_ok)
        start_with_script(registry_editor_directory(directory), directory, "regedit.exe", " -s", ShowMode::hidden,
                          start_program_as_named);
    return 0;
}
