// Windows' own trees: Microsoft's keys under SOFTWARE (Policies\Microsoft
// too) and a user's Software, SYSTEM but a service of the installation's
// own, the classes' Local Settings and Store-app entries, and a user's hive
// outside Software.
// The places where installers register are drawn from Microsoft's
// documentation of each: uninstall entries, application paths, autostart
// keys, shared DLL counters, Windows Installer's records, approved shell
// extensions and Explorer's handler lists, fonts and codecs, Active Setup,
// the environment, event sources and firewall rules.
#include "convert/windows_trees.h"

#include <cstdint>

#include "convert/installation_ties.h"
#include "convert/name_hash.h"
#include "convert/report_text.h"

namespace {

constexpr std::string_view below_microsoft[] = {
    "Active Setup\\Installed Components",
    "Installer",
    "Internet Explorer\\Extensions",
    "Internet Explorer\\Low Rights\\ElevationPolicy",
    "Internet Explorer\\Toolbar",
    "Windows NT\\CurrentVersion\\Drivers32",
    "Windows NT\\CurrentVersion\\Fonts",
    "Windows\\CurrentVersion\\App Paths",
    "Windows\\CurrentVersion\\Authentication\\Credential Providers",
    "Windows\\CurrentVersion\\Control Panel\\Cpls",
    "Windows\\CurrentVersion\\Explorer\\AutoplayHandlers",
    "Windows\\CurrentVersion\\Explorer\\Browser Helper Objects",
    "Windows\\CurrentVersion\\Explorer\\ControlPanel\\NameSpace",
    "Windows\\CurrentVersion\\Explorer\\Desktop\\NameSpace",
    "Windows\\CurrentVersion\\Explorer\\MyComputer\\NameSpace",
    "Windows\\CurrentVersion\\Explorer\\ShellExecuteHooks",
    "Windows\\CurrentVersion\\Explorer\\ShellIconOverlayIdentifiers",
    "Windows\\CurrentVersion\\Installer",
    "Windows\\CurrentVersion\\Policies\\Explorer\\Run",
    "Windows\\CurrentVersion\\PreviewHandlers",
    "Windows\\CurrentVersion\\Run",
    "Windows\\CurrentVersion\\RunOnce",
    "Windows\\CurrentVersion\\RunOnceEx",
    "Windows\\CurrentVersion\\RunServices",
    "Windows\\CurrentVersion\\RunServicesOnce",
    "Windows\\CurrentVersion\\SharedDLLs",
    "Windows\\CurrentVersion\\Shell Extensions\\Approved",
    "Windows\\CurrentVersion\\ShellServiceObjectDelayLoad",
    "Windows\\CurrentVersion\\Uninstall",
};

constexpr std::string_view below_control_set[] = {
    "Control\\Session Manager\\Environment",
    "Services\\EventLog",
    "Services\\SharedAccess\\Parameters\\FirewallPolicy\\DomainProfile\\AuthorizedApplications",
    "Services\\SharedAccess\\Parameters\\FirewallPolicy\\FirewallRules",
    "Services\\SharedAccess\\Parameters\\FirewallPolicy\\StandardProfile\\AuthorizedApplications",
};

// Drivers and settings of the tools that track an installation.
constexpr std::string_view tool_services[] = {"PROCMON", "PROCEXP"};

// Parts of a name by pointer and length: substr() may throw, and would
// bring the C++ library's exceptions into the program.
std::string_view head(std::string_view text, std::size_t length)
{
    return {text.data(), length < text.size() ? length : text.size()};
}

std::string_view tail_from(std::string_view text, std::size_t at)
{
    return at < text.size() ? std::string_view{text.data() + at, text.size() - at} : std::string_view{};
}

char upper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - ('a' - 'A')) : c;
}




bool hex_digits(std::string_view text)
{
    for (const char c : text) {
        const char u = upper(c);
        if (!((u >= '0' && u <= '9') || (u >= 'A' && u <= 'F')))
            return false;
    }
    return !text.empty();
}

bool listed_below(std::string_view path, const std::string_view* places, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        std::string_view rest = path;
        if (strip_key(rest, places[i]))
            return true;
    }
    return false;
}

// Classes: Local Settings and the Store's apps are Windows'; Process
// Monitor registers its log files when it runs.
Place classes_place(std::string_view path)
{
    const std::string_view name = first_name(path);
    if (same_text(name, ".PML") || (name.size() > 8 && same_text(head(name, 8), "ProcMon.")))
        return Place::tracking_tool;
    if (same_text(name, "Local Settings") || same_text(name, "ActivatableClasses") ||
        same_text(name, "Extensions") || same_text(name, "PackagedCom") ||
        (name.size() > 4 && same_text(head(name, 4), "AppX")))
        return Place::windows_tree;
    return Place::outside;
}

Place software_place(std::string_view path)
{
    strip_key(path, "WOW6432Node");
    if (strip_key(path, "Classes"))
        return classes_place(path);
    if (strip_key(path, "Sysinternals"))
        return Place::tracking_tool;
    // Group Policy's settings are Microsoft's too, and no installer's.
    if (strip_key(path, "Policies\\Microsoft"))
        return Place::windows_tree;
    if (!strip_key(path, "Microsoft"))
        return Place::outside;
    std::string_view task = path;
    if (strip_key(task, "Windows NT\\CurrentVersion\\Schedule\\TaskCache\\Tree") && !task.empty() &&
        !strip_key(task, "Microsoft"))
        return Place::registration;
    return listed_below(path, below_microsoft, std::size(below_microsoft)) ? Place::registration
                                                                            : Place::windows_tree;
}


// A per-user service instance is its template's name, '_' and a hex tag.
bool user_service_instance(std::string_view name)
{
    const std::size_t underscore = name.rfind('_');
    return underscore != std::string_view::npos && underscore > 0 && name.size() - underscore - 1 >= 4 &&
           hex_digits(tail_from(name, underscore + 1));
}

Place service_place(std::string_view name)
{
    for (const std::string_view tool : tool_services) {
        if (name.size() > tool.size() && same_text(head(name, tool.size()), tool) &&
            name.find_first_not_of("0123456789", tool.size()) == std::string_view::npos)
            return Place::tracking_tool;
    }
    if (user_service_instance(name))
        return Place::user_service;
    char16_t units[512];
    const std::uint32_t written = name.size() < 256 ? units_of_text(name, units, 512) : 0;
    return written > 0 && service_of_installation(units, written) ? Place::outside : Place::windows_tree;
}

Place system_place(std::string_view path)
{
    const std::string_view set = first_name(path);
    if (!is_control_set(set))
        return Place::windows_tree;
    path = below_first_name(path);
    if (listed_below(path, below_control_set, std::size(below_control_set)))
        return Place::registration;
    if (strip_key(path, "Services") && !path.empty())
        return service_place(first_name(path));
    return Place::windows_tree;
}

}  // namespace

Place place_of(bool under_users, std::string_view path)
{
    if (!under_users) {
        if (strip_key(path, "SOFTWARE"))
            return software_place(path);
        if (strip_key(path, "SYSTEM"))
            return system_place(path);
        return Place::outside;
    }
    const std::string_view hive = first_name(path);
    path = below_first_name(path);
    constexpr std::string_view classes_suffix = "_Classes";
    if (hive.size() > classes_suffix.size() &&
        same_text(tail_from(hive, hive.size() - classes_suffix.size()), classes_suffix))
        return classes_place(path);
    if (path.empty())
        return Place::outside;
    if (strip_key(path, "Software"))
        return software_place(path);
    return strip_key(path, "Environment") ? Place::registration : Place::windows_tree;
}

bool strip_key(std::string_view& path, std::string_view key)
{
    if (path.size() < key.size() || !same_text(head(path, key.size()), key))
        return false;
    if (path.size() == key.size()) {
        path = {};
        return true;
    }
    if (path[key.size()] != '\\')
        return false;
    path.remove_prefix(key.size() + 1);
    return true;
}

std::string_view first_name(std::string_view path)
{
    return head(path, path.find('\\'));
}

std::string_view below_first_name(std::string_view path)
{
    const std::size_t slash = path.find('\\');
    return slash == std::string_view::npos ? std::string_view{} : tail_from(path, slash + 1);
}

bool is_control_set(std::string_view name)
{
    if (same_text(name, "CurrentControlSet"))
        return true;
    return name.size() == 13 && same_text(head(name, 10), "ControlSet") &&
           name.find_first_not_of("0123456789", 10) == std::string_view::npos;
}
