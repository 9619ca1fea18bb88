// Helpers shared by the Windows tests: the real wizard in the test process, button
// commands, message boxes answered from outside, the product's registry key and pixels.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace testing_support {

// Dispatches every queued message of this thread (WM_QUIT included, which is dropped).
void PumpMessages();
// Dispatches the queued messages and tells whether a WM_QUIT was among them.
bool QuitPosted();

// Creates the real main window (and so every page) in this process, from a fresh
// SetupState, the way WinMain does; destroys it again on scope exit.
class Wizard {
public:
    Wizard();
    ~Wizard();
    Wizard(const Wizard&) = delete;
    Wizard& operator=(const Wizard&) = delete;

    HWND Main() const;
};

// Prepares the shared graphics, the class name and the six classes once per process.
void EnsureClassesRegistered();

// Sends a button's WM_COMMAND (id in the low word, BN_CLICKED above it) to a window.
void SendCommand(HWND window, int id, HWND control = nullptr);
// Sends the command as the button itself would: to its parent, with its handle.
void Click(HWND button);

std::string WindowText(HWND window);
std::string ClassName(HWND window);
bool IsChecked(HWND button);
std::vector<std::string> ListRows(HWND listBox);
RECT WindowRectInParent(HWND window);

// What a message box was opened with, captured before it is answered.
struct MessageBoxCall {
    HWND owner = nullptr;
    std::string text;
    std::string caption;
    UINT style = 0;
    int answer = 0;
};

// While alive, every MessageBoxA of this process is recorded and the box that really opens
// is answered by pressing the button with the given id (IDOK, IDYES, IDNO, ...).
class MessageBoxAnswerer {
public:
    explicit MessageBoxAnswerer(int buttonId);
    ~MessageBoxAnswerer();
    MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
    MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;

    void SetAnswer(int buttonId);
    const std::vector<MessageBoxCall>& Calls() const;
};

// While alive, any dialog (class "#32770") that this thread opens is handed to the callback
// once, shortly after it appears; the callback may inspect and close it.
class DialogWatcher {
public:
    explicit DialogWatcher(std::function<void(HWND dialog)> onDialog);
    ~DialogWatcher();
    DialogWatcher(const DialogWatcher&) = delete;
    DialogWatcher& operator=(const DialogWatcher&) = delete;
};

// In an open folder browser (SHBrowseForFolder), selects a folder by path through
// BFFM_SETSELECTIONA and waits until the tree shows it selected; false if it never does.
bool SelectInFolderBrowser(HWND browser, const std::string& path);

// While alive, this executable's calls of an imported function (the setup's code is linked
// into it) go to the replacement, which may call on through Original().
class ImportPatch {
public:
    ImportPatch(const char* dllName, const char* functionName, void* replacement);
    ~ImportPatch();
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

    void* Original() const { return original_; }
    bool Active() const { return slot_ != nullptr; }

private:
    void** slot_ = nullptr;
    void* original_ = nullptr;
};

// Deletes HKEY_CURRENT_USER\Software\ZAV with everything below it.
void ResetProductKey();
// Creates a version key under Software\ZAV, optionally with a Directories key and values.
void RecordVersion(const std::string& name, bool withDirectories = true, const char* programPath = nullptr,
                   const std::uint32_t* version = nullptr);
bool KeyExists(const std::string& path);
bool ReadString(const std::string& keyPath, const char* value, std::string& out, DWORD* byteCount = nullptr);
bool ReadDword(const std::string& keyPath, const char* value, std::uint32_t& out);

// While alive, the current user's Desktop, Start menu, Programs and Pictures folders (as
// SHGetFolderPathA reports them) are stand-ins created inside `root`, so that tests can make
// and delete shortcuts without touching the prefix's own folders. Restores the settings.
// Pictures lies one folder deeper, in "Media", which holds no other shell folder.
class StandInShellFolders {
public:
    explicit StandInShellFolders(const std::string& root);
    ~StandInShellFolders();
    StandInShellFolders(const StandInShellFolders&) = delete;
    StandInShellFolders& operator=(const StandInShellFolders&) = delete;

    std::string desktop;
    std::string startMenu;
    std::string programs;
    std::string pictures;

private:
    struct Saved {
        const char* value;
        DWORD type;
        std::string data;
        bool present;
    };
    std::vector<Saved> saved_;
};

// A throwaway tree with stand-in shell folders and recorded stand-in installations in it.
class StandInInstallations {
public:
    StandInInstallations();
    ~StandInInstallations();  // restores the shell folders and deletes the tree
    StandInInstallations(const StandInInstallations&) = delete;
    StandInInstallations& operator=(const StandInInstallations&) = delete;

    std::string ProgramDir(const std::string& name) const;
    std::string DesktopLink(const std::string& name) const;
    // Lays out what an installation of `name` leaves behind: the program folder (a file and a
    // subfolder with a file), "<name>.lnk" on the desktop and in the Start menu, the program
    // group with a shortcut in it, and the registry record naming the program folder.
    void Install(const std::string& name) const;
    // How many of those five things (folder, two shortcuts, group, record key) are left.
    int Left(const std::string& name) const;

    const std::string root;
    const StandInShellFolders folders;
};

// The client area of a window as drawn on screen, as 0x00RRGGBB pixels.
class Pixels {
public:
    explicit Pixels(HWND window);
    int Width() const { return width_; }
    int Height() const { return height_; }
    COLORREF At(int x, int y) const;  // as a COLORREF (0x00BBGGRR)

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint32_t> data_;
};

// Windows path of a file in the build tree or the source tree.
std::string BuildPath(const std::string& relative);
std::string SourcePath(const std::string& relative);
// A fresh, empty folder for one test (inside the prefix's temp folder).
std::string MakeTempFolder(const std::string& tag);
bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& content);
void RemoveTree(const std::string& path);

// Everything below root: relative paths with '\\' separators mapped to the file's content;
// folders map to TreeFolderMark. Empty when root is no folder.
constexpr char TreeFolderMark[] = "<folder>";
std::map<std::string, std::string> ReadTree(const std::string& root);
// Lays such a tree out below root (created if missing), over whatever is there.
void WriteTree(const std::string& root, const std::map<std::string, std::string>& tree);

// The two small disks that tests/support/small-disks.sh mounts for the run ("enough" with
// 1466368 bytes free, "short" with 1462272), and whether the mounting succeeded.
constexpr double SmallDiskEnoughFreeBytes = 1466368.0;
constexpr double SmallDiskShortFreeBytes = 1462272.0;
std::string SmallDiskPath(const std::string& name);
bool SmallDisksMounted();

} // namespace testing_support
