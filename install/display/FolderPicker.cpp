#include "display/FolderPicker.h"

#include <shlobj.h>

#include "shell/Owners.h"
#include "shell/SetupState.h"

namespace {

// An item ID list handed out by the shell, freed with the task allocator it came from.
class ItemIdList {
public:
    explicit ItemIdList(IMalloc* allocator) : allocator_(allocator) {}
    ~ItemIdList()
    {
        if (list_) allocator_->Free(list_);
    }
    ItemIdList(const ItemIdList&) = delete;
    ItemIdList& operator=(const ItemIdList&) = delete;

    PIDLIST_ABSOLUTE Get() const { return list_; }
    PIDLIST_ABSOLUTE* Put() { return &list_; }
    void Take(PIDLIST_ABSOLUTE list) { list_ = list; }

private:
    IMalloc* allocator_;
    PIDLIST_ABSOLUTE list_ = nullptr;
};

// Whether the ANSI path names the chosen folder itself. Characters that the code page lacks
// come back as "?" or a look-alike, which names no folder or another one.
bool NamesChosenFolder(PCIDLIST_ABSOLUTE chosen, const char* path)
{
    wchar_t wide[MAX_PATH];
    wchar_t back[MAX_PATH];
    if (!SHGetPathFromIDListW(chosen, wide)) return false;
    if (!MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, path, -1, back, MAX_PATH)) return false;
    return lstrcmpW(wide, back) == 0;
}

} // namespace

int BrowseForDirectory(const char* prompt, int rootCsidl)
{
    ComPtr<IMalloc> allocator;
    if (SHGetMalloc(allocator.Put()) != S_OK || !allocator) return BrowseCancelled;

    ItemIdList root(allocator.Get());
    if (SHGetFolderLocation(g_setup.mainWindow, rootCsidl, nullptr, 0, root.Put()) != S_OK)
        return BrowseCancelled;

    char displayName[MAX_PATH] = "";
    BROWSEINFOA settings{};
    settings.hwndOwner = g_setup.mainWindow;
    settings.pidlRoot = root.Get();
    settings.pszDisplayName = displayName;
    settings.lpszTitle = prompt;
    settings.ulFlags = BIF_RETURNONLYFSDIRS;
    settings.lpfn = BrowseCallback;
    settings.lParam = 0;

    ItemIdList chosen(allocator.Get());
    chosen.Take(SHBrowseForFolderA(&settings));
    if (!chosen.Get()) return BrowseCancelled;

    // browsedDir has the MAX_PATH characters that the conversion may write.
    static_assert(sizeof g_setup.browsedDir >= MAX_PATH, "SHGetPathFromIDListA writes up to MAX_PATH");
    if (!SHGetPathFromIDListA(chosen.Get(), g_setup.browsedDir)) return BrowseNoPath;
    if (!NamesChosenFolder(chosen.Get(), g_setup.browsedDir)) return BrowseNoPath;
    return BrowseChosen;
}

int CALLBACK BrowseCallback(HWND browser, UINT msg, LPARAM, LPARAM)
{
    if (msg == BFFM_INITIALIZED) SetWindowTextA(browser, FolderPickerTitle);
    return 0;
}
