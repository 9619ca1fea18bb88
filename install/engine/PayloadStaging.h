// Staging: writes the embedded unzip library and product archive into the Templates
// folder, where the unzip binding and the install sequence pick them up.
#pragma once

#include "payload/Payload.h"

// The names of the two staged files in the staging folder.
constexpr char StagedLibraryName[] = "UnzDll.dll";
constexpr char StagedArchiveName[] = "zav.zip";

// Whether both embedded images are as they were built (every word checked): a damaged setup
// file must write nothing and load nothing.
bool PayloadIntact();

// Fills stagingDir, unzipLibraryPath and archivePath and writes both images, library first.
// The Templates folder is created when it is missing.
// 0 when both files stand complete on disk; 1 when the Templates folder cannot be named,
// a path does not fit, a buffer cannot be allocated or a file cannot be written whole.
// libraryStaged and archiveStaged tell which of the two files it wrote.
int StagePayload();

// Writes one image to one file, replacing an existing file. 0 when the file holds exactly
// the image; 1 otherwise, and then no partly written file is left behind.
int WriteEmbeddedImage(const char* path, const EmbeddedImage& image);

// Whether path is the staging folder or lies inside it: staging writes there and its
// clean-up deletes there, so nothing else may be installed there.
bool IsInStagingFolder(const char* path);
