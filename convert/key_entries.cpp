// The entries of the keys section: one a key, written at once, commented
// out where the key is Windows' own or names no one key.
#include "convert/key_entries.h"

#include <cstring>
#include <string_view>

#include "convert/deleted_keys.h"
#include "convert/key_safety.h"
#include "convert/report_text.h"
#include "convert/scheduled_tasks.h"
#include "convert/unknown_characters.h"
#include "state/state.h"

namespace {

// Each byte of `word` that equals `byte` has its high bit set in the result.
std::uint64_t bytes_equal(std::uint64_t word, unsigned char byte)
{
    constexpr std::uint64_t low_bits = 0x7F7F7F7F7F7F7F7F;
    const std::uint64_t differs = word ^ (0x0101010101010101 * byte);
    return ~(((differs & low_bits) + low_bits) | differs | low_bits);
}

// A key names exactly one key when no line break stands in it and no key
// name in its path is empty (a closing backslash, or two in a row): the
// registry editor would delete a parent of the key instead, or the whole
// hive. Reports hold millions of keys, so eight bytes are looked at a time.
bool names_one_key(const char* tail, std::size_t length)
{
    std::uint64_t after_backslash = 0;
    std::size_t at = 0;
    for (; at + 8 <= length; at += 8) {
        std::uint64_t word;
        std::memcpy(&word, tail + at, 8);
        const std::uint64_t backslashes = bytes_equal(word, '\\');
        // Any byte below 0x0E, as CR and LF are, sends the word to the exact
        // test below; key names hardly ever hold such bytes.
        const std::uint64_t low = (word - 0x0E0E0E0E0E0E0E0E) & ~word & 0x8080808080808080;
        if ((low | (backslashes & ((backslashes << 8) | after_backslash))) != 0)
            break;
        after_backslash = backslashes >> 56;
    }
    bool backslash = after_backslash != 0;
    for (; at < length; ++at) {
        const char c = tail[at];
        if (c == '\r' || c == '\n' || (c == '\\' && backslash))
            return false;
        backslash = c == '\\';
    }
    return length >= 2 && tail[length - 1] != '\\';
}

// A key that no installation adds is written commented out, after a line
// that says why: the user can still delete it by removing the ';'.
std::string_view keep_or_count(bool under_users, std::string_view path)
{
    std::uint32_t task = 0;
    const TaskPart part = under_users ? TaskPart::none : task_part_of_key(path, false, task);
    if (part == TaskPart::task) {
        write_task_line(task, write_text, write_units);
        return ";[-";
    }
    if (part == TaskPart::with_task) {
        write_kept_comment({KeptReason::with_task, {}}, "Remove the ';' below to delete it anyway.");
        return ";[-";
    }
    const KeyVerdict verdict = classify_listed_key(under_users, path);
    if (verdict.reason == KeptReason::none) {
        ++key_count;
        remember_deleted_key(under_users, path);
        if (!under_users)
            note_service_key(path);
        return "[-";
    }
    ++kept_key_count;
    untied_count += verdict.reason == KeptReason::untied ? 1 : 0;
    write_kept_comment(verdict, "Remove the ';' below to delete it anyway.");
    return ";[-";
}

char16_t key_units[chunk_size + 1];
char16_t real_key[chunk_size + 1];

// A key of an ANSI report whose name holds '?' goes under its real name,
// where exactly one key reads as it.
void write_matched_entry(const RootName& root, std::string_view path, const ReportLine& line)
{
    const std::uint32_t length = units_of_text(path, key_units, chunk_size);
    std::uint32_t real_length = 0;
    const Fitting fitting =
        length == 0 ? Fitting::unreadable
                    : match_key(root.users ? RegistryRoot::users : RegistryRoot::local_machine, key_units, length,
                                real_key, chunk_size + 1, real_length);
    if (fitting != Fitting::one) {
        write_text("; No entry, ");
        write_text(unmatched_reason(fitting));
        write_text(": ");
        write_text({line.text, line.bytes});
        write_text("\r\n");
        return;
    }
    write_text(keep_or_count(root.users, path));
    write_text(root.full);
    write_text("\\");
    write_units(real_key, real_length);
    write_text("]\r\n");
}

}  // namespace

// Only a line that opens with a root name names a key: a root name further
// in belongs to some other key. The entry is written at once: a report may
// give millions.
void write_key_entry(const ReportLine& line)
{
    const char* key = key_of(line.text);
    const RootName* root = root_of(key);
    if (root == nullptr || !line.whole)
        return;
    const char* tail = key + root->written_in_report.size();
    const std::size_t length = line.bytes - static_cast<std::size_t>(tail - line.text);
    if (!names_one_key(tail, length))
        return;
    if (report_encoding == ReportEncoding::ansi && std::memchr(tail, '?', length) != nullptr)
        return write_matched_entry(*root, {tail + 1, length - 1}, line);
    const std::string_view entry_start = keep_or_count(root->users, {tail + 1, length - 1});
    char entry[2 * chunk_size + 64];
    std::size_t used = 0;
    const auto put = [&entry, &used](std::string_view ascii, std::size_t unit) {
        if (unit == 1) {
            std::memcpy(entry + used, ascii.data(), ascii.size());
            used += ascii.size();
            return;
        }
        for (const char c : ascii) {
            entry[used++] = c;
            entry[used++] = '\0';
        }
    };
    if (line.units != nullptr) {
        // What stands before the tail is ASCII, a unit a byte: the tail's
        // units are the line's own, as read.
        const auto offset = static_cast<std::uint32_t>(tail - line.text);
        const std::uint32_t tail_bytes = 2 * (line.characters - offset);
        put(entry_start, 2);
        put(root->full, 2);
        std::memcpy(entry + used, line.units + 2 * std::size_t{offset}, tail_bytes);
        used += tail_bytes;
        put("]\r\n", 2);
        write_script(entry, static_cast<std::uint32_t>(used));
        return;
    }
    put(entry_start, 1);
    put(root->full, 1);
    std::memcpy(entry + used, tail, length);
    used += length;
    put("]\r\n", 1);
    write_text({entry, used});
}
