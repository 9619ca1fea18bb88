// Drives a running setup.exe from another process the way a user would: finds its windows,
// presses buttons and check boxes by sending the commands their clicks send, reads and
// answers its message boxes, and waits for it to end. Also finds and ends the programs an
// installation starts.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "display/FolderPicker.h"
#include "pages/DestinationPage.h"
#include "pages/LicensePage.h"
#include "pages/MaintenancePage.h"
#include "pages/ProgressPage.h"
#include "pages/WelcomePage.h"
#include "shell/MainWindow.h"

namespace e2e {

// The wizard's command ids and page classes are the ones its headers name; the main
// window's class comes from the string table.
constexpr char MainWindowClass[] = "INSTALL";

struct MessageBoxInfo {
    HWND window = nullptr;
    HWND owner = nullptr;
    std::string text;
    std::string caption;
    std::vector<int> buttons;  // ids of the visible push buttons
    bool hasIcon = false;
};

enum class WaitResult { MessageBox, Exited, TimedOut };

class SetupDriver {
public:
    SetupDriver() = default;
    ~SetupDriver();  // ends the setup if it still runs
    SetupDriver(const SetupDriver&) = delete;
    SetupDriver& operator=(const SetupDriver&) = delete;

    // Starts the program in the given current directory (empty: ours) and waits until its
    // main window is visible and has painted every visible window. False on timeout.
    bool Start(const std::string& exePath, const std::string& currentDirectory = "",
               DWORD timeoutMs = 30000);

    HWND MainWindow() const { return main_; }
    DWORD ProcessId() const { return processInfo_.dwProcessId; }
    HANDLE Process() const { return processInfo_.hProcess; }
    HANDLE MainThread() const { return processInfo_.hThread; }
    bool Running() const;

    // A page of the wizard by its class, and a control on it by its id.
    HWND Page(const char* className) const;
    HWND Control(const char* pageClass, int id) const;
    bool IsVisible(const char* pageClass) const;
    bool IsChecked(const char* pageClass, int id) const;
    bool IsEnabled(HWND window) const;

    // Sends the command of a click on the control with the given id to its parent and waits
    // until the setup has handled it. Not for clicks that open a modal window.
    bool Press(HWND parent, int id);
    bool PressMain(int id);  // Back, Next, Cancel
    bool PressOn(const char* pageClass, int id);
    // Clicks a check box until it shows the wanted state (each click toggles it once).
    bool SetOption(const char* pageClass, int id, bool checked);
    bool ChoosePreviousConfiguration(const std::string& name);

    // Walks from wherever the wizard starts to the page with the given index (0 welcome,
    // 1 license, 2 destination, 3 progress), accepting the license on the way.
    bool GoToPage(int index);
    bool GoToProgressPage() { return GoToPage(3); }
    // Waits until no visible window of the setup waits for WM_PAINT; false on timeout.
    bool WaitUntilPainted(DWORD timeoutMs = 10000) const;

    // Posts the click on "Change" of the destination page: the folder browser opens, modal, and
    // WaitForMessageBoxOrExit finds it (caption FolderPickerTitle).
    bool PressChange();
    // Selects the folder (in the caller's code page) in the open browser and presses OK; without
    // a folder, OK takes the browser's own first selection, its root, the Desktop.
    bool ChooseInBrowser(const MessageBoxInfo& browser, const std::string& folder);

    // Posts the click on "Install" once the button takes input (up to 5 s), without waiting
    // for its end: the installation runs inside it.
    bool StartInstall();
    // Waits for a message box owned by the main window, or for the process to end.
    WaitResult WaitForMessageBoxOrExit(DWORD timeoutMs, MessageBoxInfo& box);
    // Presses a button of a message box and waits until the box has closed.
    bool Answer(const MessageBoxInfo& box, int buttonId);
    bool WaitForExit(DWORD timeoutMs, DWORD* exitCode = nullptr);
    void Kill();
    // The largest peak working set of the setup seen so far, in bytes. Sampled while the
    // driver waits: Wine knows a process's memory only while it runs.
    SIZE_T PeakWorkingSet() const { return peakWorkingSet_; }

private:
    bool WaitUntilHandled(DWORD timeoutMs = 10000) const;
    void SampleMemory();

    PROCESS_INFORMATION processInfo_{};
    SIZE_T peakWorkingSet_ = 0;
    HWND main_ = nullptr;
};

// --- Other processes and their windows -------------------------------------------------------

// Every process whose executable has this file name (case ignored).
std::vector<DWORD> FindProcesses(const char* exeName);
// Full path of a process's executable, or "".
std::string ProcessImagePath(DWORD processId);
// Current directory of another process, read from its process parameters, or "".
std::string ProcessCurrentDirectory(DWORD processId);
// Ends every process with this executable name; true when there was one.
bool TerminateProcesses(const char* exeName, DWORD waitMs = 5000);

// First visible top-level window of the process (0: any) with the class (nullptr: any) whose
// title contains the text; waits up to timeoutMs.
HWND WaitForTopLevelWindow(DWORD processId, const char* className, const char* titlePart, DWORD timeoutMs);
DWORD WindowProcess(HWND window);
std::string WindowText(HWND window);
// The rows of a list box, ours or another process's, as the list keeps them (wide), so that
// no code page stands between the list and the reader.
std::vector<std::wstring> ListRowTexts(HWND list);
// The text of another process's control by WM_GETTEXT (edit controls), up to 64 KiB.
std::string ControlText(HWND window, DWORD timeoutMs = 5000);
std::string ClassName(HWND window);

// Milliseconds from a monotonic clock.
double NowMs();

} // namespace e2e
