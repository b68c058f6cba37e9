// Fuzzes the list of files as the user edits it: any bytes as
// morvane-files.txt. Each entry is a line of the list as decoded, without
// its blanks and a folder's closing backslash; looking at the entries, the
// Recycle Bin step (with no Recycle Bin, so nothing moves) and the check run
// on them through the real code.
#include <iconv.h>

#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>

#include "files/file_list.h"
#include "files/listed_paths.h"
#include "files/recycle.h"
#include "state/state.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

std::u16string from_utf8(const std::string& text, bool& converted)
{
    const iconv_t converter = iconv_open("UTF-16LE", "UTF-8");
    std::string in = text;
    std::string out(text.size() * 2 + 2, '\0');
    char* from = in.data();
    char* to = out.data();
    std::size_t in_left = in.size();
    std::size_t out_left = out.size();
    converted = iconv(converter, &from, &in_left, &to, &out_left) != static_cast<std::size_t>(-1);
    iconv_close(converter);
    std::u16string units((out.size() - out_left) / 2, u'\0');
    std::memcpy(units.data(), out.data(), 2 * units.size());
    return units;
}

// The list's CR LF lines as UTF-16, in the encoding its first bytes tell.
std::set<std::u16string> lines_of(const std::uint8_t* data, std::size_t size)
{
    std::set<std::u16string> lines;
    const bool utf8 = size >= 3 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0;
    const bool utf16 = !utf8 && size >= 2 && ((data[0] == 0xFF && data[1] == 0xFE) || (data[0] != 0 && data[1] == 0));
    const std::size_t unit = utf16 ? 2 : 1;
    std::size_t start = utf8 ? 3 : utf16 && data[0] == 0xFF && data[1] == 0xFE ? 2 : 0;
    for (std::size_t at = start;; at += unit) {
        const bool end = at + 2 * unit > size;
        if (!end && !(data[at] == '\r' && data[at + unit] == '\n' && (!utf16 || (data[at + 1] == 0 && data[at + 3] == 0))))
            continue;
        const std::size_t stop = end ? size : at;
        std::u16string line;
        bool converted = true;
        if (utf16) {
            for (std::size_t i = start; i + 1 < stop; i += 2)
                line += static_cast<char16_t>(data[i] | data[i + 1] << 8);
        } else if (utf8) {
            line = from_utf8(std::string(reinterpret_cast<const char*>(data + start), stop - start), converted);
        } else {
            line.resize(stop - start);
            line.resize(ansi_to_utf16le(reinterpret_cast<const char*>(data + start), static_cast<std::uint32_t>(stop - start),
                                        reinterpret_cast<char*>(line.data()), static_cast<std::uint32_t>(2 * line.size())) /
                        2);
        }
        const std::size_t first = line.find_first_not_of(u" \t");
        const std::size_t last = line.find_last_not_of(u" \t");
        if (converted && first != std::u16string::npos)
            lines.insert(line.substr(first, last - first + 1));
        if (end)
            return lines;
        start = at + 2 * unit;
        at = start - unit;
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::enter_sandbox();
    std::filesystem::create_directories(fuzz::work_file("drives"));
    setenv("MORVANE_DRIVES_DIR", fuzz::work_file("drives").c_str(), 1);
    unsetenv("MORVANE_RECYCLE_BIN_DIR");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string list = fuzz::work_file("morvane-files.txt");
    fuzz::write_bytes(list, data, size);
    fuzz::reset_state();
    forget_listed_paths();
    std::snprintf(list_path, sizeof list_path, "%s", list.c_str());
    files_listed = true;
    const std::set<std::u16string> lines = lines_of(data, size);
    fuzz::check(setjmp(fuzz::process_end) == 0, "the list never ends the process");
    fuzz::check(open_file_list(), "the list opens");
    ListEntry entry;
    while (next_list_entry(entry)) {
        const std::u16string path(entry.path, entry.length);
        fuzz::check(entry.path[entry.length] == u'\0' && entry.length > 0, "a zero-terminated path");
        fuzz::check(lines.count(entry.folder ? path + u"\\" : path) == 1, "a line of the list");
    }
    close_file_list();
    look_at_listed_files();
    recycle_listed_files();
    check_listed_files(0);
    char text[4096] = "";
    append_files_result(text, sizeof text);
    fuzz::check(std::strncmp(text, "\nListed files and folders: ", 27) == 0, "the files' part of the message");
    fuzz::check(input_file == invalid_file, "the list closed");
    return 0;
}
