// The installation's scheduled tasks: which listed cache keys and task
// files make a task its own, and their removal through the Task Scheduler.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "backup/backup.h"
#include "convert/cleaning_script.h"
#include "convert/scheduled_tasks.h"
#include "convert/tag_list.h"
#include "files/file_sections.h"
#include "files/recycle.h"
#include "progress/progress.h"
#include "review/review.h"
#include "state/state.h"
#include "tasks/tasks.h"
#include "tests/test_support.h"
#include "ui/main_flow.h"

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

const std::string cache = "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Schedule\\TaskCache\\";
const std::string updater_id = "{0A1B2C3D-0000-4000-8000-00000000000A}";
const std::string helper_id = "{0A1B2C3D-0000-4000-8000-00000000000B}";
const std::string foreign_id = "{0A1B2C3D-0000-4000-8000-00000000000C}";

}  // namespace

// Vendor\Updater and Vendor\Helper by their cache keys (the user deletes
// Helper's line), Other by a leaf key without Id (the scheduler refuses it),
// Gone (the scheduler no longer knows it) likewise, FileOnly by its file
// alone. Microsoft's task, another task's cache entry
// and its run-time value are not the installation's.
TEST(Tasks, OnlyTheInstallationsGoThroughTheTaskScheduler)
{
    struct Row {
        std::string key;
        std::string line;  // the comment before its line, or "" for an entry as before
    };
    const std::string task_line = "; Removed through the Task Scheduler: ";
    const std::string with_task = "; Removed through the Task Scheduler, with its task. ";
    const Row keys[] = {
        {"Tree\\Vendor", with_task},
        {"Tree\\Vendor\\Updater", task_line + "\\Vendor\\Updater. Delete this line to keep the task."},
        {"Tree\\Vendor\\Helper", task_line + "\\Vendor\\Helper. Delete this line to keep the task."},
        {"Tree\\Other", task_line + "\\Other. Delete this line to keep the task."},
        {"Tree\\Gone", task_line + "\\Gone. Delete this line to keep the task."},
        {"Tasks\\" + updater_id, with_task},
        {"Plain\\" + updater_id, with_task},
        {"Tasks\\" + helper_id, with_task},
        {"Tree\\Microsoft\\Windows\\Fern", "; Kept: in Windows' own tree"},
        {"Tasks\\" + foreign_id, "; Kept: in Windows' own tree"},
        {"Tree\\..\\Escape", ""},
    };
    test::Sandbox sandbox;
    const fs::path c = sandbox.root / "drives" / "C";
    const fs::path tasks = c / "Windows" / "System32" / "Tasks";
    const fs::path registry = sandbox.root / "registry";
    for (const fs::path& dir : {tasks / "Vendor", tasks / "Microsoft" / "Windows", sandbox.root / "AppData"})
        fs::create_directories(dir);
    for (const char* task : {"Vendor/Updater", "Vendor/Helper", "FileOnly", "Microsoft/Windows/Fern"})
        test::write_bytes(tasks / task, std::string("<Task>") + task + "</Task>");
    test::write_bytes(tasks / "Other", "denied\n");
    const std::string native_cache =
        "HKEY_LOCAL_MACHINE/SOFTWARE/Microsoft/Windows NT/CurrentVersion/Schedule/TaskCache/";
    std::string report = "Regshot 1.9.0 x64 Unicode\r\n\r\n----\r\nKeys added: 11\r\n----\r\n";
    for (const Row& row : keys)
        report += cache + row.key + "\r\n";
    report += "\r\n----\r\nValues added: 3\r\n----\r\n";
    for (const auto& [task, id] : {std::pair{"Updater", updater_id}, std::pair{"Helper", helper_id}}) {
        report += cache + "Tree\\Vendor\\" + task + "\\Id: \"" + id + "\"\r\n";
        test::set_value(registry / (native_cache + "Tree/Vendor/" + task), "Id", 1, test::utf16le(id) + "\0\0"s);
    }
    report += cache + "Tasks\\" + updater_id + "\\Path: \"\\Vendor\\Updater\"\r\n";
    test::set_value(registry / (native_cache + "Tasks/" + updater_id), "Path", 1,
                    test::utf16le("\\Vendor\\Updater") + "\0\0"s);
    report += "\r\n----\r\nValues modified: 1\r\n----\r\n" + cache + "Tasks\\" + foreign_id +
              "\\DynamicInfo: 01 02\r\n" + cache + "Tasks\\" + foreign_id + "\\DynamicInfo: 03 04\r\n";
    test::set_value(registry / (native_cache + "Tasks/" + foreign_id), "DynamicInfo", 3, "\x03\x04");
    report += "\r\n----\r\nFolders added: 1\r\n----\r\nC:\\Windows\\System32\\Tasks\\Vendor\r\n0x00000010\r\n";
    report += "\r\n----\r\nFiles added: 3\r\n----\r\n";
    for (const char* file : {"Vendor\\Updater", "FileOnly", "Microsoft\\Windows\\Fern"}) {
        std::string native = file;
        std::replace(native.begin(), native.end(), '\\', '/');
        report += "C:\\Windows\\System32\\Tasks\\" + std::string(file) + "\r\n" +
                  test::file_data_line(tasks / native) + "\r\n";
    }
    test::write_bytes(sandbox.work / "report.txt", test::utf16le(report + "\r\n"));

    const test::Outcome outcome = test::run_isolated(sandbox, [&] {
        setenv("MORVANE_DRIVES_DIR", (sandbox.root / "drives").c_str(), 1);
        setenv("MORVANE_RECYCLE_BIN_DIR", (sandbox.root / "bin").c_str(), 1);
        setenv("MORVANE_WINDOWS_DIR", "C:\\Windows", 1);
        setenv("MORVANE_SYSTEM_DIR", "C:\\Windows\\System32", 1);
        setenv("MORVANE_REGISTRY_DIR", registry.c_str(), 1);
        setenv("MORVANE_LOCAL_APPDATA_DIR", (sandbox.root / "AppData").c_str(), 1);
        setenv("MORVANE_TASKS_DIR", tasks.c_str(), 1);
        test::convert_report("report.txt");
        remember_written_files();
        static char question[1024];
        append_task_question(question, sizeof question);
        std::printf("%s", question);
        std::string script = test::read_bytes(sandbox.script());
        test::write_bytes(sandbox.work / "written.reg", script);
        const std::string helper = test::utf16le(task_line + "\\Vendor\\Helper. Delete this line to keep the task.\r\n");
        script.erase(script.find(helper), helper.size());
        script += test::utf16le(task_line + "\\Microsoft\\Windows\\Fern. Delete this line to keep the task.\r\n");
        test::write_bytes(sandbox.script(), script);
        if (!take_reviewed_files())
            return;
        begin_progress();
        back_up_listed_keys();
        look_at_listed_files();
        remove_installation_tasks();
        recycle_listed_files();
        report_cleaning(true);
    });
    const std::string script = test::utf8_from_utf16le(test::read_bytes(sandbox.work / "written.reg").substr(2));
    for (const Row& row : keys) {
        const std::string entry = "[-HKEY_LOCAL_MACHINE" + cache.substr(4) + row.key + "]\r\n";
        if (row.line.empty()) {
            EXPECT_NE(script.find("\r\n" + entry), std::string::npos) << row.key;
            continue;
        }
        const std::size_t at = script.find(";" + entry);
        ASSERT_NE(at, std::string::npos) << row.key;
        const std::size_t comment = script.rfind("\r\n", at - 3) + 2;
        EXPECT_EQ(script.substr(comment, row.line.size()), row.line) << row.key;
    }
    EXPECT_NE(script.find(with_task + "Remove the ';' of the two lines below to delete it anyway.\r\n;[HKEY_LOCAL_MACHINE" +
                          cache.substr(4) + "Tree\\Vendor\\Updater]\r\n;\"Id\"=-"),
              std::string::npos);
    EXPECT_NE(script.find("; Kept: in Windows' own tree, and nothing in the report ties it to the installation. "
                          "Remove the ';' of the lines below to set it back anyway."),
              std::string::npos);
    const std::string list = test::utf8_from_utf16le(test::read_bytes(sandbox.temp / "morvane-files.txt").substr(2));
    EXPECT_NE(list.find(with_task + "Remove the ';' below to move it to the Recycle Bin anyway.\r\n"
                                    ";C:\\Windows\\System32\\Tasks\\Vendor\\\r\n" +
                        with_task + "Remove the ';' below to move it to the Recycle Bin anyway.\r\n"
                                    ";C:\\Windows\\System32\\Tasks\\Vendor\\Updater\r\n" +
                        task_line + "\\FileOnly. Delete this line to keep the task.\r\n"
                                    ";C:\\Windows\\System32\\Tasks\\FileOnly\r\n; Kept: Windows' own files"),
              std::string::npos)
        << list;

    std::string left;
    for (const auto& entry : fs::recursive_directory_iterator(tasks))
        left += fs::relative(entry.path(), tasks).string() + " ";
    EXPECT_EQ(left.size(), std::string("Vendor Vendor/Helper Other Microsoft Microsoft/Windows Microsoft/Windows/Fern ").size())
        << left;
    for (const char* kept : {"Vendor/Helper", "Other", "Microsoft/Windows/Fern"})
        EXPECT_TRUE(fs::exists(tasks / kept)) << kept;
    const fs::path backups = sandbox.root / "AppData" / "Morvane" / "Backups";
    fs::path saved;
    for (const auto& entry : fs::directory_iterator(backups))
        saved = entry.is_directory() ? entry.path() : saved;
    ASSERT_FALSE(saved.empty()) << outcome.output;
    EXPECT_EQ(test::read_bytes(saved / "Updater.xml"), "\xFF\xFE" + test::utf16le("<Task>Vendor/Updater</Task>"));
    EXPECT_EQ(test::read_bytes(saved / "FileOnly.xml"), "\xFF\xFE" + test::utf16le("<Task>FileOnly</Task>"));

    const std::string& output = outcome.output;
    EXPECT_EQ(output.substr(0, output.find(test::caption)),
              "5 scheduled task(s) of the installation are removed.\n"
              "\\Vendor\\Updater, \\Vendor\\Helper, \\Other, \\Gone and 1 more\n");
    const std::string folder = (sandbox.root / "AppData").string() + "\\Morvane\\Backups\\" +
                               saved.filename().string() + "\\";
    const std::size_t result = output.find("\nScheduled tasks");
    ASSERT_NE(result, std::string::npos) << output;
    EXPECT_EQ(output.substr(result, output.find("\n\n", result + 1) - result),
              "\nScheduled tasks removed: 2\nScheduled tasks already absent: 1\nNot removed: \\Other: the Task Scheduler refused: access denied\n"
              "To get a task back: schtasks /create /xml \"" + folder + "Updater.xml" +
                  "\" /tn \"\\Vendor\\Updater\"\n  schtasks /create /xml \"" + folder + "FileOnly.xml" +
                  "\" /tn \"\\FileOnly\"");
}
