// A values-section line is KEY\NAME: DATA, and the key's name, the value's
// name and the data may each hold "\" and ": ". The registry tells them
// apart: the key is a prefix, ending before a backslash, that exists as a
// key, and the name the rest up to a ": " such that the key has a value of
// that name. Where two such splits remain, RegShot's text of the data
// decides, or no entry is written.
#include "convert/value_entries.h"

#include <cstring>

#include "convert/deleted_keys.h"
#include "convert/key_safety.h"
#include "convert/utf16.h"
#include "state/state.h"

namespace {

constexpr std::uint32_t type_string = 1;
constexpr std::uint32_t type_expandable_string = 2;
constexpr std::uint32_t type_dword = 4;
constexpr std::uint32_t type_dword_big_endian = 5;
constexpr std::uint32_t type_multi_string = 7;
constexpr std::uint32_t type_qword = 11;

char16_t line_units[chunk_size + 1];
char16_t key_path[chunk_size + 1];
char16_t value_name[chunk_size + 1];
char16_t unused_name[1];
alignas(char16_t) char value_data[std::uint32_t{1} << 16];
char key_text[chunk_size * utf8_per_unit + 1];
char16_t shown[chunk_size + 1];

// The section last written, which the next value of the same key shares.
char16_t section_key[chunk_size + 1];
std::uint32_t section_length;
bool section_users;
bool section_open;
bool values_begun;

struct Split {
    std::uint32_t key_end;   // the backslash after the key's name
    std::uint32_t name_end;  // the ": " after the value's name
};

// The line as UTF-16 in line_units; 0 when it does not convert exactly.
std::uint32_t units_of(const ReportLine& line)
{
    if (line.units != nullptr) {
        std::memcpy(line_units, line.units, 2 * std::size_t{line.characters});
        return line.characters;
    }
    auto* bytes = reinterpret_cast<char*>(line_units);
    if (report_encoding == ReportEncoding::ansi)
        return ansi_to_utf16le(line.text, line.bytes, bytes, sizeof line_units - 2) / 2;
    const char* next = line.text;
    const char* const end = line.text + line.bytes;
    const std::uint32_t written = utf8_to_utf16(next, end, bytes, sizeof line_units - 2);
    return next == end ? written / 2 : 0;
}

int hex_digit(char16_t unit)
{
    if (unit >= u'0' && unit <= u'9')
        return unit - u'0';
    if (unit >= u'A' && unit <= u'F')
        return unit - u'A' + 10;
    return unit >= u'a' && unit <= u'f' ? unit - u'a' + 10 : -1;
}

bool hex_byte(const char16_t* text, unsigned char& byte)
{
    const int high = hex_digit(text[0]);
    const int low = hex_digit(text[1]);
    byte = static_cast<unsigned char>(high * 16 + low);
    return high >= 0 && low >= 0;
}

bool hex_matches(const char16_t* text, std::uint32_t number_bytes, const unsigned char* bytes)
{
    for (std::uint32_t i = 0; i < number_bytes; ++i) {
        unsigned char byte = 0;
        if (!hex_byte(text + 2 * std::size_t{number_bytes - 1 - i}, byte) || byte != bytes[i])
            return false;
    }
    return true;
}

// RegShot writes data it does not show as a string or a number as " XX"
// a byte, or "(NULL!)" for none.
bool bytes_fit(const RegistryValue& value, const char16_t* text, std::uint32_t length)
{
    constexpr char16_t null_data[] = u"(NULL!)";
    if (length == 7 && std::memcmp(text, null_data, 14) == 0)
        return value.data_length == 0;
    if (length % 3 != 0 || length / 3 != value.data_length)
        return false;
    const auto* bytes = reinterpret_cast<const unsigned char*>(value.data);
    for (std::uint32_t at = 0; at < length; at += 3) {
        unsigned char byte = 0;
        if (text[at] != u' ' || !hex_byte(text + at + 1, byte) || byte != bytes[at / 3])
            return false;
    }
    return true;
}

// Whether the text is what RegShot writes for the value's data: a string in
// quotes, a number as 0x and its hex digits, other data byte by byte. A
// list of strings (joined with spaces) could be anything.
bool data_fits(const RegistryValue& value, const char16_t* text, std::uint32_t length)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(value.data);
    switch (value.type) {
    case type_multi_string:
        return true;
    case type_string:
    case type_expandable_string: {
        const auto* units = reinterpret_cast<const char16_t*>(value.data);
        const std::uint32_t count = value.data_length / 2;
        std::uint32_t end = 0;
        while (end < count && units[end] != u'\0')
            ++end;
        if (value.data_length % 2 != 0 || count == 0 || end + 1 != count)
            break;
        return length == end + 2 && text[0] == u'"' && text[length - 1] == u'"' &&
               std::memcmp(units, text + 1, 2 * std::size_t{end}) == 0;
    }
    case type_dword:
    case type_dword_big_endian:
    case type_qword: {
        const std::uint32_t size = value.type == type_qword ? 8 : 4;
        if (value.data_length != size)
            break;
        if (length == 2 + 2 * size && text[0] == u'0' && text[1] == u'x')
            return hex_matches(text + 2, size, bytes);
        break;
    }
    default:
        break;
    }
    return bytes_fit(value, text, length);
}

enum class Resolution : std::uint8_t { one, none, several, unreadable };

// Finds the split of units[path, length) into an existing key and a value
// of it.
Resolution resolve(RegistryRoot root, std::uint32_t path, std::uint32_t length, Split& split)
{
    std::uint32_t existing = 0;
    std::uint32_t fitting = 0;
    Split first_existing{};
    Split first_fitting{};
    bool unreadable = false;
    for (std::uint32_t slash = path; slash < length; ++slash) {
        if (line_units[slash] != u'\\')
            continue;
        std::memcpy(key_path, line_units + path, 2 * std::size_t{slash - path});
        key_path[slash - path] = u'\0';
        RegistryKey key = 0;
        const RegistryResult opened = open_registry_key(root, key_path, report_view(), key);
        if (opened == RegistryResult::absent)
            break;  // no key lies below a missing one
        if (opened != RegistryResult::ok) {
            unreadable = true;
            break;
        }
        for (std::uint32_t colon = slash + 1; colon + 1 < length; ++colon) {
            if (line_units[colon] != u':' || line_units[colon + 1] != u' ')
                continue;
            std::memcpy(value_name, line_units + slash + 1, 2 * std::size_t{colon - slash - 1});
            value_name[colon - slash - 1] = u'\0';
            RegistryValue value{unused_name, 1, 0, 0, value_data, sizeof value_data, 0};
            const RegistryResult found = query_registry_value(key, value_name, value);
            if (found == RegistryResult::absent)
                continue;
            if (found != RegistryResult::ok && found != RegistryResult::too_large) {
                unreadable = true;
                continue;
            }
            if (existing++ == 0)
                first_existing = {slash, colon};
            if (found == RegistryResult::too_large ||
                data_fits(value, line_units + colon + 2, length - colon - 2)) {
                if (fitting++ == 0)
                    first_fitting = {slash, colon};
            }
        }
        close_registry_key(key);
    }
    if (existing == 1 && !unreadable) {
        split = first_existing;
        return Resolution::one;
    }
    if (existing > 1 && fitting == 1 && !unreadable) {
        split = first_fitting;
        return Resolution::one;
    }
    if (unreadable)
        return Resolution::unreadable;
    return existing == 0 ? Resolution::none : Resolution::several;
}

// The key's name in the report's 8-bit form, as the key entries were.
std::string_view key_text_of(std::uint32_t path, std::uint32_t end)
{
    const std::uint32_t units = end - path;
    std::uint32_t bytes = 0;
    if (report_encoding == ReportEncoding::ansi) {
        bytes = utf16_to_ansi(line_units + path, units, key_text, sizeof key_text - 1);
    } else {
        std::uint32_t decoded = 0;
        if (utf16_to_utf8(reinterpret_cast<const char*>(line_units + path), 2 * units, key_text, decoded))
            bytes = static_cast<std::uint32_t>(std::strlen(key_text));
    }
    return {key_text, bytes};
}

void begin_values()
{
    if (!values_begun)
        write_text("\r\n; Values added under keys that were already there\r\n");
    values_begun = true;
}

// The report's line, as a comment that nothing can turn into a line of its own.
void write_comment(std::string_view why, std::uint32_t length)
{
    begin_values();
    for (std::uint32_t i = 0; i < length; ++i)
        shown[i] = line_units[i] < u' ' ? u'?' : line_units[i];
    write_text("\r\n; No entry, ");
    write_text(why);
    write_text(": ");
    write_units(shown, length);
    write_text("\r\n");
    section_open = false;
}

void write_value_name(std::uint32_t start, std::uint32_t end)
{
    if (start == end) {
        write_text("@=-\r\n");
        return;
    }
    write_text("\"");
    for (std::uint32_t at = start; at < end; ++at) {
        if (line_units[at] == u'\\' || line_units[at] == u'"')
            write_text("\\");
        write_units(line_units + at, 1);
    }
    write_text("\"=-\r\n");
}

void write_section(const RootName& root, std::uint32_t path, std::uint32_t end, std::string_view mark)
{
    write_text(mark);
    write_text("[");
    write_text(root.full);
    write_text("\\");
    write_units(line_units + path, end - path);
    write_text("]\r\n");
}

bool same_section(const RootName& root, std::uint32_t path, std::uint32_t end)
{
    return section_open && section_users == root.users && section_length == end - path &&
           std::memcmp(section_key, line_units + path, 2 * std::size_t{section_length}) == 0;
}

}  // namespace

void start_value_entries()
{
    section_open = false;
    values_begun = false;
}

void write_value_entry_for(const ReportLine& line)
{
    const char* key = key_of(line.text);
    const RootName* root = root_of(key);
    if (root == nullptr || !line.whole)
        return;
    // A value under a deleted key goes with it: no need to ask the registry,
    // where the key may already be gone. (Its name could, in theory, hold
    // the rest of the deleted key's name, under a key above it.)
    const auto path = static_cast<std::uint32_t>(key - line.text + root->written_in_report.size() + 1);
    if (deleted_with_a_key(root->users, {line.text + path, line.bytes - path}))
        return;
    const std::uint32_t length = units_of(line);
    const RegistryRoot registry_root = root->users ? RegistryRoot::users : RegistryRoot::local_machine;
    Split split{};
    switch (length == 0 ? Resolution::unreadable : resolve(registry_root, path, length, split)) {
    case Resolution::one:
        break;
    case Resolution::none:
        return write_comment("no such value in the registry now", length);
    case Resolution::several:
        return write_comment("it may name more than one value", length);
    default:
        return write_comment("the registry cannot tell which value it names", length);
    }
    const std::string_view key_name = key_text_of(path, split.key_end);
    begin_values();
    const KeyVerdict verdict = classify_listed_key(root->users, key_name);
    if (verdict.reason != KeptReason::none) {
        ++kept_key_count;
        write_text("\r\n");
        write_kept_comment(verdict, "Remove the ';' of the two lines below to delete it anyway.");
        write_section(*root, path, split.key_end, ";");
        write_text(";");
        write_value_name(split.key_end + 1, split.name_end);
        section_open = false;
        return;
    }
    ++value_count;
    if (!same_section(*root, path, split.key_end)) {
        write_text("\r\n");
        write_section(*root, path, split.key_end, "");
        section_open = true;
        section_users = root->users;
        section_length = split.key_end - path;
        std::memcpy(section_key, line_units + path, 2 * std::size_t{section_length});
    }
    write_value_name(split.key_end + 1, split.name_end);
}
