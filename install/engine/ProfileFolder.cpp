#include "engine/ProfileFolder.h"

#include <shlobj.h>

#include "shell/SetupState.h"
#include "shell/Text.h"
#include "shell/TextPath.h"

bool FindShellFolder(int csidl, char (&folder)[MAX_PATH])
{
    wchar_t wide[MAX_PATH] = L"";
    HRESULT found = SHGetFolderPathW(g_setup.mainWindow, csidl, nullptr, SHGFP_TYPE_CURRENT, wide);
    if (SUCCEEDED(found) && text::ToAnsiPath(wide, folder) == text::AnsiPath::Whole) return true;
    folder[0] = '\0';
    return false;
}

bool FindProfileFolder(int csidl, char (&folder)[MAX_PATH])
{
    if (FindShellFolder(csidl | CSIDL_FLAG_CREATE, folder) && text::IsFullPath(folder)) return true;
    folder[0] = '\0';
    return false;
}
