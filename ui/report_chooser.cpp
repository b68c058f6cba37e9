// The open-file dialog that fills report_path.
#include "ui/report_chooser.h"

#include "state/state.h"

void choose_report_file()
{
    const OpenFileDialog dialog = {
        "RegShot TXT Report Files\0*.TXT\0All\0*.*\0",
        1,
        report_path,
        path_size,
        "\\",
        "Morvane 2 - Select RegShot TXT Report File",
        dialog_path_must_exist | dialog_file_must_exist,
    };
    // A failed dialog may leave part of a name, or the size it would have
    // needed, in the buffer: never open that.
    if (!show_open_file_dialog(dialog))
        report_path[0] = '\0';
}
