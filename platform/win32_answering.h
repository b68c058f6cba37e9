// The progress window keeps answering while the Windows layer waits: on a
// process, or on work that blocks (asking programs to close, a broadcast,
// the shell's file operation), which then runs on a thread of its own.
#pragma once

#include <windows.h>

void wait_answering(HANDLE waited);
// Runs `work` with `argument` and returns when it is done; where no
// progress window is open, on this thread.
void answering_while(void (*work)(void*), void* argument);
