// The hashes of the entries written into the script and the list, under a
// key drawn for each run, and the entries found that are not among them.
#pragma once

#include <cstdint>

// Symbols that mark what an entry is; the bytes of an entry are fed as
// symbols that no mark equals.
enum class Mark : std::uint32_t {
    first_line = 256,
    key_line,
    value_line,
    data_line,
    other_line,
    listed_file,
    listed_folder,
};

// A hash being built: bytes may arrive in pieces.
struct EntryHash {
    std::uint64_t value;
    std::uint64_t pending;
    std::uint32_t pending_count;
};

void feed_bytes(EntryHash& hash, const char* bytes, std::uint32_t length);
void feed_mark(EntryHash& hash, Mark mark);
void feed_value(EntryHash& hash, std::uint64_t value);
std::uint64_t finished(EntryHash& hash);

// Forgets what was written and draws a new key.
void forget_written_entries();
void remember_entry(std::uint64_t hash);
bool entry_was_written(std::uint64_t hash);
