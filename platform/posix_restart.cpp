// The native stand-in's session manager: moves at the next restart are
// lines of MORVANE_PENDING_MOVES ("from", a tab, "to", empty for a folder
// to remove), which carry_out_moves_at_restart carries out as Windows does
// at boot.
#include "platform/platform.h"
#include "platform/posix_names.h"

#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "text/utf16.h"

namespace {

bool utf8_of(const char16_t* path, char (&text)[PATH_MAX * 3 + 1])
{
    std::uint32_t units = 0;
    while (path[units] != u'\0')
        ++units;
    std::uint32_t decoded = 0;
    return units < PATH_MAX && utf16_to_utf8(reinterpret_cast<const char*>(path), 2 * units, text, decoded);
}

bool utf16_of(const char* text, char16_t (&path)[PATH_MAX])
{
    const char* next = text;
    const char* end = text + std::strlen(text);
    const std::uint32_t bytes = utf8_to_utf16(next, end, reinterpret_cast<char*>(path), 2 * (PATH_MAX - 1));
    path[bytes / 2] = u'\0';
    return next == end;
}

}  // namespace

bool move_at_restart(const char16_t* from, const char16_t* to)
{
    const char* list = setting("MORVANE_PENDING_MOVES");
    char source[PATH_MAX * 3 + 1];
    char target[PATH_MAX * 3 + 1] = "";
    FILE* file = list != nullptr && utf8_of(from, source) && (to == nullptr || utf8_of(to, target))
                     ? std::fopen(list, "a")
                     : nullptr;
    if (file == nullptr)
        return false;
    std::fprintf(file, "%s\t%s\n", source, target);
    return std::fclose(file) == 0;
}

bool move_registered(const char16_t* from)
{
    const char* list = setting("MORVANE_PENDING_MOVES");
    char source[PATH_MAX * 3 + 1];
    FILE* file = list != nullptr && utf8_of(from, source) ? std::fopen(list, "r") : nullptr;
    if (file == nullptr)
        return false;
    static char line[2 * (PATH_MAX * 3 + 1) + 2];
    bool found = false;
    while (!found && std::fgets(line, sizeof line, file) != nullptr) {
        line[std::strcspn(line, "\t")] = '\0';
        found = strcasecmp(line, source) == 0;
    }
    std::fclose(file);
    return found;
}

std::uint32_t volume_root(const char16_t* path, char16_t* root, std::uint32_t capacity)
{
    if (capacity < 4 || path[0] == u'\0' || path[1] != u':' || path[2] != u'\\')
        return 0;
    std::memcpy(root, path, 3 * sizeof(char16_t));
    root[3] = u'\0';
    return 3;
}

bool make_folders(const char16_t* path, FolderAccess access)
{
    char native[PATH_MAX];
    if (!native_path(path, native))
        return false;
    for (char* at = native + 1;; ++at) {
        if (*at != '/' && *at != '\0')
            continue;
        const char kept = *at;
        *at = '\0';
        struct stat info {};
        const bool there = lstat(native, &info) == 0;
        const bool protect = kept == '\0' && access != FolderAccess::inherited;
        if ((there && (protect || !S_ISDIR(info.st_mode))) ||
            (!there && mkdir(native, !protect ? 0755 : access == FolderAccess::user_reads ? 0750 : 0700) != 0))
            return false;
        *at = kept;
        if (kept == '\0')
            return true;
    }
}

void carry_out_moves_at_restart()
{
    const char* list = setting("MORVANE_PENDING_MOVES");
    FILE* file = list != nullptr ? std::fopen(list, "r") : nullptr;
    if (file == nullptr)
        return;
    static char line[2 * (PATH_MAX * 3 + 1) + 2];
    while (std::fgets(line, sizeof line, file) != nullptr) {
        line[std::strcspn(line, "\n")] = '\0';
        char* tab = std::strchr(line, '\t');
        if (tab == nullptr)
            continue;
        *tab = '\0';
        char16_t from[PATH_MAX];
        char16_t to[PATH_MAX];
        char source[PATH_MAX];
        char target[PATH_MAX];
        if (!utf16_of(line, from) || !utf16_of(tab + 1, to) || !native_path(from, source))
            continue;
        if (tab[1] == '\0')
            rmdir(source);
        else if (native_path(to, target))
            std::rename(source, target);
    }
    std::fclose(file);
    std::fclose(std::fopen(list, "w"));
}
