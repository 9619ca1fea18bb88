#include <gtest/gtest.h>

#include <string>

#include "support/Files.h"
#include "support/TestSupport.h"

using namespace testing_support;

namespace {

constexpr char LauncherTitle[] = "ZAV 1.00 beta 8";
constexpr int FolderEditId = 101;
constexpr int SettingsListingId = 103;

struct Search {
    DWORD processId;
    HWND window;
};

// WM_GETTEXT, which is carried across processes (GetWindowTextA does not ask the control).
std::string ControlText(HWND control)
{
    std::string text(static_cast<std::size_t>(SendMessageA(control, WM_GETTEXTLENGTH, 0, 0)) + 1, '\0');
    LRESULT copied = SendMessageA(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(copied < 0 ? 0 : static_cast<std::size_t>(copied));
    return text;
}

BOOL CALLBACK FindProcessWindow(HWND window, LPARAM lParam)
{
    auto* search = reinterpret_cast<Search*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || !IsWindowVisible(window)) return TRUE;
    search->window = window;
    return FALSE;
}

// Zav.exe started from a folder of the test's own; closed again at scope exit.
class RunningLauncher {
public:
    explicit RunningLauncher(const std::string& exe)
    {
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        std::string commandLine = "\"" + exe + "\"";
        if (!CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &process_)) {
            return;
        }
        WaitForInputIdle(process_.hProcess, 10000);
        for (int i = 0; i < 100 && !window_; ++i) {
            Search search = {process_.dwProcessId, nullptr};
            EnumWindows(FindProcessWindow, reinterpret_cast<LPARAM>(&search));
            window_ = search.window;
            if (!window_) Sleep(50);
        }
    }
    ~RunningLauncher()
    {
        if (!process_.hProcess) return;
        if (window_) PostMessageA(window_, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(process_.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(process_.hProcess, 1);
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }
    RunningLauncher(const RunningLauncher&) = delete;
    RunningLauncher& operator=(const RunningLauncher&) = delete;

    HWND Window() const { return window_; }

private:
    PROCESS_INFORMATION process_ = {};
    HWND window_ = nullptr;
};

} // namespace

TEST(Launcher, ShowsItsFolderAndWhatItsUserSettingsHold)
{
    const std::string withSettings = MakeTempFolder("launcher");
    CreateDirectoryA((withSettings + "\\UserSettings").c_str(), nullptr);
    CreateDirectoryA((withSettings + "\\UserSettings\\Default").c_str(), nullptr);
    WriteFile(withSettings + "\\UserSettings\\Default\\settings.ini", "[Window]\r\n");
    WriteFile(withSettings + "\\UserSettings\\profiles.ini", "[Profiles]\r\n");
    const std::string without = MakeTempFolder("launcher");

    const struct {
        std::string folder;
        std::string listing;
    } cases[] = {
        {withSettings, "Default\\\r\nDefault\\settings.ini\r\nprofiles.ini"},
        {without, "(no UserSettings folder)"},
    };
    const std::string built = ReadFile(BuildPath("product\\Zav.exe"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder);
        const std::string exe = c.folder + "\\Zav.exe";
        WriteFile(exe, built);
        {
            RunningLauncher launcher(exe);
            ASSERT_NE(launcher.Window(), nullptr);
            EXPECT_EQ(WindowText(launcher.Window()), LauncherTitle);
            EXPECT_EQ(ControlText(GetDlgItem(launcher.Window(), FolderEditId)), c.folder);
            EXPECT_EQ(ControlText(GetDlgItem(launcher.Window(), SettingsListingId)), c.listing);
        }
        RemoveTree(c.folder);
    }
}
