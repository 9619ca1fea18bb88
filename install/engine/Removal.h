// Removal of a recorded version: its program folder, shortcuts, program group and record.
#pragma once

#include <windows.h>

// Removes the version named by selectedVersionName. True when its record is gone; false
// when something could not be deleted or the name or a recorded path is not safe to act
// on (then nothing at all is deleted).
bool RemoveInstalledVersion();

// Whether a folder may be deleted whole: a full local or network path below its root that
// is none of the system's or the user's own folders and contains none of them. On success
// `resolved` holds the full path to delete.
bool IsSafeFolderToDelete(const char* path, char (&resolved)[MAX_PATH]);
