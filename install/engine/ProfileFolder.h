// The current user's special folders that an installation writes into (the Templates folder
// for staging, and the Desktop, Start menu and Programs folders for the shortcuts), and those
// that a removal looks at.
#pragma once

#include <windows.h>

// Asks the shell for the folder, and has it create the folder when it is missing (a fresh or
// trimmed profile may lack any of them). False, with an empty folder, when the shell cannot
// name or make it, or names it by a relative path: such a path would resolve against the
// current directory and put the files wherever the setup was started.
bool FindProfileFolder(int csidl, char (&folder)[MAX_PATH]);

// Asks the shell for the folder as it is, creating nothing (csidl may carry its flags, such as
// CSIDL_FLAG_DONT_VERIFY). False, with an empty folder, when the shell names none.
bool QueryProfileFolder(int csidl, char (&folder)[MAX_PATH]);
