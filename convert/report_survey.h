// A first reading of the whole report, before any entry is written.
#pragma once

#include <cstdint>

// `unnamed`: RegShot's title, naming no build; `unknown`: no title at all.
enum class ReportBuild : std::uint8_t { unknown, unnamed, x86, x64 };

// The build that RegShot's title names ("Regshot 1.9.0 x64 Unicode",
// "Regshot x64 1.8.3-beta1V5"); 1.8.2's "Regshot 1.8.2" names none.
ReportBuild build_named_in(const char* first_line);

// Reads the report in input_file from `first_line` to its end, and back:
// the view its keys were seen in where the title does not say it (only a
// 64-bit build names WOW6432Node), the times of the two shots, and what
// ties entries in Windows' own trees to the installation.
void survey_report(std::int64_t first_line, ReportBuild build);
