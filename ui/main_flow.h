// The program's one pass, from start to exit status.
#pragma once

// Always returns 0: every failure ends the process earlier, also with 0.
int main_flow();
