// A path of the list is one entry; the script's entries are found by the
// same reading as while it was written.
#include "review/written_entries.h"

#include <cstring>

#include "convert/line_reader.h"
#include "files/file_list.h"
#include "state/state.h"
#include "written/entry_hash.h"

namespace {

TextForm form_of(FileHandle file)
{
    char start[3] = {};
    const std::uint32_t read = read_file(file, start, 3);
    move_file_position(file, -static_cast<std::int32_t>(read));
    if (read >= 2 && start[0] == '\xFF' && start[1] == '\xFE')
        return TextForm::utf16le;
    if (read >= 2 && start[0] == '\xFE' && start[1] == '\xFF')
        return TextForm::utf16be;
    if (read == 3 && std::memcmp(start, "\xEF\xBB\xBF", 3) == 0)
        return TextForm::utf8;
    return TextForm::ansi;
}

}  // namespace

bool walk_script_entries(const char* path, EntryUse use, TextForm& form)
{
    input_file = open_file_for_reading(path);
    if (input_file == invalid_file)
        return false;
    form = form_of(input_file);
    begin_script_entries(read_encoding(line_buffer, input_file) == ReportEncoding::utf16le, use);
    const char* bytes = nullptr;
    for (;;) {
        const std::uint32_t length = peek_file(input_file, bytes, std::uint32_t{1} << 16);
        if (length == 0)
            break;
        feed_script_bytes(bytes, length);
        move_file_position(input_file, static_cast<std::int32_t>(length));
    }
    end_script_entries();
    close_file(input_file);
    input_file = invalid_file;
    return true;
}

bool walk_list_entries(EntryUse use)
{
    if (!open_file_list())
        return false;
    ListEntry listed;
    static char bytes[2 * 32768];
    while (next_list_entry(listed)) {
        const std::uint32_t units = listed.length < sizeof bytes / 2 ? listed.length : sizeof bytes / 2;
        for (std::uint32_t i = 0; i < units; ++i) {
            bytes[std::size_t{2} * i] = static_cast<char>(listed.path[i] & 0xFF);
            bytes[std::size_t{2} * i + 1] = static_cast<char>(listed.path[i] >> 8);
        }
        EntryHash hash{0, 0, 0};
        feed_bytes(hash, bytes, 2 * units);
        feed_mark(hash, listed.folder ? Mark::listed_folder : Mark::listed_file);
        const std::uint64_t entry = finished(hash);
        if (use == EntryUse::remember)
            remember_entry(entry);
        else if (!entry_was_written(entry))
            note_foreign_entry("morvane-files.txt", listed.line, bytes, 2 * (units < 101 ? units : 101), true);
    }
    close_file_list();
    return true;
}
