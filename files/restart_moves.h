// What stays in use moves out when Windows restarts: the session manager
// moves a file before any program can hold it again, into a folder of this
// cleaning's, and removes the listed folders that this empties.
#pragma once

#include <cstddef>
#include <cstdint>

// Before the question: the listed files and folders in use now, but those
// of the programs that are stopped first, and the line that names them.
void append_in_use_question(char* text, std::size_t size,
                            bool (*stopped_first)(const char16_t* path, std::uint32_t length, bool folder));
// After the Recycle Bin step: registers the move of each listed file still
// in use and as the report saw it, then of each listed folder that then
// holds nothing else, deepest first.
void register_moves_at_restart();
// The closing message's part: where they go, and how to get them back.
void append_restart_note(char* text, std::size_t size);
