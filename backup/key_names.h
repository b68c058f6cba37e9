// The full names of the listed keys, so that the backup holds each tree once:
// a listed key below another one is already in that one's tree.
#pragma once

#include "platform/platform.h"

// Names compared as the registry compares them: here ASCII letters without
// regard to case.
char16_t upper_unit(char16_t unit);
bool same_key_name(const char16_t* a, const char16_t* b, std::uint32_t length);

void forget_key_names();
// Remembers the key as one whose tree the backup will hold.
void remember_key_name(RegistryKey key);
// True when the key's tree is to be written now: no remembered key lies
// above it, and it was not claimed before.
bool claim_key_name(RegistryKey key);
// True when the key or a key above it is remembered: its tree holds it.
bool key_name_held(RegistryKey key);
