// Reads the deletion entries of a registry script, as the registry editor
// reads them, in the script's own encoding.
#include "backup/script_entries.h"

#include <cstring>
#include <iterator>
#include <string>

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

char16_t upper(char16_t unit)
{
    return unit >= u'a' && unit <= u'z' ? static_cast<char16_t>(unit - (u'a' - u'A')) : unit;
}

// The root that the key's name opens with, in any case, when a backslash
// follows it: the registry editor deletes no root itself.
const Root* root_of(const char16_t* key, std::uint32_t length)
{
    for (const Root& root : roots) {
        if (length <= root.length + 1 || key[root.length] != u'\\')
            continue;
        std::uint32_t i = 0;
        while (i < root.length && upper(key[i]) == root.name[i])
            ++i;
        if (i == root.length)
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
    return true;
}

bool next_script_entry(ScriptEntry& entry)
{
    std::uint32_t units = 0;
    bool whole = false;
    while (read_line(units, whole)) {
        const char16_t* line = entry_line;
        while (*line == u' ' || *line == u'\t')
            ++line;
        const std::uint32_t length = units - static_cast<std::uint32_t>(line - entry_line);
        if (length < 2 || line[0] != u'[' || line[1] != u'-')
            continue;
        entry.text = line + 2;
        if (!whole) {
            entry.text_length = length - 2;
            entry.readable = false;
            return true;
        }
        // The registry editor's key ends at the line's last bracket.
        const char16_t* end = line + length;
        while (end > line + 2 && end[-1] != u']')
            --end;
        if (end == line + 2)
            continue;
        entry_line[end - 1 - entry_line] = u'\0';
        entry.text_length = static_cast<std::uint32_t>(end - 1 - entry.text);
        if (std::char_traits<char16_t>::length(entry.text) != entry.text_length) {
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
