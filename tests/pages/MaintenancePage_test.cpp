#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "pages/MaintenancePage.h"
#include "registry/Registry.h"
#include "shell/MainWindow.h"
#include "shell/SetupState.h"
#include "support/TestSupport.h"

using namespace testing_support;

namespace {

using Rows = std::vector<std::string>;

constexpr const char NoConfigurationRow[] = "No previous configuration";

// Stand-in installations of recorded versions in a throwaway tree, with stand-in shell
// folders so that their shortcuts and groups never touch the prefix's own.
class MaintenancePageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetProductKey();
        root = MakeTempFolder("maintenance");
        folders = std::make_unique<StandInShellFolders>(root + "\\Profile");
        CreateDirectoryA((root + "\\Base").c_str(), nullptr);
    }

    void TearDown() override
    {
        folders.reset();
        RemoveTree(root);
        ResetProductKey();
    }

    std::string ProgramDir(const std::string& name) { return root + "\\Base\\" + name; }

    void Install(const Rows& names)
    {
        for (const std::string& name : names) MakeStandInInstallation(name, ProgramDir(name), *folders);
    }

    bool Left(const std::string& name)
    {
        return DirectoryExists(ProgramDir(name)) || FileExists(folders->desktop + "\\" + name + ".lnk") ||
               FileExists(folders->startMenu + "\\" + name + ".lnk") ||
               DirectoryExists(folders->programs + "\\" + name) || KeyExists("Software\\ZAV\\" + name);
    }

    // Selects the version's row on the maintenance page and presses "Remove".
    void RemoveVersion(const std::string& name)
    {
        LRESULT row = SendMessageA(g_setup.installedList, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                   reinterpret_cast<LPARAM>(name.c_str()));
        ASSERT_NE(row, LB_ERR) << name;
        SendMessageA(g_setup.installedList, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
        Click(g_setup.removeButton);
    }

    // The welcome page's own handling of a choice in its list.
    void ChooseOnWelcomePage(int row)
    {
        SendMessageA(g_setup.previousConfigList, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
        SendMessageA(g_setup.pageWindows[WelcomePageIndex], WM_COMMAND, MAKEWPARAM(4, LBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(g_setup.previousConfigList));
    }

    static void ExpectMaintenanceInFront()
    {
        EXPECT_TRUE(IsWindowVisible(g_setup.maintenancePage));
        for (HWND page : g_setup.pageWindows) EXPECT_FALSE(IsWindowVisible(page));
        EXPECT_FALSE(IsWindowEnabled(g_setup.backButton));
        EXPECT_FALSE(IsWindowEnabled(g_setup.nextButton));
    }

    static bool Shown(HWND window) { return (GetWindowLongA(window, GWL_STYLE) & WS_VISIBLE) != 0; }

    std::string root;
    std::unique_ptr<StandInShellFolders> folders;
};

// Any pixel other than the page's background inside the band [top, bottom) x [left, right).
bool HasInk(const Pixels& pixels, int left, int top, int right, int bottom)
{
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            if (pixels.At(x, y) != g_setup.backgroundColor) return true;
    return false;
}

// The prompt above the welcome page's list, as it is seen once the wizard is entered.
bool WelcomePromptShown()
{
    Click(g_setup.maintenanceInstallButton);
    PumpMessages();
    Pixels pixels(g_setup.pageWindows[WelcomePageIndex]);
    return HasInk(pixels, 10, 90, 400, 104);
}

// Holds a file open the way a running program would, without FILE_SHARE_DELETE.
struct HeldFile {
    explicit HeldFile(const std::string& path)
        : handle(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr))
    {
    }
    ~HeldFile() { Release(); }
    void Release()
    {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
        handle = INVALID_HANDLE_VALUE;
    }
    HANDLE handle;
};

} // namespace

TEST_F(MaintenancePageTest, StandsInFrontWithItsControlsListAndTexts)
{
    Install({"ZAV 1.00 beta 7", "ZAV 1.00 beta 6"});
    Wizard wizard;
    ASSERT_NE(g_setup.maintenancePage, nullptr);
    ExpectMaintenanceInFront();
    EXPECT_EQ(ClassName(g_setup.maintenancePage), "installprev");
    EXPECT_EQ(GetDlgCtrlID(g_setup.maintenancePage), 4);

    struct Control {
        HWND window;
        const char* className;
        const char* text;
        int id;
        RECT rect;
    };
    const Control controls[] = {
        {g_setup.maintenanceInstallButton, "Button", "Install", 6, {10, 35, 110, 58}},
        {g_setup.removeButton, "Button", "Remove", 5, {10, 110, 110, 133}},
        {g_setup.installedList, "ListBox", "", 7, {10, 150, 410, 240}},
    };
    for (const Control& c : controls) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(GetParent(c.window), g_setup.maintenancePage);
        EXPECT_STRCASEEQ(ClassName(c.window).c_str(), c.className);
        EXPECT_EQ(WindowText(c.window), c.text);
        EXPECT_EQ(GetDlgCtrlID(c.window), c.id);
        RECT rect = WindowRectInParent(c.window);
        EXPECT_EQ(rect.left, c.rect.left);
        EXPECT_EQ(rect.top, c.rect.top);
        EXPECT_EQ(rect.right, c.rect.right);
        // A list box without LBS_NOINTEGRALHEIGHT trims itself to whole rows.
        int slack = c.window == g_setup.installedList
                        ? static_cast<int>(SendMessageA(c.window, LB_GETITEMHEIGHT, 0, 0))
                        : 1;
        EXPECT_LE(rect.bottom, c.rect.bottom);
        EXPECT_GT(rect.bottom, c.rect.bottom - slack);
        EXPECT_EQ(SendMessageA(c.window, WM_GETFONT, 0, 0), reinterpret_cast<LRESULT>(g_setup.guiFont));
        EXPECT_TRUE(IsWindowEnabled(c.window));
    }
    // WS_VSCROLL comes and goes with the scroll bar; the rest is as created, and unsorted.
    const DWORD listStyle = static_cast<DWORD>(GetWindowLongA(g_setup.installedList, GWL_STYLE));
    EXPECT_EQ(listStyle & (WS_CHILD | WS_VISIBLE | WS_BORDER | LBS_NOTIFY), 0x50800001u);
    EXPECT_EQ(listStyle & (LBS_SORT | LBS_MULTIPLESEL | LBS_EXTENDEDSEL), 0u);

    // All recorded versions, in the registry's order, the first one selected.
    EXPECT_EQ(ListRows(g_setup.installedList), (Rows{"ZAV 1.00 beta 6", "ZAV 1.00 beta 7"}));
    EXPECT_EQ(SendMessageA(g_setup.installedList, LB_GETCURSEL, 0, 0), 0);

    // The two texts stand 25 pixels above their buttons, nothing in between.
    Pixels pixels(g_setup.maintenancePage);
    EXPECT_TRUE(HasInk(pixels, 10, 10, 400, 24));
    EXPECT_TRUE(HasInk(pixels, 10, 85, 400, 99));
    EXPECT_FALSE(HasInk(pixels, 0, 0, 420, 10));
    EXPECT_FALSE(HasInk(pixels, 0, 24, 420, 35));
    EXPECT_FALSE(HasInk(pixels, 120, 35, 420, 85));
    EXPECT_FALSE(HasInk(pixels, 0, 99, 420, 110));
    EXPECT_FALSE(HasInk(pixels, 0, 85, 10, 99));
}

TEST_F(MaintenancePageTest, CancelAnsweredNoLeavesEverythingAsItWas)
{
    Install({"ZAV 1.00 beta 7"});
    Wizard wizard;
    MessageBoxAnswerer answerer(IDNO);
    SendCommand(g_setup.mainWindow, CancelButtonId, g_setup.cancelButton);

    ASSERT_EQ(answerer.Calls().size(), 1u);
    EXPECT_EQ(answerer.Calls()[0].caption, "Exit Setup");
    ExpectMaintenanceInFront();
    EXPECT_EQ(ListRows(g_setup.installedList), (Rows{"ZAV 1.00 beta 7"}));
    EXPECT_TRUE(IsWindowEnabled(g_setup.removeButton));
    EXPECT_TRUE(DirectoryExists(ProgramDir("ZAV 1.00 beta 7")));
    EXPECT_TRUE(KeyExists("Software\\ZAV\\ZAV 1.00 beta 7\\Directories"));
}

TEST_F(MaintenancePageTest, RemovingTheOnlyVersionEmptiesTheListAndReportsIt)
{
    Install({"ZAV 1.00 beta 7"});
    Wizard wizard;
    {
        MessageBoxAnswerer answerer(IDOK);
        RemoveVersion("ZAV 1.00 beta 7");

        ASSERT_EQ(answerer.Calls().size(), 1u);
        const MessageBoxCall& call = answerer.Calls()[0];
        EXPECT_EQ(call.owner, g_setup.mainWindow);
        EXPECT_EQ(call.text, "Program has been successfully removed!");
        EXPECT_EQ(call.caption, "ZAV 1.00 beta 7");
        EXPECT_EQ(call.style, static_cast<UINT>(MB_ICONINFORMATION));
    }
    EXPECT_FALSE(Left("ZAV 1.00 beta 7"));
    EXPECT_FALSE(KeyExists("Software\\ZAV"));
    EXPECT_TRUE(ListRows(g_setup.installedList).empty());
    EXPECT_FALSE(IsWindowEnabled(g_setup.removeButton));
    ExpectMaintenanceInFront();

    // The removed version is nobody's previous configuration now.
    EXPECT_STREQ(g_setup.selectedVersionName, "");
    EXPECT_EQ(ListRows(g_setup.previousConfigList), (Rows{NoConfigurationRow}));
    EXPECT_FALSE(Shown(g_setup.previousConfigList));
    EXPECT_FALSE(g_setup.previousVersionsExist);

    // "Install" still enters the wizard on the welcome page, without list or prompt.
    EXPECT_FALSE(WelcomePromptShown());
    EXPECT_FALSE(IsWindowVisible(g_setup.maintenancePage));
    EXPECT_TRUE(IsWindowVisible(g_setup.pageWindows[WelcomePageIndex]));
    EXPECT_EQ(g_setup.currentPage, 0);
    EXPECT_FALSE(IsWindowEnabled(g_setup.backButton));
    EXPECT_TRUE(IsWindowEnabled(g_setup.nextButton));

    // A record written now names no previous configuration.
    CreateVersionKey();
    CreateDirectoriesKey();
    WriteInstallRecord(ProgramDir(ProductVersionName).c_str());
    std::string previous;
    ASSERT_TRUE(ReadString(std::string("Software\\ZAV\\") + ProductVersionName + "\\Directories", "Prev Cfg",
                           previous));
    EXPECT_EQ(previous, "no");
}

TEST_F(MaintenancePageTest, RemovingSeveralVersionsShrinksBothListsUntilTheWelcomeListGoes)
{
    Install({"ZAV 1.00 beta 5", "ZAV 1.00 beta 6", "ZAV 1.00 beta 7"});
    {
        // With versions left, the prompt is there once the wizard is entered.
        Wizard wizard;
        EXPECT_TRUE(WelcomePromptShown());
    }
    Wizard wizard;
    MessageBoxAnswerer answerer(IDOK);

    RemoveVersion("ZAV 1.00 beta 6");
    EXPECT_EQ(ListRows(g_setup.installedList), (Rows{"ZAV 1.00 beta 5", "ZAV 1.00 beta 7"}));
    EXPECT_EQ(SendMessageA(g_setup.installedList, LB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(ListRows(g_setup.previousConfigList), (Rows{NoConfigurationRow, "ZAV 1.00 beta 5", "ZAV 1.00 beta 7"}));
    EXPECT_TRUE(Shown(g_setup.previousConfigList));
    EXPECT_TRUE(g_setup.previousVersionsExist);
    EXPECT_FALSE(Left("ZAV 1.00 beta 6"));
    EXPECT_TRUE(Left("ZAV 1.00 beta 5"));

    Click(g_setup.removeButton);  // row 0 again
    EXPECT_EQ(ListRows(g_setup.installedList), (Rows{"ZAV 1.00 beta 7"}));
    EXPECT_EQ(ListRows(g_setup.previousConfigList), (Rows{NoConfigurationRow, "ZAV 1.00 beta 7"}));
    EXPECT_TRUE(Shown(g_setup.previousConfigList));

    Click(g_setup.removeButton);
    EXPECT_TRUE(ListRows(g_setup.installedList).empty());
    EXPECT_FALSE(IsWindowEnabled(g_setup.removeButton));
    EXPECT_EQ(ListRows(g_setup.previousConfigList), (Rows{NoConfigurationRow}));
    EXPECT_FALSE(Shown(g_setup.previousConfigList));
    EXPECT_FALSE(g_setup.previousVersionsExist);
    EXPECT_FALSE(KeyExists("Software\\ZAV"));

    ASSERT_EQ(answerer.Calls().size(), 3u);
    EXPECT_EQ(answerer.Calls()[0].caption, "ZAV 1.00 beta 6");
    EXPECT_EQ(answerer.Calls()[1].caption, "ZAV 1.00 beta 5");
    EXPECT_EQ(answerer.Calls()[2].caption, "ZAV 1.00 beta 7");

    EXPECT_FALSE(WelcomePromptShown());
    EXPECT_FALSE(IsWindowVisible(g_setup.previousConfigList));
}

TEST_F(MaintenancePageTest, WithThisVersionRecordedOnlyTheMaintenanceListChanges)
{
    Install({ProductVersionName, "ZAV 1.00 beta 7"});
    Wizard wizard;
    ExpectMaintenanceInFront();
    EXPECT_TRUE(g_setup.thisVersionInstalled);
    EXPECT_EQ(g_setup.previousConfigList, nullptr);
    EXPECT_EQ(FindWindowExA(g_setup.pageWindows[WelcomePageIndex], nullptr, "ListBox", nullptr), nullptr);
    EXPECT_EQ(ListRows(g_setup.installedList), (Rows{"ZAV 1.00 beta 7", ProductVersionName}));

    MessageBoxAnswerer answerer(IDOK);
    RemoveVersion("ZAV 1.00 beta 7");
    EXPECT_EQ(ListRows(g_setup.installedList), (Rows{ProductVersionName}));
    RemoveVersion(ProductVersionName);
    EXPECT_TRUE(ListRows(g_setup.installedList).empty());
    ASSERT_EQ(answerer.Calls().size(), 2u);
    EXPECT_EQ(answerer.Calls()[1].caption, ProductVersionName);

    EXPECT_FALSE(Left(ProductVersionName));
    EXPECT_FALSE(KeyExists("Software\\ZAV"));
    EXPECT_EQ(g_setup.previousConfigList, nullptr);
    EXPECT_EQ(FindWindowExA(g_setup.pageWindows[WelcomePageIndex], nullptr, "ListBox", nullptr), nullptr);
    EXPECT_STREQ(g_setup.selectedVersionName, "");
    // The detection ran once, at start: the welcome page still reports the copy.
    EXPECT_TRUE(g_setup.thisVersionInstalled);
}

TEST_F(MaintenancePageTest, AFolderInUseKeepsRowAndRecordUntilALaterAttempt)
{
    Install({"ZAV 1.00 beta 6", "ZAV 1.00 beta 7"});
    Wizard wizard;
    MessageBoxAnswerer answerer(IDOK);
    HeldFile held(ProgramDir("ZAV 1.00 beta 6") + "\\Zav.exe");
    ASSERT_NE(held.handle, INVALID_HANDLE_VALUE);

    RemoveVersion("ZAV 1.00 beta 6");
    EXPECT_TRUE(answerer.Calls().empty());
    EXPECT_EQ(ListRows(g_setup.installedList), (Rows{"ZAV 1.00 beta 6", "ZAV 1.00 beta 7"}));
    EXPECT_EQ(ListRows(g_setup.previousConfigList), (Rows{NoConfigurationRow, "ZAV 1.00 beta 6", "ZAV 1.00 beta 7"}));
    EXPECT_TRUE(KeyExists("Software\\ZAV\\ZAV 1.00 beta 6\\Directories"));
    EXPECT_TRUE(IsWindowEnabled(g_setup.removeButton));
    EXPECT_STREQ(g_setup.selectedVersionName, "");

    held.Release();
    RemoveVersion("ZAV 1.00 beta 6");
    ASSERT_EQ(answerer.Calls().size(), 1u);
    EXPECT_EQ(answerer.Calls()[0].caption, "ZAV 1.00 beta 6");
    EXPECT_EQ(ListRows(g_setup.installedList), (Rows{"ZAV 1.00 beta 7"}));
    EXPECT_EQ(ListRows(g_setup.previousConfigList), (Rows{NoConfigurationRow, "ZAV 1.00 beta 7"}));
    EXPECT_FALSE(Left("ZAV 1.00 beta 6"));
}

TEST_F(MaintenancePageTest, OnlyTheRemovedVersionsOwnRowLeavesTheWelcomeList)
{
    // Rows that another row's text begins with, and one that the fixed first row begins with.
    const Rows versions = {"No", NoConfigurationRow, "ZAV 1.0", "ZAV 1.00 beta 7"};
    for (const std::string& removed : versions) {
        SCOPED_TRACE(removed);
        ResetProductKey();
        Install(versions);
        Wizard wizard;
        ASSERT_EQ(ListRows(g_setup.previousConfigList).size(), 5u);

        MessageBoxAnswerer answerer(IDOK);
        RemoveVersion(removed);
        ASSERT_EQ(answerer.Calls().size(), 1u);

        Rows expected = {NoConfigurationRow};
        for (const std::string& name : versions)
            if (name != removed) expected.push_back(name);
        EXPECT_EQ(ListRows(g_setup.previousConfigList), expected);
        EXPECT_EQ(SendMessageA(g_setup.previousConfigList, LB_GETCURSEL, 0, 0), 0);
        EXPECT_STREQ(g_setup.selectedVersionName, "");
    }
}

TEST_F(MaintenancePageTest, TheChoiceOfAPreviousConfigurationFollowsTheWelcomeList)
{
    Install({"ZAV 1.00 beta 5", "ZAV 1.00 beta 6", "ZAV 1.00 beta 7"});
    Wizard wizard;
    MessageBoxAnswerer answerer(IDOK);

    // A chosen version that stays stays chosen, on its (moved) row.
    ChooseOnWelcomePage(3);
    ASSERT_STREQ(g_setup.selectedVersionName, "ZAV 1.00 beta 7");
    RemoveVersion("ZAV 1.00 beta 5");
    EXPECT_STREQ(g_setup.selectedVersionName, "ZAV 1.00 beta 7");
    EXPECT_EQ(SendMessageA(g_setup.previousConfigList, LB_GETCURSEL, 0, 0), 2);

    // A chosen version that is removed falls back to "No previous configuration".
    RemoveVersion("ZAV 1.00 beta 7");
    EXPECT_STREQ(g_setup.selectedVersionName, "");
    EXPECT_EQ(SendMessageA(g_setup.previousConfigList, LB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(ListRows(g_setup.previousConfigList), (Rows{NoConfigurationRow, "ZAV 1.00 beta 6"}));
    if (g_setup.runAfterCheck) {
        EXPECT_TRUE(IsWindowEnabled(g_setup.runAfterCheck));
    }

    // After entering the wizard the user may still choose what is left.
    Click(g_setup.maintenanceInstallButton);
    ChooseOnWelcomePage(1);
    EXPECT_STREQ(g_setup.selectedVersionName, "ZAV 1.00 beta 6");
}
