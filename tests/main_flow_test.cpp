// The native program from start to exit: messages, answers, started programs.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <regex>
#include <thread>
#include <vector>

#include "backup/backup.h"
#include "ui/main_flow.h"
#include "state/state.h"
#include "tests/test_support.h"

namespace {

using test::caption;
using test::message;

const std::string tags_not_found =
    message("'tags.ini' not found.\nMorvane will only search for the standard 'Keys added' string.");
const std::string dialog = "Morvane 2 - Select RegShot TXT Report File\n";
const std::string edit_question =
    caption + "'morvane.reg' has been created, do you want to edit it (at your own risk)?\n[yes/no]\n";

std::string cleaning_question(const std::string& count, const std::string& kept = "")
{
    return caption + count + " registry key(s) found parsing report.\n" + kept +
           "\nCONTINUE WITH CLEANING?\n"
           "Warning: if you are editing 'morvane.reg', close it NOW.\n[ok/cancel]\n";
}

struct ProgramRun {
    int status;
    std::string output;
    std::string started;  // one line per started program: its arguments, each followed by '|'
};

// Stands in for Notepad and the registry editor in the system's directories,
// recording how they were started, and plants look-alikes on the search path
// and in the current directory, which must never run. The registry editor
// deletes the keys of an 8-bit script from the stand-in's registry, the one
// of the WOW64 directory in the 32-bit view.
void install_fake_programs(const test::Sandbox& sandbox)
{
    const std::string log = (sandbox.root / "started.tmp").string();
    // The registry editor also notes the access mode of the folder it
    // imports from.
    const std::string delete_keys = "\n[ \"${0##*/}\" = regedit.exe ] && stat -c %a \"$(dirname \"$(printf %s \"$2\" | "
                                    "tr '\\\\' /)\")\" >> '" + (sandbox.root / "import-folder-mode").string() + "'" + R"sh(
[ "${0##*/}" = regedit.exe ] && tr -d '\r' < "$(printf %s "$2" | tr '\\' /)" |
  sed -n 's/^\[-\(.*\)\]$/\1/p' | tr '\\' / |
  { case $0 in *SysWOW64*) sed 's#^HKEY_LOCAL_MACHINE/SOFTWARE/#&WOW6432Node/#' ;; *) cat ;; esac; } |
  while read -r key; do rm -rf "$MORVANE_REGISTRY_DIR/$key"; done
)sh";
    for (const char* directory : {"System32", "Windows", "SysWOW64", "bin", "work"}) {
        const auto where = sandbox.root / directory;
        std::filesystem::create_directories(where);
        for (const char* name : {"notepad.exe", "regedit.exe"}) {
            // One write per line, so that two programs never mix their lines.
            test::write_bytes(where / name, "#!/bin/sh\nline=$(printf '%s|' \"${0#" + sandbox.root.string() +
                                                "/}\" \"$@\")\nprintf '%s\\n' \"$line\" >> \"" + log + "\"\n" +
                                                delete_keys);
            std::filesystem::permissions(where / name, std::filesystem::perms::owner_all);
        }
    }
}

// The registry editor imports a copy from a folder of the program's own:
// its name, random, is shown as <private>.
std::string with_private_folder(const std::string& started)
{
    return std::regex_replace(started, std::regex(R"(/Morvane-[0-9a-f]{16}\\)"), "/<private>\\");
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
                       const std::filesystem::path& temp, const std::string& arguments = "", bool wow64 = true,
                       const std::string& environment = "")
{
    install_fake_programs(sandbox);
    std::filesystem::create_directories(sandbox.root / "AppData");
    test::write_bytes(sandbox.root / "answers", answers);
    const auto root = sandbox.root.string();
    const std::string command = "cd '" + sandbox.work.string() + "' && TMPDIR='" + temp.string() + "' PATH='" +
                                root + "/bin:/usr/bin:/bin' MORVANE_SYSTEM_DIR='" + root +
                                "\\System32' MORVANE_WINDOWS_DIR='" + root + "/Windows' MORVANE_REGISTRY_DIR='" + root +
                                "/registry' MORVANE_LOCAL_APPDATA_DIR='" + root + "/AppData' " +
                                (wow64 ? "MORVANE_WOW64_DIR='" + root + "/SysWOW64' " : "") + environment + " '" MORVANE_BINARY "' " +
                                arguments + " < '" + (sandbox.root / "answers").string() + "' > '" +
                                (sandbox.root / "output").string() + "'";
    const int status = std::system(command.c_str());
    return {status, test::read_bytes(sandbox.root / "output"), with_private_folder(wait_for_started(sandbox, programs))};
}

ProgramRun run_program(const test::Sandbox& sandbox, const std::string& answers, std::size_t programs)
{
    return run_program(sandbox, answers, programs, sandbox.temp);
}

// The one backup in the local application data folder, or an empty path.
std::filesystem::path only_backup(const test::Sandbox& sandbox)
{
    std::filesystem::path found;
    const auto folder = sandbox.root / "AppData" / "Morvane" / "Backups";
    for (const auto& file : std::filesystem::directory_iterator(folder)) {
        EXPECT_TRUE(found.empty()) << "a second backup " << file.path();
        found = file.path();
    }
    EXPECT_TRUE(std::regex_match(found.filename().string(), std::regex(R"(morvane-backup-\d{8}-\d{6}\.reg)")))
        << found;
    return found;
}

std::string cleaning_result(const test::Sandbox& sandbox, const std::string& counts, const std::string& editor = "")
{
    return message((editor.empty() ? "Cleaning finished." : editor) + "\n\n" + counts + "\nBackup: " +
                   sandbox.root.string() + "/AppData\\Morvane\\Backups\\" + only_backup(sandbox).filename().string() +
                   "\nOpening the backup restores the deleted keys.");
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

// Nothing listed is there to save, and a loaded hive is kept: the question
// says so, and the closing message does not offer an empty backup.
TEST(MainFlow, CleansAfterConfirmation)
{
    test::Sandbox sandbox;
    const auto report = sandbox.work / "report.txt";
    std::string listing = report_with_keys(16);
    listing.insert(listing.size() - 2, "HKU\\S-1-5-21-1-2-3-1002\r\nHKU\\S-1-5-21-1-2-3-1002\\Software\r\n");
    test::write_bytes(report, listing);
    const ProgramRun run = run_program(sandbox, report.string() + "\nno\nok\n", 1);
    EXPECT_TRUE(testing::ExitedWithCode(0)(run.status));
    EXPECT_EQ(run.output, tags_not_found + dialog + edit_question +
                              cleaning_question("16", "2 more are kept: they hold Windows' own state (see morvane.reg).\n") +
                              message("Cleaning finished.\n\nListed keys: 16\nGone: 0\nAlready absent: 16\nStill there: 0\n\n"
                                      "Nothing was deleted, and nothing needed saving: none of the listed keys was "
                                      "there, so no backup was written."));
    EXPECT_TRUE(std::filesystem::is_empty(sandbox.root / "AppData" / "Morvane" / "Backups"));
    EXPECT_EQ(run.started, "SysWOW64/regedit.exe|-s|" + sandbox.temp.string() + "/<private>\\morvane.reg|\n");
    // Only administrators may change the folder of the copy, which is gone
    // afterwards.
    EXPECT_EQ(test::read_bytes(sandbox.root / "import-folder-mode"), "700\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(sandbox.temp), {}), 1);
    const std::string script = test::read_bytes(sandbox.script());
    EXPECT_EQ(script.rfind(test::script_header + "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Fernwick\\Key0]\r\n", 0), 0u);
    EXPECT_EQ(std::count(script.begin(), script.end(), '\n'), 2 + 16 + 4);
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

// Elevated with another account's password, the question says whose the
// bin, the backup and the temporary files are.
TEST(MainFlow, ShowsTheCountInBaseTen)
{
    for (const int keys : {10, 255}) {
        test::Sandbox sandbox;
        const bool other = keys == 255;
        const ProgramRun run = run_program(sandbox, write_report(sandbox, keys) + "\nno\ncancel\n", 0, sandbox.temp, "",
                                           true, other ? "MORVANE_OTHER_ACCOUNT=1" : "");
        EXPECT_EQ(run.output, tags_not_found + dialog + edit_question +
                                  cleaning_question(std::to_string(keys),
                                                    other ? "Morvane runs as an administrator who is not the user "
                                                            "signed in: the Recycle Bin, the backup and the temporary "
                                                            "files are that administrator's.\n"
                                                          : ""));
        EXPECT_EQ(run.started, "");
    }
}

TEST(MainFlow, QuotesAScriptPathWithSpaces)
{
    test::Sandbox sandbox;
    const auto temp = sandbox.root / "Temp Dir of A User";
    std::filesystem::create_directories(temp);
    const ProgramRun run = run_program(sandbox, write_report(sandbox, 2) + "\ny\nOK\n", 2, temp);
    EXPECT_EQ(run.started, "SysWOW64/regedit.exe|-s|" + temp.string() + "/<private>\\morvane.reg|\nSystem32/notepad.exe|" +
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
        EXPECT_EQ(run.started,
                  c.editor + std::string("/regedit.exe|-s|") + sandbox.temp.string() + "/<private>\\morvane.reg|\n")
            << c.first_line;
        // RegShot's title without a build: the question says which view was taken.
        EXPECT_EQ(run.output.find("The report does not name the RegShot build that wrote it: its keys are taken as "
                                  "32-bit programs see them.\n") != std::string::npos,
                  std::string(c.first_line).starts_with("Regshot 1.8.2"))
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

std::string bytes_of(std::initializer_list<int> values)
{
    std::string bytes;
    for (const int value : values)
        bytes += static_cast<char>(value);
    return bytes;
}

// What the report lists, in the 32-bit view (its title names no x64 build):
// two trees, a key inside one of them, and a key that is not there.
const std::string listing_report = test::crlf_lines(
    {"Keys added: 4", "HKLM\\SOFTWARE\\Fernwick\\Key0", "HKLM\\SOFTWARE\\Fernwick\\Key1",
     "HKLM\\SOFTWARE\\Fernwick\\Key1\\Sub", "HKLM\\SOFTWARE\\Fernwick\\Absent", ""});

std::filesystem::path make_listed_keys(const test::Sandbox& sandbox)
{
    const auto fernwick = sandbox.root / "registry/HKEY_LOCAL_MACHINE/SOFTWARE/WOW6432Node/Fernwick";
    std::filesystem::create_directories(fernwick / "Key0");
    std::filesystem::create_directories(fernwick / "Key1/Sub/Deeper");
    std::filesystem::create_directories(fernwick / "Key2");
    test::write_bytes(sandbox.work / "report.txt", listing_report);
    return fernwick;
}

TEST(Backup, SavesEachListedTreeOnceWithEveryValueExactly)
{
    struct Value {
        std::string name;
        std::uint32_t type;
        std::string data;
        std::string line;
    };
    const std::string wrapped = "\"wrap\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,\\\r\n"
                                "  15,16,17,18,19,1a,1b,1c,1d";
    std::string thirty(30, '\0');
    for (int i = 0; i < 30; ++i)
        thirty[i] = static_cast<char>(i);
    const Value values[] = {
        {"", 1, test::utf16le(std::string("default", 8)), "@=\"default\""},
        {"quote\"back\\slash", 1, test::utf16le(std::string("a\\b\"c", 6)), R"("quote\"back\\slash"="a\\b\"c")"},
        {"empty", 1, std::string(2, '\0'), "\"empty\"=\"\""},
        {"unterminated", 1, "A", "\"unterminated\"=hex(1):41"},
        {"nothing", 1, "", "\"nothing\"=hex(1):"},
        {"line break", 1, test::utf16le(std::string("a\r\n", 4)), "\"line break\"=hex(1):61,00,0d,00,0a,00,00,00"},
        {"inner zero", 1, test::utf16le(std::string("a\0b", 4)), "\"inner zero\"=hex(1):61,00,00,00,62,00,00,00"},
        {"expand", 2, test::utf16le(std::string("%P%", 4)), "\"expand\"=hex(2):25,00,50,00,25,00,00,00"},
        {"multi", 7, test::utf16le(std::string("a\0\0", 3)), "\"multi\"=hex(7):61,00,00,00,00,00"},
        {"dword", 4, bytes_of({0x2a, 0, 0, 0x80}), "\"dword\"=dword:8000002a"},
        {"short dword", 4, bytes_of({1, 2}), "\"short dword\"=hex(4):01,02"},
        {"qword", 11, bytes_of({1, 0, 0, 0, 0, 0, 0, 0xff}), "\"qword\"=hex(b):01,00,00,00,00,00,00,ff"},
        {"binary", 3, bytes_of({0, 0xff}), "\"binary\"=hex:00,ff"},
        {"none", 0, "", "\"none\"=hex(0):"},
        {"type 0x12345", 0x12345, bytes_of({0xaa}), "\"type 0x12345\"=hex(12345):aa"},
        {"Привет", 1, test::utf16le(std::string("日本語", 10)), "\"Привет\"=\"日本語\""},
        {"wrap", 3, thirty, wrapped},
    };
    test::Sandbox sandbox;
    const auto fernwick = make_listed_keys(sandbox);
    for (const Value& value : values)
        test::set_value(fernwick / "Key0", value.name, value.type, value.data);
    test::set_value(fernwick / "Key1/Sub/Deeper", "", 1, test::utf16le(std::string("deep", 5)));

    const auto progress = sandbox.root / "progress.log";
    const ProgramRun run = run_program(sandbox, (sandbox.work / "report.txt").string() + "\nno\nok\n", 1, sandbox.temp,
                                       "", true, "MORVANE_PROGRESS_LOG='" + progress.string() + "'");
    EXPECT_EQ(run.output, tags_not_found + dialog + edit_question + cleaning_question("4") +
                              cleaning_result(sandbox, "Listed keys: 4\nGone: 3\nAlready absent: 1\nStill there: 0\n"));
    std::string steps = "open\n";
    for (const char* step : {"Looking for the listed keys", "Saving the backup"}) {
        for (int done = 0; done <= 4; ++done)
            steps += step + (": " + std::to_string(done)) + " of 4 keys [" + std::to_string(done) + "/4, Cancel]\n";
    }
    steps += "The registry editor is deleting the keys. [0/0]\n";
    for (int done = 0; done <= 4; ++done)
        steps += "Checking what became of them: " + std::to_string(done) + " of 4 keys [" + std::to_string(done) + "/4]\n";
    EXPECT_EQ(test::read_bytes(progress), steps + "close\n");
    EXPECT_TRUE(std::filesystem::exists(fernwick / "Key2"));
    EXPECT_FALSE(std::filesystem::exists(fernwick / "Key1"));

    const std::string backup = test::read_bytes(only_backup(sandbox));
    ASSERT_EQ(backup.substr(0, 2), "\xFF\xFE");
    const std::string text = test::utf8_from_utf16le(backup.substr(2));
    const std::string key = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Fernwick\\";
    EXPECT_EQ(text.substr(0, 40), test::script_header);
    std::string sections;
    for (std::size_t at = 0; (at = text.find("\r\n[", at)) != std::string::npos; at += 3)
        sections += text.substr(at + 2, text.find("]\r\n", at) - at - 1) + "\n";
    EXPECT_EQ(sections, key + "Key0]\n" + key + "Key1]\n" + key + "Key1\\Sub]\n" + key + "Key1\\Sub\\Deeper]\n");
    for (const Value& value : values)
        EXPECT_NE(text.find("\r\n" + value.line + "\r\n"), std::string::npos) << value.line;
    EXPECT_NE(text.find(key + "Key1\\Sub\\Deeper]\r\n@=\"deep\"\r\n\r\n"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 4), "\r\n\r\n");
}

// A value larger than the backup can hold: nothing is deleted unless the
// user agrees to go on without it.
TEST(Backup, AsksBeforeDeletingWhatItCouldNotSave)
{
    const std::string question =
        caption +
        "The backup cannot save everything that cleaning would delete:\n\n"
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Fernwick\\Key0: a value too large to save\n\n"
        "Clean anyway? Cancel leaves the registry untouched.\n[ok/cancel]\n";
    for (const bool agree : {false, true}) {
        test::Sandbox sandbox;
        const auto fernwick = make_listed_keys(sandbox);
        test::set_value(fernwick / "Key0", "huge", 3, std::string((std::size_t{4} << 20) + 1, 'x'));
        test::set_value(fernwick / "Key0", "small", 3, "x");
        const ProgramRun run = run_program(sandbox, (sandbox.work / "report.txt").string() + "\nno\nok\n" +
                                                        (agree ? "ok\n" : "cancel\n"),
                                           agree ? 1 : 0);
        std::string expected = tags_not_found + dialog + edit_question + cleaning_question("4") + question;
        if (agree)
            expected += cleaning_result(sandbox, "Listed keys: 4\nGone: 3\nAlready absent: 1\nStill there: 0\n");
        EXPECT_EQ(run.output, expected);
        EXPECT_EQ(std::filesystem::exists(fernwick / "Key0"), !agree);
        const std::string text = test::utf8_from_utf16le(test::read_bytes(only_backup(sandbox)).substr(2));
        EXPECT_NE(text.find("Key0]\r\n\"small\"=hex:78\r\n\r\n"), std::string::npos);
    }
}

// Value entries as a user may write them in Notepad: each value is saved
// exactly in the view's real key, checked afterwards, and a key that the
// registry editor makes for a section is removed again when left empty. A
// value the script sets is saved too (as a deletion where it was not there)
// and checked against the data the script gives it. Running programs are
// told when the environment or the file types changed.
TEST(Backup, SavesAndChecksTheListedValuesAndRemovesTheKeysMadeForThem)
{
    test::Sandbox sandbox;
    const auto registry = sandbox.root / "registry";
    const auto software = registry / "HKEY_LOCAL_MACHINE/SOFTWARE/WOW6432Node";
    const auto run = software / "Run";
    test::set_value(run, "Fernwick", 1, test::utf16le(std::string("C:\\f.exe", 9)));
    test::set_value(run, "", 4, bytes_of({7, 0, 0, 0}));
    test::set_value(run, "Stays \"here\"", 3, "x");
    test::set_value(run, "Neighbour", 3, "n");
    test::set_value(run, "Same", 3, bytes_of({1}));
    test::set_value(run, "Long", 1, test::utf16le(std::string("x", 2)));
    test::set_value(software / "Environment", "Path", 2, test::utf16le(std::string("C:\\App", 7)));
    std::filesystem::create_directories(software / "Classes/.fern");
    test::write_bytes(sandbox.temp / "morvane.reg",
                      test::crlf_lines({"Windows Registry Editor Version 5.00", "",
                                        "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.fern]",
                                        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Environment]", "\"Path\"=hex(2):00,00",
                                        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Run]",
                                        "\"Fernwick\"=-", "  @ = -", "\"Stays \\\"here\\\"\"=-", "\"Absent\"=-",
                                        "\"Neighbour\"=\"set, not deleted\"", "\"New\"=dword:00000002", "\"Same\"=hex:01",
                                        "\"Long\"=hex(2):41,00,\\", "  42,00,00,00", "",
                                        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Made]", "\"v\"=-"}));
    std::filesystem::create_directories(sandbox.root / "AppData");
    const auto progress = sandbox.root / "progress.log";
    const test::Outcome outcome = test::run_isolated(sandbox, [&] {
        setenv("MORVANE_REGISTRY_DIR", registry.c_str(), 1);
        setenv("MORVANE_LOCAL_APPDATA_DIR", (sandbox.root / "AppData").c_str(), 1);
        setenv("MORVANE_PROGRESS_LOG", progress.c_str(), 1);
        std::snprintf(script_path, sizeof script_path, "%s", (sandbox.temp / "morvane.reg").c_str());
        back_up_listed_keys();
        // What the registry editor does with the script, but for "Long".
        std::filesystem::remove_all(software / "Classes/.fern");
        test::set_value(software / "Environment", "Path", 2, std::string(2, '\0'));
        std::filesystem::remove(test::value_path(run, "Fernwick"));
        std::filesystem::remove(test::value_path(run, ""));
        test::set_value(run, "Neighbour", 1, test::utf16le(std::string("set, not deleted", 17)));
        test::set_value(run, "New", 4, bytes_of({2, 0, 0, 0}));
        std::filesystem::create_directories(software / "Made");
        report_cleaning(true);
    });
    const std::string backup = only_backup(sandbox).string();
    const std::string key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Run";
    EXPECT_EQ(outcome.output,
              message("Cleaning finished.\n\nListed keys: 1\nGone: 1\nAlready absent: 0\nStill there: 0\n\n"
                      "Listed values: 5\nGone: 2\nAlready absent: 2\nStill there: 1\n" + key + " : \"Stays \"here\"\"\n\n"
                      "Values to set back: 5\nSet back: 3\nAlready as before: 1\nStill changed: 1\n" + key + " : \"Long\"\n"
                      "\nBackup: " + (sandbox.root / "AppData").string() + "\\Morvane\\Backups\\" +
                      only_backup(sandbox).filename().string() +
                      "\nOpening the backup restores the deleted keys and values, and the data of the values set back."));
    EXPECT_FALSE(std::filesystem::exists(software / "Made"));
    std::string text = test::utf8_from_utf16le(test::read_bytes(backup).substr(2));
    const std::string section = "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Run]\r\n";
    const std::string told = "\ntold: the environment changed\ntold: file types and classes changed\n";
    EXPECT_TRUE(test::read_bytes(progress).ends_with(told)) << test::read_bytes(progress);
    EXPECT_EQ(text.substr(0, 38), test::script_header.substr(0, 38));
    text.erase(0, text.find(section));
    EXPECT_EQ(text, section + "\"Fernwick\"=\"C:\\\\f.exe\"\r\n" + section +
                        "@=dword:00000007\r\n" + section + "\"Stays \\\"here\\\"\"=hex:78\r\n" + section +
                        "\"Neighbour\"=hex:6e\r\n" + section + "\"New\"=-\r\n" + section + "\"Same\"=hex:01\r\n" + section +
                        "\"Long\"=\"x\"\r\n\r\n");
}

// Cancel while the backup is written: nothing is deleted, and what was saved
// by then stays, or no file at all. Where the backup's folder is reached
// through a link, the backup goes to the temporary directory instead, and
// nothing is made where the link leads.
TEST(Backup, CancelDeletesNothingAndKeepsWhatWasSaved)
{
    for (const int cancel_after : {1, 7, -7}) {
        test::Sandbox sandbox;
        const auto fernwick = make_listed_keys(sandbox);
        const auto elsewhere = sandbox.root / "elsewhere";
        if (cancel_after < 0) {
            std::filesystem::create_directories(sandbox.root / "AppData");
            std::filesystem::create_directory(elsewhere);
            std::filesystem::create_directory_symlink(elsewhere, sandbox.root / "AppData/Morvane");
        }
        const ProgramRun run =
            run_program(sandbox, (sandbox.work / "report.txt").string() + "\nno\nok\n", 0, sandbox.temp, "", true,
                        "MORVANE_PROGRESS_CANCEL=" + std::to_string(cancel_after < 0 ? -cancel_after : cancel_after));
        const std::string cancelled = tags_not_found + dialog + edit_question + cleaning_question("4") +
                                      caption + "Cleaning cancelled: nothing was deleted.\n\n";
        EXPECT_EQ(run.started, "");
        EXPECT_TRUE(std::filesystem::exists(fernwick / "Key0") && std::filesystem::exists(fernwick / "Key1/Sub"));
        if (cancel_after == 1) {
            EXPECT_EQ(run.output, cancelled + "Nothing had been saved yet, so no backup was written.\n");
            EXPECT_TRUE(std::filesystem::is_empty(sandbox.root / "AppData/Morvane/Backups"));
            continue;
        }
        std::filesystem::path backup;
        if (cancel_after < 0) {
            EXPECT_TRUE(std::filesystem::is_empty(elsewhere));
            for (const auto& file : std::filesystem::directory_iterator(sandbox.temp)) {
                if (file.path().filename().string().starts_with("morvane-backup-"))
                    backup = file.path();
            }
            EXPECT_EQ(run.output, cancelled + "What was saved before you cancelled is in the backup:\n" +
                                      sandbox.temp.string() + "/" + backup.filename().string() + "\n");
        } else {
            backup = only_backup(sandbox);
            EXPECT_EQ(run.output, cancelled + "What was saved before you cancelled is in the backup:\n" +
                                      (sandbox.root / "AppData").string() + "\\Morvane\\Backups\\" +
                                      backup.filename().string() + "\n");
        }
        const std::string text = test::utf8_from_utf16le(test::read_bytes(backup).substr(2));
        EXPECT_NE(text.find("\\Fernwick\\Key0]"), std::string::npos);
        EXPECT_EQ(text.find("\\Fernwick\\Key1]"), std::string::npos);
    }
}

TEST(Backup, NamesTheKeysStillThereWhenTheEditorCannotStart)
{
    test::Sandbox sandbox;
    make_listed_keys(sandbox);
    const ProgramRun run = run_program(sandbox, (sandbox.work / "report.txt").string() + "\nno\nok\n", 0, sandbox.temp,
                                       "", true, "MORVANE_WOW64_DIR=/nonexistent");
    EXPECT_EQ(run.output, tags_not_found + dialog + edit_question + cleaning_question("4") +
                              cleaning_result(sandbox,
                                              "Listed keys: 4\nGone: 0\nAlready absent: 1\nStill there: 3\n"
                                              "HKEY_LOCAL_MACHINE\\SOFTWARE\\Fernwick\\Key0\n"
                                              "HKEY_LOCAL_MACHINE\\SOFTWARE\\Fernwick\\Key1\n"
                                              "HKEY_LOCAL_MACHINE\\SOFTWARE\\Fernwick\\Key1\\Sub\n",
                                              "The registry editor could not be started."));
}

}  // namespace
