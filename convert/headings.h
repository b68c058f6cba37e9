// The headings that open the report's sections, in the report's encoding.
#pragma once

#include "state/state.h"

// For a UTF-16 report, converts the tags (8-bit text in the ANSI code page)
// into the UTF-8 in which its lines are read.
void prepare_headings();
bool opens_keys(const char* line);
bool opens_section(const char* line, Section section);
