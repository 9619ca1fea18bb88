// Install, start again with the maintenance page in front, remove, start again: the real
// setup.exe from outside. Everything the round trip leaves is removed before and after.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <string>
#include <vector>

#include "SetupDriver.h"
#include "pages/MaintenancePage.h"
#include "support/Files.h"
#include "support/InstallSupport.h"
#include "support/Registry.h"

using namespace testing_support;

namespace {

constexpr DWORD RoundTripTimeoutMs = 60000;

LRESULT RowCount(HWND list) { return SendMessageA(list, LB_GETCOUNT, 0, 0); }

// Posts a click that opens a message box, and waits for the box.
bool ClickForMessage(e2e::SetupDriver& driver, HWND parent, int id, e2e::MessageBoxInfo& box)
{
    PostMessageA(parent, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(parent, id)));
    return driver.WaitForMessageBoxOrExit(RoundTripTimeoutMs, box) == e2e::WaitResult::MessageBox;
}

class MaintenanceRoundTripTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Clean();
        startDirectory_ = MakeTempFolder("e2e-maintenance");
    }
    void TearDown() override
    {
        Clean();
        RemoveTree(startDirectory_);
    }
    static void Clean()
    {
        e2e::TerminateProcesses("Zav.exe");
        RemoveInstallationLeftovers();
    }
    bool Start(e2e::SetupDriver& driver) { return driver.Start(BuildPath("setup.exe"), startDirectory_); }

    std::string startDirectory_;
};

} // namespace

TEST_F(MaintenanceRoundTripTest, InstallRemoveAndStartAfresh)
{
    using namespace e2e;
    const std::string installed[] = {
        DefaultProgramDir() + "\\Zav.exe",
        SpecialFolder(CSIDL_DESKTOPDIRECTORY) + "\\ZAV 1.00 beta 8.lnk",
        SpecialFolder(CSIDL_STARTMENU) + "\\ZAV 1.00 beta 8.lnk",
        SpecialFolder(CSIDL_PROGRAMS) + "\\ZAV 1.00 beta 8\\ZAV 1.00 beta 8.lnk",
    };
    {
        SetupDriver driver;
        ASSERT_TRUE(Start(driver));
        ASSERT_TRUE(driver.GoToProgressPage());
        ASSERT_TRUE(driver.SetOption(ProgressPageClass, RunAfterCheckId, false));
        ASSERT_TRUE(driver.SetOption(ProgressPageClass, ReadmeCheckId, false));
        ASSERT_TRUE(driver.StartInstall());
        MessageBoxInfo box;
        ASSERT_EQ(driver.WaitForMessageBoxOrExit(RoundTripTimeoutMs, box), WaitResult::MessageBox);
        ASSERT_TRUE(driver.Answer(box, IDOK));
        ASSERT_TRUE(driver.WaitForExit(RoundTripTimeoutMs));
    }
    for (const std::string& file : installed) ASSERT_TRUE(FileExists(file)) << file;

    {
        SetupDriver driver;
        ASSERT_TRUE(Start(driver));
        EXPECT_TRUE(driver.IsVisible(MaintenancePageClass));
        EXPECT_FALSE(driver.IsVisible(WelcomePageClass));
        EXPECT_FALSE(driver.IsEnabled(GetDlgItem(driver.MainWindow(), BackButtonId)));
        EXPECT_FALSE(driver.IsEnabled(GetDlgItem(driver.MainWindow(), NextButtonId)));
        HWND list = driver.Control(MaintenancePageClass, InstalledListId);
        EXPECT_EQ(RowCount(list), 1);

        MessageBoxInfo box;
        ASSERT_TRUE(ClickForMessage(driver, driver.Page(MaintenancePageClass), RemoveButtonId, box));
        EXPECT_EQ(box.text, "Program has been successfully removed!");
        EXPECT_EQ(box.caption, "ZAV 1.00 beta 8");
        EXPECT_EQ(box.owner, driver.MainWindow());
        EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
        EXPECT_TRUE(box.hasIcon);
        ASSERT_TRUE(driver.Answer(box, IDOK));
        // "Install" is handled after the box has closed.
        ASSERT_TRUE(driver.PressOn(MaintenancePageClass, MaintenanceInstallButtonId));
        EXPECT_EQ(RowCount(list), 0);
        EXPECT_FALSE(driver.IsEnabled(driver.Control(MaintenancePageClass, RemoveButtonId)));
        EXPECT_TRUE(driver.IsVisible(WelcomePageClass));
        EXPECT_TRUE(driver.IsEnabled(GetDlgItem(driver.MainWindow(), NextButtonId)));

        ASSERT_TRUE(ClickForMessage(driver, driver.MainWindow(), CancelButtonId, box));
        EXPECT_EQ(box.caption, "Exit Setup");
        ASSERT_TRUE(driver.Answer(box, IDYES));
        ASSERT_TRUE(driver.WaitForExit(RoundTripTimeoutMs));
    }
    for (const std::string& file : installed) EXPECT_FALSE(FileExists(file)) << file;
    EXPECT_FALSE(DirectoryExists(DefaultProgramDir()));
    EXPECT_FALSE(DirectoryExists(SpecialFolder(CSIDL_PROGRAMS) + "\\ZAV 1.00 beta 8"));
    EXPECT_FALSE(KeyExists("Software\\ZAV"));

    SetupDriver driver;
    ASSERT_TRUE(Start(driver));
    EXPECT_TRUE(driver.IsVisible(WelcomePageClass));
    EXPECT_EQ(driver.Page(MaintenancePageClass), nullptr);
    EXPECT_FALSE(driver.IsEnabled(GetDlgItem(driver.MainWindow(), BackButtonId)));
    EXPECT_TRUE(driver.IsEnabled(GetDlgItem(driver.MainWindow(), NextButtonId)));
}

TEST_F(MaintenanceRoundTripTest, ARefusedRemovalIsToldAndDeletesNothing)
{
    // The user's Pictures a link into a home folder, as Wine makes it; a record names that home.
    using namespace e2e;
    const std::string home = startDirectory_ + "\\ZAV 0.61", target = home + "\\Pictures";
    const std::string link = startDirectory_ + "\\Pictures";
    CreateDirectoryA(home.c_str(), nullptr);
    CreateDirectoryA(target.c_str(), nullptr);
    ASSERT_TRUE(WriteFile(target + "\\photo.txt", "keep"));
    ASSERT_TRUE(WriteFile(home + "\\Zav.exe", "stand-in program"));
    ASSERT_TRUE(MakeLink(link, target));
    RedirectedShellFolder pictures("My Pictures", link);
    RecordVersion("ZAV 0.61", true, home.c_str());
    const Tree before = ReadTree(home);

    SetupDriver driver;
    ASSERT_TRUE(Start(driver));
    HWND list = driver.Control(MaintenancePageClass, InstalledListId);
    MessageBoxInfo box;
    ASSERT_TRUE(ClickForMessage(driver, driver.Page(MaintenancePageClass), RemoveButtonId, box));
    EXPECT_EQ(box.text, std::string(NotRemovedText) + "\n\n" + ProtectedFolderReason);
    EXPECT_EQ(box.caption, "ZAV 0.61");
    EXPECT_EQ(box.owner, driver.MainWindow());
    EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
    EXPECT_TRUE(box.hasIcon);
    ASSERT_TRUE(driver.Answer(box, IDOK));
    ASSERT_TRUE(driver.PressOn(MaintenancePageClass, MaintenanceInstallButtonId));
    EXPECT_EQ(RowCount(list), 1);
    EXPECT_TRUE(driver.IsEnabled(driver.Control(MaintenancePageClass, RemoveButtonId)));
    EXPECT_EQ(ReadTree(home), before);
    EXPECT_TRUE(KeyExists("Software\\ZAV\\ZAV 0.61\\Directories"));
    DropLink(link);
}
