#include "unz_win_commit.h"

namespace unzdll {
namespace {

bool isFolder(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

// An 8.3 alias ("LONG~1.TXT") opens an item whose own name is another: that
// item must be neither replaced nor merged into under the alias. This also
// covers the temporary folder's short name.
bool isNamedAs(const Path& path, const wchar_t* name) {
    WIN32_FIND_DATAW data;
    FindHandle find(FindFirstFileW(path.c_str(), &data));
    return find.Valid() && equalsNoCase(data.cFileName, name);
}

}  // namespace

void Committer::record(StepKind kind, const Path& from, const Path& to, DWORD attributes) {
    const std::size_t fromAt = paths_.add(from.c_str(), from.size());
    const std::size_t toAt = paths_.add(to.c_str(), to.size());
    journal_.push_back(Step{kind, fromAt, toAt, attributes});
}

void Committer::forget() {
    paths_.truncate(journal_.back().from);
    journal_.pop_back();
}

bool Committer::move(const Path& from, const Path& to) {
    // No MOVEFILE_REPLACE_EXISTING: an existing target is always set aside
    // first, and no MOVEFILE_COPY_ALLOWED: both live on the target's volume.
    // Journal first, so a step can never happen without a record of it.
    record(StepKind::Moved, from, to, 0);
    if (!MoveFileExW(from.c_str(), to.c_str(), 0)) {
        forget();
        return false;
    }
    return true;
}

bool Committer::replaceFile(const Path& source, const Path& target, DWORD targetAttributes) {
    const bool readOnly = (targetAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (readOnly && !replaceReadOnly_) {
        return false;
    }
    Path aside = backupFolder_;
    wchar_t name[kHex32Size];
    formatHex32(++backupCount_, name);
    if (!aside.append(name)) {
        return false;
    }
    record(StepKind::SetAside, target, aside, targetAttributes);
    if (readOnly &&
        !SetFileAttributesW(target.c_str(), targetAttributes & ~DWORD{FILE_ATTRIBUTE_READONLY})) {
        forget();
        return false;
    }
    if (!MoveFileExW(target.c_str(), aside.c_str(), 0)) {
        if (readOnly) {
            SetFileAttributesW(target.c_str(), targetAttributes);
        }
        forget();
        return false;
    }
    return move(source, target);
}

bool Committer::mergeFolder(const Path& source, const Path& target, bool topLevel) {
    FolderListing children;
    if (!listFolder(source, children)) {
        return false;
    }
    for (const FolderListing::Entry& child : children.entries) {
        const wchar_t* name = children.name(child);
        if (topLevel && equalsNoCase(name, reservedName_)) {
            return false;
        }
        Path from = source;
        Path to = target;
        if (!from.append(name) || !to.append(name)) {
            return false;
        }
        const DWORD existing = GetFileAttributesW(to.c_str());
        if (existing == INVALID_FILE_ATTRIBUTES) {
            const DWORD error = GetLastError();
            if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
                return false;
            }
            if (!move(from, to)) {
                return false;
            }
            continue;
        }
        // A link in the target could lead outside it: never write through one.
        if ((existing & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            return false;
        }
        if (!isNamedAs(to, name)) {
            return false;
        }
        if (isFolder(child.attributes) != isFolder(existing)) {
            return false;  // a file where a folder belongs, or the reverse
        }
        const bool ok = isFolder(existing) ? mergeFolder(from, to, false)
                                           : replaceFile(from, to, existing);
        if (!ok) {
            return false;
        }
    }
    return true;
}

bool Committer::rollback() {
    bool restored = true;
    for (auto step = journal_.rbegin(); step != journal_.rend(); ++step) {
        const wchar_t* from = paths_.at(step->from);
        if (!MoveFileExW(paths_.at(step->to), from, 0)) {
            restored = false;
            continue;
        }
        if (step->kind == StepKind::SetAside &&
            (step->attributes & FILE_ATTRIBUTE_READONLY) != 0) {
            restored = SetFileAttributesW(from, step->attributes) && restored;
        }
    }
    journal_.clear();
    paths_.clear();
    return restored;
}

}  // namespace unzdll
