// Removal of a recorded version: its program folder, shortcuts, program group and record.
#pragma once

#include <windows.h>

#include "engine/RemovalSafety.h"

// What a removal came to. Whenever the record stays, the version can be removed again later.
enum class RemovalOutcome {
    Removed,       // the record is gone, and what it named with it
    Refused,       // the name or a recorded path is not safe to act on: nothing was deleted, the
                   // record stays, and the refusal says why
    ProgramInUse,  // the program folder cannot go as a whole (ZAV or one of its files is in
                   // use): nothing of it was deleted, and the record stays
    Kept,          // a shortcut or the program group could not be deleted: the record stays
};

struct RemovalResult {
    RemovalOutcome outcome;
    Refusal refusal = Refusal::None;  // why, when refused
};

// Removes the version named by selectedVersionName.
RemovalResult RemoveInstalledVersion();
