// The tags that mark the start of the report sections to convert.
#pragma once

#include <string_view>

#include "state/state.h"

// Fills the tag list from tags.ini in the current directory, one tag per
// CR LF line, or with the standard tag when that yields none.
void load_tag_list();
// Fills the other sections' headings from headings.ini and value-tags.ini,
// or with each section's standard heading where they list none; shows no
// message.
void load_section_tags();
// A section's heading as RegShot's English reports write it.
std::string_view standard_heading(Section section);
