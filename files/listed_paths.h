// What is known of each listed file and folder, by the name where it lies:
// what the report saw, and what becomes of it.
#pragma once

#include <cstdint>

enum class PathState : std::uint8_t {
    unseen,
    absent,       // already gone before cleaning
    goes,         // to the Recycle Bin
    changed,      // not as the report saw it
    in_use,       // another program holds it open
    holds_other,  // a folder that holds what does not go
    no_bin,       // its drive has no Recycle Bin
    too_large,    // larger than its drive's Recycle Bin
    unreadable,   // it cannot be looked at
    at_restart,   // in use: Windows moves it out when it restarts
    restart_refused,  // in use, and its move at the restart could not be registered
};

struct ListedPath {
    std::uint64_t hash;  // 0 for a free slot
    std::int64_t write_seconds;
    std::uint64_t size;     // the report's size (its low 32 bits); a folder's, all it holds
    bool in_report;
    // The report named it only (RegShot 1.8.2 and 1.9.0): write_seconds is
    // the second shot's time, which it must not be newer than.
    bool name_only;
    bool folder;
    bool listed;            // named by a line of the list as edited
    bool queued;            // for the shell's operation
    bool recycled;          // the Recycle Bin took it
    bool counted;           // in the closing message
    PathState state;
};

void forget_listed_paths();
// The record of the path, made when `add`; nullptr when it has none, or
// when the table is full (a path not remembered stays).
ListedPath* listed_path(const char16_t* path, std::uint32_t length, bool add);
