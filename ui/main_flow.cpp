// The main flow: tags, report, cleaning script and list of files, edit
// offer, confirmation, backup, import, the Recycle Bin, and what became of
// each entry.
#include "ui/main_flow.h"

#include <cstdio>
#include <cstring>

#include "backup/backup.h"
#include "convert/cleaning_script.h"
#include "convert/scheduled_tasks.h"
#include "convert/tag_list.h"
#include "files/file_sections.h"
#include "files/recycle.h"
#include "files/restart_moves.h"
#include "progress/progress.h"
#include "review/review.h"
#include "running/running.h"
#include "state/state.h"
#include "tasks/tasks.h"
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
bool compose_command_line(char (&command_line)[2 * path_size + 32], std::uint32_t directory_length,
                          const char* directory, const char* program, const char* options, const char* file)
{
    if (directory_length == 0 || directory_length >= path_size)
        return false;
    std::snprintf(command_line, sizeof command_line, "\"%s\\%s\"%s \"%s\"", directory, program, options, file);
    return true;
}

bool list_has_entries()
{
    return files_listed && file_count + folder_count + kept_file_count > 0;
}

// Notepad, once for the script and once for the list of files.
void offer_editing()
{
    const bool list = list_has_entries();
    if (prompt_user(list ? "'morvane.reg' and 'morvane-files.txt' have been created, do you want to edit them (at "
                           "your own risk)?"
                         : "'morvane.reg' has been created, do you want to edit it (at your own risk)?",
                    style_yes_no) != button_yes)
        return;
    char directory[path_size];
    char command_line[2 * path_size + 32];
    const std::uint32_t length = get_system_directory(directory, path_size);
    const char* const files[] = {script_path, list ? list_path : nullptr};
    for (const char* file : files) {
        if (file != nullptr && compose_command_line(command_line, length, directory, "notepad.exe", "", file))
            start_program(command_line, ShowMode::default_mode);
    }
}

bool cleaning_confirmed()
{
    char kept[384] = "";
    const std::int32_t state = kept_key_count - untied_count;
    if (state == 1)
        std::snprintf(kept, sizeof kept, "1 more is kept: it holds Windows' own state (see morvane.reg).\n");
    else if (state > 1)
        std::snprintf(kept, sizeof kept, "%d more are kept: they hold Windows' own state (see morvane.reg).\n",
                      state);
    if (untied_count > 0)
        std::snprintf(kept + std::strlen(kept), sizeof kept - std::strlen(kept),
                      "%d more in Windows' own trees are kept: nothing in the report ties them to the "
                      "installation.\n",
                      untied_count);
    if (report_view_guessed)
        std::snprintf(kept + std::strlen(kept), sizeof kept - std::strlen(kept),
                      "The report does not name the RegShot build that wrote it: its keys are taken as 32-bit "
                      "programs see them.\n");
    char values[96] = "";
    if (value_count > 0)
        std::snprintf(values, sizeof values, "%d value(s) added under keys that were already there go too.\n",
                      value_count);
    char set_back[96] = "";
    if (set_back_count > 0)
        std::snprintf(set_back, sizeof set_back, "%d value(s) the installation changed are set back.\n",
                      set_back_count);
    char files[128] = "";
    if (file_count + folder_count > 0)
        std::snprintf(files, sizeof files, "%d file(s) and %d folder(s) the installation added go to the Recycle Bin.\n",
                      file_count, folder_count);
    char running[2560] = "";
    find_what_runs();
    append_running_question(running, sizeof running);
    append_in_use_question(running, sizeof running, stopped_before_cleaning);
    append_task_question(running, sizeof running);
    const char* account = runs_as_signed_in_user()
                              ? ""
                              : "Morvane runs as an administrator who is not the user signed in: the Recycle Bin, the "
                                "backup and the temporary files are that administrator's.\n";
    char question[3584];
    std::snprintf(question, sizeof question,
                  "%d registry key(s) found parsing report.\n%s%s%s%s%s%s\n"
                  "CONTINUE WITH CLEANING?\n"
                  "Warning: if you are editing %s, close %s NOW.",
                  key_count, values, set_back, files, kept, running, account,
                  list_has_entries() ? "'morvane.reg' or 'morvane-files.txt'" : "'morvane.reg'",
                  list_has_entries() ? "them" : "it");
    return prompt_user(question, style_ok_cancel) == button_ok;
}

// Cancel during the steps before anything is deleted.
bool cancelled()
{
    if (!backup_cancelled && !files_cancelled)
        return false;
    end_progress();
    report_cancelled();
    return true;
}

// Nothing is deleted that the backup could not save unless the user says so.
// The progress window makes way for the question.
bool cleaning_agreed()
{
    if (backup_problem_count == 0)
        return true;
    end_progress();
    char more[48] = "";
    if (backup_problem_count > max_backup_problems_shown)
        std::snprintf(more, sizeof more, "and %u more\n", backup_problem_count - max_backup_problems_shown);
    char question[sizeof backup_problems + 192];
    std::snprintf(question, sizeof question,
                  "The backup cannot save everything that cleaning would delete:\n\n%s%s\n"
                  "Clean anyway? Cancel leaves the registry untouched.",
                  backup_problems, more);
    if (prompt_user(question, style_ok_cancel_warning) != button_ok)
        return false;
    begin_progress();
    return true;
}

}  // namespace

void report_cleaning(bool editor_ran)
{
    check_listed_files(check_cleaning());
    end_progress();
    static char text[8192];
    std::snprintf(text, sizeof text, "%s\n\n",
                  editor_ran ? "Cleaning finished." : "The registry editor could not be started.");
    append_cleaning_result(text, sizeof text);
    append_files_result(text, sizeof text);
    append_running_result(text, sizeof text);
    append_task_result(text, sizeof text);
    append_review_note(text, sizeof text);
    std::strncat(text, "\n", sizeof text - std::strlen(text) - 1);
    append_backup_note(text, sizeof text, recycled_count() + removed_task_count() > 0);
    append_service_note(text, sizeof text);
    append_recycle_note(text, sizeof text);
    append_restart_note(text, sizeof text);
    if (restart_finishes_running() || files_kept_in_use())
        std::strncat(text, "\n\nRestart Windows to finish.", sizeof text - std::strlen(text) - 1);
    prompt_user(text, style_plain);
}

namespace {

// From the copies of the reviewed files.
void clean()
{
    back_up_listed_keys();
    if (cancelled() || !cleaning_agreed())
        return;
    stop_what_runs();
    look_at_listed_files();
    if (cancelled())
        return;
    hold_running_programs();
    remove_installation_tasks();
    advance_progress(CleaningStep::deleting, 0);
    char directory[path_size];
    char command_line[2 * path_size + 32];
    const bool ran = compose_command_line(command_line, registry_editor_directory(directory), directory,
                                          "regedit.exe", " -s", script_path) &&
                     run_program_to_end(command_line, ShowMode::hidden);
    recycle_listed_files();
    register_moves_at_restart();
    report_cleaning(ran);
}

}  // namespace

int main_flow()
{
    load_tag_list();
    load_section_tags();
    choose_report_file();
    build_cleaning_script();
    build_file_list();
    if (key_count + value_count + set_back_count + file_count + folder_count +
            static_cast<std::int32_t>(installation_task_count()) ==
        0)
        end_with_nothing_to_do();

    remember_written_files();
    offer_editing();
    if (!cleaning_confirmed())
        return 0;
    // The window appears once the work has taken a moment, and the reading
    // of the reviewed files is part of it; it is not shown while the review
    // asks, since nothing answers its messages then.
    begin_progress();
    if (!take_reviewed_files()) {
        end_progress();
        return 0;
    }
    clean();
    discard_reviewed_copies();
    return 0;
}
