// What the installation left running: which services and programs are its
// own, what is stopped, and what the question and the closing message say.
#include <gtest/gtest.h>


#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "backup/backup.h"
#include "convert/cleaning_script.h"
#include "convert/tag_list.h"
#include "files/file_sections.h"
#include "files/recycle.h"
#include "progress/progress.h"
#include "review/review.h"
#include "running/running.h"
#include "running/service_keys.h"
#include "state/state.h"
#include "tests/test_support.h"
#include "ui/main_flow.h"

namespace {

namespace fs = std::filesystem;

TEST(Running, OnlyAServicesOwnKeyNamesIt)
{
    const std::pair<std::u16string, std::u16string> rows[] = {
        {u"SYSTEM\\CurrentControlSet\\Services\\FernSvc", u"FernSvc"},
        {u"SYSTEM\\ControlSet001\\Services\\FernSvc", u"FernSvc"},
        {u"system\\controlset002\\services\\Fern Svc", u"Fern Svc"},
        {u"SYSTEM\\ControlSet001\\Services\\FernSvc\\Parameters", u""},
        {u"SYSTEM\\ControlSet001\\Services", u""},
        {u"SYSTEM\\ControlSet001\\Services\\", u""},
        {u"SYSTEM\\ControlSet1\\Services\\FernSvc", u""},
        {u"SYSTEM\\ControlSet0001\\Services\\FernSvc", u""},
        {u"SYSTEM\\ControlSetABC\\Services\\FernSvc", u""},
        {u"SYSTEM\\Setup\\Services\\FernSvc", u""},
        {u"SOFTWARE\\SYSTEM\\CurrentControlSet\\Services\\FernSvc", u""},
        {u"SYSTEM\\CurrentControlSet\\Servicesx\\FernSvc", u""},
        {u"SYSTEM\\CurrentControlSet\\Services\\" + std::u16string(256, u'n'), std::u16string(256, u'n')},
        {u"SYSTEM\\CurrentControlSet\\Services\\" + std::u16string(257, u'n'), u""},
    };
    for (const auto& [path, name] : rows) {
        const std::uint32_t at = service_key_name(path.data(), static_cast<std::uint32_t>(path.size()));
        EXPECT_EQ(at == 0 ? u"" : path.substr(at), name)
            << test::utf8_from_utf16le(std::string(reinterpret_cast<const char*>(path.data()), 2 * path.size()));
    }
}

// An installation's services (by the keys the report lists, or by their
// programs) and programs, beside the system's own and another program of
// the same name; one service that something holds, so that it goes only at
// the restart, a driver and a per-user instance, which are never stopped.
// The user comments one service out after the question,
// and is asked whether to end the program that does not close: No after
// the x64 report, Yes after the x86 one.
TEST(Running, StopsWhatTheReviewedEntriesLeadTo)
{
    const std::vector<std::string> keys = {"ControlSet001\\Services\\FernSvc",
                                           "CurrentControlSet\\Services\\FERNSVC",
                                           "ControlSet002\\Services\\FernHelper\\Parameters",
                                           "CurrentControlSet\\Services\\FernBase",
                                           "CurrentControlSet\\Services\\FernDep",
                                           "CurrentControlSet\\Services\\FernHang",
                                           "CurrentControlSet\\Services\\FernGone",
                                           "CurrentControlSet\\Services\\FernEdited",
                                           "CurrentControlSet\\Services\\iphlpsvc",
                                           "ControlSet1\\Services\\FernOdd",
                                           "CurrentControlSet\\Services\\FernHeld",
                                           "CurrentControlSet\\Services\\FernDrv",
                                           "CurrentControlSet\\Services\\FernUser"};
    // State, command line, process id and dependencies.
    const std::vector<std::pair<std::string, std::string>> services = {
        {"FernSvc", "running\n\"C:\\Program Files\\Fern\\fernsvc.exe\"\n501\n"},
        {"FernHelper", "running\nC:\\Windows\\System32\\svchost.exe -k helper\n900\n"},
        {"FernBase", "running\nC:\\Windows\\System32\\svchost.exe -k fern\n900\n"},
        {"FernDep", "running\n\"C:\\Program Files\\Fern\\fernsvc.exe\" -dep\n502\nFernBase\n"},
        {"FernHang", "hangs\nC:\\Other\\hang.exe\n503\n"},
        {"FernEdited", "running\nC:\\Other\\edited.exe\n504\n"},
        {"iphlpsvc", "running\nC:\\Windows\\System32\\svchost.exe -k netsvcs\n900\n"},
        {"FernOdd", "running\nC:\\Other\\odd.exe\n506\n"},
        {"FernAgent", "running\nC:\\Program Files\\Fern\\agent.exe -run\n505\n"},
        {"Spooler", "running\nC:\\Windows\\System32\\spoolsv.exe\n906\n"},
        {"FernHeld", "held\nC:\\Other\\held.exe\n507\n"},
        {"FernDrv", "driver\n\\SystemRoot\\System32\\drivers\\ferndrv.sys\n0\n"},
        {"FernUser", "instance\nC:\\Windows\\System32\\svchost.exe -k UnistackSvcGroup\n900\n"},
    };
    // Program and answer.
    const std::vector<std::pair<int, std::string>> processes = {
        {501, "C:\\Program Files\\Fern\\fernsvc.exe\nrefuses"},
        {502, "C:\\Program Files\\Fern\\fernsvc.exe\nrefuses"},
        {503, "C:\\Other\\hang.exe\nrefuses"},
        {504, "C:\\Other\\edited.exe\nrefuses"},
        {505, "C:\\Program Files\\Fern\\agent.exe\nrefuses"},
        {506, "C:\\Other\\odd.exe\nrefuses"},
        {507, "C:\\Other\\held.exe\nrefuses"},
        {601, "C:\\Program Files\\Fern\\tray.exe\ncloses"},
        {602, "C:\\PROGRAM FILES\\FERN\\TRAY.EXE\ncloses"},
        {603, "C:\\Program Files\\Fern\\stubborn.exe\nrefuses"},
        {604, "C:\\Other\\tray.exe\ncloses"},
        {605, "C:\\Program Files\\Fern\\locked.exe\nsealed"},
        {606, "C:\\Windows\\SysWOW64\\fernhelper.exe\ncloses"},
        {607, "C:\\Windows\\System32\\fernhelper.exe\ncloses"},
        {900, "C:\\Windows\\System32\\svchost.exe\nrefuses"},
        {906, "C:\\Windows\\System32\\spoolsv.exe\nrefuses"},
    };
    const std::vector<std::string> files = {"Program Files\\Fern\\fernsvc.exe", "Program Files\\Fern\\agent.exe",
                                            "Program Files\\Fern\\tray.exe",    "Program Files\\Fern\\stubborn.exe",
                                            "Program Files\\Fern\\locked.exe",  "Windows\\System32\\fernhelper.exe"};
    for (const std::string title : {"Regshot 1.9.0 x64 Unicode", "Regshot 1.9.0 x86 Unicode"}) {
        const bool x64 = title.find("x64") != std::string::npos;
        test::Sandbox sandbox;
        const fs::path c = sandbox.root / "drives" / "C";
        const fs::path registry = sandbox.root / "registry";
        const fs::path services_dir = sandbox.root / "services";
        const fs::path processes_dir = sandbox.root / "processes";
        for (const fs::path& dir : {c / "Program Files/Fern", c / "Windows/System32", c / "Windows/SysWOW64",
                                    sandbox.root / "bin", services_dir, processes_dir, sandbox.root / "AppData"})
            fs::create_directories(dir);
        std::string report = title + "\r\n\r\n----\r\nKeys added: " + std::to_string(keys.size()) + "\r\n----\r\n";
        for (const std::string& key : keys) {
            report += "HKLM\\SYSTEM\\" + key + "\r\n";
            std::string native = "HKEY_LOCAL_MACHINE/SYSTEM/" + key;
            std::replace(native.begin(), native.end(), '\\', '/');
            test::set_value(registry / native, "ImagePath", 1, test::utf16le("x") + std::string(2, '\0'));
        }
        report += "\r\n----\r\nFolders added: 1\r\n----\r\nC:\\Program Files\\Fern\r\n0x00000010\r\n\r\n";
        report += "----\r\nFiles added: " + std::to_string(files.size()) + "\r\n----\r\n";
        for (std::string file : files) {
            std::string native = x64 || !file.starts_with("Windows") ? file : "Windows\\SysWOW64" + file.substr(16);
            std::replace(native.begin(), native.end(), '\\', '/');
            test::write_bytes(c / native, file);
            report += "C:\\" + file + "\r\n" + test::file_data_line(c / native) + "\r\n";
        }
        test::write_bytes(sandbox.work / "report.txt", test::utf16le(report + "\r\n"));
        for (const auto& [name, facts] : services)
            test::write_bytes(services_dir / name, facts);
        for (const auto& [id, facts] : processes)
            test::write_bytes(processes_dir / std::to_string(id), facts + "\n");

        const test::Outcome outcome = test::run_isolated(
            sandbox,
            [&] {
                setenv("MORVANE_DRIVES_DIR", (sandbox.root / "drives").c_str(), 1);
                setenv("MORVANE_RECYCLE_BIN_DIR", (sandbox.root / "bin").c_str(), 1);
                setenv("MORVANE_WINDOWS_DIR", "C:\\Windows", 1);
                setenv("MORVANE_SYSTEM_DIR", "C:\\Windows\\System32", 1);
                setenv("MORVANE_WOW64_DIR", "C:\\Windows\\SysWOW64", 1);
                setenv("MORVANE_PROGRAM_DATA_DIR", "C:\\ProgramData", 1);
                setenv("MORVANE_REGISTRY_DIR", registry.c_str(), 1);
                setenv("MORVANE_LOCAL_APPDATA_DIR", (sandbox.root / "AppData").c_str(), 1);
                setenv("MORVANE_SERVICES_DIR", services_dir.c_str(), 1);
                setenv("MORVANE_PROCESSES_DIR", processes_dir.c_str(), 1);
                test::convert_report("report.txt");
                remember_written_files();
                static char question[2048];
                find_what_runs();
                append_running_question(question, sizeof question);
                std::printf("%s", question);
                std::string script = test::read_bytes(sandbox.script());
                const std::string edited =
                    test::utf16le("[-HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\FernEdited]");
                script.insert(script.find(edited), test::utf16le(";"));
                test::write_bytes(sandbox.script(), script);
                if (!take_reviewed_files())
                    return;
                begin_progress();
                back_up_listed_keys();
                stop_what_runs();
                look_at_listed_files();
                hold_running_programs();
                recycle_listed_files();
                report_cleaning(true);
            },
            x64 ? "no\n" : "yes\n");
        std::string left;
        for (const auto& entry : fs::directory_iterator(services_dir)) {
            const std::string state = test::read_bytes(entry.path());
            left += entry.path().filename().string() + ":" + state.substr(0, state.find('\n')) + " ";
        }
        for (const auto& entry : fs::directory_iterator(processes_dir))
            left += entry.path().filename().string() + " ";
        std::vector<std::string> sorted;
        for (std::size_t at = 0, end; (end = left.find(' ', at)) != std::string::npos; at = end + 1)
            sorted.push_back(left.substr(at, end - at));
        std::sort(sorted.begin(), sorted.end());
        std::string remaining;
        for (const std::string& entry : sorted)
            remaining += entry + " ";
        EXPECT_EQ(remaining, std::string("503 504 506 ") + (x64 ? "603 " : "") + "604 605 " + (x64 ? "606 " : "607 ") +
                                 "900 906 FernAgent:stopped FernDrv:driver FernEdited:running FernHang:hangs FernHeld:marked "
                                 "FernHelper:running FernOdd:running FernUser:instance Spooler:running "
                                 "iphlpsvc:running ")
            << title;
        const std::string& output = outcome.output;
        EXPECT_EQ(output.substr(0, output.find(test::caption)),
                  "4 program(s) and 7 service(s) of the installation are running: they are stopped first.\n"
                  "FernSvc, FernBase, FernDep, FernHang and 7 more\n");
        EXPECT_NE(output.find(test::caption + "These programs of the installation did not close when asked:\n\n"
                                              "C:\\Program Files\\Fern\\stubborn.exe\n\nEnd them now?"),
                  std::string::npos);
        const std::size_t result = output.find("\nServices stopped");
        EXPECT_EQ(output.substr(result, output.find("\nBackup: ") - result),
                  std::string("\nServices stopped and removed: 3\nServices stopped, still registered: 1\n"
                              "Services stopped, removed when Windows restarts: 1\nFernHeld\n"
                              "Drivers whose keys are deleted, loaded until Windows restarts: 1\nFernDrv\n"
                              "Programs closed: 3\n") +
                      (x64 ? "Still running: 3\nFernHang: did not stop in time\n"
                             "C:\\Program Files\\Fern\\stubborn.exe: left running\n"
                           : "Programs ended: 1\nStill running: 2\nFernHang: did not stop in time\n") +
                      "locked.exe: could not be looked at\n")
            << title;
        EXPECT_TRUE(output.ends_with("\nA service restored from the backup runs again after a restart. Restore it "
                                     "only after Windows has restarted: until then the service manager deletes a "
                                     "restored service's key.\n"
                                     "The files and folders are in the Recycle Bin: restore them from there.\n\n"
                                     "Restart Windows to finish.\n"))
            << output;
        // A program left running keeps its folder, as in use.
        EXPECT_EQ(fs::exists(c / "Program Files/Fern/stubborn.exe"), x64) << title;
        EXPECT_EQ(output.find("C:\\Program Files\\Fern\\: in use\n") != std::string::npos, x64) << title;
    }
}

}  // namespace
