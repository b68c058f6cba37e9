// The registry on Windows, in either view, and where a key really lies.
#include "platform/platform.h"

#include <windows.h>

namespace {

HKEY to_hkey(RegistryKey key)
{
    return reinterpret_cast<HKEY>(key);  // NOLINT(performance-no-int-to-ptr)
}

REGSAM access_in(RegistryView view)
{
    return KEY_READ | (view == RegistryView::bits64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY);
}

RegistryResult result_of(LSTATUS status)
{
    switch (status) {
    case ERROR_SUCCESS:
        return RegistryResult::ok;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return RegistryResult::absent;
    case ERROR_ACCESS_DENIED:
        return RegistryResult::denied;
    case ERROR_MORE_DATA:
        return RegistryResult::too_large;
    case ERROR_NO_MORE_ITEMS:
        return RegistryResult::no_more;
    default:
        return RegistryResult::failed;
    }
}

RegistryResult open_key(HKEY parent, const char16_t* path, RegistryView view, RegistryKey& key)
{
    HKEY opened = nullptr;
    const RegistryResult result =
        result_of(RegOpenKeyExW(parent, reinterpret_cast<const WCHAR*>(path), 0, access_in(view), &opened));
    key = reinterpret_cast<RegistryKey>(opened);
    return result;
}

// ntdll's, documented for drivers as ZwQueryKey; the one call that tells
// where a key really lies.
constexpr int key_name_information = 3;
extern "C" LONG NTAPI NtQueryKey(HANDLE key, int information_class, void* information, ULONG length,
                                 ULONG* result_length);

// The kernel's names of the two hives that hold every key, and the names a
// registry script gives them.
struct KernelRoot {
    const WCHAR* kernel;
    const char* script;
};
constexpr KernelRoot kernel_roots[] = {
    {L"\\REGISTRY\\MACHINE", "HKEY_LOCAL_MACHINE"},
    {L"\\REGISTRY\\USER", "HKEY_USERS"},
};

ULONG kernel_name[32768];

}  // namespace

const HKEY root_keys[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS,
                          HKEY_CURRENT_CONFIG};

RegistryResult open_registry_key(RegistryRoot root, const char16_t* path, RegistryView view, RegistryKey& key)
{
    return open_key(root_keys[static_cast<int>(root)], path, view, key);
}

RegistryResult open_registry_subkey(RegistryKey parent, const char16_t* name, RegistryView view, RegistryKey& key)
{
    return open_key(to_hkey(parent), name, view, key);
}

void close_registry_key(RegistryKey key)
{
    RegCloseKey(to_hkey(key));
}

RegistryResult get_registry_key_name(RegistryKey key, char16_t* name, std::uint32_t capacity, std::uint32_t& length)
{
    ULONG size = 0;
    if (NtQueryKey(to_hkey(key), key_name_information, kernel_name, sizeof kernel_name, &size) != 0)
        return RegistryResult::failed;
    // KEY_NAME_INFORMATION: the name's length in bytes, then the name.
    const auto* full = reinterpret_cast<const WCHAR*>(kernel_name + 1);
    const std::uint32_t units = kernel_name[0] / sizeof(WCHAR);
    for (const KernelRoot& root : kernel_roots) {
        const auto root_units = static_cast<std::uint32_t>(lstrlenW(root.kernel));
        if (units < root_units ||
            CompareStringOrdinal(full, static_cast<int>(root_units), root.kernel, static_cast<int>(root_units), TRUE) !=
                CSTR_EQUAL ||
            (units > root_units && full[root_units] != L'\\'))
            continue;
        const auto script_units = static_cast<std::uint32_t>(lstrlenA(root.script));
        length = script_units + units - root_units;
        if (length + 1 > capacity)
            return RegistryResult::too_large;
        for (std::uint32_t i = 0; i < script_units; ++i)
            name[i] = static_cast<char16_t>(root.script[i]);
        for (std::uint32_t i = root_units; i < units; ++i)
            name[script_units + i - root_units] = static_cast<char16_t>(full[i]);
        name[length] = u'\0';
        return RegistryResult::ok;
    }
    return RegistryResult::failed;
}

RegistryResult enum_registry_subkey(RegistryKey key, std::uint32_t index, char16_t* name, std::uint32_t capacity)
{
    DWORD units = capacity;
    return result_of(
        RegEnumKeyExW(to_hkey(key), index, reinterpret_cast<WCHAR*>(name), &units, nullptr, nullptr, nullptr, nullptr));
}

RegistryResult enum_registry_value(RegistryKey key, std::uint32_t index, RegistryValue& value)
{
    DWORD name_units = value.name_capacity;
    DWORD type = 0;
    DWORD size = value.data_capacity;
    const RegistryResult result =
        result_of(RegEnumValueW(to_hkey(key), index, reinterpret_cast<WCHAR*>(value.name), &name_units, nullptr, &type,
                                reinterpret_cast<BYTE*>(value.data), &size));
    value.name_length = name_units;
    value.type = type;
    value.data_length = size;
    return result;
}

RegistryResult query_registry_value(RegistryKey key, const char16_t* name, RegistryValue& value)
{
    DWORD type = 0;
    DWORD size = value.data_capacity;
    const RegistryResult result = result_of(RegQueryValueExW(to_hkey(key), reinterpret_cast<const WCHAR*>(name), nullptr,
                                                             &type, reinterpret_cast<BYTE*>(value.data), &size));
    value.type = type;
    value.data_length = size;
    return result;
}

RegistryResult count_registry_entries(RegistryKey key, std::uint32_t& subkeys, std::uint32_t& values)
{
    DWORD subkey_count = 0;
    DWORD value_count = 0;
    const RegistryResult result = result_of(RegQueryInfoKeyW(to_hkey(key), nullptr, nullptr, nullptr, &subkey_count,
                                                             nullptr, nullptr, &value_count, nullptr, nullptr, nullptr,
                                                             nullptr));
    subkeys = subkey_count;
    values = value_count;
    return result;
}

bool registry_key_is_empty(RegistryKey key)
{
    std::uint32_t subkeys = 1;
    std::uint32_t values = 1;
    return count_registry_entries(key, subkeys, values) == RegistryResult::ok && subkeys == 0 && values == 0;
}

void delete_registry_key(RegistryRoot root, const char16_t* path, RegistryView view)
{
    RegDeleteKeyExW(root_keys[static_cast<int>(root)], reinterpret_cast<const WCHAR*>(path),
                    view == RegistryView::bits64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY, 0);
}
