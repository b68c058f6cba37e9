// Reads the deletion entries of a registry script, as the registry editor
// reads them, in the script's own encoding.
#include "backup/script_entries.h"

#include <cstring>
#include <iterator>
#include <string>

#include "backup/key_names.h"
#include "backup/value_data.h"
#include "convert/line_reader.h"
#include "state/state.h"

namespace {

struct Root {
    const char16_t* name;
    std::uint32_t length;
    RegistryRoot root;
};
constexpr Root roots[] = {
    {u"HKEY_LOCAL_MACHINE", 18, RegistryRoot::local_machine},
    {u"HKEY_USERS", 10, RegistryRoot::users},
    {u"HKEY_CLASSES_ROOT", 17, RegistryRoot::classes_root},
    {u"HKEY_CURRENT_USER", 17, RegistryRoot::current_user},
    {u"HKEY_CURRENT_CONFIG", 19, RegistryRoot::current_config},
};

ReportEncoding script_encoding;
// A line as UTF-16 units: an 8-bit line of a chunk's bytes takes as many.
char16_t entry_line[chunk_size + 1];
// The key of the section that value lines belong to, when there is one.
char16_t section_key[chunk_size + 1];
std::uint32_t section_length;
const Root* section_root;
// A section the registry editor may read but this reader cannot.
bool section_unreadable;
char16_t value_name[chunk_size + 1];
char16_t shown_line[chunk_size + 1];
// A set value's data; larger data is not read.
alignas(char16_t) char value_data[std::uint32_t{1} << 16];

// The root that the key's name opens with, in any case, when a backslash
// follows it: the registry editor deletes no root itself.
const Root* root_of(const char16_t* key, std::uint32_t length)
{
    for (const Root& root : roots) {
        if (length > root.length + 1 && key[root.length] == u'\\' && same_name(key, root.name, root.length))
            return &root;
    }
    return nullptr;
}

// The line in entry_line, and its length in units; false when it cannot be
// read whole.
bool read_line(std::uint32_t& units, bool& whole)
{
    if (script_encoding == ReportEncoding::utf16le) {
        if (!read_line_start(line_buffer, input_file, read_utf16_line))
            return false;
        units = line_length / 2;
        std::memcpy(entry_line, line_buffer, 2 * std::size_t{units});
        whole = line_length % 2 == 0;
    } else {
        if (!read_line_start(line_buffer, input_file))
            return false;
        units = ansi_to_utf16le(line_buffer, line_length, reinterpret_cast<char*>(entry_line), sizeof entry_line - 2) / 2;
        whole = units > 0 || line_length == 0;
        // Bytes that the code page lacks: enough to tell an entry from
        // other lines, and to name it.
        for (std::uint32_t i = 0; !whole && i < line_length; ++i)
            entry_line[units++] = static_cast<unsigned char>(line_buffer[i]);
    }
    whole = whole && !line_continues;
    entry_line[units] = u'\0';
    return true;
}

}  // namespace

bool open_script_entries()
{
    input_file = open_file_for_reading(script_path);
    if (input_file == invalid_file)
        return false;
    script_encoding = read_encoding(line_buffer, input_file);
    line_continues = false;
    section_root = nullptr;
    section_unreadable = false;
    return true;
}

namespace {

const char16_t* skip_blanks(const char16_t* text)
{
    while (*text == u' ' || *text == u'\t')
        ++text;
    return text;
}

// The name of a value line ("NAME"=... or @=...), as the registry editor
// unescapes it into value_name; what follows the '=' in `rest`. False for
// any other line.
bool value_line(const char16_t* line, std::uint32_t& length, const char16_t*& rest)
{
    length = 0;
    if (*line == u'@') {
        ++line;
    } else if (*line == u'"') {
        for (++line; *line != u'"'; ++line) {
            if (*line == u'\0')
                return false;
            if (*line == u'\\' && line[1] != u'\0')
                ++line;
            value_name[length++] = *line;
        }
        ++line;
    } else {
        return false;
    }
    value_name[length] = u'\0';
    line = skip_blanks(line);
    rest = line + 1;
    return *line == u'=';
}

bool next_data_line(const char16_t*& text)
{
    std::uint32_t units = 0;
    bool whole = false;
    if (!read_line(units, whole) || !whole)
        return false;
    text = entry_line;
    return true;
}

}  // namespace

bool next_script_entry(ScriptEntry& entry)
{
    std::uint32_t units = 0;
    bool whole = false;
    while (read_line(units, whole)) {
        const char16_t* line = skip_blanks(entry_line);
        const std::uint32_t length = units - static_cast<std::uint32_t>(line - entry_line);
        if ((section_root != nullptr || section_unreadable) && (*line == u'"' || *line == u'@')) {
            std::uint32_t name_length = 0;
            const char16_t* rest = nullptr;
            if (whole && !value_line(line, name_length, rest))
                continue;
            std::uint32_t type = 0;
            std::uint32_t data_length = 0;
            // Its line is gone once the data's further lines are read.
            const std::uint32_t shown = length < std::size(shown_line) ? length : std::size(shown_line) - 1;
            std::memcpy(shown_line, line, 2 * std::size_t{shown});
            const DataRead read = whole ? read_value_data(rest, next_data_line, type, value_data, sizeof value_data,
                                                          data_length)
                                        : DataRead::unreadable;
            if (section_unreadable || read == DataRead::unreadable)
                entry = {false, true, false, 0, nullptr, 0, value_name, 0, {}, nullptr, shown_line, shown};
            else
                entry = {true, true, read == DataRead::data, type, value_data, data_length, value_name, name_length,
                         section_root->root, section_key + section_root->length + 1, section_key, section_length};
            return true;
        }
        if (length < 1 || line[0] != u'[')
            continue;
        const bool deletion = length >= 2 && line[1] == u'-';
        section_root = nullptr;
        section_unreadable = false;
        entry.value = false;
        entry.sets = false;
        entry.text = line + (deletion ? 2 : 1);
        if (!whole) {
            section_unreadable = !deletion;
            if (!deletion)
                continue;
            entry.text_length = length - 2;
            entry.readable = false;
            return true;
        }
        // The registry editor's key ends at the line's last bracket.
        const char16_t* end = line + length;
        while (end > entry.text && end[-1] != u']')
            --end;
        if (end == entry.text)
            continue;
        entry_line[end - 1 - entry_line] = u'\0';
        entry.text_length = static_cast<std::uint32_t>(end - 1 - entry.text);
        const bool carried = std::char_traits<char16_t>::length(entry.text) == entry.text_length;
        if (!deletion) {
            const Root* root = carried ? root_of(entry.text, entry.text_length) : nullptr;
            section_unreadable = !carried;
            if (root != nullptr) {
                std::memcpy(section_key, entry.text, 2 * (std::size_t{entry.text_length} + 1));
                section_length = entry.text_length;
                section_root = root;
            }
            continue;
        }
        if (!carried) {
            entry.readable = false;
            return true;
        }
        const Root* root = root_of(entry.text, entry.text_length);
        if (root == nullptr)
            continue;
        entry.readable = true;
        entry.root = root->root;
        entry.path = entry.text + root->length + 1;
        return true;
    }
    return false;
}

void close_script_entries()
{
    close_file(input_file);
    input_file = invalid_file;
}
