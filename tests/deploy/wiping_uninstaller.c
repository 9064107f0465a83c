/*
 * An uninstaller that deletes every file and folder in the folder an upgrade
 * names (_?=FOLDER), the board DLL and its companions among them, as an old
 * or broken one could: what the upgrade keeps, it keeps by itself.
 */
#include <wchar.h>
#include <windows.h>

static void wipe(const wchar_t *folder)
{
    wchar_t pattern[MAX_PATH];
    swprintf(pattern, MAX_PATH, L"%ls\\*", folder);
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(pattern, &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        if (wcscmp(found.cFileName, L".") == 0 || wcscmp(found.cFileName, L"..") == 0)
            continue;
        wchar_t path[MAX_PATH];
        swprintf(path, MAX_PATH, L"%ls\\%ls", folder, found.cFileName);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            wipe(path);
            RemoveDirectoryW(path);
        } else {
            DeleteFileW(path); /* not itself, while it runs */
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

int main(void)
{
    const wchar_t *folder = wcsstr(GetCommandLineW(), L"_?=");
    if (!folder)
        return 1;
    wipe(folder + 3);
    return 0;
}
