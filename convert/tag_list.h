// The tags that mark the start of the report section to convert.
#pragma once

// Fills the tag list from tags.ini in the current directory, one tag per
// CR LF line, or with the standard tag when that yields none.
void load_tag_list();
