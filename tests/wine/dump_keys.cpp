// Prints a registry tree as exactly as it lies: each key's name, then each
// value's name, type and every data byte. reg.exe's export prints strings up
// to their first zero, so it cannot tell an empty string from no data.
// Usage: dump_keys HKLM-subkey 32|64
#include <windows.h>

#include <cstdio>

namespace {

BYTE data[4 << 20];
char hex[(8 << 20) + 1];
WCHAR name[16384];

void dump(HKEY parent, const WCHAR* path, REGSAM view)
{
    HKEY key;
    if (RegOpenKeyExW(parent, path, 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return;
    std::printf("[%ls]\n", path);
    for (DWORD index = 0;; ++index) {
        DWORD name_length = 16384, type = 0, size = sizeof data;
        if (RegEnumValueW(key, index, name, &name_length, nullptr, &type, data, &size) != ERROR_SUCCESS)
            break;
        std::printf("  \"");
        for (DWORD i = 0; i < name_length; ++i)
            std::printf("%04x", name[i]);
        for (DWORD i = 0; i < size; ++i) {
            hex[2 * i] = "0123456789abcdef"[data[i] >> 4];
            hex[2 * i + 1] = "0123456789abcdef"[data[i] & 15];
        }
        hex[2 * size] = '\0';
        std::printf("\" type %lx size %lu:%s\n", type, size, hex);
    }
    static WCHAR subpaths[600][2048];
    static int depth = 0;
    WCHAR* subpath = subpaths[depth++];
    for (DWORD index = 0;; ++index) {
        WCHAR subkey[256];
        DWORD length = 256;
        if (RegEnumKeyExW(key, index, subkey, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        _snwprintf(subpath, 2048, L"%ls\\%ls", path, subkey);
        dump(parent, subpath, view);
    }
    --depth;
    RegCloseKey(key);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    WCHAR path[2048];
    MultiByteToWideChar(CP_ACP, 0, argv[1], -1, path, 2048);
    dump(HKEY_LOCAL_MACHINE, path, argv[2][0] == '3' ? KEY_WOW64_32KEY : KEY_WOW64_64KEY);
    return 0;
}
