// Matching report lines against the headings: tags.ini's for the added
// keys, headings.ini's and value-tags.ini's, and RegShot's own in each of its
// languages. A line belongs to the heading that matches most of it, so that
// no heading of one language opens another section.
#include "convert/headings.h"

#include <cstring>

#include "convert/regshot_headings.h"
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

// RegShot's headings in the report's encoding: UTF-8 as they are, or in the
// ANSI code page where it carries them exactly.
constexpr std::uint32_t built_in_count = regshot_language_count * heading_kind_count;
char built_in[built_in_count][128];
HeadingKind built_in_kind[built_in_count];
std::uint32_t built_in_used;

bool to_ansi(const char* text, char (&ansi)[128])
{
    alignas(char16_t) char units[256];
    const char* next = text;
    const std::uint32_t bytes = utf8_to_utf16(next, text + std::strlen(text), units, sizeof units);
    if (*next != '\0' || bytes == 0)
        return false;
    const std::uint32_t length =
        utf16_to_ansi(reinterpret_cast<const char16_t*>(units), bytes / 2, ansi, sizeof ansi - 1);
    ansi[length] = '\0';
    alignas(char16_t) char back[256];
    return length > 0 && ansi_to_utf16le(ansi, length, back, sizeof back) == bytes &&
           std::memcmp(back, units, bytes) == 0;
}

void prepare_built_in()
{
    built_in_used = 0;
    if (!regshot_headings_known)
        return;
    for (const RegShotLanguage& language : regshot_languages) {
        for (std::uint32_t k = 0; k < heading_kind_count; ++k) {
            char (&slot)[128] = built_in[built_in_used];
            if (report_encoding == ReportEncoding::utf16le) {
                std::strncpy(slot, language.headings[k], sizeof slot - 1);
                slot[sizeof slot - 1] = '\0';
            } else if (!to_ansi(language.headings[k], slot)) {
                continue;
            }
            built_in_kind[built_in_used++] = static_cast<HeadingKind>(k);
        }
    }
}

constexpr HeadingKind kind_of(Section section)
{
    switch (section) {
    case Section::values_added:
        return HeadingKind::values_added;
    case Section::values_modified:
        return HeadingKind::values_modified;
    case Section::folders_added:
        return HeadingKind::folders_added;
    default:
        return HeadingKind::files_added;
    }
}

struct Match {
    std::size_t length;
    HeadingKind kind;
    bool found;
    bool tag_matched;  // a tag of the added keys matched at all
};

void match(const char* line, const char* heading, HeadingKind kind, Match& best)
{
    const std::size_t length = std::strlen(heading);
    if ((!best.found || length > best.length) && std::strncmp(line, heading, length) == 0)
        best = {length, kind, true, best.tag_matched};
}

// The heading that matches most of the line, of every list.
Match best_match(const char* line)
{
    Match best{0, HeadingKind::keys_added, false, false};
    const bool ansi = report_encoding == ReportEncoding::ansi;
    const std::uint32_t tags = ansi ? tag_list.count : report_tag_count;
    for (std::uint32_t t = 0; t < tags; ++t)
        match(line, ansi ? tag_list.tags[t] : report_tags[t], HeadingKind::keys_added, best);
    best.tag_matched = best.found;
    for (std::uint32_t s = 0; s < section_count; ++s) {
        const std::uint32_t count = ansi ? section_tags[s].count : report_section_tag_count[s];
        for (std::uint32_t t = 0; t < count; ++t)
            match(line, ansi ? section_tags[s].tags[t] : report_section_tags[s][t], kind_of(static_cast<Section>(s)),
                  best);
    }
    for (std::uint32_t h = 0; h < built_in_used; ++h)
        match(line, built_in[h], built_in_kind[h], best);
    return best;
}

}  // namespace

void prepare_headings()
{
    prepare_built_in();
    if (report_encoding != ReportEncoding::utf16le)
        return;
    report_tag_count = convert_tags(tag_list, report_tags);
    for (std::uint32_t s = 0; s < section_count; ++s)
        report_section_tag_count[s] = convert_tags(section_tags[s], report_section_tags[s]);
}

// Only a tag opens the added keys: RegShot's headings of that section count
// only where they match more of a line than a tag does.
bool opens_keys(const char* line)
{
    const Match best = best_match(line);
    return best.tag_matched && best.kind == HeadingKind::keys_added;
}

bool opens_section(const char* line, Section section)
{
    const Match best = best_match(line);
    return best.found && best.kind == kind_of(section);
}
