// The native stand-in's names for Windows paths and its settings, shared by
// its parts.
#pragma once

#include <climits>

bool to_native_name(const char* name, char (&native)[PATH_MAX]);
// The same for a name in UTF-16.
bool native_path(const char16_t* path, char (&native)[PATH_MAX]);

// A setting from the environment. The program reads each once
// (keep_settings, from its entry); the tests, which change them between
// calls, read them on every call.
const char* setting(const char* name);
void keep_settings();

// The stand-in's restart, for the tests: carries out the moves registered
// for it, as Windows' session manager does at boot.
void carry_out_moves_at_restart();
