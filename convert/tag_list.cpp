// Loads the tag lists: the keys section's from tags.ini, the other sections'
// from headings.ini (and the values section's also from value-tags.ini).
#include "convert/tag_list.h"

#include <cstring>

#include "convert/line_reader.h"

namespace {

constexpr char standard_tag[] = "Keys added";
constexpr std::string_view standard_headings[section_count] = {"Values added", "Values modified", "Folders added",
                                                              "Files added"};

void use_standard_tag()
{
    std::memcpy(tag_list.tags[0], standard_tag, sizeof standard_tag);
    tag_list.count = 1;
}

void add_tag(TagList& tags, const char* line, std::size_t length)
{
    if (tags.count < max_tags) {
        std::memcpy(tags.tags[tags.count], line, length + 1);
        ++tags.count;
    }
}

// Hands each line of the file to `take`. A line that does not fit a slot is
// skipped rather than cut: a cut tag would match headings that the whole
// one does not. The same goes for a line longer than a chunk, whose pieces
// the reader delivers one by one.
// False when the file cannot be opened.
template <typename Take>
bool read_tags(const char* name, Take take)
{
    input_file = open_file_for_reading(name);
    if (input_file == invalid_file)
        return false;
    line_continues = false;
    while (read_line_start(line_buffer, input_file)) {
        const std::size_t length = std::strlen(line_buffer);
        if (!line_continues && length < tag_slot_size)
            take(line_buffer, length);
    }
    close_file(input_file);
    input_file = invalid_file;
    return true;
}

// "[Values added]" and the like open the list of one section's headings.
bool names_section(const char* line, std::size_t length, Section& section)
{
    for (std::uint32_t s = 0; s < section_count; ++s) {
        const std::string_view name = standard_headings[s];
        if (length == name.size() + 2 && line[0] == '[' && line[length - 1] == ']' &&
            std::string_view(line + 1, name.size()) == name) {
            section = static_cast<Section>(s);
            return true;
        }
    }
    return false;
}

}  // namespace

void load_tag_list()
{
    tag_list.count = 0;
    if (!read_tags("tags.ini", [](const char* line, std::size_t length) { add_tag(tag_list, line, length); })) {
        prompt_user("'tags.ini' not found.\nMorvane will only search for the standard 'Keys added' string.",
                    style_plain);
        use_standard_tag();
        return;
    }
    if (tag_list.count == 0) {
        prompt_user("No tags found in 'tags.ini'.\nMorvane will only search for the standard 'Keys added' string.",
                    style_plain);
        use_standard_tag();
    }
}

std::string_view standard_heading(Section section)
{
    return standard_headings[static_cast<std::size_t>(section)];
}

// Quietly: these sections are parts of the report that tags.ini's messages
// already speak for. An empty line would match every line of a report, so
// headings.ini takes none.
void load_section_tags()
{
    for (TagList& tags : section_tags)
        tags.count = 0;
    regshot_headings_known = true;
    read_tags("value-tags.ini", [](const char* line, std::size_t length) {
        add_tag(section_tags[static_cast<std::size_t>(Section::values_added)], line, length);
    });
    bool in_section = false;
    Section current{};
    read_tags("headings.ini", [&in_section, &current](const char* line, std::size_t length) {
        if (names_section(line, length, current))
            in_section = true;
        else if (in_section && length > 0)
            add_tag(section_tags[static_cast<std::size_t>(current)], line, length);
    });
    for (std::uint32_t s = 0; s < section_count; ++s) {
        if (section_tags[s].count == 0)
            add_tag(section_tags[s], standard_headings[s].data(), standard_headings[s].size());
    }
}
