// Removal of a recorded version: its program folder, shortcuts, program group and record.
#pragma once

#include <windows.h>

// What a removal came to. Whenever the record stays, the version can be removed again later.
enum class RemovalResult {
    Removed,           // the record is gone, and what it named with it
    Kept,              // the name or a recorded path is not safe to act on (nothing was deleted),
                       // or a shortcut or the program group could not be deleted: the record stays
    ProgramInUse,      // the program folder cannot go as a whole (ZAV or one of its files is in
                       // use): nothing of it was deleted, and the record stays
    ProgramPathUnread, // the recorded "Program Path" is there but cannot be read whole: nothing
                       // was deleted, and the record stays
};

// Removes the version named by selectedVersionName.
RemovalResult RemoveInstalledVersion();

// Whether a folder may be deleted whole: a full local or network path below its root that
// is none of the system's or the user's own folders and contains none of them, under any
// spelling (folders are compared by identity too). On success
// `resolved` holds the full path to delete.
bool IsSafeFolderToDelete(const char* path, char (&resolved)[MAX_PATH]);
