// May a removal delete this folder? Every rule a removal applies before it deletes anything,
// in one place: a path read from the registry is only as trustworthy as whoever wrote it.
#pragma once

#include <windows.h>

// Why a removal keeps everything, the record included; None when it may go ahead.
enum class Refusal {
    None,
    UnusableName,        // the version's name could reach beyond its own key, shortcuts and group
    ProgramPathUnread,   // the recorded "Program Path" is there but cannot be read whole
    UnusablePath,        // not a full path, or one that the file system would read otherwise
    WholeDrive,          // the root of a drive or share
    NotAFolder,          // a file, or a link to a folder elsewhere
    ProtectedFolder,     // a folder of the system or the user, or one that holds one
    HoldsOtherVersion,   // it holds the program folder of another recorded version
    NotTheProduct,       // neither named after the version nor holding the product's launcher
    UnsafeProgramGroup,  // the version's program group is no folder that may be deleted
};

// Any folder that removing the version deletes: a full local or network path below its root;
// none of the folders the platform names for the system and the user, nor one that holds any
// of them, whatever the spelling and wherever their links lead; a real folder, not a link (or
// nothing at all); and none that holds the program folder of another recorded version. On
// None, `resolved` holds the full path to delete; otherwise it is empty.
Refusal CheckFolderToDelete(const char* path, const char* versionName, char (&resolved)[MAX_PATH]);

// The version's recorded program folder: all of the above and, when it exists, the version's
// own: named after the version, as every installation of this setup names it, or holding the
// product's launcher, as the folders of earlier versions do.
Refusal CheckProgramFolderToDelete(const char* path, const char* versionName, char (&resolved)[MAX_PATH]);
