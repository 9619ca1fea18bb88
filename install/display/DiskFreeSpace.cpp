#include "display/SizeText.h"

#include <windows.h>

double DiskFreeSpace(const char* directory)
{
    ULARGE_INTEGER availableToCaller;
    ULARGE_INTEGER totalBytes;
    ULARGE_INTEGER totalFree;
    if (!GetDiskFreeSpaceExA(directory, &availableToCaller, &totalBytes, &totalFree)) return 0.0;
    // The whole disk's free bytes: a quota on the user is deliberately not considered.
    return totalFree.HighPart * 4294967296.0 + totalFree.LowPart;
}
