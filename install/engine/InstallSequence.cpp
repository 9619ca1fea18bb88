#include "engine/InstallSequence.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <new>

#include "UnzDll.h"
#include "engine/PayloadStaging.h"
#include "engine/ProfileFolder.h"
#include "engine/ProgressSteps.h"
#include "engine/Shortcuts.h"
#include "engine/UnzipBinding.h"
#include "registry/Registry.h"
#include "shell/FolderIdentity.h"
#include "shell/Owners.h"
#include "shell/SetupState.h"
#include "shell/Text.h"
#include "shell/TextPath.h"

namespace {

// The progress steps: how far each one moves the bar and what the label says after it.
constexpr double ExtractingIncrement = 20.0;
constexpr double CopyingIncrement = 20.0;
constexpr double CreatingIncrement = 40.0;
constexpr double FinishedIncrement = 20.0;
constexpr char ExtractingText[] = "Extracting files ..";
constexpr char CopyingText[] = "Copying files ..";
constexpr char CreatingText[] = "Creating components ..";
constexpr char FinishedText[] = "Finished";

constexpr char SuccessText[] = "Program was successfully installed!";
constexpr UINT SuccessStyle = MB_OK | MB_ICONINFORMATION;
constexpr char OpenVerb[] = "open";

// What a failed attempt tells the user: what went wrong and what to do about it.
constexpr char FailureCaption[] = "Setup error";
constexpr UINT FailureStyle = MB_OK | MB_ICONERROR;
constexpr char PathTooLongText[] =
    "The install directory path is too long for ZAV.\n\nPlease select a shorter directory.";
constexpr char DamagedSetupText[] =
    "This setup file is damaged and cannot install ZAV.\n\nPlease download it again.";
constexpr char DestinationUnnamedText[] =
    "Setup cannot name the install directory.\n\nPlease select another directory.";
constexpr char TemplatesUnnamedText[] =
    "Setup cannot use the path of the Templates folder: it is too long, or holds letters that this "
    "system cannot pass to Setup.\n\nPlease give that folder a shorter path and try again.";
constexpr char StagingFailedText[] =
    "Setup could not write its files into the Templates folder.\n\nPlease check that folder and try again.";
constexpr char ExpansionFailedText[] =
    "Setup could not unpack the product files.\n\nPlease check the Templates folder and try again.";
constexpr char CopyFailedText[] =
    "ZAV could not be copied completely into the install directory.\n\n"
    "Please close ZAV if it runs, or select another directory.";

// Settings of the previous version that did not all arrive: the product is installed, but
// the user must know where the settings still are.
constexpr char WarningCaption[] = "Setup warning";
constexpr UINT WarningStyle = MB_OK | MB_ICONWARNING;
constexpr char SettingsNotCarriedFormat[] =
    "ZAV was installed, but the settings of the previous version could not be copied completely "
    "from\n\n%s\\%s\n\nPlease copy them from there yourself.";
// The format with two paths of the platform's length.
constexpr std::size_t SettingsNotCarriedCapacity = sizeof SettingsNotCarriedFormat + 2 * MAX_PATH;

// What the unzip library names its temporary folders.
constexpr char UnzipTemporaryPrefix[] = UNZ_TEMP_PREFIX;
constexpr char UnzipTemporarySuffix[] = UNZ_TEMP_SUFFIX;
constexpr std::size_t UnzipTemporaryDigits = UNZ_TEMP_HEX_DIGITS;
constexpr char UnzipTemporaryPattern[] = UNZ_TEMP_PREFIX "*" UNZ_TEMP_SUFFIX;

// Files are compared in pieces of this size.
constexpr DWORD CompareChunkBytes = 32768;

// The product copy may show the shell's own error dialog; the clean-up and the settings
// carry-over are best-effort and stay silent.
constexpr FILEOP_FLAGS ProductCopyFlags = FOF_SILENT | FOF_NOCONFIRMATION;
constexpr FILEOP_FLAGS QuietFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;

// Runs one shell file operation on a single path, and for a copy a single target folder. The
// shell takes each as a list ended by two NULs; a path that does not fit is never cut, the
// operation is not run then. 0 when the shell reports success.
int RunFileOperation(UINT function, const char* from, const char* to, HWND owner, FILEOP_FLAGS flags)
{
    char fromList[MAX_PATH + 1];
    char toList[MAX_PATH + 1];
    if (!text::DoubleNulTerminated(fromList, from) || (to && !text::DoubleNulTerminated(toList, to)))
        return ERROR_FILENAME_EXCED_RANGE;
    SHFILEOPSTRUCTA operation{};  // zero-filled: no name mappings, no progress title
    operation.hwnd = owner;
    operation.wFunc = function;
    operation.pFrom = fromList;
    operation.pTo = to ? toList : nullptr;
    operation.fFlags = flags;
    return SHFileOperationA(&operation);
}

// folder\name into path; false when it does not fit.
bool JoinPath(char (&path)[MAX_PATH], const char* folder, const char* name)
{
    return text::Copy(path, folder) && text::AppendPath(path, name);
}

bool IsFolder(DWORD attributes)
{
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsDots(const char* name) { return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0; }

// Calls visit(entry found, path below source, path below target) for every entry of the folder
// source; false when a path does not fit or a visit says false. A missing source has no entries.
template <typename Visit>
bool ForEachEntry(const char* source, const char* target, Visit visit)
{
    char pattern[MAX_PATH];
    if (!JoinPath(pattern, source, "*")) return false;
    WIN32_FIND_DATAA found;
    FindSearch search(FindFirstFileA(pattern, &found));
    if (!search.Valid()) return true;
    do {
        if (IsDots(found.cFileName)) continue;
        char from[MAX_PATH];
        char to[MAX_PATH];
        if (!JoinPath(from, source, found.cFileName) || !JoinPath(to, target, found.cFileName)) return false;
        if (!visit(found, from, to)) return false;
    } while (FindNextFileA(search.Get(), &found));
    return true;
}

// Whether two files hold the same bytes. One that cannot be read counts as different: the
// shell leaves a file that is held open as it was, often at the very same size.
bool SameContents(const char* first, const char* second)
{
    constexpr DWORD Sharing = FILE_SHARE_READ | FILE_SHARE_WRITE;
    FileHandle a(CreateFileA(first, GENERIC_READ, Sharing, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    FileHandle b(CreateFileA(second, GENERIC_READ, Sharing, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!a.Valid() || !b.Valid()) return false;
    std::unique_ptr<char[]> buffers(new (std::nothrow) char[2 * CompareChunkBytes]);
    if (!buffers) return false;
    char* chunkA = buffers.get();
    char* chunkB = chunkA + CompareChunkBytes;
    for (;;) {
        DWORD readA = 0;
        DWORD readB = 0;
        if (!ReadFile(a.Get(), chunkA, CompareChunkBytes, &readA, nullptr) ||
            !ReadFile(b.Get(), chunkB, CompareChunkBytes, &readB, nullptr))
            return false;
        if (readA != readB || std::memcmp(chunkA, chunkB, readA) != 0) return false;
        if (readA == 0) return true;
    }
}

// Whether every file below source stands below target under the same name with the same bytes.
bool CopiedWhole(const char* source, const char* target)
{
    if (!IsFolder(GetFileAttributesA(source)) || !IsFolder(GetFileAttributesA(target))) return false;
    return ForEachEntry(source, target, [](const WIN32_FIND_DATAA& found, const char* from, const char* to) {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return CopiedWhole(from, to);
        return SameContents(from, to);
    });
}

// Takes out of the staged tree every entry that the user's tree already has, so that the copy
// only adds what the user lacks. Folders that both have are sorted out entry by entry; where
// the kinds differ, the user's entry wins.
bool KeepUsersEntries(const char* staged, const char* users)
{
    return ForEachEntry(staged, users, [](const WIN32_FIND_DATAA& found, const char* from, const char* mine) {
        DWORD existing = GetFileAttributesA(mine);
        if (existing == INVALID_FILE_ATTRIBUTES) return true;
        bool folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (folder && IsFolder(existing)) return KeepUsersEntries(from, mine);
        if (!folder) return DeleteFileA(from) != FALSE;
        return RunFileOperation(FO_DELETE, from, nullptr, nullptr, QuietFlags) == 0;
    });
}

// Whether this version's record names programDir: only there are the settings files the
// user's own. Elsewhere a file of that name may be one an interrupted copy left empty.
bool RecordedAtProgramDir()
{
    char recorded[RegistryTextCapacity];
    FolderIdentity recordedFolder;
    FolderIdentity programFolder;
    return ReadThisVersionProgramPath(recorded) == 0 && text::IsFullPath(recorded) &&
           IdentifyFolder(recorded, recordedFolder) && IdentifyFolder(g_setup.programDir, programFolder) &&
           SameFolder(recordedFolder, programFolder);
}

// Whether nothing stands at path yet; anything that cannot be looked at counts as there.
bool NothingAt(const char* path)
{
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) return false;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Copies the expanded product folder into the destination, where it becomes programDir. The
// user's settings of an installed copy of this version in that folder are kept as they are.
bool CopyProduct()
{
    char from[MAX_PATH];
    char stagedSettings[MAX_PATH];
    char usersSettings[MAX_PATH];
    if (!JoinPath(from, g_setup.stagingDir, ProductVersionName) ||
        !JoinPath(stagedSettings, from, UserSettingsFolderName) ||
        !JoinPath(usersSettings, g_setup.programDir, UserSettingsFolderName))
        return false;
    const bool madeHere = NothingAt(g_setup.programDir);
    if (!madeHere && IsFolder(GetFileAttributesA(usersSettings)) && RecordedAtProgramDir() &&
        !KeepUsersEntries(stagedSettings, usersSettings))
        return false;
    // Some shells report success for a copy into a destination they could not write (Wine
    // does), and the installation must not go on without the product.
    if (RunFileOperation(FO_COPY, from, g_setup.installBaseDir, g_setup.mainWindow, ProductCopyFlags) == 0 &&
        CopiedWhole(from, g_setup.programDir))
        return true;
    // A half-made folder that no record names could never be removed; a folder that was there
    // before is someone's, and stays.
    if (madeHere) RunFileOperation(FO_DELETE, g_setup.programDir, nullptr, nullptr, QuietFlags);
    return false;
}

void MakeChosenShortcuts()
{
    if (g_setup.wantDesktopShortcut) MakeDesktopShortcut();
    if (g_setup.wantStartMenuShortcut) MakeStartMenuShortcut();
    if (g_setup.wantProgramGroup) MakeProgramGroup();
}

void RecordInstallation()
{
    CreateVersionKey();
    CreateDirectoriesKey();
    WriteInstallRecord(g_setup.programDir);
}

// Removes what this attempt staged and expanded, whether it succeeded or not; a file that
// staging could not write belongs to someone else and stays.
void RemoveStagedFiles()
{
    if (g_setup.archiveStaged) DeleteFileA(g_setup.archivePath);
    if (g_setup.libraryStaged) DeleteFileA(g_setup.unzipLibraryPath);
    char expanded[MAX_PATH];
    if (g_setup.productExpanded && JoinPath(expanded, g_setup.stagingDir, ProductVersionName))
        RunFileOperation(FO_DELETE, expanded, nullptr, nullptr, QuietFlags);
    g_setup.archiveStaged = false;
    g_setup.libraryStaged = false;
    g_setup.productExpanded = false;
}

bool IsUnzipTemporaryName(const char* name)
{
    constexpr int prefix = sizeof UnzipTemporaryPrefix - 1;
    constexpr int suffix = sizeof UnzipTemporarySuffix - 1;
    if (std::strlen(name) != prefix + UnzipTemporaryDigits + suffix) return false;
    if (CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, name, prefix, UnzipTemporaryPrefix, prefix) != CSTR_EQUAL ||
        CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, name + prefix + UnzipTemporaryDigits, suffix,
                       UnzipTemporarySuffix, suffix) != CSTR_EQUAL)
        return false;
    for (std::size_t i = prefix; i < prefix + UnzipTemporaryDigits; ++i)
        if (!std::strchr("0123456789abcdefABCDEF", name[i])) return false;
    return true;
}

// A folder of ours in the staging folder, deleted whole; a link is never followed out of it.
void DeleteStagedFolder(const char* path, DWORD attributes)
{
    if (!IsFolder(attributes) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return;
    RunFileOperation(FO_DELETE, path, nullptr, nullptr, QuietFlags);
}

// What attempts that were cut short (killed, or the machine switched off) left in the staging
// folder: the two staged files, the expanded product folder and the unzip library's temporary
// folders. Nothing else there is touched; a file of ours in the way of a name stays.
void RemoveEarlierLeftovers()
{
    char staging[MAX_PATH];
    if (!FindProfileFolder(CSIDL_TEMPLATES, staging)) return;
    char path[MAX_PATH];
    for (const char* name : {StagedArchiveName, StagedLibraryName}) {
        if (!JoinPath(path, staging, name)) continue;
        const DWORD attributes = GetFileAttributesA(path);
        if (attributes != INVALID_FILE_ATTRIBUTES && !IsFolder(attributes)) DeleteFileA(path);
    }
    if (JoinPath(path, staging, ProductVersionName)) DeleteStagedFolder(path, GetFileAttributesA(path));

    char pattern[MAX_PATH];
    if (!JoinPath(pattern, staging, UnzipTemporaryPattern)) return;
    WIN32_FIND_DATAA found;
    FindSearch search(FindFirstFileA(pattern, &found));
    if (!search.Valid()) return;
    do {
        if (IsUnzipTemporaryName(found.cFileName) && JoinPath(path, staging, found.cFileName))
            DeleteStagedFolder(path, found.dwFileAttributes);
    } while (FindNextFileA(search.Get(), &found));
}

// Merges the user settings of the previous version chosen on the welcome page into the
// new program folder, over the ones the archive brought. False when there were settings to
// carry over and they did not all arrive.
bool CarryUserSettingsOver()
{
    if (!NamesPreviousConfiguration(g_setup.selectedVersionName, sizeof g_setup.selectedVersionName)) return true;
    if (ReadPreviousProgramPath(g_setup.selectedVersionName) != 0) return true;
    char from[MAX_PATH];
    char to[MAX_PATH];
    if (!JoinPath(from, g_setup.previousProgramDir, UserSettingsFolderName) ||
        !JoinPath(to, g_setup.programDir, UserSettingsFolderName))
        return false;
    // A previous version that kept no settings has nothing to carry over.
    if (!IsFolder(GetFileAttributesA(from))) return true;
    RunFileOperation(FO_COPY, from, g_setup.programDir, nullptr, QuietFlags);
    // As with the product: a copy that ran out of room may still be reported as a success.
    return CopiedWhole(from, to);
}

void ReportSettingsNotCarried()
{
    char message[SettingsNotCarriedCapacity];
    text::Format(message, SettingsNotCarriedFormat, g_setup.previousProgramDir, UserSettingsFolderName);
    MessageBoxA(g_setup.mainWindow, message, WarningCaption, WarningStyle);
}

// Whether the unzip library left every file of the archive, at its size, in the staging
// folder: a library that stops part-way may still report success.
bool ProductExpanded()
{
    for (std::size_t i = 0; i < ArchiveFileCount; ++i) {
        char expanded[MAX_PATH];
        WIN32_FILE_ATTRIBUTE_DATA found;
        if (!JoinPath(expanded, g_setup.stagingDir, ArchiveFiles[i].path) ||
            !GetFileAttributesExA(expanded, GetFileExInfoStandard, &found) || IsFolder(found.dwFileAttributes) ||
            found.nFileSizeHigh != 0 || found.nFileSizeLow != ArchiveFiles[i].size)
            return false;
    }
    return true;
}

// Everything from staging to the last progress step, drawing the progress on pageDC; alone
// when no other setup is at work on the staging folder. Null when installed; otherwise what
// to tell the user.
const char* InstallProduct(HDC pageDC, bool alone)
{
    // A program folder path that does not fit would send everything to the wrong place, and
    // one that is not full would put it wherever the setup was started.
    if (!text::IsFullPath(g_setup.installBaseDir)) return DestinationUnnamedText;
    if (!ProgramTreeFits(g_setup.installBaseDir) || !text::Copy(g_setup.programDir, g_setup.installBaseDir) ||
        !text::AppendPath(g_setup.programDir, ProductVersionName))
        return PathTooLongText;
    // Checked before anything is written or loaded: damaged code must never run.
    if (!PayloadIntact()) return DamagedSetupText;
    if (alone) RemoveEarlierLeftovers();
    // Staging leaves stagingDir empty when the shell could not name the folder whole.
    if (StagePayload() != 0) return g_setup.stagingDir[0] != '\0' ? StagingFailedText : TemplatesUnnamedText;

    AdvanceProgress(pageDC, ExtractingIncrement, ExtractingText);
    g_setup.productExpanded = true;  // even a failed expansion may leave part of the folder
    if (ExtractArchive(g_setup.archivePath, g_setup.stagingDir) != 0 || !ProductExpanded())
        return ExpansionFailedText;

    AdvanceProgress(pageDC, CopyingIncrement, CopyingText);
    if (!CopyProduct()) return CopyFailedText;

    AdvanceProgress(pageDC, CreatingIncrement, CreatingText);
    MakeChosenShortcuts();
    RecordInstallation();
    RemoveStagedFiles();

    AdvanceProgress(pageDC, FinishedIncrement, FinishedText);
    return nullptr;
}

void OpenProgramFile(const char* fileName)
{
    if (!text::Copy(g_setup.scratchPath, g_setup.programDir) ||
        !text::AppendPath(g_setup.scratchPath, fileName))
        return;
    // No directory: a started program inherits ours (the Programs folder after the group).
    ShellExecuteA(g_setup.mainWindow, OpenVerb, g_setup.scratchPath, nullptr, nullptr, SW_SHOWNORMAL);
}

void Finish()
{
    if (g_setup.runAfterInstall) {
        OpenProgramFile(LauncherFileName);
        return;
    }
    MessageBoxA(g_setup.mainWindow, SuccessText, ProductVersionName, SuccessStyle);
    if (g_setup.viewReadme) OpenProgramFile(ReadmeFileName);
}

} // namespace

bool ProgramTreeFits(const char* baseDir)
{
    char deepest[MAX_PATH];
    return JoinPath(deepest, baseDir, ArchiveLongestPath);
}

int RunInstallSequence()
{
    g_setup.progressVisible = true;
    InvalidateRect(g_setup.progressPage, nullptr, FALSE);

    const char* failure;
    {
        KernelObject atWork(CreateMutexA(nullptr, FALSE, StagingInUseName));
        const DWORD claimError = GetLastError();
        const bool alone = atWork && claimError != ERROR_ALREADY_EXISTS;
        // Nothing dispatches WM_PAINT while the steps run, so they draw straight onto the page.
        WindowDC pageDC(g_setup.progressPage);
        failure = InstallProduct(pageDC.Get(), alone);
    }
    if (failure) {
        RemoveStagedFiles();
        // Back to the page as it was before the attempt, so that "Install" can be pressed again,
        // and say why: otherwise the page looks as if nothing had been tried.
        ResetProgressDisplay();
        MessageBoxA(g_setup.mainWindow, failure, FailureCaption, FailureStyle);
        return 1;
    }

    // The product stays installed either way; with settings that did not all arrive, neither
    // success is reported nor the product started on them.
    if (CarryUserSettingsOver())
        Finish();
    else
        ReportSettingsNotCarried();
    SendMessageA(g_setup.mainWindow, WM_DESTROY, 0, 0);
    return 0;
}
