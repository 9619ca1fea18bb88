// The folder picker driven through the browser's own messages, as a user would drive it.
#include "display/FolderPicker.h"
#include "shell/SetupState.h"
#include "shell/Text.h"
#include "support/Files.h"
#include "support/Hooks.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <cstring>
#include <string>

namespace {

using namespace testing_support;

constexpr char Prompt[] = "Please pick a folder for the test:";
constexpr char Earlier[] = "C:\\earlier choice";

enum class Action { ChooseFolder, CancelOnFolder, ForceMyComputer };

TEST(FolderPicker, GivesTheChosenPathOrLeavesBrowsedDirOnCancel)
{
    const struct {
        Action action;
        int result;
        bool okEnabled;  // whether the browser lets the selection be confirmed
    } cases[] = {
        {Action::ChooseFolder, BrowseChosen, true},
        {Action::CancelOnFolder, BrowseCancelled, true},
        // My Computer has no file-system path: OK stays disabled, and a confirmation sent
        // past it gives the "no path" result.
        {Action::ForceMyComputer, BrowseNoPath, false},
    };
    Wizard wizard;  // the browser's owner
    std::string folder = MakeTempFolder("picker");
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.action));
        text::Copy(g_setup.browsedDir, Earlier);
        int opened = 0;
        bool selected = false, okEnabled = false, promptShown = false;
        std::string title;
        HWND owner = nullptr;
        DialogWatcher watcher([&](HWND browser) {
            ++opened;
            title = WindowText(browser);
            owner = GetWindow(browser, GW_OWNER);
            for (HWND text = nullptr; (text = FindWindowExA(browser, text, "Static", nullptr)) != nullptr;)
                promptShown |= IsWindowVisible(text) && WindowText(text) == Prompt;
            if (c.action == Action::ForceMyComputer) {
                PIDLIST_ABSOLUTE computer = nullptr;
                SHGetFolderLocation(nullptr, CSIDL_DRIVES, nullptr, 0, &computer);
                SendMessageA(browser, BFFM_SETSELECTIONA, FALSE, reinterpret_cast<LPARAM>(computer));
                CoTaskMemFree(computer);
                selected = true;
            } else {
                selected = SelectInFolderBrowser(browser, folder);
            }
            okEnabled = IsWindowEnabled(GetDlgItem(browser, IDOK)) != FALSE;
            int button = c.action == Action::CancelOnFolder ? IDCANCEL : IDOK;
            PostMessageA(browser, WM_COMMAND, button, reinterpret_cast<LPARAM>(GetDlgItem(browser, button)));
        });

        EXPECT_EQ(BrowseForDirectory(Prompt, CSIDL_DESKTOP), c.result);
        EXPECT_EQ(opened, 1);
        EXPECT_TRUE(selected);
        EXPECT_EQ(title, "Select directory");
        EXPECT_EQ(owner, g_setup.mainWindow);
        EXPECT_TRUE(promptShown);
        EXPECT_EQ(okEnabled, c.okEnabled);
        if (c.result == BrowseChosen) {
            EXPECT_EQ(lstrcmpiA(g_setup.browsedDir, folder.c_str()), 0) << g_setup.browsedDir;
        } else if (c.result == BrowseCancelled) {
            EXPECT_STREQ(g_setup.browsedDir, Earlier);
        }
    }
    RemoveTree(folder);
}

TEST(FolderPicker, ARootThatCannotBeLocatedGivesResultOneWithoutABrowser)
{
    Wizard wizard;
    text::Copy(g_setup.browsedDir, Earlier);
    int opened = 0;
    DialogWatcher watcher([&](HWND browser) {
        ++opened;
        PostMessageA(browser, WM_COMMAND, IDCANCEL, 0);
    });
    constexpr int NoSuchFolder = 0x7E;
    EXPECT_EQ(BrowseForDirectory(Prompt, NoSuchFolder), BrowseCancelled);
    EXPECT_EQ(opened, 0);
    EXPECT_STREQ(g_setup.browsedDir, Earlier);
}

} // namespace
