#include "engine/InstallSequence.h"

#include <windows.h>
#include <shellapi.h>

#include <cstring>

#include "engine/PayloadStaging.h"
#include "engine/ProgressSteps.h"
#include "engine/Shortcuts.h"
#include "engine/UnzipBinding.h"
#include "registry/Registry.h"
#include "shell/Owners.h"
#include "shell/SetupState.h"
#include "shell/Text.h"

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

// The product copy may show the shell's own error dialog; the clean-up and the settings
// carry-over are best-effort and stay silent.
constexpr FILEOP_FLAGS ProductCopyFlags = FOF_SILENT | FOF_NOCONFIRMATION;
constexpr FILEOP_FLAGS QuietFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;

// Version names of two characters or fewer ("", "no") mean no previous configuration.
constexpr std::size_t MinimumVersionNameLength = 3;

// One operand of a shell file operation: a single path of up to 259 characters, then the
// two NULs that end the list.
using Operand = char[MAX_PATH + 1];

// folder, or folder\name, as an operand. False when the path does not fit.
bool BuildOperand(Operand& operand, const char* folder, const char* name = nullptr)
{
    char path[MAX_PATH];
    if (!text::Copy(path, folder)) return false;
    if (name && !text::AppendPath(path, name)) return false;
    return text::DoubleNulTerminated(operand, path);
}

int RunFileOperation(UINT function, const char* from, const char* to, HWND owner, FILEOP_FLAGS flags)
{
    SHFILEOPSTRUCTA operation{};  // zero-filled: no name mappings, no progress title
    operation.hwnd = owner;
    operation.wFunc = function;
    operation.pFrom = from;
    operation.pTo = to;
    operation.fFlags = flags;
    return SHFileOperationA(&operation);
}

bool IsFolder(DWORD attributes)
{
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Whether every file below source stands below target under the same name and size.
bool CopiedWhole(const char* source, const char* target)
{
    if (!IsFolder(GetFileAttributesA(target))) return false;
    char pattern[MAX_PATH];
    if (!text::Copy(pattern, source) || !text::AppendPath(pattern, "*")) return false;
    WIN32_FIND_DATAA found;
    FindSearch search(FindFirstFileA(pattern, &found));
    if (!search.Valid()) return false;
    do {
        if (std::strcmp(found.cFileName, ".") == 0 || std::strcmp(found.cFileName, "..") == 0) continue;
        char from[MAX_PATH];
        char to[MAX_PATH];
        if (!text::Copy(from, source) || !text::AppendPath(from, found.cFileName) ||
            !text::Copy(to, target) || !text::AppendPath(to, found.cFileName))
            return false;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!CopiedWhole(from, to)) return false;
            continue;
        }
        WIN32_FILE_ATTRIBUTE_DATA copied;
        if (!GetFileAttributesExA(to, GetFileExInfoStandard, &copied) ||
            (copied.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
            copied.nFileSizeHigh != found.nFileSizeHigh || copied.nFileSizeLow != found.nFileSizeLow)
            return false;
    } while (FindNextFileA(search.Get(), &found));
    return true;
}

// Copies the expanded product folder into the destination, where it becomes programDir.
bool CopyProduct()
{
    Operand from;
    Operand to;
    if (!BuildOperand(from, g_setup.stagingDir, ProductVersionName) ||
        !BuildOperand(to, g_setup.installBaseDir))
        return false;
    if (RunFileOperation(FO_COPY, from, to, g_setup.mainWindow, ProductCopyFlags) != 0) return false;
    // Some shells report success for a copy into a destination they could not write (Wine
    // does), and the installation must not go on without the product.
    return CopiedWhole(from, g_setup.programDir);
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

void RemoveStagedFiles()
{
    DeleteFileA(g_setup.archivePath);
    DeleteFileA(g_setup.unzipLibraryPath);
    Operand expanded;
    if (BuildOperand(expanded, g_setup.stagingDir, ProductVersionName))
        RunFileOperation(FO_DELETE, expanded, nullptr, nullptr, QuietFlags);
}

// Merges the user settings of the previous version chosen on the welcome page into the
// new program folder, over the ones the archive brought.
void CarryUserSettingsOver()
{
    if (text::Length(g_setup.selectedVersionName, sizeof g_setup.selectedVersionName) <
        MinimumVersionNameLength)
        return;
    if (ReadPreviousProgramPath(g_setup.selectedVersionName) != 0) return;
    Operand from;
    Operand to;
    if (!BuildOperand(from, g_setup.previousProgramDir, UserSettingsFolderName) ||
        !BuildOperand(to, g_setup.programDir))
        return;
    RunFileOperation(FO_COPY, from, to, nullptr, QuietFlags);
}

// Everything from staging to the settings carry-over, drawing the progress on pageDC.
// False when the installation cannot go on; what was written so far stays.
bool InstallProduct(HDC pageDC)
{
    // A program folder path that does not fit would send everything to the wrong place.
    if (!text::Copy(g_setup.programDir, g_setup.installBaseDir) ||
        !text::AppendPath(g_setup.programDir, ProductVersionName))
        return false;
    if (StagePayload() != 0) return false;

    AdvanceProgress(pageDC, ExtractingIncrement, ExtractingText);
    if (ExtractArchive(g_setup.archivePath, g_setup.stagingDir) != 0) return false;

    AdvanceProgress(pageDC, CopyingIncrement, CopyingText);
    if (!CopyProduct()) return false;

    AdvanceProgress(pageDC, CreatingIncrement, CreatingText);
    MakeChosenShortcuts();
    RecordInstallation();
    RemoveStagedFiles();

    AdvanceProgress(pageDC, FinishedIncrement, FinishedText);
    CarryUserSettingsOver();
    return true;
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

int RunInstallSequence()
{
    g_setup.progressVisible = true;
    InvalidateRect(g_setup.progressPage, nullptr, FALSE);

    bool installed;
    {
        // Nothing dispatches WM_PAINT while the steps run, so they draw straight onto the page.
        WindowDC pageDC(g_setup.progressPage);
        installed = InstallProduct(pageDC.Get());
    }
    if (!installed) {
        // Back to the page as it was before the attempt, so that "Install" can be pressed again.
        ResetProgressDisplay();
        return 1;
    }

    Finish();
    SendMessageA(g_setup.mainWindow, WM_DESTROY, 0, 0);
    return 0;
}
