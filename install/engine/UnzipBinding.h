// The binding to the unzip library that staging wrote out: load it, hand it one command
// record (UnzipCommand, laid out in the library's own header), unload it.
#pragma once

#include <windows.h>

// Loads the library at unzipLibraryPath and has it expand archivePath into
// extractionFolder. 0 when the library ran (whatever it made of the archive); 1 when it
// could not be run, with the reason in the main window's title.
int ExtractArchive(const char* archivePath, const char* extractionFolder);
