// The locations of Windows' own state, one a line, to be reviewed as a list.
// Drawn from the registry filter lists of sandbox and monitoring tools (for
// instance Noriben's registry approve list) and from what Microsoft documents
// each key to hold. A line that names a value keeps only that value: the
// random-number seed, counters and time stamps that Windows rewrites while
// it runs, which a report lists as changed between any two shots. What installers write, even inside Microsoft's trees, is
// left out on purpose: Uninstall entries, App Paths, classes and file
// associations, services and drivers under Services\<name>, Windows
// Installer's records of a product, and classic event sources under
// Services\EventLog, which installers register for their own programs.
// The lines are grouped by what they lie below, for the look-up.
#include "convert/windows_state.h"

#include <algorithm>

namespace {

using enum StateScope;

constexpr std::string_view devices = "devices and drivers";
constexpr std::string_view servicing = "the component store and servicing";
constexpr std::string_view certificates = "certificates Windows updates itself";
constexpr std::string_view network = "network lists, profiles and interfaces";
constexpr std::string_view events = "event logs and tracing";
constexpr std::string_view defender = "Windows Defender";
constexpr std::string_view caches = "Windows' caches of what the user did";
constexpr std::string_view rewritten = "random-number seeds, counters and time stamps";

constexpr StateLocation locations[] = {
    // HKEY_LOCAL_MACHINE
    {machine, "HARDWARE", devices},
    {machine, "SYSTEM\\DriverDatabase", devices},
    {machine, "DRIVERS", devices},
    {machine, "COMPONENTS", servicing},
    {machine, "SYSTEM\\WaaS", servicing},

    // HKEY_LOCAL_MACHINE\SOFTWARE, in either view
    {machine_software, "Microsoft\\Windows Portable Devices", devices},
    {machine_software, "Microsoft\\Device Association Framework", devices},
    {machine_software, "Microsoft\\Windows\\CurrentVersion\\Component Based Servicing", servicing},
    {machine_software, "Microsoft\\Windows\\CurrentVersion\\SideBySide", servicing},
    {machine_software, "Microsoft\\Windows\\CurrentVersion\\WindowsUpdate", servicing},
    {machine_software, "Microsoft\\Windows\\CurrentVersion\\WaaSAssessment", servicing},
    {machine_software, "Microsoft\\SystemCertificates\\AuthRoot", certificates},
    {machine_software, "Microsoft\\SystemCertificates\\Disallowed", certificates},
    {machine_software, "Microsoft\\Windows NT\\CurrentVersion\\NetworkList", network},
    {machine_software, "Microsoft\\Windows NT\\CurrentVersion\\NetworkCards", network},
    {machine_software, "Microsoft\\WlanSvc", network},
    {machine_software, "Microsoft\\Windows\\CurrentVersion\\WINEVT", events},
    {machine_software, "Microsoft\\Tracing", events},
    {machine_software, "Microsoft\\Windows NT\\CurrentVersion\\Tracing", events},
    {machine_software, "Microsoft\\Windows Defender", defender},
    {machine_software, "Microsoft\\Windows Advanced Threat Protection", defender},
    {machine_software, "Microsoft\\Cryptography\\RNG", rewritten, "Seed"},
    {machine_software, "Microsoft\\Dfrg\\Statistics", rewritten},
    {machine_software, "Microsoft\\Reliability Analysis\\RAC", rewritten},
    {machine_software, "Microsoft\\SQMClient", rewritten},
    {machine_software, "Microsoft\\Windows\\CurrentVersion\\Diagnostics\\DiagTrack", rewritten},
    {machine_software, "Microsoft\\Windows\\CurrentVersion\\Group Policy", rewritten},
    {machine_software, "Microsoft\\Windows\\CurrentVersion\\Reliability", rewritten},
    {machine_software, "Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Appraiser", rewritten},
    {machine_software, "Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Inventory", rewritten},
    {machine_software, "Microsoft\\Windows NT\\CurrentVersion\\Notifications", rewritten},
    {machine_software, "Microsoft\\Windows NT\\CurrentVersion\\Prefetcher", rewritten},
    {machine_software, "Microsoft\\Windows NT\\CurrentVersion\\ProfileList", rewritten},

    // HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet, as any ControlSetNNN
    {control_set, "Enum", devices},
    {control_set, "Control\\Class", devices},
    {control_set, "Control\\DeviceClasses", devices},
    {control_set, "Control\\DeviceContainers", devices},
    {control_set, "Control\\DeviceMigration", devices},
    {control_set, "Control\\usbflags", devices},
    {control_set, "Control\\MediaProperties", devices},
    {control_set, "Control\\Network", network},
    {control_set, "Control\\NetworkSetup2", network},
    {control_set, "Control\\Nsi", network},
    {control_set, "Services\\Tcpip\\Parameters\\Interfaces", network},
    {control_set, "Services\\Tcpip6\\Parameters\\Interfaces", network},
    {control_set, "Services\\NetBT\\Parameters\\Interfaces", network},
    {control_set, "Services\\iphlpsvc", network},
    {control_set, "Control\\WMI\\Autologger", events},
    {control_set, "Control\\WMI\\GlobalLogger", events},
    {control_set, "Services\\bam\\State\\UserSettings", caches},
    {control_set, "Control\\Windows", rewritten, "ShutdownTime"},
    {control_set, "Services\\SharedAccess\\Epoch", rewritten},
    {control_set, "Services\\SharedAccess\\Epoch2", rewritten},
    {control_set, "Services\\VSS\\Diag", rewritten},
    {control_set, "Services\\W32Time", rewritten},

    // HKEY_USERS\<user>\Software, in either view
    {user_software, "Microsoft\\SystemCertificates\\AuthRoot", certificates},
    {user_software, "Microsoft\\SystemCertificates\\Disallowed", certificates},
    {user_software, "Microsoft\\Windows\\Shell\\BagMRU", caches},
    {user_software, "Microsoft\\Windows\\Shell\\Bags", caches},
    {user_software, "Microsoft\\Windows\\ShellNoRoam", caches},
    {user_software, "Microsoft\\Windows\\CurrentVersion\\Explorer\\UserAssist", caches},
    {user_software, "Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32", caches},
    {user_software, "Microsoft\\Windows\\CurrentVersion\\Explorer\\CIDOpen", caches},
    {user_software, "Microsoft\\Windows\\CurrentVersion\\Explorer\\CIDSave", caches},
    {user_software, "Microsoft\\Windows\\CurrentVersion\\Explorer\\RecentDocs", caches},
    {user_software, "Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU", caches},
    {user_software, "Microsoft\\Windows\\CurrentVersion\\Explorer\\FeatureUsage", caches},
    {user_software, "Microsoft\\Windows\\CurrentVersion\\Explorer\\MountPoints2", caches},
    {user_software, "Microsoft\\Windows\\CurrentVersion\\Explorer\\SessionInfo", caches},
    {user_software, "Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Compatibility Assistant", caches},
    {user_software, "Microsoft\\Windows\\CurrentVersion\\Explorer\\StartPage2", caches},
    {user_software, "Microsoft\\Windows\\CurrentVersion\\Explorer\\Streams", caches},
    {user_software, "Microsoft\\Windows\\CurrentVersion\\Group Policy", rewritten},
    {user_software, "Mozilla\\Firefox\\PreXULSkeletonUISettings", "another program's window settings"},

    // HKEY_USERS\<user>_Classes, also seen as HKEY_USERS\<user>\Software\Classes
    {user_classes, "Local Settings\\MuiCache", caches},
    {user_classes, "Local Settings\\MrtCache", caches},
    {user_classes, "Local Settings\\Software\\Microsoft\\Windows\\Shell", caches},
};

static_assert(std::is_sorted(std::begin(locations), std::end(locations),
                             [](const StateLocation& a, const StateLocation& b) { return a.scope < b.scope; }),
              "the look-up takes the lines of one scope together");

}  // namespace

std::span<const StateLocation> windows_state_in(StateScope scope)
{
    const auto [first, last] =
        std::equal_range(std::begin(locations), std::end(locations), StateLocation{scope, {}, {}},
                         [](const StateLocation& a, const StateLocation& b) { return a.scope < b.scope; });
    return {first, last};
}
