// The keys that the script's key entries delete, so that no value entry is
// written for a value that goes with its key.
#pragma once

#include <string_view>

void forget_deleted_keys();
// `path` is below HKEY_USERS (`under_users`) or HKEY_LOCAL_MACHINE, without
// a leading backslash, as the report writes it.
void remember_deleted_key(bool under_users, std::string_view path);
// True when `text` up to one of its backslashes names a deleted key: a value
// line's value then goes with that key. Also when too many keys were listed
// to remember them all.
bool deleted_with_a_key(bool under_users, std::string_view text);
// Notes the service whose own key `path` of HKEY_LOCAL_MACHINE is:
// SYSTEM\<control set>\Services\<name>.
void note_service_key(std::string_view path);
