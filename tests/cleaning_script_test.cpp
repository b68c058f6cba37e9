// The cleaning-script builder: morvane.reg's bytes, the messages and the exit.
#include "convert/cleaning_script.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "convert/tag_list.h"
#include "files/file_sections.h"
#include "review/review.h"
#include "review/written_entries.h"
#include "state/state.h"
#include "tests/test_support.h"

namespace {

using namespace std::string_literals;
using test::crlf_lines;
using test::message;
using test::script_header;

constexpr char no_keys[] = "No keys found, nothing to do.";

struct Conversion {
    test::Outcome outcome;
    bool script_written;
    std::string script;
};

void use_standard_tag()
{
    std::strcpy(tag_list.tags[0], "Keys added");
    tag_list.count = 1;
}

// Converts `report` with the standard tag, as the main flow would after
// the user picked it, and reports key_count when the builder returns.
Conversion convert_in(const test::Sandbox& sandbox, const std::string& report)
{
    const auto report_file = sandbox.work / "report.txt";
    test::write_bytes(report_file, report);
    const test::Outcome outcome = test::run_isolated(sandbox, [&] {
        use_standard_tag();
        std::strcpy(report_path, report_file.c_str());
        build_cleaning_script();
        // What was remembered while the script was written is what the
        // review reads back from it; otherwise the output tells.
        remember_written_files();
        TextForm form = TextForm::ansi;
        forget_foreign_entries();
        if (!walk_script_entries(script_path, EntryUse::check, form) || foreign_entry_count() != 0)
            std::printf("read back otherwise than written: %s\n", foreign_entry_lines());
        std::printf("key_count=%d\n", key_count);
    });
    const bool written = std::filesystem::is_regular_file(sandbox.script());
    return {outcome, written, written ? test::read_bytes(sandbox.script()) : ""};
}

Conversion convert(const std::string& report)
{
    test::Sandbox sandbox;
    return convert_in(sandbox, report);
}

std::string section(std::initializer_list<std::string> keys)
{
    std::string report = crlf_lines({"Regshot 1.9.0 x86 ANSI", "", "----------------------------------",
                                     "Keys added: 9", "----------------------------------"});
    for (const std::string& key : keys)
        report += key + "\r\n";
    return report + "\r\n" + crlf_lines({"----------------------------------", "Values added: 1",
                                         "----------------------------------", "HKLM\\SOFTWARE\\Late: 1", ""});
}

// The entries that a UTF-16LE report turns into, as UTF-8, or "" when the
// run ends with "No keys found"; the script must be UTF-16LE as well.
std::string utf16_entries(const std::string& report)
{
    const Conversion result = convert(report);
    EXPECT_EQ(result.script.substr(0, 2), "\xFF\xFE");
    const std::string script = test::utf8_from_utf16le(result.script.substr(2));
    EXPECT_EQ(script.substr(0, script_header.size()), script_header);
    if (!result.outcome.returned()) {
        EXPECT_EQ(result.outcome.output, message(no_keys));
        return "";
    }
    const std::string entries = script.substr(script_header.size());
    std::size_t count = entries.rfind("[-", 0) == 0 ? 1 : 0;
    for (std::size_t at = 0; (at = entries.find("\n[-", at)) != std::string::npos; ++at)
        ++count;
    EXPECT_EQ(result.outcome.output, "key_count=" + std::to_string(count) + "\n");
    return entries;
}

// The entries that a section of the given key lines turns into, or "" when
// the run ends with "No keys found". Unless told otherwise, the same report
// written by RegShot's Unicode build must give the same entries.
std::string entries_for(std::initializer_list<std::string> keys, bool also_as_utf16 = true)
{
    const Conversion result = convert(section(keys));
    std::string entries;
    if (result.outcome.returned()) {
        entries = result.script.substr(script_header.size());
    } else {
        EXPECT_EQ(result.outcome.output, message(no_keys));
    }
    if (also_as_utf16) {
        EXPECT_EQ(utf16_entries(test::utf16le(section(keys))), entries);
    }
    return entries;
}

TEST(CleaningScript, ConvertsTheSampleReportByteForByte)
{
    const Conversion result = convert(test::read_bytes(MORVANE_SOURCE_DIR "/samples/regshot-report.txt"));
    ASSERT_TRUE(result.outcome.returned()) << result.outcome.output;
    EXPECT_EQ(result.outcome.output, "key_count=6\n");
    EXPECT_EQ(result.script,
              script_header + "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Fernwick]\r\n"
                              "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Fernwick\\Notes]\r\n"
                              "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Fernwick\\Notes\\3.2]\r\n"
                              "[-HKEY_USERS\\S-1-5-21-0-0-0-1000\\Software\\Fernwick]\r\n"
                              "[-HKEY_USERS\\S-1-5-21-0-0-0-1000\\Software\\Fernwick\\Notes]\r\n"
                              "[-HKEY_USERS\\S-1-5-21-0-0-0-1000\\Software\\Fernwick\\Notes\\Recent Files]\r\n");
}

// Reports that RegShot 1.9's x64 builds wrote under Wine, and the scripts
// (and lists of files) they must give, checked entry by entry. After keys
// were added: two keys longer than 1000 characters, one cut on a
// separator, are left out; the ANSI build could not open the keys whose
// names are not in the code page. Around a real NSIS installer, with the
// folder scan on: its keys, its values under keys that were there, the
// four values it changed (here as it left them, in the stand-in's
// registry), its folders and files, a shortcut and a DLL in System32.
TEST(CleaningScript, ConvertsRealRegShotReportsByteForByte)
{
    for (const auto& [build, count] : {std::pair{"unicode", 16}, std::pair{"ansi", 12}, std::pair{"unicode-files", 8}}) {
        test::Sandbox sandbox;
        const auto software = sandbox.root / "registry/HKEY_LOCAL_MACHINE/Software";
        const auto string_data = [](const std::string& text) { return test::utf16le(text + std::string(1, '\0')); };
        test::set_value(software / "Classes/.mvtxt", "", 1, string_data("ProbeApp.Document"));
        test::set_value(software / "MorvaneProbe", "Blob", 3, "\x0a\x0b\x0c");
        test::set_value(software / "MorvaneProbe", "Counter", 4, std::string("\x02\0\0\0", 4));
        test::set_value(software / "MorvaneProbe/Environment", "Path", 2,
                        string_data("%SystemRoot%\\system32;C:\\Program Files\\Probe App"));
        test::set_value(software / "Microsoft/Windows/CurrentVersion/Run", "Probe App", 1,
                        string_data("\"C:\\Program Files\\Probe App\\probe.exe\" /tray"));
        const std::string data = MORVANE_SOURCE_DIR "/tests/data/regshot-x64-" + std::string(build);
        test::write_bytes(sandbox.work / "report.txt", test::read_bytes(data + ".txt"));
        const test::Outcome outcome = test::run_isolated(sandbox, [&] {
            setenv("MORVANE_REGISTRY_DIR", (sandbox.root / "registry").c_str(), 1);
            use_standard_tag();
            load_section_tags();
            std::strcpy(report_path, "report.txt");
            build_cleaning_script();
            build_file_list();
            std::printf("key_count=%d\n", key_count);
        });
        EXPECT_EQ(outcome.output, "key_count=" + std::to_string(count) + "\n");
        EXPECT_EQ(test::read_bytes(sandbox.script()), test::read_bytes(data + ".reg")) << build;
        const bool files = std::filesystem::exists(data + ".list");
        EXPECT_EQ(test::read_bytes(sandbox.temp / "morvane-files.txt"), files ? test::read_bytes(data + ".list") : "")
            << build;
    }
}

TEST(CleaningScript, WritesOneEntryForEachKeyUnderTheTwoRoots)
{
    EXPECT_EQ(entries_for({"HKLM\\SOFTWARE\\A", "HKEY_LOCAL_MACHINE\\SOFTWARE\\B", "HKU\\S-1-5-18\\Software\\C",
                           "HKEY_USERS\\.DEFAULT\\Software\\D"}),
              "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\r\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\B]\r\n"
              "[-HKEY_USERS\\S-1-5-18\\Software\\C]\r\n[-HKEY_USERS\\.DEFAULT\\Software\\D]\r\n");
    // Names in any script are carried over exactly.
    EXPECT_EQ(entries_for({"HKLM\\SOFTWARE\\Café", "HKU\\S-1\\Software\\Привет", "HKEY_LOCAL_MACHINE\\SOFTWARE\\日本語\\😀"}),
              "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Café]\r\n[-HKEY_USERS\\S-1\\Software\\Привет]\r\n"
              "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\日本語\\😀]\r\n");
    // Leading blanks go, trailing spaces stay.
    EXPECT_EQ(entries_for({"   HKLM\\SOFTWARE\\Example", "\t HKU\\S-1\\Software\\Trailing  "}),
              "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Example]\r\n[-HKEY_USERS\\S-1\\Software\\Trailing  ]\r\n");
    // Rules, counts and other roots are passed over.
    EXPECT_EQ(entries_for({"-----", "Keys added: 3", "HKCU\\Software\\A", "HKEY_CURRENT_USER\\Software\\B",
                           "HKCR\\.txt", "hklm\\software\\c", "HKLM\\SOFTWARE\\Kept"}),
              "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Kept]\r\n");
}

TEST(CleaningScript, NamesExactlyTheKeyOfTheLineOrNothing)
{
    // A root name inside a line belongs to another key.
    EXPECT_EQ(entries_for({"HKCU\\Software\\Vendor\\HKLM\\SOFTWARE\\Microsoft", "HKCU\\Software\\HKUtil",
                           "Software\\HKEY_USERS\\S-1"}),
              "");
    EXPECT_EQ(entries_for({"HKLM\\SOFTWARE\\HKUtil"}), "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\HKUtil]\r\n");
    EXPECT_EQ(entries_for({"HKEY_LOCAL_MACHINE\\SOFTWARE\\HKLM", "HKLM\\A\\HKLM\\B"}),
              "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\HKLM]\r\n[-HKEY_LOCAL_MACHINE\\A\\HKLM\\B]\r\n");
    // A root alone, or a near miss of one, never yields an entry; nor does a
    // path with an empty key name, which the registry editor reads as a parent.
    EXPECT_EQ(entries_for({"HKLM", "HKLM\\", "HKEY_USERS\\", "HKU", "HKLMX\\SOFTWARE", "HKUSERS\\S-1",
                           "HKLM\\SOFTWARE\\Parent\\", "HKLM\\SOFTWARE\\\\Parent2", "HKU\\\\S-1"}),
              "");
}

// What no installation adds stays, written out commented, with the reason;
// what installers own stays deletable, even in Microsoft's trees.
TEST(CleaningScript, KeepsHivesAndWindowsOwnStateButNotWhatInstallersOwn)
{
    struct Row {
        std::string line;
        std::string kept;  // the reason, or empty where the key is deleted
    };
    const std::string hive_root = "the root of a hive loaded between the shots";
    const std::string in_hive = "in a hive loaded between the shots";
    const std::string devices = "Windows' own state (devices and drivers)";
    const std::string untied = "in Windows' own tree, and nothing in the report ties it to the installation";
    const std::string user = "HKU\\S-1-5-21-1-2-3-1001";
    const Row rows[] = {
        {"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Fernwick", ""},
        {"HKLM\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\App Paths\\fernwick.exe", ""},
        {"HKLM\\SOFTWARE\\Classes\\.fern", ""},
        {user + "_Classes\\Fernwick.Document", ""},
        {"HKLM\\SYSTEM\\ControlSet001\\Services\\FernwickSvc", ""},
        {"HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Fernwick", ""},
        {"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Products\\F1", ""},
        {"HKLM\\SOFTWARE\\Classes\\Installer\\UpgradeCodes\\F1", ""},
        {"HKLM\\SYSTEM\\CurrentControlSet\\Enumerator", untied},
        {"HKLM\\SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_1", devices},
        {"HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet002\\Control\\DeviceClasses\\{1}", devices},
        {"HKLM\\SYSTEM\\DriverDatabase\\DriverPackages\\f.inf_1", devices},
        {"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Component Based Servicing\\Packages\\P",
         "Windows' own state (the component store and servicing)"},
        {"HKLM\\SOFTWARE\\Microsoft\\SystemCertificates\\AuthRoot\\Certificates\\AB",
         "Windows' own state (certificates Windows updates itself)"},
        {"HKLM\\software\\microsoft\\windows nt\\currentversion\\networklist\\Profiles\\{2}",
         "Windows' own state (network lists, profiles and interfaces)"},
        {"HKLM\\SOFTWARE\\WOW6432Node\\Microsoft\\Tracing\\fernwick_RASAPI32",
         "Windows' own state (event logs and tracing)"},
        {"HKLM\\SOFTWARE\\Microsoft\\Windows Defender\\Exclusions\\Paths", "Windows' own state (Windows Defender)"},
        {user + "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\UserAssist\\{3}\\Count",
         "Windows' own state (Windows' caches of what the user did)"},
        {user + "_Classes\\Local Settings\\Software\\Microsoft\\Windows\\Shell\\BagMRU\\0",
         "Windows' own state (Windows' caches of what the user did)"},
        {"HKEY_USERS\\S-1-5-21-1-2-3-1001\\Software\\Classes\\Local Settings\\MuiCache\\1",
         "Windows' own state (Windows' caches of what the user did)"},
        {"HKU\\S-1-5-21-1-2-3-1002", hive_root},
        {"HKU\\S-1-5-21-1-2-3-1002\\Software\\Fernwick", in_hive},
        {"HKLM\\FERNHIVE", hive_root},
        {"HKEY_LOCAL_MACHINE\\fernhive\\Settings", in_hive},
    };
    std::string expected;
    std::string lines;
    for (const Row& row : rows) {
        lines += (lines.empty() ? "" : "\r\n") + row.line;
        std::string key = row.line;
        if (key.rfind("HKLM\\", 0) == 0)
            key.replace(0, 4, "HKEY_LOCAL_MACHINE");
        else if (key.rfind("HKU\\", 0) == 0)
            key.replace(0, 3, "HKEY_USERS");
        if (!row.kept.empty())
            expected += "; Kept: " + row.kept + ". Remove the ';' below to delete it anyway.\r\n;";
        expected += "[-" + key + "]\r\n";
    }
    EXPECT_EQ(entries_for({lines}), expected);
    const Conversion all_kept = convert(section({"HKU\\S-1-5-21-1-2-3-1002", "HKU\\S-1-5-21-1-2-3-1002\\A"}));
    EXPECT_EQ(all_kept.outcome.output, message("Nothing to delete: the 2 listed key(s) hold Windows' own state, so "
                                               "all are kept (see morvane.reg)."));
}

// Values added under keys that were already there, and values the
// installation changed (an old line, then a new one): each line resolved
// against the registry, in the report's view and either encoding.
TEST(CleaningScript, WritesEntriesForTheValuesAddedOrChangedUnderKeysThatWereThere)
{
    test::Sandbox sandbox;
    const auto registry = sandbox.root / "registry";
    const auto software = registry / "HKEY_LOCAL_MACHINE" / "SOFTWARE";
    const auto string_data = [](const std::string& text) { return test::utf16le(text + std::string(1, '\0')); };
    const std::string user_assist =
        "S-1-5-21-1-2-3-1001\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\UserAssist\\{1}\\Count";
    test::set_value(software, "Direct", 4, std::string("\x01\0\0\0", 4));
    test::set_value(software / "Run", "Fernwick", 1, string_data("C:\\f.exe"));
    test::set_value(software / "Run", "Neighbour", 1, string_data("C:\\n.exe"));
    test::set_value(software / "Run", "Odd\\Name: 1", 4, std::string("\x01\0\0\0", 4));
    test::set_value(software / "Run", "", 2, string_data("%d%"));
    test::set_value(software / "Two", "x", 1, string_data("z"));
    test::set_value(software / "Two", "x: y", 1, string_data("1"));
    test::set_value(software / "K: 1", "n", 3, "\x0a\xff");
    test::set_value(software / "Fernwick" / "Sub", "v", 4, std::string(4, '\0'));
    std::string assist_dir = user_assist;
    std::replace(assist_dir.begin(), assist_dir.end(), '\\', '/');
    test::set_value(registry / "HKEY_USERS" / assist_dir, "v", 4, std::string(4, '\0'));
    const auto set = software / "Set";
    test::set_value(set, "sz", 1, string_data("new"));
    test::set_value(set, "path", 2, string_data("%P%;C:\\App"));
    test::set_value(set, "dw", 4, std::string("\x05\0\0\0", 4));
    test::set_value(set, "qw", 11, std::string("\x03\0\0\0\x01\0\0\0", 8));
    test::set_value(set, "bin", 3, "\x01\x02");
    test::set_value(set, "multi", 7, test::utf16le(std::string("a\0b\0\0", 5)));
    test::set_value(set, "", 1, string_data("new"));
    test::set_value(set, "Odd\\Name: 2", 4, std::string("\x02\0\0\0", 4));
    test::set_value(set, "moved", 1, string_data("since"));
    test::set_value(set, "blob", 3, "\x01");
    test::set_value(set, "kind", 4, std::string("\x01\0\0\0", 4));
    test::set_value(software / "Microsoft" / "Cryptography" / "RNG", "Seed", 3, "\x01");
    std::string cut = "HKLM\\SOFTWARE\\Run\\Fernwick: \"C:\\f.exe\"";
    cut.insert(18, std::string(1000 - cut.size(), 'c'));
    std::string long_cut = cut;
    long_cut.insert(18, std::string(8170 - cut.size(), 'c'));
    const std::string set_key = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Set]\r\n";
    const std::string changed = "\r\n; Values the installation changed, set back to what they were before\r\n";
    const std::string no_entry = "\r\n; No entry, ";
    struct Row {
        std::string old;  // the old line of a changed value; empty for an added value
        std::string line;
        std::string entry;
    };
    const Row rows[] = {
        // A value in the root of a hive that was there: the hive is no hive
        // loaded between the shots, and the values below it stay deletable.
        {"", "HKLM\\SOFTWARE\\Direct: 0x00000001", "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n\"Direct\"=-\r\n"},
        {"", "HKLM\\SOFTWARE\\Run\\Fernwick: \"C:\\f.exe\"", "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Run]\r\n\"Fernwick\"=-\r\n"},
        {"", "HKLM\\SOFTWARE\\Run\\Odd\\Name: 1: 0x00000001", "\"Odd\\\\Name: 1\"=-\r\n"},
        {"", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Run\\: \"%d%\"", "@=-\r\n"},
        {"", "HKLM\\SOFTWARE\\Two\\x: y: \"1\"", "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Two]\r\n\"x: y\"=-\r\n"},
        {"", "HKLM\\SOFTWARE\\K: 1\\n:  0A FF", "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\K: 1]\r\n\"n\"=-\r\n"},
        {"", "HKLM\\SOFTWARE\\Fernwick\\Sub\\v: 0x00000000", ""},
        {"", "HKLM\\SOFTWARE\\Gone\\v: \"1\"",
         no_entry + "no such value in the registry now: HKLM\\SOFTWARE\\Gone\\v: \"1\"\r\n"},
        {"", "HKCU\\Software\\Run\\x: \"1\"", ""},
        // Cut by RegShot's wrap: the name is whole, but no key holds it.
        {"", cut, no_entry + "the registry cannot tell which value it names: " + cut + "\r\n"},
        {"", "Run\\Fernwick: \"C:\\f.exe\"", ""},
        {"", "HKU\\" + user_assist + "\\v: 0x00000000",
         "\r\n; Kept: Windows' own state (Windows' caches of what the user did). Remove the ';' of the two lines "
         "below to delete it anyway.\r\n;[HKEY_USERS\\" + user_assist + "]\r\n;\"v\"=-\r\n"},
        {"HKCU\\Software\\Set\\v: \"old\"", "HKCU\\Software\\Set\\v: \"new\"", ""},
        {"HKLM\\SOFTWARE\\Set\\sz: \"old\"", "HKLM\\SOFTWARE\\Set\\sz: \"new\"", "\r\n" + set_key + "\"sz\"=\"old\"\r\n"},
        {"HKLM\\SOFTWARE\\Set\\path: \"%P%\"", "HKLM\\SOFTWARE\\Set\\path: \"%P%;C:\\App\"",
         "\"path\"=hex(2):25,00,50,00,25,00,00,00\r\n"},
        {"HKLM\\SOFTWARE\\Set\\dw: 0x00000004", "HKLM\\SOFTWARE\\Set\\dw: 0x00000005", "\"dw\"=dword:00000004\r\n"},
        {"HKLM\\SOFTWARE\\Set\\qw: 0x0000000100000002", "HKLM\\SOFTWARE\\Set\\qw: 0x0000000100000003",
         "\"qw\"=hex(b):02,00,00,00,01,00,00,00\r\n"},
        {"HKLM\\SOFTWARE\\Set\\bin: 0A", "HKLM\\SOFTWARE\\Set\\bin: 01 02", "\"bin\"=hex:0a\r\n"},
        {"HKLM\\SOFTWARE\\Set\\multi: \"x\", \"y z\"", "HKLM\\SOFTWARE\\Set\\multi: \"a\", \"b\"",
         "\"multi\"=hex(7):78,00,00,00,79,00,20,00,7a,00,00,00,00,00\r\n"},
        {"HKLM\\SOFTWARE\\Set\\: \"old\"", "HKLM\\SOFTWARE\\Set\\: \"new\"", "@=\"old\"\r\n"},
        {"HKLM\\SOFTWARE\\Set\\Odd\\Name: 2: 0x00000001", "HKLM\\SOFTWARE\\Set\\Odd\\Name: 2: 0x00000002",
         "\"Odd\\\\Name: 2\"=dword:00000001\r\n"},
        {"HKLM\\SOFTWARE\\Set\\moved: \"old\"", "HKLM\\SOFTWARE\\Set\\moved: \"new\"",
         no_entry + "the value changed since the report: HKLM\\SOFTWARE\\Set\\moved: \"new\"\r\n"},
        {"HKLM\\SOFTWARE\\Set\\blob: 00 01 ...", "HKLM\\SOFTWARE\\Set\\blob: 01",
         no_entry + "the report printed only part of its data: HKLM\\SOFTWARE\\Set\\blob: 01\r\n"},
        {"HKLM\\SOFTWARE\\Set\\kind: \"one\"", "HKLM\\SOFTWARE\\Set\\kind: 0x00000001",
         no_entry + "its old data is not of the type it has now: HKLM\\SOFTWARE\\Set\\kind: 0x00000001\r\n"},
        {"HKLM\\SOFTWARE\\Microsoft\\Cryptography\\RNG\\Seed: 00", "HKLM\\SOFTWARE\\Microsoft\\Cryptography\\RNG\\Seed: 01",
         "\r\n; Kept: Windows' own state (random-number seeds, counters and time stamps). Remove the ';' of the lines "
         "below to set it back anyway.\r\n;[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Cryptography\\RNG]\r\n"
         ";\"Seed\"=hex:00\r\n"},
        {cut + "\r\nc\"", "HKLM\\SOFTWARE\\Set\\sz: \"new\"",
         no_entry + "the report cut its line: HKLM\\SOFTWARE\\Set\\sz: \"new\"\r\n"},
    };
    std::string report = crlf_lines({"Regshot 1.9.0 x64 ANSI", "Keys added: 1", "HKLM\\SOFTWARE\\Fernwick", "",
                                     "Values deleted: 1", "HKLM\\SOFTWARE\\Run\\Neighbour: \"C:\\n.exe\"", "",
                                     "Values added: 12"});
    std::string modified = "\r\nValues modified: 14\r\n----\r\n";
    std::string expected = script_header + "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Fernwick]\r\n"
                                           "\r\n; Values added under keys that were already there\r\n";
    std::string expected_changed = changed;
    for (const Row& row : rows) {
        (row.old.empty() ? report : modified) += (row.old.empty() ? "" : row.old + "\r\n") + row.line + "\r\n";
        (row.old.empty() ? expected : expected_changed) += row.entry;
    }
    report += modified + "\r\n";
    expected += expected_changed;
    const auto convert_with_registry = [&](const std::string& text, bool utf16) {
        const auto report_file = sandbox.work / "report.txt";
        test::write_bytes(report_file, utf16 ? test::utf16le(text) : text);
        const test::Outcome outcome = test::run_isolated(sandbox, [&] {
            setenv("MORVANE_REGISTRY_DIR", registry.c_str(), 1);
            use_standard_tag();
            load_section_tags();
            std::strcpy(report_path, report_file.c_str());
            build_cleaning_script();
            std::printf("keys %d, values %d, set back %d, kept %d\n", key_count, value_count, set_back_count,
                        kept_key_count);
        });
        // An 8-bit script that sets an expandable or multi-string value back
        // is written in UTF-16LE: registry editors read its hex data in an
        // 8-bit script in different ways.
        const std::string script = test::read_bytes(sandbox.script());
        const bool utf16_script = script.rfind("\xFF\xFE", 0) == 0;
        EXPECT_EQ(utf16_script, utf16 || text.find("Values modified") != std::string::npos);
        return std::pair{outcome.output, utf16_script ? test::utf8_from_utf16le(script.substr(2)) : script};
    };
    for (const bool utf16 : {false, true}) {
        EXPECT_EQ(convert_with_registry(report, utf16), std::pair("keys 1, values 6, set back 8, kept 2\n"s, expected))
            << (utf16 ? "UTF-16" : "ANSI");
    }
    // A comment longer than a chunk stays one line when the 8-bit script is
    // written again in UTF-16LE.
    EXPECT_EQ(convert_with_registry(crlf_lines({"Regshot 1.9.0 x64 ANSI", "Values added: 1", long_cut, "",
                                                "Values modified: 2", "----", rows[14].old, rows[14].line, ""}),
                                    false),
              std::pair("keys 0, values 0, set back 1, kept 0\n"s,
                        script_header + "\r\n; Values added under keys that were already there\r\n" + no_entry +
                            "the registry cannot tell which value it names: " + long_cut + "\r\n" + changed + "\r\n" +
                            set_key + rows[14].entry));
    // RegShot leaves out an empty keys section: the values section is read all the same.
    EXPECT_EQ(convert_with_registry(crlf_lines({"Regshot 1.9.0 x64 ANSI", "Values added: 1", rows[0].line, ""}), false),
              std::pair("keys 0, values 1, set back 0, kept 0\n"s,
                        script_header + "\r\n; Values added under keys that were already there\r\n" + rows[0].entry));
}

TEST(CleaningScript, RefusesKeysWithLineBreaksInside)
{
    // Only CR LF ends a line: a lone CR or LF would split the entry and let
    // the rest of the name pass for an entry of its own. A zero byte would
    // cut the name down to a parent's.
    EXPECT_EQ(entries_for({"HKLM\\SOFTWARE\\A\n[-HKEY_LOCAL_MACHINE\\SOFTWARE]", "HKU\\S-1\\B\r",
                           std::string("HKLM\\SOFTWARE\\Parent\0Child", 26), "HKLM\\SOFTWARE\\C"}),
              "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\C]\r\n");
}

TEST(CleaningScript, IgnoresEveryPieceOfALineLongerThanAChunk)
{
    const std::string deep = "HKLM\\SOFTWARE\\" + std::string(9000, 'k');
    const std::string rest_is_a_key = "HKLM\\SOFTWARE\\" + std::string(8192 - 14, 'k') + "HKLM\\SOFTWARE\\Parent";
    const std::string one_chunk = "HKLM\\SOFTWARE\\" + std::string(8192 - 14, 'k');
    EXPECT_EQ(entries_for({deep, rest_is_a_key, one_chunk, "HKLM\\SOFTWARE\\After"}),
              "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\After]\r\n");
    // A key just short of a chunk is still whole.
    const std::string longest = "HKLM\\SOFTWARE\\" + std::string(8190 - 14, 'k');
    EXPECT_EQ(entries_for({longest}, false), "[-HKEY_LOCAL_MACHINE" + longest.substr(4) + "]\r\n");
}

TEST(CleaningScript, NeverNamesAKeyThatRegShotCut)
{
    // RegShot breaks a result after every 1000 characters.
    const std::string k1000 = "HKLM\\SOFTWARE\\" + std::string(986, 'k');
    const std::string on_separator = "HKLM\\SOFTWARE\\" + std::string(985, 'k') + "\\";
    const std::string next = "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Next]\r\n";
    const std::string whole = "[-HKEY_LOCAL_MACHINE" + k1000.substr(4) + "]\r\n";
    EXPECT_EQ(entries_for({k1000, "HKLM\\SOFTWARE\\Next"}), whole + next);
    EXPECT_EQ(entries_for({k1000}), whole);
    EXPECT_EQ(entries_for({k1000, "Sub\\Key", "HKLM\\SOFTWARE\\Next"}), next);
    EXPECT_EQ(entries_for({k1000, std::string(1000, 'c'), "HKLM\\SOFTWARE\\Next"}), next);
    EXPECT_EQ(entries_for({k1000, std::string(1000, 'c'), "rest", "HKLM\\SOFTWARE\\Next"}), next);
    EXPECT_EQ(entries_for({on_separator, "Parent2", "HKLM\\SOFTWARE\\Next"}), next);
    // Only a line of exactly 1000 characters is a cut.
    EXPECT_EQ(entries_for({k1000 + "k", "Sub"}), "[-HKEY_LOCAL_MACHINE" + k1000.substr(4) + "k]\r\n");
    // In a UTF-16 report, characters are 16-bit units, not bytes.
    const std::string cyrillic_1000 = "HKU\\S-1\\Software\\" + [] {
        std::string name;
        for (int i = 0; i < 983; ++i)
            name += "я";
        return name;
    }();
    EXPECT_EQ(utf16_entries(test::utf16le(section({cyrillic_1000, "Sub", "HKU\\S-1\\Software\\Next"}))),
              "[-HKEY_USERS\\S-1\\Software\\Next]\r\n");
}

TEST(CleaningScript, ReadsReportsOfRegShotsUnicodeBuilds)
{
    const std::string expected = "\xFF\xFE" + test::utf16le(script_header + "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Café]\r\n"
                                                                          "[-HKEY_USERS\\S-1\\Software\\Ключ]\r\n");
    struct Case {
        std::string mark;
        std::string tag;  // in tags.ini's code page, Windows-1252 for the native build
        std::string heading;
        std::string decoy;  // a heading before it that the tag must not match
    };
    for (const Case& c : {Case{"", "Keys added", "Keys added: 2", "Keys deleted: 1"},
                          Case{"\xFF\xFE", "Keys added", "Keys added: 2", "Keys deleted: 1"},
                          Case{"", "Schl\xFCssel hinzugef\xFCgt", "Schlüssel hinzugefügt: 2", "Keys added: 1"}}) {
        const std::string report = crlf_lines({"Regshot 1.9.0 x64 Unicode", "Comments: ", "", "--", c.decoy,
                                               "HKLM\\SOFTWARE\\Before", "", c.heading, "--", "HKLM\\SOFTWARE\\Café",
                                               "HKU\\S-1\\Software\\Ключ", ""});
        test::Sandbox sandbox;
        test::write_bytes(sandbox.work / "report.txt", c.mark + test::utf16le(report));
        const test::Outcome outcome = test::run_isolated(sandbox, [&] {
            std::strcpy(tag_list.tags[0], c.tag.c_str());
            tag_list.count = 1;
            std::strcpy(report_path, "report.txt");
            build_cleaning_script();
            std::printf("key_count=%d x64=%d\n", key_count, report_from_x64);
        });
        EXPECT_EQ(outcome.output, "key_count=2 x64=1\n") << c.heading;
        EXPECT_EQ(test::read_bytes(sandbox.script()), expected) << c.heading;
    }
    // A lone surrogate, or a last odd byte, cannot be carried into a name.
    const std::string lone = test::utf16le("HKLM\\SOFTWARE\\A") + std::string("\x00\xD8", 2) + test::utf16le("\r\n");
    const std::string odd = test::utf16le("HKLM\\SOFTWARE\\B") + "C";
    EXPECT_EQ(utf16_entries(test::utf16le(crlf_lines({"Keys added: 2", "HKLM\\SOFTWARE\\Kept"})) + lone + odd),
              "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Kept]\r\n");
}

TEST(CleaningScript, ReadsOnlyTheFirstSectionUpToItsEmptyLine)
{
    const std::string report = crlf_lines({"Keys deleted: 1", "HKLM\\SOFTWARE\\Deleted", "", "Keys added: 2",
                                           "HKLM\\SOFTWARE\\One", "   ", "HKU\\S-1\\Software\\Two", "", "HKLM\\SOFTWARE\\After",
                                           "", "Keys added: 1", "HKLM\\SOFTWARE\\Second"});
    const Conversion result = convert(report);
    ASSERT_TRUE(result.outcome.returned());
    EXPECT_EQ(result.outcome.output, "key_count=2\n");
    EXPECT_EQ(result.script,
              script_header + "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\One]\r\n[-HKEY_USERS\\S-1\\Software\\Two]\r\n");
}

TEST(CleaningScript, EndsTheSectionAtEndOfFile)
{
    for (const std::string& end : {std::string("\r\n"), std::string()}) {
        const Conversion result = convert("Keys added: 2\r\nHKLM\\SOFTWARE\\A\r\nHKLM\\SOFTWARE\\Last" + end);
        ASSERT_TRUE(result.outcome.returned());
        EXPECT_EQ(result.outcome.output, "key_count=2\n");
        EXPECT_EQ(result.script,
                  script_header + "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\r\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Last]\r\n");
    }
}

TEST(CleaningScript, EndsTheRunWhenTheReportCannotBeOpened)
{
    test::Sandbox sandbox;
    const test::Outcome outcome = test::run_isolated(sandbox, [] {
        use_standard_tag();
        std::strcpy(report_path, "missing.txt");
        build_cleaning_script();
    });
    EXPECT_TRUE(outcome.exited_with(0));
    EXPECT_EQ(outcome.output, message("Error opening input file."));
    EXPECT_FALSE(std::filesystem::exists(sandbox.script()));
}

TEST(CleaningScript, EndsTheRunWithoutAUsableTemporaryDirectory)
{
    test::Sandbox sandbox;
    test::write_bytes(sandbox.work / "report.txt", section({"HKLM\\SOFTWARE\\A"}));
    const std::string too_long = std::string(1, '/').append(198, 't');
    const test::Outcome outcome = test::run_isolated(sandbox, [&] {
        setenv("TMPDIR", too_long.c_str(), 1);
        use_standard_tag();
        std::strcpy(report_path, "report.txt");
        build_cleaning_script();
    });
    EXPECT_TRUE(outcome.exited_with(0));
    EXPECT_EQ(outcome.output, message("Error accessing temporary directory."));
}

TEST(CleaningScript, EndsTheRunWhenNoLineBeginsWithATag)
{
    for (const std::string& report :
         {std::string(), crlf_lines({"Keys deleted: 1", "HKLM\\SOFTWARE\\A", "", " Keys added: 1", "HKLM\\B"}),
          std::string("\xFF\xFE"), std::string("\0K\0e\0y\0s\0 \0a\0d\0d\0e\0d\0\r\0\n\0H\0K\0L\0M\0\\\0A\r\0\n", 34)}) {
        test::Sandbox sandbox;
        test::write_bytes(sandbox.script(), "from an earlier run");
        const Conversion result = convert_in(sandbox, report);
        EXPECT_TRUE(result.outcome.exited_with(0));
        EXPECT_EQ(result.outcome.output, message("Invalid or empty report file."));
        EXPECT_EQ(result.script, "from an earlier run");
    }
}

// With administrator rights, a link in the user's temporary directory
// would send the script anywhere: the file it leads to stays as it was.
TEST(CleaningScript, EndsTheRunWhenTheScriptCannotBeCreated)
{
    namespace fs = std::filesystem;
    const std::string linked = "Error creating temporary file.\n\n%s lies behind a junction or symbolic link, or has "
                               "another name too: Morvane does not write there with administrator rights. Nothing "
                               "was changed.";
    for (const std::string way : {"folder", "symbolic link", "hard link", "linked directory"}) {
        test::Sandbox sandbox;
        const fs::path elsewhere = sandbox.root / "elsewhere";
        fs::create_directory(elsewhere);
        test::write_bytes(elsewhere / "system.dat", "not the script's");
        if (way == "folder") {
            fs::create_directory(sandbox.script());
        } else if (way == "symbolic link") {
            fs::create_symlink(elsewhere / "system.dat", sandbox.script());
        } else if (way == "hard link") {
            fs::create_hard_link(elsewhere / "system.dat", sandbox.script());
        } else {
            fs::remove_all(sandbox.temp);
            fs::create_directory_symlink(elsewhere, sandbox.temp);
        }
        const Conversion result = convert_in(sandbox, section({"HKLM\\SOFTWARE\\A"}));
        EXPECT_TRUE(result.outcome.exited_with(0)) << way;
        char expected[1024];
        std::snprintf(expected, sizeof expected, linked.c_str(), (sandbox.temp.string() + "/\\morvane.reg").c_str());
        EXPECT_EQ(result.outcome.output, message(way == "folder" ? "Error creating temporary file." : expected)) << way;
        EXPECT_EQ(test::read_bytes(elsewhere / "system.dat"), "not the script's") << way;
        EXPECT_FALSE(fs::exists(elsewhere / "morvane.reg")) << way;
    }
}

TEST(CleaningScript, NeverOverwritesTheReportItReads)
{
    // A report saved as the script's own name is open while the script is
    // created: that must fail, not truncate the report.
    test::Sandbox sandbox;
    const std::string report = section({"HKLM\\SOFTWARE\\A"});
    test::write_bytes(sandbox.script(), report);
    const test::Outcome outcome = test::run_isolated(sandbox, [&] {
        use_standard_tag();
        std::strcpy(report_path, sandbox.script().c_str());
        build_cleaning_script();
    });
    EXPECT_TRUE(outcome.exited_with(0));
    EXPECT_EQ(outcome.output, message("Error creating temporary file."));
    EXPECT_EQ(test::read_bytes(sandbox.script()), report);
}

TEST(CleaningScript, LeavesTheHeaderAloneWhenTheSectionHasNoKeys)
{
    test::Sandbox sandbox;
    test::write_bytes(sandbox.script(), "from an earlier run");
    const Conversion result = convert_in(sandbox, crlf_lines({"Keys added: 0", "", "HKLM\\SOFTWARE\\After"}));
    EXPECT_TRUE(result.outcome.exited_with(0));
    EXPECT_EQ(result.outcome.output, message(no_keys));
    EXPECT_EQ(result.script, script_header);
}

TEST(CleaningScript, OverwritesTheScriptOfAnEarlierRun)
{
    test::Sandbox sandbox;
    ASSERT_TRUE(convert_in(sandbox, section({"HKLM\\SOFTWARE\\First", "HKLM\\SOFTWARE\\Longer"})).outcome.returned());
    const Conversion second = convert_in(sandbox, section({"HKU\\S-1\\Software\\Second"}));
    EXPECT_EQ(second.script, script_header + "[-HKEY_USERS\\S-1\\Software\\Second]\r\n");
}

}  // namespace
