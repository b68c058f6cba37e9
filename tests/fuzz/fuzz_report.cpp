// Fuzzes the report conversion: any bytes as the report, checked script out.
#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "convert/cleaning_script.h"
#include "convert/scheduled_tasks.h"
#include "convert/tag_list.h"
#include "files/file_sections.h"
#include "review/review.h"
#include "review/written_entries.h"
#include "running/service_keys.h"
#include "state/state.h"
#include "tests/fuzz/fuzz_support.h"
#include "text/utf16.h"

namespace {

constexpr char header[] = "Windows Registry Editor Version 5.00\r\n\r\n";

struct Root {
    std::string full;
    std::string short_name;
};
const Root roots[] = {{"HKEY_LOCAL_MACHINE", "HKLM"}, {"HKEY_USERS", "HKU"}};

// A deleted key of HKEY_LOCAL_MACHINE names a service exactly when it is
// SYSTEM\<control set>\Services\<name>: stopping anything else would stop
// what the installation did not add.
void check_service_key(const std::string& utf8)
{
    std::u16string path(utf8.size(), u'\0');
    const char* next = utf8.data();
    path.resize(utf8_to_utf16(next, utf8.data() + utf8.size(), reinterpret_cast<char*>(path.data()),
                              static_cast<std::uint32_t>(2 * path.size())) /
                2);
    std::vector<std::u16string> parts(1);
    for (const char16_t unit : path) {
        if (unit == u'\\')
            parts.emplace_back();
        else
            parts.back() += unit;
    }
    const auto same = [](std::u16string a, std::u16string_view b) {
        for (char16_t& unit : a)
            unit = unit >= u'a' && unit <= u'z' ? static_cast<char16_t>(unit - 32) : unit;
        return a == b;
    };
    const auto digits = [](char16_t unit) { return unit >= u'0' && unit <= u'9'; };
    const bool control_set = parts.size() > 1 && (same(parts[1], u"CURRENTCONTROLSET") ||
                                                  (parts[1].size() == 13 && same(parts[1].substr(0, 10), u"CONTROLSET") &&
                                                   std::all_of(parts[1].begin() + 10, parts[1].end(), digits)));
    const bool service = parts.size() == 4 && same(parts[0], u"SYSTEM") && control_set && same(parts[2], u"SERVICES") &&
                         !parts[3].empty() && parts[3].size() <= 256;
    const std::uint32_t at = service_key_name(path.data(), static_cast<std::uint32_t>(path.size()));
    fuzz::check(service ? at != 0 && path.substr(at) == parts[3] : at == 0, "a service's own key names it");
}

// Checks one entry and that its key is exactly the key of a report line.
void check_entry(const std::string& entry, const std::set<std::string>& lines)
{
    fuzz::check(entry.size() > 3 && entry.compare(0, 2, "[-") == 0 && entry.back() == ']', "entry shape");
    const std::string key = entry.substr(2, entry.size() - 3);
    for (const Root& root : roots) {
        if (key.compare(0, root.full.size() + 1, root.full + "\\") != 0)
            continue;
        const std::string tail = key.substr(root.full.size());
        fuzz::check(tail.size() > 1, "a key below the root");
        fuzz::check(tail.back() != '\\' && tail.find("\\\\") == std::string::npos, "no empty key name");
        fuzz::check(lines.count(root.short_name + tail) || lines.count(root.full + tail),
                    "the key of a report line");
        if (root.short_name == "HKLM")
            check_service_key(tail.substr(1));
        return;
    }
    fuzz::check(false, "an entry under HKEY_LOCAL_MACHINE or HKEY_USERS");
}

// The report's CR LF lines as UTF-16, as the file list reads them.
std::set<std::u16string> units_lines_of(const std::uint8_t* data, std::size_t size, bool utf16)
{
    std::set<std::u16string> lines;
    const std::size_t unit = utf16 ? 2 : 1;
    std::size_t start = utf16 && size >= 2 && data[0] == 0xFF && data[1] == 0xFE ? 2 : 0;
    for (std::size_t at = start; at <= size; at += unit) {
        const bool end = at + 2 * unit > size;
        if (!end && !(data[at] == '\r' && data[at + unit] == '\n' && (!utf16 || (data[at + 1] == 0 && data[at + 3] == 0))))
            continue;
        const std::size_t stop = end ? size - (size - start) % unit : at;
        std::u16string line;
        if (utf16) {
            for (std::size_t i = start; i + 1 < stop; i += 2)
                line += static_cast<char16_t>(data[i] | data[i + 1] << 8);
        } else {
            line.resize(stop - start);
            line.resize(ansi_to_utf16le(reinterpret_cast<const char*>(data + start), static_cast<std::uint32_t>(stop - start),
                                        reinterpret_cast<char*>(line.data()), static_cast<std::uint32_t>(2 * line.size())) /
                        2);
        }
        lines.insert(line);
        if (end)
            break;
        start = at + 2 * unit;
        at = start - unit;
    }
    return lines;
}

// Every entry of the list names a file or folder line of the report, a
// kept one after the reason; the counts are the entries'.
void check_file_list(const std::set<std::u16string>& report_lines)
{
    const std::string bytes = fuzz::read_bytes(fuzz::script_location().substr(0, fuzz::script_location().size() - 11) +
                                               "morvane-files.txt");
    if (file_sections_at < 0) {
        fuzz::check(bytes.empty(), "no list without file sections");
        return;
    }
    fuzz::check(bytes.size() % 2 == 0 && bytes.rfind("\xFF\xFE", 0) == 0, "a UTF-16LE list");
    std::u16string text(bytes.size() / 2 - 1, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i + 2]) | bytes[2 * i + 3] << 8);
    int entries = 0;
    int kept = 0;
    bool kept_next = false;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find(u"\r\n", start);
        fuzz::check(end != std::u16string::npos, "list lines end with CR LF");
        std::u16string line = text.substr(start, end - start);
        start = end + 2;
        if (line.rfind(u"; Kept: ", 0) == 0 || line.rfind(u"; Removed through the Task Scheduler", 0) == 0) {
            kept_next = true;
            continue;
        }
        if (line.empty() || (!kept_next && line[0] == u';'))
            continue;
        if (kept_next) {
            fuzz::check(line[0] == u';', "a kept entry commented out");
            line.erase(0, 1);
            ++kept;
        } else {
            ++entries;
        }
        kept_next = false;
        const bool folder = line.back() == u'\\';
        if (folder)
            line.pop_back();
        fuzz::check(report_lines.count(line) == 1, "the name of a report line");
    }
    fuzz::check(entries == file_count + folder_count && kept == kept_file_count, "the counts of the list's entries");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::enter_sandbox();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string report = fuzz::work_file("report.txt");
    const std::string script = fuzz::script_location();
    fuzz::write_bytes(report, data, size);
    std::remove(script.c_str());

    fuzz::reset_state();
    std::strcpy(tag_list.tags[0], "Keys added");
    tag_list.count = 1;
    load_section_tags();
    std::strcpy(report_path, report.c_str());
    bool returned = false;
    if (setjmp(fuzz::process_end) == 0) {
        build_cleaning_script();
        returned = true;
    }
    const bool utf16_report = size >= 2 && ((data[0] == 0xFF && data[1] == 0xFE) || (data[0] != 0 && data[1] == 0));
    if (returned) {
        fuzz::check(setjmp(fuzz::process_end) == 0, "the file list never ends the process");
        build_file_list();
        check_file_list(units_lines_of(data, size, utf16_report));
        remember_written_files();
        TextForm form = TextForm::ansi;
        forget_foreign_entries();
        fuzz::check(walk_script_entries(script_path, EntryUse::check, form) && foreign_entry_count() == 0,
                    "the entries remembered while the script was written are those read back from it");
    }

    if (!std::filesystem::exists(script)) {
        fuzz::check(!returned, "a script when the run goes on");
        return 0;
    }
    // The script is UTF-16LE exactly when the report is; then both are
    // compared as UTF-8.
    // A byte-order mark, an ASCII first unit, or six ASCII units after a
    // damaged first one.
    bool utf16 = size >= 2 && ((data[0] == 0xFF && data[1] == 0xFE) || (data[0] != 0 && data[1] == 0));
    std::size_t ascii_units = 0;
    for (std::size_t at = 2; at + 1 < std::min<std::size_t>(size, 32); at += 2) {
        if (data[at] == 0 || data[at] >= 0x80 || data[at + 1] != 0)
            break;
        ++ascii_units;
    }
    utf16 = utf16 || ascii_units >= 6;
    // An ANSI report whose key or value line holds '?' gets a UTF-16LE
    // script, for the real names such a line may stand for.
    bool question_marks = false;
    if (!utf16) {
        // As the builder reads a line: up to a zero, a chunk at most.
        for (const std::string& whole : fuzz::lines_of(data, size, false)) {
            const std::string line = whole.substr(0, std::min(whole.size(), std::size_t{8192}));
            const std::size_t key = line.find_first_not_of(" \t");
            const std::string_view text = key == std::string::npos ? std::string_view{} : std::string_view(line).substr(key);
            const bool rooted = text.starts_with("HKLM\\") || text.starts_with("HKU\\") ||
                                text.starts_with("HKEY_LOCAL_MACHINE\\") || text.starts_with("HKEY_USERS\\");
            question_marks = question_marks || (rooted && line.find('?') != std::string::npos);
        }
    }
    const bool ansi_in_utf16 = question_marks;
    utf16 = utf16 || question_marks;
    std::string written = fuzz::read_bytes(script);
    if (utf16) {
        fuzz::check(written.rfind("\xFF\xFE", 0) == 0, "a byte-order mark first");
        fuzz::check(fuzz::utf16le_to_utf8(written.substr(2), written), "a script in UTF-16LE");
    }
    fuzz::check(written.rfind(header, 0) == 0, "the header first");
    const std::set<std::string> lines =
        utf16 && !ansi_in_utf16 ? fuzz::utf16_lines_of(data, size) : fuzz::lines_of(data, size, true);
    // The registry is empty here: every line of the values sections, added
    // or changed, gives a comment.
    const std::string values_parts[] = {"\r\n; Values added under keys that were already there\r\n",
                                        "\r\n; Values the installation changed, set back to what they were before\r\n"};
    const std::size_t values_at = std::min(written.find(values_parts[0]), written.find(values_parts[1]));
    if (values_at != std::string::npos) {
        for (std::size_t start = values_at + 2; start < written.size();) {
            const std::size_t end = written.find("\r\n", start);
            fuzz::check(end != std::string::npos, "comments end with CR LF");
            const std::string line = written.substr(start, end - start);
            fuzz::check(line.find_first_of("\r\n") == std::string::npos, "no CR or LF inside a comment");
            const bool heading = line + "\r\n" == values_parts[0].substr(2) || line + "\r\n" == values_parts[1].substr(2);
            fuzz::check(line.empty() || heading || line.rfind("; No entry, ", 0) == 0, "only comments for values");
            start = end + 2;
        }
        written.resize(values_at);
    }
    int entries = 0;
    int kept = 0;
    std::uint32_t tasks = 0;
    bool kept_next = false;
    bool task_next = false;
    for (std::size_t start = 40; start < written.size();) {
        const std::size_t end = written.find("\r\n", start);
        fuzz::check(end != std::string::npos, "entries end with CR LF");
        std::string entry = written.substr(start, end - start);
        start = end + 2;
        fuzz::check(entry.find_first_of("\r\n") == std::string::npos, "no CR or LF inside an entry");
        // Without a registry, no key reads as a name with '?'.
        if (entry.rfind("; No entry, ", 0) == 0) {
            fuzz::check(question_marks && !kept_next, "a comment only for a name with '?'");
            continue;
        }
        // A scheduled task's keys go through the Task Scheduler, and count
        // as neither kept nor deleted.
        const bool names_task = entry.rfind("; Removed through the Task Scheduler: ", 0) == 0;
        if (entry.rfind("; Kept: ", 0) == 0 || entry.rfind("; Removed through the Task Scheduler", 0) == 0) {
            fuzz::check(!kept_next && !task_next, "a kept key after each reason");
            (entry[2] == 'K' ? kept_next : task_next) = true;
            tasks += names_task ? 1 : 0;
            continue;
        }
        if (kept_next || task_next) {
            fuzz::check(entry.rfind(";[-", 0) == 0, "a kept key commented out");
            entry.erase(0, 1);
            kept += kept_next ? 1 : 0;
        } else {
            ++entries;
        }
        kept_next = task_next = false;
        // The ANSI report's lines are compared in their own bytes.
        if (!ansi_in_utf16)
            check_entry(entry, lines);
    }
    fuzz::check(!kept_next && !task_next, "a kept key after each reason");
    fuzz::check((tasks > 0) == (installation_task_count() > 0), "a line for the tasks noted");
    fuzz::check(kept == kept_key_count, "one commented entry per kept key");
    fuzz::check(entries == key_count, "one entry per counted key");
    fuzz::check(value_count == 0 && set_back_count == 0, "no value entries without a registry");
    fuzz::check(returned == (entries > 0 || tasks > 0 || file_sections_at >= 0),
                "a return exactly when there is something to do");
    return 0;
}
