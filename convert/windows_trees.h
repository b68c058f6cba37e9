// Windows' own trees in the registry, and the places in them where
// installers register what they install.
#pragma once

#include <string_view>

enum class Place : unsigned char {
    outside,           // a vendor's tree, the classes' registrations, a service of the installation
    registration,      // where installers register: Uninstall, Run, App Paths, Environment, ...
    windows_tree,      // Windows' own: only what the report ties to the installation goes
    tracking_tool,     // the tools the user ran to track the installation
    user_service,      // a per-user service instance, made at every sign-in
};

// `path` is the key below HKEY_USERS (`under_users`) or HKEY_LOCAL_MACHINE,
// without a leading backslash.
Place place_of(bool under_users, std::string_view path);

// Key names as the registry compares them (same_text); a part of a name is
// taken without substr(), which may throw.
// When `path` is `key` or lies below it: what stands below it.
bool strip_key(std::string_view& path, std::string_view key);
std::string_view first_name(std::string_view path);
// What stands below the path's first name.
std::string_view below_first_name(std::string_view path);
// CurrentControlSet, or ControlSet and three digits.
bool is_control_set(std::string_view name);
