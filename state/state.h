// The program-wide state: zero at start, alive for the whole run.
#pragma once

#include <cstdint>

#include "platform/platform.h"

inline constexpr std::uint32_t max_tags = 512;
inline constexpr std::uint32_t tag_slot_size = 512;
inline constexpr std::uint32_t chunk_size = 8192;
inline constexpr std::uint32_t path_size = 260;

struct TagList {
    char tags[max_tags][tag_slot_size];
    std::uint32_t count;
};

extern TagList tag_list;
extern char line_buffer[chunk_size + 1];
// Set by the line reader when it delivered a whole chunk without a line end:
// the line goes on in the next call, which then delivers only its rest.
extern bool line_continues;
extern char report_path[path_size];
extern char script_path[path_size];
extern std::int32_t key_count;
extern FileHandle input_file;
extern FileHandle script_file;
