// Loads the tag list from tags.ini.
#include "convert/tag_list.h"

#include <cstring>

#include "convert/line_reader.h"
#include "state/state.h"

namespace {

constexpr char standard_tag[] = "Keys added";

void use_standard_tag()
{
    std::memcpy(tag_list.tags[0], standard_tag, sizeof standard_tag);
    tag_list.count = 1;
}

}  // namespace

void load_tag_list()
{
    input_file = open_file_for_reading("tags.ini");
    if (input_file == invalid_file) {
        prompt_user("'tags.ini' not found.\nMorvane will only search for the standard 'Keys added' string.",
                    style_plain);
        use_standard_tag();
        return;
    }

    // A line that does not fit a slot is skipped rather than cut: a cut tag
    // would match headings that the whole one does not. The same goes for a
    // line longer than a chunk, whose pieces the reader delivers one by one.
    tag_list.count = 0;
    line_continues = false;
    while (tag_list.count < max_tags && read_line_start(line_buffer, input_file)) {
        const std::size_t length = std::strlen(line_buffer);
        if (!line_continues && length < tag_slot_size)
            std::memcpy(tag_list.tags[tag_list.count++], line_buffer, length + 1);
    }

    if (tag_list.count == 0) {
        prompt_user("No tags found in 'tags.ini'.\nMorvane will only search for the standard 'Keys added' string.",
                    style_plain);
        use_standard_tag();
    }
    close_file(input_file);
    input_file = invalid_file;
}
