// Matching report lines against the tag lists of each section.
#include "convert/headings.h"

#include <cstring>

#include "text/utf16.h"

namespace {

// A tag that the code page does not convert matches no line.
std::uint32_t convert_tags(const TagList& tags, char (&converted_tags)[max_tags][sizeof report_tags[0]])
{
    std::uint32_t converted_count = 0;
    for (std::uint32_t t = 0; t < tags.count; ++t) {
        const char* tag = tags.tags[t];
        const auto length = static_cast<std::uint32_t>(std::strlen(tag));
        alignas(char16_t) char units[2 * (tag_slot_size - 1)];
        const std::uint32_t bytes = ansi_to_utf16le(tag, length, units, sizeof units);
        std::uint32_t converted = 0;
        if ((length == 0 || bytes > 0) && utf16_to_utf8(units, bytes, converted_tags[converted_count], converted))
            ++converted_count;
    }
    return converted_count;
}

template <std::size_t Size>
bool begins_with_any(const char* line, const char (&tags)[max_tags][Size], std::uint32_t count)
{
    for (std::uint32_t t = 0; t < count; ++t) {
        if (std::strncmp(line, tags[t], std::strlen(tags[t])) == 0)
            return true;
    }
    return false;
}

}  // namespace

void prepare_headings()
{
    if (report_encoding != ReportEncoding::utf16le)
        return;
    report_tag_count = convert_tags(tag_list, report_tags);
    for (std::uint32_t s = 0; s < section_count; ++s)
        report_section_tag_count[s] = convert_tags(section_tags[s], report_section_tags[s]);
}

bool opens_keys(const char* line)
{
    if (report_encoding == ReportEncoding::ansi)
        return begins_with_any(line, tag_list.tags, tag_list.count);
    return begins_with_any(line, report_tags, report_tag_count);
}

bool opens_section(const char* line, Section section)
{
    const auto s = static_cast<std::size_t>(section);
    if (report_encoding == ReportEncoding::ansi)
        return begins_with_any(line, section_tags[s].tags, section_tags[s].count);
    return begins_with_any(line, report_section_tags[s], report_section_tag_count[s]);
}
