// Loads the tag lists: the keys section's from tags.ini, the values
// section's from value-tags.ini.
#include "convert/tag_list.h"

#include <cstring>

#include "convert/line_reader.h"
#include "state/state.h"

namespace {

constexpr char standard_tag[] = "Keys added";
constexpr char standard_value_tag[] = "Values added";

void use_standard_tag()
{
    std::memcpy(tag_list.tags[0], standard_tag, sizeof standard_tag);
    tag_list.count = 1;
}

// A line that does not fit a slot is skipped rather than cut: a cut tag
// would match headings that the whole one does not. The same goes for a
// line longer than a chunk, whose pieces the reader delivers one by one.
std::uint32_t read_tags(char (&tags)[max_tags][tag_slot_size])
{
    std::uint32_t count = 0;
    line_continues = false;
    while (count < max_tags && read_line_start(line_buffer, input_file)) {
        const std::size_t length = std::strlen(line_buffer);
        if (!line_continues && length < tag_slot_size)
            std::memcpy(tags[count++], line_buffer, length + 1);
    }
    close_file(input_file);
    input_file = invalid_file;
    return count;
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

    tag_list.count = read_tags(tag_list.tags);
    if (tag_list.count == 0) {
        prompt_user("No tags found in 'tags.ini'.\nMorvane will only search for the standard 'Keys added' string.",
                    style_plain);
        use_standard_tag();
    }
}

// Quietly: the values section is a part of the report that tags.ini's
// messages already speak for.
void load_value_tags()
{
    input_file = open_file_for_reading("value-tags.ini");
    value_tag_list.count = input_file == invalid_file ? 0 : read_tags(value_tag_list.tags);
    if (value_tag_list.count == 0) {
        std::memcpy(value_tag_list.tags[0], standard_value_tag, sizeof standard_value_tag);
        value_tag_list.count = 1;
    }
}
