#include "engine/ProfileFolder.h"

#include <shlobj.h>

#include "shell/SetupState.h"
#include "shell/Text.h"

bool FindProfileFolder(int csidl, char (&folder)[MAX_PATH])
{
    HRESULT found =
        SHGetFolderPathA(g_setup.mainWindow, csidl | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, folder);
    if (SUCCEEDED(found) && text::IsFullPath(folder)) return true;
    folder[0] = '\0';
    return false;
}

bool QueryProfileFolder(int csidl, char (&folder)[MAX_PATH])
{
    folder[0] = '\0';
    HRESULT found = SHGetFolderPathA(g_setup.mainWindow, csidl, nullptr, SHGFP_TYPE_CURRENT, folder);
    if (SUCCEEDED(found) && folder[0] != '\0') return true;
    folder[0] = '\0';
    return false;
}
