// Shell link files for the installed product: one on the desktop, one in the Start menu and
// a program group of five in the Programs folder, all in the current user's own folders.
#pragma once

#include <windows.h>

// Writes one link file with the given target and description (no other property is set).
// The HRESULT of the last step reached: a failure of CoCreateInstance or QueryInterface, a
// failure for a link path that does not fit the platform's 260 characters (nothing is saved
// then), or the result of Save.
HRESULT CreateShortcut(const char* target, const char* linkFile, const char* description);

// Links linkPath (formatted by the caller just before) to the named file in programDir,
// with programDir as the description. scratchPath receives the target.
HRESULT MakeProgramShortcut(const char* targetFileName);

// The three shortcut steps of an installation; each makes its links unconditionally, the
// caller decides from the user's choices. A link whose path does not fit is skipped.
void MakeDesktopShortcut();
void MakeStartMenuShortcut();
// Also makes the Programs folder the process's current directory, for the rest of the run.
void MakeProgramGroup();
