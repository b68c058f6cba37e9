// What the installation left running: found before the question, stopped
// after the backup and before anything is deleted, and told at the end.
#pragma once

#include <cstddef>
#include <cstdint>

// Before the question: the services from the note taken as the script was
// written, the programs from the list as it stands.
void find_what_runs();
// A program the question names, to be stopped before cleaning, is the file
// at `path`, or runs from inside the folder there.
bool stopped_before_cleaning(const char16_t* path, std::uint32_t length, bool folder);
// The question's line on what runs, when anything does.
void append_running_question(char* text, std::size_t size);
// From the reviewed copies: stops what they lead to, of what the question
// named. Services first, so that their processes end with them.
void stop_what_runs();
// Once the listed files are looked at: the files of programs left running
// stay.
void hold_running_programs();
// The closing message's part on them.
void append_running_result(char* text, std::size_t size);
// After the backup's note: what restoring a removed service does.
void append_service_note(char* text, std::size_t size);
// Something of the installation still runs, or goes only when Windows
// restarts: a service the service manager kept marked, or a driver.
bool restart_finishes_running();
