// The shell's own move to the Recycle Bin of the paths in a list (UTF-8, a
// line each): the files in one call, then the folders in a second.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>

namespace {

wchar_t files[1 << 22];
wchar_t folders[1 << 20];

bool recycle(const wchar_t* paths)
{
    if (paths[0] == L'\0')
        return true;
    SHFILEOPSTRUCTW operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = paths;
    operation.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI | FOF_NOCONFIRMMKDIR;
    return SHFileOperationW(&operation) == 0 && !operation.fAnyOperationsAborted;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    FILE* list = std::fopen(argv[1], "rb");
    if (list == nullptr)
        return 2;
    char line[4096];
    std::size_t files_used = 0;
    std::size_t folders_used = 0;
    while (std::fgets(line, sizeof line, list) != nullptr) {
        line[std::strcspn(line, "\r\n")] = '\0';
        const std::size_t length = std::strlen(line);
        if (length < 2)
            continue;
        const bool folder = line[length - 1] == '\\';
        if (folder)
            line[length - 1] = '\0';
        wchar_t* to = folder ? folders + folders_used : files + files_used;
        const int units = MultiByteToWideChar(CP_UTF8, 0, line, -1, to, 4096);
        if (units <= 0)
            return 2;
        (folder ? folders_used : files_used) += static_cast<std::size_t>(units);
    }
    std::fclose(list);
    files[files_used] = folders[folders_used] = L'\0';
    return recycle(files) && recycle(folders) ? 0 : 1;
}
