// Deletion entries for the values that a report lists as added under keys
// that were already there, and the sections and comments that the changed
// values share with them.
#include "convert/value_entries.h"

#include <cstring>

#include "convert/deleted_keys.h"
#include "convert/key_safety.h"
#include "convert/unknown_characters.h"
#include "convert/value_text.h"
#include "state/state.h"
#include "text/utf16.h"

namespace {

char16_t line_units[chunk_size + 1];
char key_text[chunk_size * utf8_per_unit + 1];
char16_t shown[chunk_size + 1];

// The section last written, which the next value of the same key shares.
char16_t section_key[chunk_size + 1];
std::uint32_t section_length;
bool section_users;
bool section_open;
bool part_begun[2];

constexpr std::string_view part_headings[2] = {
    "\r\n; Values added under keys that were already there\r\n",
    "\r\n; Values the installation changed, set back to what they were before\r\n",
};

void begin_part(ValuePart part)
{
    const auto index = static_cast<std::size_t>(part);
    if (part_begun[index])
        return;
    write_text(part_headings[index]);
    part_begun[index] = true;
    section_open = false;
}

// The key's name in the report's 8-bit form, as the key entries were.
std::string_view key_text_of(const char16_t* units, std::uint32_t path, std::uint32_t end)
{
    const std::uint32_t count = end - path;
    std::uint32_t bytes = 0;
    if (report_encoding == ReportEncoding::ansi) {
        bytes = utf16_to_ansi(units + path, count, key_text, sizeof key_text - 1);
    } else {
        std::uint32_t decoded = 0;
        if (utf16_to_utf8(reinterpret_cast<const char*>(units + path), 2 * count, key_text, decoded))
            bytes = static_cast<std::uint32_t>(std::strlen(key_text));
    }
    return {key_text, bytes};
}

void write_section(const RootName& root, const char16_t* units, std::uint32_t path, std::uint32_t end,
                   std::string_view mark)
{
    write_text(mark);
    write_text("[");
    write_text(root.full);
    write_text("\\");
    write_units(units + path, end - path);
    write_text("]\r\n");
}

bool same_section(const RootName& root, const char16_t* units, std::uint32_t path, std::uint32_t end)
{
    return section_open && section_users == root.users && section_length == end - path &&
           std::memcmp(section_key, units + path, 2 * std::size_t{section_length}) == 0;
}

void write_deletion(const char16_t* units, Split split, bool)
{
    write_value_name(units + split.key_end + 1, split.name_end - split.key_end - 1, write_units);
    write_text("=-\r\n");
}

}  // namespace

void start_value_entries()
{
    section_open = false;
    part_begun[0] = part_begun[1] = false;
}

void write_value_comment(ValuePart part, std::string_view why, const char16_t* units, std::uint32_t length)
{
    begin_part(part);
    for (std::uint32_t i = 0; i < length; ++i)
        shown[i] = units[i] < u' ' ? u'?' : units[i];
    write_text("\r\n; No entry, ");
    write_text(why);
    write_text(": ");
    write_units(shown, length);
    write_text("\r\n");
    section_open = false;
}

void write_unresolved_comment(ValuePart part, Resolution resolution, const char16_t* units, std::uint32_t length)
{
    switch (resolution) {
    case Resolution::none:
        return write_value_comment(part, "no such value in the registry now", units, length);
    case Resolution::several:
        return write_value_comment(part, "it may name more than one value", units, length);
    case Resolution::changed:
        return write_value_comment(part, "the value changed since the report", units, length);
    default:
        return write_value_comment(part, "the registry cannot tell which value it names", units, length);
    }
}

bool write_value_entry(ValuePart part, const RootName& root, const char16_t* units, std::uint32_t path,
                       std::uint32_t length, Split split,
                       void (*write_line)(const char16_t* units, Split split, bool commented))
{
    begin_part(part);
    const KeyVerdict verdict =
        classify_listed_value(root.users, key_text_of(units, path, split.key_end), units + split.key_end + 1,
                              split.name_end - split.key_end - 1, units + split.name_end + 2,
                              length - split.name_end - 2);
    if (verdict.reason != KeptReason::none) {
        kept_key_count += verdict.reason == KeptReason::with_task ? 0 : 1;
        untied_count += verdict.reason == KeptReason::untied ? 1 : 0;
        write_text("\r\n");
        write_kept_comment(verdict, part == ValuePart::added
                                        ? "Remove the ';' of the two lines below to delete it anyway."
                                        : "Remove the ';' of the lines below to set it back anyway.");
        write_section(root, units, path, split.key_end, ";");
        write_text(";");
        write_line(units, split, true);
        section_open = false;
        return false;
    }
    if (!same_section(root, units, path, split.key_end)) {
        write_text("\r\n");
        write_section(root, units, path, split.key_end, "");
        section_open = true;
        section_users = root.users;
        section_length = split.key_end - path;
        std::memcpy(section_key, units + path, 2 * std::size_t{section_length});
    }
    write_line(units, split, false);
    return true;
}

void write_value_entry_for(const ReportLine& line)
{
    const char* key = key_of(line.text);
    const RootName* root = root_of(key);
    if (root == nullptr)
        return;
    // A value under a deleted key goes with it: no need to ask the registry,
    // where the key may already be gone. (Its name could, in theory, hold
    // the rest of the deleted key's name, under a key above it.)
    const auto path = static_cast<std::uint32_t>(key - line.text + root->written_in_report.size() + 1);
    if (deleted_with_a_key(root->users, {line.text + path, line.bytes - path}))
        return;
    std::uint32_t length = units_of(line, line_units);
    if (!line.whole && !line.wrapped)
        return write_value_comment(ValuePart::added, "the report cut its line", line_units, length);
    const RegistryRoot registry_root = root->users ? RegistryRoot::users : RegistryRoot::local_machine;
    if (names_unknown_character(line_units, path, length)) {
        std::uint32_t old_end = 0;
        std::uint32_t new_end = 0;
        const Fitting fitting = match_value_line(registry_root, line_units, path, length, chunk_size, old_end, new_end);
        if (fitting != Fitting::one)
            return write_value_comment(ValuePart::added, unmatched_reason(fitting), line_units, length);
    }
    Split split{};
    std::uint32_t type = 0;
    // A wrapped line still names its value whole: only its data was cut.
    const Resolution resolution = length == 0 ? Resolution::unreadable
                                              : resolve_value_line(registry_root, line_units, path, length, false,
                                                                   line.wrapped, split, type);
    if (resolution != Resolution::one)
        return write_unresolved_comment(ValuePart::added, resolution, line_units, length);
    if (write_value_entry(ValuePart::added, *root, line_units, path, length, split, write_deletion))
        ++value_count;
}
