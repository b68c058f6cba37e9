// Where Windows keeps its own state in the registry: keys that appear as
// added between two shots without any installation adding them.
#pragma once

#include <span>
#include <string_view>

// What a location is relative to; the same location has several names.
enum class StateScope : unsigned char {
    machine,        // HKLM
    machine_software,  // HKLM\SOFTWARE, and its 32-bit view SOFTWARE\WOW6432Node
    control_set,    // HKLM\SYSTEM\CurrentControlSet, as any ControlSetNNN
    user_software,  // HKU\<user>\Software, and Software\WOW6432Node
    user_classes,   // HKU\<user>_Classes, also seen as HKU\<user>\Software\Classes
};

struct StateLocation {
    StateScope scope;
    std::string_view path;  // below the scope, compared without regard to case
    std::string_view kind;  // what Windows keeps there, as the script's comment says
    // Set for one value of the key that Windows rewrites all the time; the
    // key itself, and its other values, are not Windows' own then.
    std::string_view value = {};
};

// The locations below one scope's key.
std::span<const StateLocation> windows_state_in(StateScope scope);
