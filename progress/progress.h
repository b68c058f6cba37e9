// What cleaning is doing, and how far it has come, from confirming it to
// the closing message.
#pragma once

#include <cstdint>

enum class CleaningStep : std::uint8_t { finding, saving, stopping, looking_at_files, deleting, recycling, checking };

void begin_progress();
// Shows the step and how many of its entries it has done, now and then;
// false once the user cancelled, which only the steps before anything is
// deleted offer.
bool advance_progress(CleaningStep step, std::uint32_t done);
void end_progress();
