// The script and the list as the user left them in Notepad, held against
// what was written: what the question before cleaning shows, and what is
// carried out.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "review/review.h"
#include "state/state.h"
#include "tests/test_support.h"

namespace {

namespace fs = std::filesystem;

const std::string written_script = test::crlf_lines({
    "Windows Registry Editor Version 5.00",
    "",
    "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\App]",
    "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\App\\Sub]",
    ";[-HKEY_USERS\\S-1-5-21-1-2-3-1002]",
    "",
    "; Values added under keys that were already there",
    "",
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\Shared]",
    "\"Path\"=-",
    "\"Blob\"=hex:00,01,02,\\",
    "  03,04",
    "",
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]",
    "\"Mode\"=dword:00000001",
});
const std::string written_list = test::crlf_lines({
    "; Files and folders that the installation added.",
    "",
    "C:\\Program Files\\App\\",
    "C:\\Program Files\\App\\app.exe",
});

TEST(Review, AsksAboutEveryEntryThatIsNotAsWritten)
{
    const std::string warning = test::caption + "These entries are not as Morvane wrote them: they were added or changed.\n\n";
    const std::string asking = "\nCarry them out as your own, at your own risk? Cancel leaves everything untouched.\n"
                               "[ok/cancel]\n";
    struct Row {
        const char* edit;
        std::string from;  // in the script, or with `list` in the list
        std::string to;
        bool list;
        std::string shown;  // the entries the question lists; empty: no question
        bool utf8 = false;  // saved as UTF-8, as Notepad offers
        std::string refused = "";  // the message that ends the run instead
        bool removed = false;  // the file is gone
    };
    const Row rows[] = {
        {"a key left out", "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\App\\Sub]\r\n", "", false, ""},
        {"a value commented out", "\"Path\"=-", ";\"Path\"=-", false, ""},
        {"a comment changed", "; Values added", "; Mine, added", false, ""},
        {"a kept key let go", ";[-HKEY_USERS", "[-HKEY_USERS", false,
         "morvane.reg, line 5: [-HKEY_USERS\\S-1-5-21-1-2-3-1002]\n"},
        {"a key re-cased", "Vendor\\App]", "VENDOR\\App]", false,
         "morvane.reg, line 3: [-HKEY_LOCAL_MACHINE\\SOFTWARE\\VENDOR\\App]\n"},
        {"a key widened to its parent", "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\App]", "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor]",
         false, "morvane.reg, line 3: [-HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor]\n"},
        {"a key added", "\"Path\"=-\r\n", "\"Path\"=-\r\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft]\r\n", false,
         // The value below it now lies in the key added.
         "morvane.reg, line 11: [-HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft]\n"
         "morvane.reg, line 12: \"Blob\"=hex:00,01,02,\\\n"},
        {"a value's data changed", "dword:00000001", "dword:00000000", false,
         "morvane.reg, line 15: \"Mode\"=dword:00000000\n"},
        {"a value's data cut short", "  03,04\r\n", "", false, "morvane.reg, line 11: \"Blob\"=hex:00,01,02,\\\n"},
        {"a value moved under another key", "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\r\n", "", false,
         "morvane.reg, line 14: \"Mode\"=dword:00000001\n"},
        {"the script cut short in a key", "\\Other]\r\n\"Mode\"=dword:00000001\r\n", "\\Oth", false,
         "morvane.reg, line 14: [HKEY_LOCAL_MACHINE\\SOFTWARE\\Oth\n"},
        {"a list line left out", "C:\\Program Files\\App\\\r\n", "", true, ""},
        {"the list saved as UTF-8", "", "", true, "", true},
        {"the script removed", "", "", false, "", false,
         test::message("'morvane.reg' could not be read back. Nothing was changed."), true},
        {"the list removed", "", "", true, "", false,
         test::message("'morvane-files.txt' could not be read back. Nothing was changed."), true},
        {"the script saved as UTF-8", "", "", false, "", true,
         test::message("'morvane.reg' was saved in another encoding than it was written in, which the registry "
                       "editor would read otherwise. Nothing was changed.")},
        {"a list line pointing elsewhere", "Program Files\\App\\app.exe", "Windows\\explorer.exe", true,
         "morvane-files.txt, line 4: C:\\Windows\\explorer.exe\n"},
    };
    for (const Row& row : rows) {
        for (const char* answer : {"cancel", "ok"}) {
            test::Sandbox sandbox;
            const fs::path script = sandbox.script();
            const fs::path list = sandbox.temp / "morvane-files.txt";
            const test::Outcome outcome = test::run_isolated(
                sandbox,
                [&] {
                    std::snprintf(script_path, sizeof script_path, "%s", script.c_str());
                    std::snprintf(list_path, sizeof list_path, "%s", list.c_str());
                    files_listed = true;
                    test::write_bytes(script, written_script);
                    test::write_bytes(list, "\xFF\xFE" + test::utf16le(written_list));
                    remember_written_files();
                    std::string edited = row.list ? written_list : written_script;
                    edited.replace(edited.find(row.from), row.from.size(), row.to);
                    if (row.removed)
                        fs::remove(row.list ? list : script);
                    else if (row.utf8)
                        test::write_bytes(row.list ? list : script, "\xEF\xBB\xBF" + edited);
                    else if (row.list)
                        test::write_bytes(list, "\xFF\xFE" + test::utf16le(edited));
                    else
                        test::write_bytes(script, edited);
                    const bool taken = take_reviewed_files();
                    // What the registry editor and the files step read: the
                    // copies, in the stand-in's names.
                    const auto copy_of = [](const fs::path& file, std::string copy) {
                        std::replace(copy.begin(), copy.end(), '\\', '/');
                        return copy != file.string() && test::read_bytes(copy) == test::read_bytes(file);
                    };
                    std::printf("%s|%s|%s\n", taken ? "taken" : "declined",
                                taken && copy_of(script, script_path) ? "script" : "",
                                taken && copy_of(list, list_path) ? "list" : "");
                    discard_reviewed_copies();
                },
                std::string(answer) + "\n");
            const bool asked = !row.shown.empty();
            const bool taken = row.refused.empty() && (!asked || answer == std::string("ok"));
            EXPECT_EQ(outcome.output, (asked ? warning + row.shown + asking : "") + row.refused +
                                          (taken ? "taken|script|list\n" : "declined||\n"))
                << row.edit << ", " << answer;
            EXPECT_EQ(std::distance(fs::directory_iterator(sandbox.temp), {}), row.removed ? 1 : 2) << row.edit;
        }
    }
}

}  // namespace
