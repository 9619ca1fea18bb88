// Shell link files for the installed product: one on the desktop, one in the Start menu and
// a program group of five in the Programs folder, all in the current user's own folders.
#pragma once

#include <windows.h>

#include <cstddef>

// Where a version's shortcuts stand, for making them and for removing them: the link file
// folder\name.lnk, and the program group folder\name in the Programs folder. False when the
// path does not fit the buffer or MAX_PATH bytes: a cut path would name another file.
bool FormatLinkPath(char* link, std::size_t capacity, const char* folder, const char* name);
bool FormatGroupPath(char* group, std::size_t capacity, const char* programsFolder, const char* name);
template <std::size_t N>
bool FormatLinkPath(char (&link)[N], const char* folder, const char* name)
{
    return FormatLinkPath(link, N, folder, name);
}
template <std::size_t N>
bool FormatGroupPath(char (&group)[N], const char* programsFolder, const char* name)
{
    return FormatGroupPath(group, N, programsFolder, name);
}

// Writes one link file with the given target and description (no other property is set).
// The HRESULT of the last step reached: a failure of CoCreateInstance or QueryInterface, a
// failure for a link path that does not fit the platform's 260 characters (nothing is saved
// then), or the result of Save.
HRESULT CreateShortcut(const char* target, const char* linkFile, const char* description);

// Links linkPath (formatted by the caller just before) to the named file in programDir,
// with programDir as the description. scratchPath receives the target.
HRESULT MakeProgramShortcut(const char* targetFileName);

// The three shortcut steps of an installation; each makes its links unconditionally, the
// caller decides from the user's choices. A missing Desktop, Start menu or Programs folder is
// created; the links of a folder that the shell can neither name nor make are skipped, as is
// a link whose path does not fit.
void MakeDesktopShortcut();
void MakeStartMenuShortcut();
// Also makes the Programs folder the process's current directory, for the rest of the run
// (not when the group is skipped for want of that folder).
void MakeProgramGroup();
