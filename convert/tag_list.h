// The tags that mark the start of the report sections to convert.
#pragma once

// Fills the tag list from tags.ini in the current directory, one tag per
// CR LF line, or with the standard tag when that yields none.
void load_tag_list();
// Fills the values section's tags from value-tags.ini, in the same form, or
// with the standard "Values added"; shows no message.
void load_value_tags();
