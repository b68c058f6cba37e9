// The native program from start to exit: messages, answers, started programs.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "tests/test_support.h"

namespace {

using test::caption;
using test::message;

const std::string tags_not_found =
    message("'tags.ini' not found.\nMorvane will only search for the standard 'Keys added' string.");
const std::string dialog = "Morvane 2 - Select RegShot TXT Report File\n";
const std::string edit_question =
    caption + "'morvane.reg' has been created, do you want to edit it (at your own risk)?\n[yes/no]\n";

std::string cleaning_question(const std::string& count)
{
    return caption + count +
           " registry key(s) found parsing report.\n\nCONTINUE WITH CLEANING?\n"
           "Warning: if you are editing 'morvane.reg', close it NOW.\n[ok/cancel]\n";
}

struct ProgramRun {
    int status;
    std::string output;
    std::string started;  // one line per started program: its arguments, each followed by '|'
};

// Stands in for Notepad and the registry editor in the system's directories,
// recording how they were started, and plants look-alikes on the search path
// and in the current directory, which must never run.
void install_fake_programs(const test::Sandbox& sandbox)
{
    const std::string log = (sandbox.root / "started.tmp").string();
    for (const char* directory : {"System32", "Windows", "SysWOW64", "bin", "work"}) {
        const auto where = sandbox.root / directory;
        std::filesystem::create_directories(where);
        for (const char* name : {"notepad.exe", "regedit.exe"}) {
            // One write per line, so that two programs never mix their lines.
            test::write_bytes(where / name, "#!/bin/sh\nline=$(printf '%s|' \"${0#" + sandbox.root.string() +
                                                "/}\" \"$@\")\nprintf '%s\\n' \"$line\" >> \"" + log + "\"\n");
            std::filesystem::permissions(where / name, std::filesystem::perms::owner_all);
        }
    }
}

// The started programs are not waited for: give them a bounded time to show.
// They may show in any order; the lines come back sorted.
std::string wait_for_started(const test::Sandbox& sandbox, std::size_t programs)
{
    const auto log = sandbox.root / "started.tmp";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(programs ? 10 : 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    std::string started = test::read_bytes(log);
    while (std::count(started.begin(), started.end(), '\n') < static_cast<long>(programs) &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        started = test::read_bytes(log);
    }
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; (end = started.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(started.substr(start, end - start + 1));
    std::sort(lines.begin(), lines.end());
    std::string sorted;
    for (const std::string& line : lines)
        sorted += line;
    return sorted;
}

ProgramRun run_program(const test::Sandbox& sandbox, const std::string& answers, std::size_t programs,
                       const std::filesystem::path& temp, const std::string& arguments = "", bool wow64 = true)
{
    install_fake_programs(sandbox);
    test::write_bytes(sandbox.root / "answers", answers);
    const auto root = sandbox.root.string();
    const std::string command = "cd '" + sandbox.work.string() + "' && TMPDIR='" + temp.string() + "' PATH='" +
                                root + "/bin:/usr/bin:/bin' MORVANE_SYSTEM_DIR='" + root +
                                "\\System32' MORVANE_WINDOWS_DIR='" + root + "/Windows' " +
                                (wow64 ? "MORVANE_WOW64_DIR='" + root + "/SysWOW64' " : "") + "'" MORVANE_BINARY "' " +
                                arguments + " < '" + (sandbox.root / "answers").string() + "' > '" +
                                (sandbox.root / "output").string() + "'";
    const int status = std::system(command.c_str());
    return {status, test::read_bytes(sandbox.root / "output"), wait_for_started(sandbox, programs)};
}

ProgramRun run_program(const test::Sandbox& sandbox, const std::string& answers, std::size_t programs)
{
    return run_program(sandbox, answers, programs, sandbox.temp);
}

std::string report_with_keys(int count)
{
    std::string report = "Keys added: " + std::to_string(count) + "\r\n";
    for (int i = 0; i < count; ++i)
        report += "HKLM\\SOFTWARE\\Fernwick\\Key" + std::to_string(i) + "\r\n";
    return report + "\r\n";
}

std::string write_report(const test::Sandbox& sandbox, int keys)
{
    const auto path = sandbox.work / "report.txt";
    test::write_bytes(path, report_with_keys(keys));
    return path.string();
}

TEST(MainFlow, CleansAfterConfirmation)
{
    test::Sandbox sandbox;
    const std::string report = write_report(sandbox, 16);
    const ProgramRun run = run_program(sandbox, report + "\nno\nok\n", 1);
    EXPECT_TRUE(testing::ExitedWithCode(0)(run.status));
    EXPECT_EQ(run.output, tags_not_found + dialog + edit_question + cleaning_question("16"));
    EXPECT_EQ(run.started, "SysWOW64/regedit.exe|-s|" + sandbox.temp.string() + "/\\morvane.reg|\n");
    const std::string script = test::read_bytes(sandbox.script());
    EXPECT_EQ(script.rfind(test::script_header + "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Fernwick\\Key0]\r\n", 0), 0u);
    EXPECT_EQ(std::count(script.begin(), script.end(), '\n'), 2 + 16);
}

TEST(MainFlow, OpensTheScriptForEditingAndKeepsItOnCancel)
{
    test::Sandbox sandbox;
    const std::string report = write_report(sandbox, 1);
    const ProgramRun run = run_program(sandbox, report + "\nyes\ncancel\n", 1);
    EXPECT_TRUE(testing::ExitedWithCode(0)(run.status));
    EXPECT_EQ(run.output, tags_not_found + dialog + edit_question + cleaning_question("1"));
    EXPECT_EQ(run.started, "System32/notepad.exe|" + sandbox.temp.string() + "/\\morvane.reg|\n");
    EXPECT_TRUE(std::filesystem::exists(sandbox.script()));
}

TEST(MainFlow, ShowsTheCountInBaseTen)
{
    for (const int keys : {10, 255}) {
        test::Sandbox sandbox;
        const ProgramRun run = run_program(sandbox, write_report(sandbox, keys) + "\nno\ncancel\n", 0);
        EXPECT_EQ(run.output, tags_not_found + dialog + edit_question + cleaning_question(std::to_string(keys)));
        EXPECT_EQ(run.started, "");
    }
}

TEST(MainFlow, QuotesAScriptPathWithSpaces)
{
    test::Sandbox sandbox;
    const auto temp = sandbox.root / "Temp Dir of A User";
    std::filesystem::create_directories(temp);
    const ProgramRun run = run_program(sandbox, write_report(sandbox, 2) + "\ny\nOK\n", 2, temp);
    EXPECT_EQ(run.started, "SysWOW64/regedit.exe|-s|" + temp.string() + "/\\morvane.reg|\nSystem32/notepad.exe|" +
                               temp.string() + "/\\morvane.reg|\n");
}

TEST(MainFlow, StartsTheRegistryEditorOfTheReportsView)
{
    struct Case {
        const char* first_line;
        bool wow64;
        const char* editor;
    };
    for (const Case& c : {Case{"Regshot 1.9.0 x64 Unicode", true, "Windows"},
                          Case{"Regshot 1.9.1 x64 ANSI (beta r321)", true, "Windows"},
                          Case{"Regshot 1.9.0 x86 ANSI", true, "SysWOW64"},
                          Case{"Regshot 1.8.2 x64ANSI", true, "SysWOW64"},
                          Case{"Comments: x64 ", true, "SysWOW64"},
                          Case{"Regshot 1.9.0 x86 ANSI", false, "Windows"}}) {
        test::Sandbox sandbox;
        const auto report = sandbox.work / "report.txt";
        test::write_bytes(report, c.first_line + std::string("\r\n") + report_with_keys(1));
        const ProgramRun run = run_program(sandbox, report.string() + "\nno\nok\n", 1, sandbox.temp, "", c.wow64);
        EXPECT_EQ(run.started, c.editor + std::string("/regedit.exe|-s|") + sandbox.temp.string() + "/\\morvane.reg|\n")
            << c.first_line;
    }
}

TEST(MainFlow, EndsWithoutAScriptWhenNoReportIsChosen)
{
    test::Sandbox sandbox;
    const std::string long_name = (sandbox.work / std::string(200, 'd') / std::string(100, 'r')).string();
    std::filesystem::create_directories(std::filesystem::path(long_name).parent_path());
    test::write_bytes(long_name, report_with_keys(1));
    for (const std::string& answer : {std::string(""), std::string("\n"), long_name + "\n"}) {
        const ProgramRun run = run_program(sandbox, answer, 0);
        EXPECT_TRUE(testing::ExitedWithCode(0)(run.status));
        EXPECT_EQ(run.output, tags_not_found + dialog + message("Error opening input file."));
        EXPECT_FALSE(std::filesystem::exists(sandbox.script()));
    }
}

TEST(MainFlow, IgnoresArguments)
{
    test::Sandbox sandbox;
    test::write_bytes(sandbox.work / "tags.ini", "Keys added\r\n");
    const ProgramRun run =
        run_program(sandbox, write_report(sandbox, 3) + "\nno\ncancel\n", 0, sandbox.temp, "-s /quiet other.txt");
    EXPECT_TRUE(testing::ExitedWithCode(0)(run.status));
    EXPECT_EQ(run.output, dialog + edit_question + cleaning_question("3"));
}

}  // namespace
