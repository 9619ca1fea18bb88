// The system's folder browser, owned by the main window, for choosing a destination.
#pragma once

#include <windows.h>

constexpr const char FolderPickerTitle[] = "Select directory";

// Results of BrowseForDirectory.
enum BrowseResult : int {
    BrowseChosen = 0,     // browsedDir holds the chosen folder's path
    BrowseCancelled = 1,  // cancelled, or the root folder cannot be located; browsedDir unchanged
    BrowseNoPath = 2,     // the chosen folder has no file-system path that the ANSI code page can
                          // name; browsedDir is not to be used
    BrowsePathTooLong = 3,  // the chosen folder's path does not fit MAX_PATH bytes in the ANSI code
                            // page; browsedDir is empty
};

// Shows the browser rooted at the folder of rootCsidl, with the prompt above its tree, and
// lets only file-system folders be confirmed. The chosen path goes into g_setup.browsedDir.
int BrowseForDirectory(const char* prompt, int rootCsidl);

// The browser's callback: gives the browser its title once it is initialised; returns 0.
int CALLBACK BrowseCallback(HWND browser, UINT msg, LPARAM param, LPARAM data);
