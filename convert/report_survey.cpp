// The report read once ahead of the script: RegShot lists a folder's files
// after every key, and a CLSID under Classes may tie an entry listed before
// it, so the ties must all be known before the first entry is written.
#include "convert/report_survey.h"

#include <cstring>
#include <string_view>

#include "convert/added_paths.h"
#include "convert/headings.h"
#include "convert/installation_ties.h"
#include "convert/name_hash.h"
#include "convert/report_text.h"
#include "convert/scheduled_tasks.h"
#include "convert/windows_trees.h"
#include "state/state.h"

namespace {

char16_t units[chunk_size + 1];

bool word_at(const char* text, const char* word)
{
    const std::size_t length = std::strlen(word);
    return std::strncmp(text, word, length) == 0 && (text[length] == ' ' || text[length] == '\0');
}

// The numbers of "Y/M/D H:M:S" from `text` on, and where they end; nullptr
// when none stand there.
const char* read_time(const char* text, LocalTime& time)
{
    std::uint32_t numbers[6];
    constexpr char separators[] = {'/', '/', ' ', ':', ':'};
    for (int i = 0; i < 6; ++i) {
        if (*text < '0' || *text > '9')
            return nullptr;
        std::uint32_t number = 0;
        while (*text >= '0' && *text <= '9' && number < 100000)
            number = number * 10 + static_cast<std::uint32_t>(*text++ - '0');
        numbers[i] = number;
        if (i == 5)
            break;
        // RegShot 1.9.1 writes the date as Y-M-D.
        const char separator = *text++;
        if (separator != separators[i] && !(i < 2 && separator == '-'))
            return nullptr;
    }
    time = {static_cast<std::uint16_t>(numbers[0]), static_cast<std::uint16_t>(numbers[1]),
            static_cast<std::uint16_t>(numbers[2]), static_cast<std::uint16_t>(numbers[3]),
            static_cast<std::uint16_t>(numbers[4]), static_cast<std::uint16_t>(numbers[5])};
    return time.month >= 1 && time.month <= 12 && time.day >= 1 && time.day <= 31 && time.hour < 24 &&
                   time.minute < 60 && time.second < 61
               ? text
               : nullptr;
}

// The Datetime line, whose label each language writes in its own words:
// "2024/4/16 11:04:08  ,  2024/4/16 11:17:11", the local times of the shots.
void read_shot_times(const char* line)
{
    const char* colon = std::strchr(line, ':');
    if (colon == nullptr)
        return;
    const char* text = colon + 1;
    text += std::strspn(text, " ");
    LocalTime first{};
    LocalTime second{};
    text = read_time(text, first);
    if (text == nullptr)
        return;
    text += std::strspn(text, " ");
    if (*text++ != ',')
        return;
    text += std::strspn(text, " ");
    text = read_time(text, second);
    if (text != nullptr && *text == '\0' && local_time_to_file_seconds(first, shot_seconds[0]) &&
        local_time_to_file_seconds(second, shot_seconds[1]))
        shot_times_known = true;
}

// Keys that can introduce a name: a class, an uninstall entry, Windows
// Installer's records and services.
bool may_introduce(std::string_view path)
{
    for (std::size_t start = 0; start < path.size();) {
        std::size_t end = path.find('\\', start);
        if (end == std::string_view::npos)
            end = path.size();
        const std::string_view name = path.substr(start, end - start);
        if (same_text(name, "Classes") || same_text(name, "Uninstall") || same_text(name, "Installer") ||
            same_text(name, "Services"))
            return true;
        start = end + 1;
    }
    return false;
}

void note_key(const ReportLine& line, const char* key, const RootName* root)
{
    if (!line.whole)
        return;
    const std::string_view path(key + root->written_in_report.size() + 1,
                                line.bytes - static_cast<std::size_t>(key - line.text) -
                                    root->written_in_report.size() - 1);
    if (!root->users)
        note_task_cache_key(path);
    if (!may_introduce(path))
        return;
    const Place place = place_of(root->users, path);
    if (place == Place::tracking_tool || place == Place::user_service)
        return;
    const std::uint32_t length = units_of_text(path, units, chunk_size);
    if (length > 0)
        note_added_key(root->users, units, length, place != Place::windows_tree);
}

void note_path(const ReportLine& line)
{
    if (!line.whole)
        return;
    const std::uint32_t length = units_of_text({line.text, line.bytes}, units, chunk_size);
    const bool drive = length >= 3 && units[1] == u':' && units[2] == u'\\';
    const bool share = length >= 3 && units[0] == u'\\' && units[1] == u'\\';
    if ((drive || share) && length < wrap_length)
        note_added_path(units, length);
}

enum class Reading : std::uint8_t { header, keys, values, files, other };

Reading section_of(const char* line)
{
    if (opens_keys(line))
        return Reading::keys;
    if (opens_section(line, Section::values_added) || opens_section(line, Section::values_modified))
        return Reading::values;
    if (opens_section(line, Section::folders_added) || opens_section(line, Section::files_added))
        return Reading::files;
    return Reading::other;
}

}  // namespace

ReportBuild build_named_in(const char* line)
{
    const char* rest = nullptr;
    if (std::strncmp(line, "Regshot ", 8) == 0) {
        rest = line + 7;
    } else if (*line != '\0') {
        // A damaged first character, one byte or one UTF-8 sequence.
        const char* next = line + 1;
        while ((*next & 0xC0) == 0x80)
            ++next;
        if (std::strncmp(next, "egshot ", 7) == 0)
            rest = next + 6;
    }
    if (rest == nullptr)
        return ReportBuild::unknown;
    for (; (rest = std::strchr(rest, ' ')) != nullptr; ++rest) {
        if (word_at(rest + 1, "x64"))
            return ReportBuild::x64;
        if (word_at(rest + 1, "x86") || word_at(rest + 1, "win32"))
            return ReportBuild::x86;
    }
    return ReportBuild::unnamed;
}

void survey_report(std::int64_t first_line, ReportBuild build)
{
    forget_installation_ties();
    forget_scheduled_tasks();
    shot_times_known = false;
    report_from_x64 = build == ReportBuild::x64;
    bool names_wow64 = false;
    set_file_position(input_file, first_line);
    line_continues = false;
    script_in_utf16 = report_encoding == ReportEncoding::utf16le;
    const bool named = build == ReportBuild::x86 || build == ReportBuild::x64;
    Reading reading = Reading::header;
    ReportLine line;
    while (read_report_line(line)) {
        const char* key = key_of(line.text);
        const RootName* root = root_of(key);
        const bool key_line = root != nullptr;
        if (!key_line && !line.empty && line.text[0] != '-') {
            const Reading next = section_of(line.text);
            if (next != Reading::other)
                reading = next;
            else if (reading == Reading::header)
                read_shot_times(line.text);
        }
        if (key_line && !named && !names_wow64 && std::strstr(line.text, "6432") != nullptr)
            names_wow64 = holds_word(line.text, "\\WOW6432Node\\");
        if (key_line && report_encoding == ReportEncoding::ansi && std::strchr(line.text, '?') != nullptr)
            script_in_utf16 = true;
        if (reading == Reading::keys && key_line)
            note_key(line, key, root);
        else if (reading == Reading::values && key_line && line.whole)
            note_task_value({key, line.bytes - static_cast<std::size_t>(key - line.text)});
        else if (reading == Reading::files && !key_line)
            note_path(line);
    }
    settle_scheduled_tasks();
    if (!named)
        report_from_x64 = names_wow64;
    report_view_guessed = build == ReportBuild::unnamed && !names_wow64;
    set_file_position(input_file, first_line);
    line_continues = false;
}
