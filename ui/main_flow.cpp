// The main flow: tags, report, cleaning script, edit offer, confirmation, import.
#include "ui/main_flow.h"

#include <cstdio>

#include "convert/cleaning_script.h"
#include "convert/tag_list.h"
#include "state/state.h"
#include "ui/report_chooser.h"

namespace {

// The script path is quoted: unquoted, a temporary directory with a space in
// it splits into several file names and nothing gets imported.
void start_with_script(const char* program, ShowMode show)
{
    char command_line[32 + path_size];
    std::snprintf(command_line, sizeof command_line, "%s \"%s\"", program, script_path);
    start_program(command_line, show);
}

}  // namespace

int main_flow()
{
    load_tag_list();
    choose_report_file();
    build_cleaning_script();

    if (prompt_user("'morvane.reg' has been created, do you want to edit it (at your own risk)?", style_yes_no) ==
        button_yes)
        start_with_script("notepad.exe", ShowMode::default_mode);

    char question[192];
    std::snprintf(question, sizeof question,
                  "%d registry key(s) found parsing report.\n\n"
                  "CONTINUE WITH CLEANING?\n"
                  "Warning: if you are editing 'morvane.reg', close it NOW.",
                  key_count);
    if (prompt_user(question, style_ok_cancel) == button_ok)
        start_with_script("regedit.exe -s", ShowMode::hidden);
    return 0;
}
