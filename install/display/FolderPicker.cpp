#include "display/FolderPicker.h"

#include <shlobj.h>

#include "shell/Owners.h"
#include "shell/SetupState.h"
#include "shell/TextPath.h"

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

    // Asked in UTF-16 and converted here: the "A" call hands back a path that does not fit
    // MAX_PATH bytes cut or unterminated, and letters the code page lacks as "?" or look-alikes,
    // which name no folder or another one.
    wchar_t wide[MAX_PATH];
    if (!SHGetPathFromIDListW(chosen.Get(), wide)) return BrowseNoPath;
    switch (text::ToAnsiPath(wide, g_setup.browsedDir)) {
    case text::AnsiPath::Whole: return BrowseChosen;
    case text::AnsiPath::TooLong: return BrowsePathTooLong;
    case text::AnsiPath::Unspellable: break;
    }
    return BrowseNoPath;
}

int CALLBACK BrowseCallback(HWND browser, UINT msg, LPARAM, LPARAM)
{
    if (msg == BFFM_INITIALIZED) SetWindowTextA(browser, FolderPickerTitle);
    return 0;
}
