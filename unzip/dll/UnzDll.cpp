// Exports of UnzDll.dll. UnzDllExec checks the command record, expands the
// archive into a temporary folder inside the target, and moves the result
// into place only once every entry checked out. No exception leaves the
// DLL and no UI is ever shown.
#include "UnzDll.h"

#include "unz_core.h"
#include "unz_win_commit.h"
#include "unz_win_fs.h"

namespace unzdll {
namespace {

constexpr char kExpandFolder[] = "x";
constexpr char kBackupFolder[] = "b";

std::uint32_t codeFor(unz::Status status, bool pathTooLong) {
    switch (status) {
    case unz::Status::Ok: return UNZ_OK;
    case unz::Status::NotZip: return UNZ_E_NOT_ZIP;
    case unz::Status::Truncated: return UNZ_E_TRUNCATED;
    case unz::Status::Corrupt: return UNZ_E_CORRUPT;
    case unz::Status::Unsupported: return UNZ_E_UNSUPPORTED;
    case unz::Status::Encrypted: return UNZ_E_ENCRYPTED;
    case unz::Status::UnsupportedMethod: return UNZ_E_METHOD;
    case unz::Status::BadName: return UNZ_E_NAME;
    case unz::Status::DuplicateName: return UNZ_E_NAME;
    case unz::Status::SizeMismatch: return UNZ_E_SIZE;
    case unz::Status::CrcMismatch: return UNZ_E_CRC;
    case unz::Status::BadData: return UNZ_E_DATA;
    case unz::Status::LimitExceeded: return UNZ_E_LIMIT;
    case unz::Status::ReadFailed: return UNZ_E_READ;
    case unz::Status::SinkFailed: return pathTooLong ? UNZ_E_PATH : UNZ_E_WRITE;
    case unz::Status::OutOfMemory: return UNZ_E_MEMORY;
    case unz::Status::Internal: return UNZ_E_INTERNAL;
    }
    return UNZ_E_INTERNAL;
}

// Fields that would ask for behaviour other than "expand everything,
// overwrite, recreate folders" are refused rather than ignored.
bool optionsSupported(const UnzipCommand& r) {
    return r.testOnly == 0 && r.listOnly == 0 && r.convertLineEnds == 0 && r.junkFolders == 0 &&
           r.freshenOnly == 0 && r.recreateFolders != 0 && r.overwriteExisting != 0 &&
           r.keepNewer == 0 && r.includeCount == 0 && r.excludeCount == 0;
}

// Removes a folder this call created, unless told it is to stay.
class CreatedFolder {
public:
    CreatedFolder() = default;
    ~CreatedFolder() {
        if (armed_) {
            RemoveDirectoryW(path_.c_str());
        }
    }
    CreatedFolder(const CreatedFolder&) = delete;
    CreatedFolder& operator=(const CreatedFolder&) = delete;
    void arm(const Path& path) {
        path_ = path;
        armed_ = true;
    }
    void keep() { armed_ = false; }

private:
    Path path_;
    bool armed_ = false;
};

// Removes the temporary tree on every path out of UnzDllExec.
class TempTree {
public:
    TempTree() = default;
    ~TempTree() { remove(); }
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;
    void arm(const Path& path) {
        path_ = path;
        armed_ = true;
    }
    bool remove() {
        if (!armed_) {
            return true;
        }
        armed_ = false;
        return removeTree(path_);
    }

private:
    Path path_;
    bool armed_ = false;
};

// Makes sure the target exists as a folder; creates it if only its last
// part is missing.
std::uint32_t prepareTarget(const Path& target, CreatedFolder& created) {
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? UNZ_OK : UNZ_E_TARGET;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
        return UNZ_E_TARGET;
    }
    if (!CreateDirectoryW(target.c_str(), nullptr)) {
        return UNZ_E_TARGET;
    }
    created.arm(target);
    return UNZ_OK;
}

std::uint32_t execute(const UnzipCommand* record) {
    if (record == nullptr || record->recordVersion != UNZ_RECORD_VERSION) {
        return UNZ_E_RECORD;
    }
    if (record->callerVersion != 0 && record->callerVersion != UNZDLL_VERSION) {
        return UNZ_E_VERSION;
    }
    if (!optionsSupported(*record)) {
        return UNZ_E_OPTION;
    }
    Path archivePath;
    Path target;
    if (!archivePath.assignAnsi(record->archivePath) || archivePath.empty() ||
        !target.assignAnsi(record->targetFolder) || target.empty()) {
        return UNZ_E_PATH;
    }
    target.trimTrailingSeparators();

    FileSource source;
    if (!source.open(archivePath)) {
        return UNZ_E_OPEN_ARCHIVE;
    }
    // Declared before the temporary tree so that it is destroyed after it:
    // a target created here can only be removed once it is empty again.
    CreatedFolder createdTarget;
    std::uint32_t code = prepareTarget(target, createdTarget);
    if (code != UNZ_OK) {
        return code;
    }
    Path tempRoot;
    wchar_t tempName[kTempNameSize];
    if (!createUniqueFolder(target, tempRoot, tempName)) {
        return UNZ_E_TARGET;
    }
    TempTree temp;
    temp.arm(tempRoot);
    Path expandRoot = tempRoot;
    Path backupRoot = tempRoot;
    if (!expandRoot.append(kExpandFolder) || !backupRoot.append(kBackupFolder)) {
        return UNZ_E_PATH;
    }
    if (!CreateDirectoryW(expandRoot.c_str(), nullptr) ||
        !CreateDirectoryW(backupRoot.c_str(), nullptr)) {
        return UNZ_E_TARGET;
    }

    FolderSink sink(expandRoot, record->restoreTimes != 0);
    const unz::Result result = unz::expandArchive(source, sink);
    source.close();
    code = codeFor(result.status, sink.pathTooLong());
    if (code != UNZ_OK) {
        return code;
    }

    Committer committer(backupRoot, record->replaceReadOnly != 0, tempName);
    if (!committer.merge(expandRoot, target)) {
        return committer.rollback() ? UNZ_E_COMMIT : UNZ_E_ROLLBACK;
    }
    createdTarget.keep();
    return temp.remove() ? UNZ_OK : UNZ_E_CLEANUP;
}

}  // namespace
}  // namespace unzdll

extern "C" {

uint32_t WINAPI GetUnzDllVersion(void) { return UNZDLL_VERSION; }

// Built without exceptions, so none can leave; a failed allocation of the
// expansion comes back as UNZ_E_MEMORY.
uint32_t WINAPI UnzDllExec(const UnzipCommand* record) { return unzdll::execute(record); }

// The entry point itself (linked without the C runtime's start-up code):
// there is nothing to set up or tear down.
BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

}  // extern "C"
