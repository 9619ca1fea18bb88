// The unzip library's command record as the setup fills it, for the tests on either side of it.
#pragma once

#include <cstdint>
#include <cstring>

#include "UnzDll.h"

namespace testing_support {

// Zero-filled, padding included, then the fields the setup sets: expand everything with its
// folders, replacing what is there, read-only files included.
inline void FillAsTheSetupDoes(UnzipCommand& record, HWND owner, std::uint32_t callerVersion,
                               const char* archive, const char* target)
{
    std::memset(&record, 0, sizeof record);
    record.ownerWindow = owner;
    record.callerVersion = callerVersion;
    record.neverPrompt = 1;
    record.recreateFolders = 1;
    record.overwriteExisting = 1;
    record.restoreTimes = 1;
    record.replaceReadOnly = 1;
    record.archivePath = archive;
    record.targetFolder = target;
    record.recordVersion = 7;  // the layout's version, as a number: the header's constant is under test too
}

} // namespace testing_support
