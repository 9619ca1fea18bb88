#include "engine/UnzipBinding.h"

// The library's interface header is the one layout of the record, for both sides.
#include "UnzDll.h"

#include "shell/Owners.h"
#include "shell/SetupState.h"
#include "shell/Text.h"

namespace {

constexpr char VersionExportName[] = "GetUnzDllVersion";
constexpr char ExecExportName[] = "UnzDllExec";

constexpr char LoadFailedTitle[] = "error load dll";
constexpr char NoVersionExportTitle[] = "error GetUnzDllVersion function";
constexpr char NoExecExportTitle[] = "error UnzDllExec function";
constexpr char AllocFailedTitle[] = "Error alloc hDCL!";
constexpr char LockFailedTitle[] = "Error alloc cc!";

// FARPROC has its own signature; go through a plain function pointer to change it.
template <typename Proc>
Proc FindExport(const Library& library, const char* name)
{
    return reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(GetProcAddress(library.Get(), name)));
}

int Fail(const char* title)
{
    SetWindowTextA(g_setup.mainWindow, title);
    return 1;
}

} // namespace

int ExtractArchive(const char* archivePath, const char* extractionFolder)
{
    // Released in reverse on every failure path: the record's block, then the library.
    // By its full path only: a bare name would be looked for along the search path.
    Library library(text::IsFullPath(g_setup.unzipLibraryPath) ? LoadLibraryA(g_setup.unzipLibraryPath) : nullptr);
    if (!library) return Fail(LoadFailedTitle);
    auto getVersion = FindExport<UnzGetVersionProc>(library, VersionExportName);
    if (!getVersion) return Fail(NoVersionExportTitle);
    auto exec = FindExport<UnzExecProc>(library, ExecExportName);
    if (!exec) return Fail(NoExecExportTitle);

    GlobalBlock block(GlobalAlloc(GPTR, sizeof(UnzipCommand)));
    if (!block) return Fail(AllocFailedTitle);
    auto* command = static_cast<UnzipCommand*>(GlobalLock(block.Get()));
    if (!command) return Fail(LockFailedTitle);

    // GPTR memory is zero-filled: only the fields that are not 0 are set. Expand
    // everything with its folders, replacing what is there, read-only files included.
    command->ownerWindow = g_setup.mainWindow;
    command->callerVersion = getVersion();
    command->neverPrompt = 1;
    command->recreateFolders = 1;
    command->overwriteExisting = 1;
    command->restoreTimes = 1;
    command->replaceReadOnly = 1;
    command->archivePath = archivePath;
    command->targetFolder = extractionFolder;
    command->recordVersion = UNZ_RECORD_VERSION;

    // What the library made of the archive shows in the folder, which the copy step checks.
    exec(command);
    GlobalUnlock(block.Get());
    // The library goes before the record it was handed is freed.
    library.Reset();
    return 0;
}
