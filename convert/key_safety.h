// Which listed keys the cleaning script deletes, and why it keeps the others.
#pragma once

#include <cstdint>
#include <string_view>

enum class KeptReason : unsigned char {
    none,
    hive_root,
    in_loaded_hive,
    windows_state,
    untied,         // in Windows' own trees, and nothing ties it to the installation
    tracking_tool,  // of the tools that tracked the installation
    with_task,      // of a scheduled task of the installation's, which goes through the Task Scheduler
};

struct KeyVerdict {
    KeptReason reason;
    std::string_view kind;  // for windows_state: what Windows keeps there
};

// Forgets the hive roots of an earlier report.
void forget_listed_hives();

// `path` is the key below HKEY_USERS (`under_users`) or HKEY_LOCAL_MACHINE,
// without a leading backslash. A listed hive root is remembered, so that
// the keys listed after it (RegShot lists a key before its subkeys) are
// kept too.
KeyVerdict classify_listed_key(bool under_users, std::string_view path);
// The same for a value of a key that was there before: kept in a hive listed
// as added, or where Windows keeps its own state, in the key or in the
// value of that name.
// In Windows' own trees, the value's name or `data` (RegShot's text of its
// data after the installation) may tie it to the installation.
KeyVerdict classify_listed_value(bool under_users, std::string_view key, const char16_t* name, std::uint32_t length,
                                 const char16_t* data, std::uint32_t data_length);
