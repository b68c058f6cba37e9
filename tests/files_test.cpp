// The files and folders an installation added: the list, and what goes to
// the Recycle Bin (the native stand-in's folder) and what stays.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "convert/cleaning_script.h"
#include "convert/tag_list.h"
#include "files/file_sections.h"
#include "files/recycle.h"
#include "files/restart_moves.h"
#include "platform/posix_names.h"
#include "platform/bin_guard.h"
#include "state/state.h"
#include "tests/test_support.h"
#include "ui/main_flow.h"

namespace {

namespace fs = std::filesystem;

// The entry of the stand-in's Recycle Bin that holds `name`, a folder or a
// file that holds `bytes`; or an empty path.
fs::path in_bin(const fs::path& bin, const std::string& name, const std::string& bytes = "")
{
    for (const auto& entry : fs::directory_iterator(bin)) {
        const std::string moved = entry.path().filename().string();
        if (moved.ends_with("-" + name) && (bytes.empty() || test::read_bytes(entry.path()) == bytes))
            return entry.path();
    }
    return {};
}

TEST(Files, GoToTheRecycleBinOnlyAsTheReportSawThem)
{
    enum class After { in_bin, stays, absent, moved };  // moved: at the restart, into the cleaning's folder
    struct Row {
        std::string path;  // below C:\, a folder's ending with a backslash
        After x64;
        After x86;  // the same listed path, from an x86 report
    };
    const std::string cut_folder = "ProgramData\\Shared\\" + std::string(244, 'd') + "\\" + std::string(244, 'd') +
                                   "\\" + std::string(244, 'd') + "\\" + std::string(243, 'd');
    const Row rows[] = {
        {"Program Files\\Fern\\", After::in_bin, After::in_bin},  // left empty: goes whole
        {"Program Files\\Fern Data\\", After::stays, After::stays},  // holds a file saved since
        {"Program Files\\Fern Data\\kept.txt", After::in_bin, After::in_bin},
        {"Program Files\\Fern Held\\", After::absent, After::absent},  // a program holds a file in it
        {"Program Files\\Fern Held\\held.dat", After::moved, After::moved},
        // Free, in a folder in use; an earlier cleaning registered its move.
        {"Program Files\\Fern Held\\free.txt", After::absent, After::absent},
        {"ProgramData\\Shared\\config.ini", After::stays, After::stays},  // changed since the report
        {"ProgramData\\Shared\\added.txt", After::stays, After::stays},   // kept in the list
        {"ProgramData\\Shared\\gone.txt", After::absent, After::absent},
        {"ProgramData\\Shared\\extra.log", After::in_bin, After::in_bin},  // added to the list
        {"Windows\\Prefetch\\FERN.EXE-1.pf", After::in_bin, After::in_bin},  // Windows' own, let go in the list
        {"Windows\\Temp\\fern.tmp", After::stays, After::stays},  // Windows' own
        {"Windows\\System32\\fern.dll", After::in_bin, After::stays},
        {"Windows\\SysWOW64\\fern.dll", After::stays, After::in_bin},
        {cut_folder, After::stays, After::stays},
    };
    for (const std::string title : {"Regshot 1.9.0 x64 Unicode", "Regshot 1.9.0 x86 Unicode"}) {
        const bool x64 = title.find("x64") != std::string::npos;
        test::Sandbox sandbox;
        const fs::path c = sandbox.root / "drives" / "C";
        const fs::path bin = sandbox.root / "bin";
        const auto native = [&c](std::string path) {
            std::replace(path.begin(), path.end(), '\\', '/');
            return c / path;
        };
        for (const char* folder : {"Users/u/AppData/Local", "Program Files/Fern/sub", "Program Files/Fern Data", "Program Files/Fern Held", "ProgramData/Shared",
                                   "Windows/Prefetch", "Windows/Temp", "Windows/System32", "Windows/SysWOW64"})
            fs::create_directories(c / folder);
        fs::create_directories(native(cut_folder) / "tail");
        fs::create_directories(bin);
        for (const char* file : {"Program Files/Fern/app.exe", "Program Files/Fern/sub/data.dat",
                                 "Program Files/Fern Data/kept.txt", "Program Files/Fern Held/held.dat",
                                 "Program Files/Fern Held/free.txt", "ProgramData/Shared/config.ini",
                                 "ProgramData/Shared/added.txt", "ProgramData/Shared/gone.txt",
                                 "Windows/Prefetch/FERN.EXE-1.pf", "Windows/Temp/fern.tmp",
                                 "Windows/System32/fern.dll", "Windows/SysWOW64/fern.dll"})
            test::write_bytes(c / file, file);
        test::write_bytes(native(cut_folder) / "tail" / "t.txt", "cut");
        const std::string system_dll = "C:\\Windows\\System32\\fern.dll";
        // RegShot's x86 build saw SysWOW64 as System32.
        const auto seen = [x64](std::string file) {
            return x64 || !file.starts_with("Windows\\System32") ? file : "Windows\\SysWOW64" + file.substr(16);
        };
        std::vector<std::string> lines = {title, "", "----", "Folders added: 5", "----"};
        for (const char* folder :
             {"Program Files\\Fern", "Program Files\\Fern\\sub", "Program Files\\Fern Data", "Program Files\\Fern Held"})
            lines.insert(lines.end(), {"C:\\" + std::string(folder), "0x00000010"});
        lines.insert(lines.end(), {"C:\\" + cut_folder, "\\tail", "0x00000010", "", "----", "Files added: 11", "----"});
        for (const char* file : {"Program Files\\Fern\\app.exe", "Program Files\\Fern\\sub\\data.dat",
                                 "Program Files\\Fern Data\\kept.txt", "Program Files\\Fern Held\\held.dat",
                                 "Program Files\\Fern Held\\free.txt", "ProgramData\\Shared\\config.ini",
                                 "ProgramData\\Shared\\added.txt", "ProgramData\\Shared\\gone.txt",
                                 "Windows\\Prefetch\\FERN.EXE-1.pf", "Windows\\Temp\\fern.tmp", "Windows\\System32\\fern.dll"})
            lines.insert(lines.end(), {"C:\\" + std::string(file), test::file_data_line(native(seen(file)))});
        std::string report;
        for (const std::string& line : lines)
            report += line + "\r\n";
        test::write_bytes(sandbox.work / "report.txt", test::utf16le(report + "\r\n"));
        // What changed after the report.
        test::write_bytes(c / "Program Files/Fern Data/notes.txt", "saved later");
        test::write_bytes(c / "ProgramData/Shared/config.ini", "edited since");
        fs::remove(c / "ProgramData/Shared/gone.txt");
        test::write_bytes(c / "ProgramData/Shared/extra.log", "ProgramData/Shared/extra.log");

        fs::create_directories(c / "Earlier");
        test::write_bytes(sandbox.root / "pending", "C:\\Program Files\\Fern Held\\free.txt\tC:\\Earlier\\free.txt\n");
        // A program of its own holds the file open.
        const int held = open((c / "Program Files/Fern Held/held.dat").c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_EQ(flock(held, LOCK_EX), 0);
        const test::Outcome outcome = test::run_isolated(sandbox, [&] {
            setenv("MORVANE_DRIVES_DIR", (sandbox.root / "drives").c_str(), 1);
            setenv("MORVANE_RECYCLE_BIN_DIR", bin.c_str(), 1);
            setenv("MORVANE_WINDOWS_DIR", "C:\\Windows", 1);
            setenv("MORVANE_SYSTEM_DIR", "C:\\Windows\\System32", 1);
            setenv("MORVANE_WOW64_DIR", "C:\\Windows\\SysWOW64", 1);
            setenv("MORVANE_PROGRAM_DATA_DIR", "C:\\ProgramData", 1);
            setenv("MORVANE_LOCAL_APPDATA_DIR", "C:\\Users\\u\\AppData\\Local", 1);
            setenv("MORVANE_PENDING_MOVES", (sandbox.root / "pending").c_str(), 1);
            test::convert_report("report.txt");
            std::printf("%d file(s), %d folder(s), %d kept\n", file_count, folder_count, kept_file_count);
            static char question[512];
            append_in_use_question(question, sizeof question, [](const char16_t*, std::uint32_t, bool) { return false; });
            std::printf("%s", question);
            // The list as the user left it in Notepad, saved as UTF-8.
            const fs::path list = sandbox.temp / "morvane-files.txt";
            const std::string listed = test::utf8_from_utf16le(test::read_bytes(list).substr(2));
            std::string edited = "\xEF\xBB\xBF" + listed;
            edited.replace(edited.find("C:\\ProgramData\\Shared\\added.txt"), 1, ";C");
            edited.replace(edited.find(";C:\\Windows\\Prefetch"), 1, "");
            edited += "  C:\\ProgramData\\Shared\\extra.log  \r\n";
            test::write_bytes(list, edited);
            look_at_listed_files();
            recycle_listed_files();
            register_moves_at_restart();
            report_cleaning(true);
            test::write_bytes(sandbox.root / "list", listed);
        });
        close(held);
        const std::string pending = test::read_bytes(sandbox.root / "pending");
        EXPECT_EQ(std::count(pending.begin(), pending.end(), '\n'), 3) << pending;
        setenv("MORVANE_DRIVES_DIR", (sandbox.root / "drives").c_str(), 1);
        setenv("MORVANE_PENDING_MOVES", (sandbox.root / "pending").c_str(), 1);
        carry_out_moves_at_restart();
        fs::path moved_to;
        for (const auto& entry : fs::directory_iterator(c / "Users/u/AppData/Local/Morvane/Backups"))
            moved_to = entry.path() / "C";
        const std::string kept = "; Kept: Windows' own files (%s). Remove the ';' below to move it to the Recycle "
                                 "Bin anyway.\r\n;";
        const auto kept_line = [&kept](const std::string& kind) {
            return kept.substr(0, kept.find("%s")) + kind + kept.substr(kept.find("%s") + 2);
        };
        EXPECT_EQ(test::read_bytes(sandbox.root / "list"),
                  "; Files and folders that the installation added. Cleaning moves each to the\r\n"
                  "; Recycle Bin: a file only if it is as the report saw it, a folder only once\r\n"
                  "; nothing else is left in it. Put a ';' before a line to keep it.\r\n\r\n"
                  "C:\\Program Files\\Fern\\\r\nC:\\Program Files\\Fern\\sub\\\r\nC:\\Program Files\\Fern Data\\\r\n"
                  "C:\\Program Files\\Fern Held\\\r\n"
                  "C:\\Program Files\\Fern\\app.exe\r\nC:\\Program Files\\Fern\\sub\\data.dat\r\n"
                  "C:\\Program Files\\Fern Data\\kept.txt\r\nC:\\Program Files\\Fern Held\\held.dat\r\n"
                  "C:\\Program Files\\Fern Held\\free.txt\r\n"
                  "C:\\ProgramData\\Shared\\config.ini\r\n"
                  "C:\\ProgramData\\Shared\\added.txt\r\nC:\\ProgramData\\Shared\\gone.txt\r\n" +
                      kept_line("prefetch files") + "C:\\Windows\\Prefetch\\FERN.EXE-1.pf\r\n" +
                      kept_line("temporary files") + "C:\\Windows\\Temp\\fern.tmp\r\n" + system_dll + "\r\n");
        const std::string result = outcome.output.substr(outcome.output.find("\nListed files and folders"));
        EXPECT_EQ(result, "\nListed files and folders: 14\nIn the Recycle Bin: 8\nC:\\Program Files\\Fern\\\n"
                          "C:\\Program Files\\Fern\\sub\\\nC:\\Program Files\\Fern\\app.exe\nand 5 more\n"
                          "Already absent: 1\nC:\\ProgramData\\Shared\\gone.txt\n"
                          "Moved out when Windows restarts: 3\nC:\\Program Files\\Fern Held\\\n"
                          "C:\\Program Files\\Fern Held\\held.dat\nC:\\Program Files\\Fern Held\\free.txt\nKept: 2\n"
                          "C:\\Program Files\\Fern Data\\: holds other files\n"
                          "C:\\ProgramData\\Shared\\config.ini: changed since the report\n\n"
                          "No backup was written.\n"
                          "The files and folders are in the Recycle Bin: restore them from there.\n"
                          "What is in use moves out when Windows restarts: files into " +
                              ("C:\\Users\\u\\AppData\\Local\\Morvane\\Backups\\" +
                               moved_to.parent_path().filename().string()) +
                              ", by their full names, listed folders removed once empty. Move a file back from there "
                              "to restore it. Some were registered by an earlier cleaning, and move where it said.\n\n"
                              "Restart Windows to finish.\n")
            << title;
        EXPECT_EQ(outcome.output.substr(0, outcome.output.find('\n')), "9 file(s), 4 folder(s), 2 kept");
        EXPECT_NE(outcome.output.find("\n1 file(s) and 1 folder(s) in use are moved out when Windows restarts.\n"
                                      "C:\\Program Files\\Fern Held\\, C:\\Program Files\\Fern Held\\held.dat\n"),
                  std::string::npos);
        for (const Row& row : rows) {
            std::string name = row.path;
            const bool folder = name.back() == '\\';
            if (folder)
                name.pop_back();
            std::string bytes = folder ? "" : name;
            std::replace(bytes.begin(), bytes.end(), '\\', '/');
            name = name.substr(name.rfind('\\') + 1);
            const After after = x64 ? row.x64 : row.x86;
            EXPECT_EQ(fs::exists(native(row.path)), after == After::stays) << row.path << ", " << title;
            EXPECT_EQ(!in_bin(bin, name, bytes).empty(), after == After::in_bin) << row.path << ", " << title;
            std::string below = row.path;
            std::replace(below.begin(), below.end(), '\\', '/');
            EXPECT_EQ(!folder && fs::exists(moved_to / below) && test::read_bytes(moved_to / below) == bytes,
                      after == After::moved)
                << row.path << ", " << title;
        }
        EXPECT_TRUE(fs::exists(in_bin(bin, "Fern") / "sub" / "data.dat"));
        EXPECT_EQ(test::read_bytes(c / "Earlier/free.txt"), "Program Files/Fern Held/free.txt");
    }
}

// The shell's file operation calls a delete without the bin's flag a
// delete for good, whatever else it carries; an item is in the bin only
// where the shell names the item it made there. A subst drive's item lies
// on the volume of the folder or share it stands for.
TEST(Files, TheShellMayOnlyRecycle)
{
    const struct {
        std::uint32_t flags;
        bool proceeds;
    } deletes[] = {{0x80, true}, {0x80 | 0x40 | 0x800, true}, {0, false}, {0x40, false}, {0x2 | 0x400, false},
                   {0xFFFFFF7F, false}};
    for (const auto& [flags, proceeds] : deletes)
        EXPECT_EQ(delete_may_proceed(flags), proceeds) << std::hex << flags;
    const struct {
        const char16_t* device;
        const char16_t* path;
        const char16_t* resolved;
    } drives[] = {{u"\\??\\D:\\Work", u"S:\\App\\a.dll", u"D:\\Work\\App\\a.dll"},
                  {u"\\??\\C:\\", u"S:\\App", u"C:\\App"},
                  {u"\\??\\UNC\\server\\share\\", u"S:\\App", u"\\\\server\\share\\App"},
                  {u"\\Device\\HarddiskVolume3", u"C:\\App", u"C:\\App"},
                  {u"\\??\\unix/home", u"C:\\App", u"C:\\App"},
                  {u"", u"C:\\App", u"C:\\App"}};
    for (const auto& [device, path, resolved] : drives) {
        char16_t out[64];
        ASSERT_TRUE(path_through_substitute(device, path, out, 64));
        EXPECT_EQ(std::u16string(out), std::u16string(resolved));
    }
    char16_t small[8];
    EXPECT_FALSE(path_through_substitute(u"\\??\\D:\\Work", u"S:\\App", small, 8));
    EXPECT_TRUE(bin_took_item(true, true));
    EXPECT_FALSE(bin_took_item(true, false));
    EXPECT_FALSE(bin_took_item(false, true));
}

}  // namespace
