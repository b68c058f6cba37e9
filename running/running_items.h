// The services and programs of the installation that the service manager
// knows or that run, as found from the script and the list.
#pragma once

#include <cstdint>

enum class Fate : std::uint8_t {
    found,
    removed,      // a service, stopped and removed from the service manager
    stopped,      // a service whose registration is not the script's to remove
    not_removed,  // a service stopped, that the service manager kept
    marked,       // a service stopped, that the service manager removes at the restart
    driver,       // the installation's driver: its key goes, and Windows loads it until the restart
    closed,       // a program, when asked
    ended,        // a program, with the user's leave
    kept,         // a program that did not close, left running by the user
    not_ended,    // it could not be ended
    late,         // a service that did not stop in time
    depended_on,  // a service that a running service of another depends on
    denied,       // the service manager refused
    unopened,     // a process that could not be looked at
};

inline constexpr std::uint32_t max_items = 128;
inline constexpr std::uint32_t item_name_size = 260;
inline constexpr std::uint32_t item_path_size = 1024;

struct Item {
    bool service;
    bool key_listed;  // its own key is among the script's deletions
    bool running;
    std::uint32_t process_id;
    char16_t name[item_name_size];  // a service's name, or a program's file name
    char16_t path[item_path_size];  // a program's full name, or a running service's
    std::uint32_t path_length;
    Fate fate;
};

extern Item items[max_items];
extern std::uint32_t item_count;

// Finds the items from the script and the list as they stand. When
// `announced_only`, keeps only those the question before cleaning named.
void find_items(bool announced_only);
// Remembers the items found as the ones the question names.
void announce_items();
bool anything_announced();
// Looks for the programs again, once the services are stopped.
void find_programs(bool announced_only);
