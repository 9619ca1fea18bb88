// Folders compared by what they are rather than by how they are spelt: another drive letter
// mapped onto a folder, a network or administrative share, an 8.3 alias, a junction or a link
// all name the same folder, and only the file system can tell.
#pragma once

#include <windows.h>

// Volume serial number and file index: the same pair means the same folder.
struct FolderIdentity {
    DWORD volumeSerial;
    DWORD indexHigh;
    DWORD indexLow;
};

// The identity of the folder that path names, links followed; false when it names no folder
// that can be opened, or the file system gives it no index.
bool IdentifyFolder(const char* path, FolderIdentity& identity);

// The same folder: the same file index on the same volume, or on a volume without a serial.
bool SameFolder(const FolderIdentity& a, const FolderIdentity& b);

// Turns a full path into the folder above it, as the path spells it; false at its root.
bool ToFolderAbove(char (&path)[MAX_PATH]);

// The path the platform ends up at for a file or folder, links followed all the way (a Unix
// link under Wine, a junction or symbolic link on Windows), in the plain "X:\..." or
// "\\server\share\..." form; false when it cannot say (before Windows Vista there is no
// such query, and no links to folders but junctions either).
bool FinalPath(const char* path, char (&final)[MAX_PATH]);

// Whether path names that folder or lies inside it: path, or one of the folders above it as
// path spells them, is that folder. Folders along path that do not exist are passed over.
bool LiesWithin(const char* path, const FolderIdentity& folder);
