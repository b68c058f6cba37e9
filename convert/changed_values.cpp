// Values the installation changed, set back only where that is exact: the
// value is still as the report saw it after the installation, and the old
// line's text gives its old bytes in the form of the value's type.
#include "convert/changed_values.h"

#include <cstring>
#include <string_view>

#include "convert/deleted_keys.h"
#include "convert/old_data.h"
#include "convert/unknown_characters.h"
#include "convert/value_entries.h"
#include "convert/value_text.h"
#include "state/state.h"

namespace {

// The old line of the pair, until its new line comes.
bool old_held;
bool old_whole;
bool old_users;
char16_t old_units[chunk_size + 1];
std::uint32_t old_length;
std::uint32_t old_path;

char16_t new_units[chunk_size + 1];
alignas(char16_t) char old_data[2 * chunk_size + 4];
std::uint32_t old_data_length;
std::uint32_t value_type;

void write_setting(const char16_t* units, Split split, bool commented)
{
    const char16_t* name = units + split.key_end + 1;
    const std::uint32_t name_length = split.name_end - split.key_end - 1;
    write_value_name(name, name_length, write_units);
    write_text("=");
    write_value_data(value_type, old_data, old_data_length, write_units, commented ? u";  " : u"  ",
                     value_name_width(name, name_length) + (commented ? 1 : 0));
    write_text("\r\n");
    const bool string_type = value_type == reg_sz || value_type == reg_expand_sz || value_type == reg_multi_sz;
    script_needs_utf16 = script_needs_utf16 || (string_type && !quotes_carry(value_type, old_data, old_data_length));
}

// RegShot marks binary data it printed only in part with " ...".
bool ends_cut(const char16_t* units, std::uint32_t length)
{
    return length >= 4 && std::memcmp(units + length - 4, u" ...", 8) == 0;
}

// Both lines name the same value: the same text up to the new data.
bool same_value(bool users, std::uint32_t path, std::uint32_t data_start)
{
    const std::uint32_t prefix = data_start - path;
    return users == old_users && old_length >= old_path + prefix &&
           std::memcmp(old_units + old_path, new_units + path, 2 * std::size_t{prefix}) == 0;
}

void set_back(const RootName& root, std::uint32_t path, std::uint32_t length)
{
    const ValuePart part = ValuePart::changed;
    if (!old_whole)
        return write_value_comment(part, "the report cut its line", new_units, length);
    if (ends_cut(old_units, old_length) || ends_cut(new_units, length))
        return write_value_comment(part, "the report printed only part of its data", new_units, length);
    Split split{};
    const RegistryRoot registry_root = root.users ? RegistryRoot::users : RegistryRoot::local_machine;
    const Resolution resolution = resolve_value_line(registry_root, new_units, path, length, true, false, split, value_type);
    if (resolution != Resolution::one)
        return write_unresolved_comment(part, resolution, new_units, length);
    if (!same_value(root.users, path, split.name_end + 2))
        return write_value_comment(part, "its two lines name different values", new_units, length);
    const std::uint32_t old_start = old_path + (split.name_end + 2 - path);
    switch (old_data_bytes(old_units + old_start, old_length - old_start, value_type, old_data, sizeof old_data,
                           old_data_length)) {
    case OldData::exact:
        break;
    case OldData::cut:
        return write_value_comment(part, "the report printed only part of its data", new_units, length);
    case OldData::other_form:
        return write_value_comment(part, "its old data is not of the type it has now", new_units, length);
    default:
        return write_value_comment(part, "the report does not give its old data exactly", new_units, length);
    }
    if (write_value_entry(part, root, new_units, path, length, split, write_setting))
        ++set_back_count;
}

}  // namespace

void start_changed_values()
{
    old_held = false;
}

void write_changed_value_for(const ReportLine& line)
{
    const char* key = key_of(line.text);
    const RootName* root = root_of(key);
    if (root == nullptr)
        return;
    const auto path = static_cast<std::uint32_t>(key - line.text + root->written_in_report.size() + 1);
    if (!old_held) {
        old_held = true;
        old_whole = line.whole;
        old_users = root->users;
        old_path = path;
        old_length = units_of(line, old_units);
        return;
    }
    old_held = false;
    const std::uint32_t length = units_of(line, new_units);
    if (!line.whole)
        return write_value_comment(ValuePart::changed, "the report cut its line", new_units, length);
    // A value under a deleted key goes with it.
    if (deleted_with_a_key(root->users, {line.text + path, line.bytes - path}))
        return;
    if (length == 0 || (old_whole && old_length == 0))
        return write_unresolved_comment(ValuePart::changed, Resolution::unreadable, new_units, 0);
    std::uint32_t line_length = length;
    if (names_unknown_character(new_units, path, length)) {
        // Both lines name the value alike: the old one takes its real name too.
        std::uint32_t old_end = 0;
        std::uint32_t new_end = 0;
        const RegistryRoot registry_root = root->users ? RegistryRoot::users : RegistryRoot::local_machine;
        const Fitting fitting =
            match_value_line(registry_root, new_units, path, line_length, chunk_size, old_end, new_end);
        if (fitting != Fitting::one)
            return write_value_comment(ValuePart::changed, unmatched_reason(fitting), new_units, length);
        const std::uint32_t old_name_end = old_path + (old_end - path);
        const std::uint32_t rest = old_length > old_name_end ? old_length - old_name_end : 0;
        const std::uint32_t real_end = old_path + (new_end - path);
        if (old_length < old_name_end || real_end + rest > chunk_size)
            return write_value_comment(ValuePart::changed, unmatched_reason(Fitting::unreadable), new_units, length);
        std::memmove(old_units + real_end, old_units + old_name_end, 2 * std::size_t{rest});
        std::memcpy(old_units + old_path, new_units + path, 2 * std::size_t{new_end - path});
        old_length = real_end + rest;
    }
    set_back(*root, path, line_length);
}
