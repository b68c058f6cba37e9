// The full names of the listed keys, so that the backup holds each tree once:
// a listed key below another one is already in that one's tree.
#pragma once

#include "convert/name_hash.h"
#include "platform/platform.h"

void forget_key_names();
// Remembers the key as one whose tree the backup will hold.
void remember_key_name(RegistryKey key);
// True when the key's tree is to be written now: no remembered key lies
// above it, and it was not claimed before.
bool claim_key_name(RegistryKey key);
// True when the key or a key above it is remembered: its tree holds it.
bool key_name_held(RegistryKey key);
