// Moves the checked tree from the temporary folder into the target.
// Every change is journalled so that a failure halfway can be undone:
// replaced files are first moved aside into a backup folder (inside the
// temporary folder), never deleted until the whole move succeeded.
#pragma once

#include "unz_win_fs.h"

#include <vector>

namespace unzdll {

class Committer {
public:
    // backupFolder: empty folder for replaced files. reservedName: a
    // top-level name that must not be merged (the temporary folder itself).
    // The reserved name is not copied: it must outlive the committer.
    Committer(const Path& backupFolder, bool replaceReadOnly, const wchar_t* reservedName)
        : backupFolder_(backupFolder), replaceReadOnly_(replaceReadOnly),
          reservedName_(reservedName) {}

    // Moves every child of source into target, merging folders that exist
    // and replacing files that exist. Stops at the first problem.
    bool merge(const Path& source, const Path& target) { return mergeFolder(source, target, true); }

    // Undoes every journalled step, newest first. True if all were undone.
    bool rollback();

private:
    enum class StepKind { Moved, SetAside };
    struct Step {
        StepKind kind;
        std::size_t from;  // in paths_
        std::size_t to;    // in paths_
        DWORD attributes;  // of a set-aside file, restored on rollback
    };

    bool mergeFolder(const Path& source, const Path& target, bool topLevel);
    bool replaceFile(const Path& source, const Path& target, DWORD targetAttributes);
    bool move(const Path& from, const Path& to);
    // Journals a step before it is taken; forget() drops the newest one
    // again when the step did not happen.
    void record(StepKind kind, const Path& from, const Path& to, DWORD attributes);
    void forget();

    Path backupFolder_;
    bool replaceReadOnly_;
    const wchar_t* reservedName_;
    std::vector<Step> journal_;
    NamePool paths_;  // the journal's paths
    std::uint32_t backupCount_ = 0;
};

}  // namespace unzdll
