// Which services and programs are the installation's: the services whose
// own keys the script deletes, and the programs whose files the list moves
// to the Recycle Bin.
#pragma once

#include <cstdint>

// The service whose own key `path` (below HKEY_LOCAL_MACHINE) names,
// "SYSTEM\<control set>\Services\<name>" in any case: the offset of its
// name, or 0 for any other key, a service's subkeys among them.
std::uint32_t service_key_name(const char16_t* path, std::uint32_t length);

// Learns the files of the list as it stands (list_path); false when it
// lists none.
bool load_listed_programs();
// The full path, as 64-bit Windows names it, is a file of the list.
bool listed_program(const char16_t* path, std::uint32_t length);
// A file of the list bears this file name.
bool listed_program_name(const char16_t* name, std::uint32_t length);
// The program at the head of a service's command line is a file of the
// list; an unquoted path may hold spaces, as the service manager reads it.
bool listed_service_program(const char16_t* command_line);
