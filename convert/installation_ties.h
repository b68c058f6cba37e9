// What ties an entry in Windows' own trees to the installation: a file or
// folder the report lists as added, or a name that the installation
// introduced elsewhere in the report.
#pragma once

#include <cstdint>

void forget_installation_ties();

// A key that the report lists as added (below HKEY_USERS when
// `under_users`), without a leading backslash: the service it registers,
// and where it lies outside Windows' own trees or in a place where
// installers register (`active`), the CLSID, ProgID or Windows Installer
// code it introduces.
void note_added_key(bool under_users, const char16_t* path, std::uint32_t length, bool active);
// A service of the installation's own: its key below Services was added.
bool service_of_installation(const char16_t* name, std::uint32_t length);

// The text, a key's path, a value's name or its data, names a listed file
// or folder, or holds a name the installation introduced.
bool tied_to_installation(const char16_t* text, std::uint32_t length);
