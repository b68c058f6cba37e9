// Reports as RegShot's released builds write them on real Windows, where
// Windows writes much of its own state between the two shots.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "convert/cleaning_script.h"
#include "convert/tag_list.h"
#include "files/file_sections.h"
#include "state/state.h"
#include "tests/test_support.h"

namespace {

namespace fs = std::filesystem;
using test::crlf_lines;

std::string utf16_string(const std::string& text)
{
    return test::utf16le(text + std::string(1, '\0'));
}

struct Result {
    std::string output;
    std::string script;  // as UTF-8
    std::string list;
};

Result convert(const test::Sandbox& sandbox, const std::string& report_bytes, const fs::path& registry)
{
    const auto report = sandbox.work / "report.txt";
    test::write_bytes(report, report_bytes);
    const test::Outcome outcome = test::run_isolated(sandbox, [&] {
        setenv("MORVANE_REGISTRY_DIR", registry.c_str(), 1);
        test::convert_report(report.c_str());
        std::printf("keys %d, values %d, set back %d, kept %d, untied %d, x64 %d, guessed %d\n", key_count,
                    value_count, set_back_count, kept_key_count, untied_count, report_from_x64,
                    report_view_guessed);
    });
    std::string script = test::read_bytes(sandbox.script());
    if (script.rfind("\xFF\xFE", 0) == 0)
        script = test::utf8_from_utf16le(script.substr(2));
    const fs::path list = sandbox.temp / "morvane-files.txt";
    return {outcome.output, script,
            fs::exists(list) ? test::utf8_from_utf16le(test::read_bytes(list).substr(2)) : ""};
}

}  // namespace

TEST(RealReports, ReadsEachReleasedBuildsForms)
{
    test::Sandbox sandbox;
    const fs::path registry = sandbox.root / "registry";
    const fs::path set = registry / "HKEY_LOCAL_MACHINE" / "SOFTWARE" / "WOW6432Node" / "Set";
    test::set_value(set, "bin", 3, "\x01\x02");
    test::set_value(set, "multi", 7, test::utf16le(std::string("a\0b\0\0", 5)));
    test::set_value(set, "qw", 11, std::string("\x03\0\0\0\0\0\0\0", 8));
    test::set_value(set, "long", 1, utf16_string(std::string(1200, 'x')));
    const std::string wrapped = "HKLM\\SOFTWARE\\Set\\long: \"" + std::string(1200, 'x') + "\"";
    // The ANSI builds print a multi-string's bytes in the code page.
    const auto body = [&](bool ansi) {
        return crlf_lines({
        "Comments: ", "Datetime: 2024/4/16 11:04:08  ,  2024/4/16 11:17:11", "", "Keys added: 1",
        "HKLM\\SOFTWARE\\Fern", "", "Values added: 1", wrapped.substr(0, 1000), wrapped.substr(1000), "",
        "Values modified: 6",
        // RegShot 1.9.0: two spaces before bytes, multi-strings and QWORDs as bytes.
        "HKLM\\SOFTWARE\\Set\\bin:  0A", "HKLM\\SOFTWARE\\Set\\bin:  01 02",
        ansi ? "HKLM\\SOFTWARE\\Set\\multi:  78 00 00" : "HKLM\\SOFTWARE\\Set\\multi:  78 00 00 00 00 00",
        ansi ? "HKLM\\SOFTWARE\\Set\\multi:  61 00 62 00 00"
             : "HKLM\\SOFTWARE\\Set\\multi:  61 00 00 00 62 00 00 00 00 00",
        "HKLM\\SOFTWARE\\Set\\qw:  02 00 00 00 00 00 00 00", "HKLM\\SOFTWARE\\Set\\qw:  03 00 00 00 00 00 00 00", "",
        "Folders added: 1", "C:\\Fern", "", "Files added: 2", "C:\\Fern\\a.exe", "C:\\Fern\\b.dll", "",
        "Total changes: 9", ""});
    };
    const std::string expected_script =
        test::script_header + "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Fern]\r\n\r\n"
        "; Values added under keys that were already there\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Set]\r\n\"long\"=-\r\n\r\n"
        "; Values the installation changed, set back to what they were "
        "before\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Set]\r\n\"bin\"=hex:0a\r\n\"multi\"=hex(7):78,00,00,00,00,00\r\n"
        "\"qw\"=hex(b):02,00,00,00,00,00,00,00\r\n";
    struct Row {
        const char* build;
        std::string bytes;
        const char* counts;
    };
    const Row rows[] = {
        {"UTF-16 with its BOM", "\xFF\xFE" + test::utf16le("Regshot 1.9.0 x86 Unicode\r\n" + body(false)),
         "keys 1, values 1, set back 3, kept 0, untied 0, x64 0, guessed 0\n"},
        {"UTF-16 without a BOM, first character damaged", "\xB9\x80" + test::utf16le("egshot 1.9.0 x86 Unicode\r\n" + body(false)),
         "keys 1, values 1, set back 3, kept 0, untied 0, x64 0, guessed 0\n"},
        {"ANSI, no build named", "Regshot 1.8.2\r\n" + body(true),
         "keys 1, values 1, set back 3, kept 0, untied 0, x64 0, guessed 1\n"},
        {"ANSI, no build named, but a 64-bit build's key",
         "Regshot 1.8.2\r\n" + body(true).substr(0, body(true).find("\r\n\r\nValues added")) +
             "\r\nHKLM\\SOFTWARE\\WOW6432Node\\Fern" + body(true).substr(body(true).find("\r\n\r\nValues added")),
         "keys 2, values 0, set back 0, kept 0, untied 0, x64 1, guessed 0\n"},
    };
    fs::create_directories(sandbox.root / "drives" / "C" / "Fern");
    test::write_bytes(sandbox.root / "drives" / "C" / "Fern" / "a.exe", "a");
    setenv("MORVANE_DRIVES_DIR", (sandbox.root / "drives").c_str(), 1);
    for (const Row& row : rows) {
        const Result result = convert(sandbox, row.bytes, registry);
        EXPECT_EQ(result.output, row.counts) << row.build;
        if (std::strstr(row.counts, "x64 0") != nullptr) {
            EXPECT_EQ(result.script, expected_script) << row.build;
        }
        // Names only, as 1.8.2 and 1.9.0 list them: each is listed.
        EXPECT_NE(result.list.find("C:\\Fern\\\r\nC:\\Fern\\a.exe\r\nC:\\Fern\\b.dll\r\n"), std::string::npos)
            << row.build << result.list;
    }
    unsetenv("MORVANE_DRIVES_DIR");
}

// Inside Windows' own trees only the places installers register, and what
// the report ties to the installation, stay active.
TEST(RealReports, KeepsWhatNothingTiesInsideWindowsTrees)
{
    const std::string user = "HKU\\S-1-5-21-1-2-3-1001";
    const std::string zip_clsid = "{23170F69-40C1-278A-1000-000100020000}";
    struct Row {
        std::string key;
        bool active;
    };
    const Row keys[] = {
        // 7-Zip's registration.
        {"HKLM\\SOFTWARE\\7-Zip", true},
        {"HKLM\\SOFTWARE\\Classes\\CLSID\\" + zip_clsid, true},
        {"HKLM\\SOFTWARE\\Classes\\*\\shellex\\ContextMenuHandlers\\7-Zip", true},
        {"HKLM\\SOFTWARE\\Classes\\Directory\\shellex\\DragDropHandlers\\7-Zip", true},
        {"HKLM\\SOFTWARE\\Classes\\Fern.Document", true},
        {"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\7-Zip", true},
        {"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\7zFM.exe", true},
        {"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Products\\F1", true},
        {"HKLM\\SYSTEM\\CurrentControlSet\\Services\\FernSvc", true},
        {"HKLM\\SYSTEM\\CurrentControlSet\\Services\\FernSvc\\Parameters", true},
        {"HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Fern", true},
        // Tied: the CLSID, a ProgID, a listed folder, a packed product code.
        {"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Discardable\\" + zip_clsid, true},
        {user + "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.fern\\OpenWithProgids\\Fern.Document",
         true},
        {"HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers\\C:\\Program Files\\7-Zip\\7zFM.exe",
         true},
        {"HKLM\\SOFTWARE\\Microsoft\\Office\\Delivery\\SourceEngine\\Downloads\\96F071321C0420729A1000000000F01F", true},
        // A folder made between the shots ties; one made before, or where
        // Windows makes folders all the time, does not.
        {"HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers\\C:\\Fresh\\tool.exe", true},
        {"HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers\\C:\\Old\\tool.exe", false},
        {"HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers\\C:\\Windows\\Fresh\\a.exe",
         false},
        // Windows' state and the tools that tracked the installation.
        {"HKLM\\SOFTWARE\\Microsoft\\Windows\\Windows Error Reporting\\TermReason\\1376", false},
        {"HKLM\\SOFTWARE\\Microsoft\\Windows Search\\UsnNotifier\\Windows\\CatalogStateInfo", false},
        {"HKLM\\SOFTWARE\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\CurrentVersion\\AppModel\\Deployment"
         "\\Package\\P\\S-1-5-18\\{00000000-0000-0000-0000-000000000001}",
         false},
        {"HKLM\\SOFTWARE\\Microsoft\\Wbem\\Tracing\\Providers\\CIMWin32 @ root/CIMV2", false},
        {"HKLM\\SOFTWARE\\Microsoft\\EdgeUpdate\\LastStartedAU", false},
        {"HKLM\\SOFTWARE\\Policies\\Microsoft\\Windows Defender\\Policy Manager", false},
        {user + "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.hivu", false},
        {user + "\\Software\\Sysinternals\\Process Monitor", false},
        {user + "\\SessionInformation\\AppCount", false},
        {user + "_Classes\\ProcMon.Logfile.1", false},
        {"HKLM\\SYSTEM\\CurrentControlSet\\Services\\PROCMON24", false},
        {"HKLM\\SYSTEM\\CurrentControlSet\\Services\\CDPUserSvc_1a2b3c", false},
        {"HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\AppCompatCache\\Fern", false},
    };
    std::string report =
        "Regshot 1.9.0 x64 ANSI\r\nDatetime: 2024/4/16 11:04:08  ,  2024/4/16 11:17:11\r\nKeys added: 9\r\n";
    std::string expected = test::script_header;
    for (const Row& row : keys) {
        report += row.key + "\r\n";
        const std::string full = "HKEY_" + std::string(row.key[2] == 'L' ? "LOCAL_MACHINE" : "USERS") +
                                 row.key.substr(row.key.find('\\'));
        expected += row.active ? "[-" + full + "]\r\n" : ";[-" + full + "]\r\n";
    }
    report += crlf_lines({"", "Folders added: 1", "C:\\Program Files\\7-Zip", "", "Files added: 1",
                          "C:\\Program Files\\7-Zip\\7zFM.exe", ""});
    // The packed product code F1 names nothing; Office's key is tied by
    // the code of a product listed under Installer\Products.
    report.insert(report.find("\r\n\r\nFolders added"),
                  "\r\nHKLM\\SOFTWARE\\Classes\\Installer\\Products\\96F071321C0420729A1000000000F01F");
    test::Sandbox sandbox;
    const auto made = [&](const char* folder, const char* when) {
        fs::create_directories(sandbox.root / "drives" / "C" / folder);
        const std::string touch = "touch -d '" + std::string(when) + "' '" + (sandbox.root / "drives" / "C" / folder).string() + "'";
        ASSERT_EQ(std::system(touch.c_str()), 0);
    };
    made("Fresh", "2024-04-16 11:10:00Z");
    made("Old", "2020-01-01 10:00:00Z");
    made("Windows/Fresh", "2024-04-16 11:10:00Z");
    setenv("MORVANE_DRIVES_DIR", (sandbox.root / "drives").c_str(), 1);
    const Result result = convert(sandbox, report, sandbox.root / "registry");
    unsetenv("MORVANE_DRIVES_DIR");
    const std::string& script = result.script;
    // Only the entry lines, in order, without the comments before kept ones.
    std::string entries;
    for (std::size_t at = test::script_header.size(); at < script.size();) {
        const std::size_t end = script.find("\r\n", at) + 2;
        const std::string line = script.substr(at, end - at);
        if (line.rfind("[-", 0) == 0 || line.rfind(";[-", 0) == 0)
            entries += line;
        at = end;
    }
    std::string wanted;
    for (std::size_t at = test::script_header.size(); at < expected.size();) {
        const std::size_t end = expected.find("\r\n", at) + 2;
        wanted += expected.substr(at, end - at);
        at = end;
    }
    wanted += "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Installer\\Products\\96F071321C0420729A1000000000F01F]\r\n";
    EXPECT_EQ(entries, wanted);
}

// An ANSI report prints a character its code page lacks as '?': the name
// is matched against the registry, and only one that fits goes.
TEST(RealReports, MatchesNamesWithQuestionMarksInTheRegistry)
{
    test::Sandbox sandbox;
    const fs::path software = sandbox.root / "registry" / "HKEY_LOCAL_MACHINE" / "SOFTWARE" / "WOW6432Node";
    for (const char* key : {"ūetadpug", "ātwo", "ētwo", "Set"})
        fs::create_directories(software / key);
    test::set_value(software / "Set", "ōv", 4, std::string("\x01\0\0\0", 4));
    const std::string report = crlf_lines({"Regshot 1.9.0 x86 ANSI", "Keys added: 3", "HKLM\\SOFTWARE\\?etadpug",
                                           "HKLM\\SOFTWARE\\?one", "HKLM\\SOFTWARE\\?two", "", "Values added: 3",
                                           "HKLM\\SOFTWARE\\Set\\?v: 0x00000001", "HKLM\\SOFTWARE\\Set\\?x: 0x00000001",
                                           ""});
    const std::string why = "where '?' stands for a character the report's code page lacks";
    const Result result = convert(sandbox, report, sandbox.root / "registry");
    EXPECT_EQ(result.output, "keys 1, values 1, set back 0, kept 0, untied 0, x64 0, guessed 0\n");
    // The real names need a script in UTF-16LE.
    EXPECT_EQ(result.script,
              test::script_header + "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\ūetadpug]\r\n"
                                    "; No entry, nothing in the registry now reads as its name, " + why +
                  ": HKLM\\SOFTWARE\\?one\r\n"
                  "; No entry, more than one name in the registry reads as its name, " + why +
                  ": HKLM\\SOFTWARE\\?two\r\n\r\n; Values added under keys that were already there\r\n\r\n"
                  "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Set]\r\n\"ōv\"=-\r\n\r\n; No entry, nothing in the registry now "
                  "reads as its name, " + why + ": HKLM\\SOFTWARE\\Set\\?x: 0x00000001\r\n");
}
