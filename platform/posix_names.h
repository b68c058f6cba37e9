// The native stand-in's names for Windows paths, shared by its parts.
#pragma once

#include <climits>

bool to_native_name(const char* name, char (&native)[PATH_MAX]);
