#include "engine/ProfileFolder.h"

#include <shlobj.h>

#include "shell/SetupState.h"

namespace {

// "X:\..." or "\\server\...". "\folder" and "X:folder" count as relative too: they resolve
// against the current drive or that drive's current directory.
bool IsFullPath(const char* path)
{
    const bool letter = (path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z');
    if (letter && path[1] == ':' && path[2] == '\\') return true;
    return path[0] == '\\' && path[1] == '\\' && path[2] != '\0' && path[2] != '\\';
}

} // namespace

bool FindProfileFolder(int csidl, char (&folder)[MAX_PATH])
{
    HRESULT found =
        SHGetFolderPathA(g_setup.mainWindow, csidl | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, folder);
    if (SUCCEEDED(found) && IsFullPath(folder)) return true;
    folder[0] = '\0';
    return false;
}
