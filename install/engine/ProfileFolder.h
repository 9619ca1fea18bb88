// The current user's special folders that an installation writes into: the Templates folder
// for staging, and the Desktop, Start menu and Programs folders for the shortcuts.
#pragma once

#include <windows.h>

// Asks the shell for the folder, and has it create the folder when it is missing (a fresh or
// trimmed profile may lack any of them). False, with an empty folder, when the shell cannot
// name or make it, or names it by a relative path: such a path would resolve against the
// current directory and put the files wherever the setup was started.
bool FindProfileFolder(int csidl, char (&folder)[MAX_PATH]);

// The shell's path of the folder (csidl may carry the CSIDL_FLAG_ values) in the process's code
// page, whole: false, with an empty folder, when the shell cannot name it, or when the path
// would not fit MAX_PATH bytes or holds a letter the code page lacks. The "A" call would hand
// such a path back cut short, unterminated or with "?" in it.
bool FindShellFolder(int csidl, char (&folder)[MAX_PATH]);
