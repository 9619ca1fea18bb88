#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pages/MaintenancePage.h"
#include "registry/Registry.h"
#include "shell/MainWindow.h"
#include "shell/SetupState.h"
#include "support/Canvas.h"
#include "support/Files.h"
#include "support/Hooks.h"
#include "support/InstallSupport.h"
#include "support/Registry.h"
#include "support/TestSupport.h"

using namespace testing_support;

namespace {

using Rows = std::vector<std::string>;
const std::string None = "No previous configuration";
const std::string Beta5 = "ZAV 1.00 beta 5", Beta6 = "ZAV 1.00 beta 6", Beta7 = "ZAV 1.00 beta 7";

class MaintenancePageTest : public ProductKeyTest {
public:
    std::string Dir(const std::string& name) { return stand.ProgramDir(name); }
    void Install(const Rows& names)
    {
        for (const std::string& name : names) stand.Install(name);
    }
    bool Gone(const std::string& name) { return stand.Left(name) == 0; }

    StandInInstallations stand;
};

// Selects the version's row on the maintenance page and presses "Remove".
void Remove(const std::string& name)
{
    LRESULT row = SendMessageA(g_setup.installedList, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                               reinterpret_cast<LPARAM>(name.c_str()));
    ASSERT_NE(row, LB_ERR) << name;
    SendMessageA(g_setup.installedList, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
    Click(g_setup.removeButton);
}

// The user's choice of a row in the welcome page's list.
void ChooseOnWelcomePage(int row)
{
    SendMessageA(g_setup.previousConfigList, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
    Click(g_setup.previousConfigList);
}

LRESULT Selected(HWND list) { return SendMessageA(list, LB_GETCURSEL, 0, 0); }
bool Shown(HWND window) { return (GetWindowLongA(window, GWL_STYLE) & WS_VISIBLE) != 0; }

// Any pixel other than the background inside [left, right) x [top, bottom).
bool HasInk(const Pixels& pixels, int left, int top, int right, int bottom)
{
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            if (pixels.At(x, y) != g_setup.backgroundColor) return true;
    return false;
}

void ExpectMaintenanceInFront()
{
    EXPECT_TRUE(IsWindowVisible(g_setup.maintenancePage));
    for (HWND page : g_setup.pageWindows) EXPECT_FALSE(IsWindowVisible(page));
    EXPECT_FALSE(IsWindowEnabled(g_setup.backButton));
    EXPECT_FALSE(IsWindowEnabled(g_setup.nextButton));
}

// "Install" leads to the welcome page; true when its prompt above the list is drawn there.
bool EnterWizardAndSeePrompt()
{
    Click(g_setup.maintenanceInstallButton);
    EXPECT_FALSE(IsWindowVisible(g_setup.maintenancePage));
    EXPECT_TRUE(IsWindowVisible(g_setup.pageWindows[WelcomePageIndex]));
    EXPECT_FALSE(IsWindowEnabled(g_setup.backButton));
    EXPECT_TRUE(IsWindowEnabled(g_setup.nextButton));
    PumpMessages();
    return HasInk(Pixels(g_setup.pageWindows[WelcomePageIndex]), 10, 90, 400, 104);
}

} // namespace

TEST_F(MaintenancePageTest, StandsInFrontWithControlsListAndTextsAndSurvivesCancelNo)
{
    Install({Beta7, Beta6});
    Wizard wizard;
    ASSERT_NE(g_setup.maintenancePage, nullptr);
    ExpectMaintenanceInFront();
    EXPECT_EQ(ClassName(g_setup.maintenancePage), "installprev");
    EXPECT_EQ(GetDlgCtrlID(g_setup.maintenancePage), 4);

    struct Control {
        HWND window;
        const char* text;
        int id;
        RECT rect;
    };
    const Control controls[] = {
        {g_setup.maintenanceInstallButton, "Install", 6, {10, 35, 110, 58}},
        {g_setup.removeButton, "Remove", 5, {10, 110, 110, 133}},
        {g_setup.installedList, "", 7, {10, 150, 410, 240}},
    };
    for (const Control& c : controls) {
        RECT rect = WindowRectInParent(c.window);
        // A list box trims itself to whole rows.
        int slack = c.id == 7 ? static_cast<int>(SendMessageA(c.window, LB_GETITEMHEIGHT, 0, 0)) : 1;
        EXPECT_EQ(WindowText(c.window), c.text);
        EXPECT_EQ(GetDlgCtrlID(c.window), c.id);
        EXPECT_EQ(GetParent(c.window), g_setup.maintenancePage);
        EXPECT_TRUE(rect.left == c.rect.left && rect.top == c.rect.top && rect.right == c.rect.right &&
                    rect.bottom <= c.rect.bottom && rect.bottom > c.rect.bottom - slack)
            << c.text << ": " << rect.left << "," << rect.top << "," << rect.right << "," << rect.bottom;
        EXPECT_EQ(SendMessageA(c.window, WM_GETFONT, 0, 0), reinterpret_cast<LRESULT>(g_setup.guiFont));
    }
    EXPECT_EQ(ClassName(g_setup.installedList), "ListBox");
    // WS_VSCROLL comes and goes with the scroll bar; the list is not sorted.
    EXPECT_EQ(GetWindowLongA(g_setup.installedList, GWL_STYLE) & (WS_CHILD | WS_VISIBLE | WS_BORDER | LBS_NOTIFY | LBS_SORT),
              0x50800001);
    EXPECT_EQ(ListRows(g_setup.installedList), (Rows{Beta6, Beta7}));
    EXPECT_EQ(Selected(g_setup.installedList), 0);

    // The two texts stand 25 pixels above their buttons, and nothing else is drawn.
    Pixels pixels(g_setup.maintenancePage);
    EXPECT_TRUE(HasInk(pixels, 10, 10, 400, 24));
    EXPECT_TRUE(HasInk(pixels, 10, 85, 400, 99));
    EXPECT_FALSE(HasInk(pixels, 0, 0, 420, 10) || HasInk(pixels, 0, 24, 420, 35) ||
                 HasInk(pixels, 120, 35, 420, 85) || HasInk(pixels, 0, 99, 420, 110) ||
                 HasInk(pixels, 0, 10, 10, 99));

    MessageBoxAnswerer answerer(IDNO);
    Press(CancelButtonId);
    ASSERT_EQ(answerer.Calls().size(), 1u);
    ExpectMaintenanceInFront();
    EXPECT_EQ(ListRows(g_setup.installedList), (Rows{Beta6, Beta7}));
    EXPECT_FALSE(Gone(Beta6) || Gone(Beta7));
}

TEST_F(MaintenancePageTest, RemovingTheOnlyVersionEmptiesTheListsAndReportsIt)
{
    Install({Beta7});
    Wizard wizard;
    {
        MessageBoxAnswerer answerer(IDOK);
        Remove(Beta7);
        const MessageBoxCall told{g_setup.mainWindow, "Program has been successfully removed!", Beta7,
                                  MB_ICONINFORMATION, IDOK};
        EXPECT_EQ(answerer.Calls(), std::vector<MessageBoxCall>{told});
    }
    EXPECT_TRUE(Gone(Beta7));
    EXPECT_FALSE(KeyExists("Software\\ZAV"));
    EXPECT_TRUE(ListRows(g_setup.installedList).empty());
    EXPECT_FALSE(IsWindowEnabled(g_setup.removeButton));
    ExpectMaintenanceInFront();
    EXPECT_EQ(ListRows(g_setup.previousConfigList), (Rows{None}));
    EXPECT_FALSE(Shown(g_setup.previousConfigList));
    EXPECT_FALSE(g_setup.previousVersionsExist);
    EXPECT_FALSE(EnterWizardAndSeePrompt());

    // The removed version is nobody's previous configuration: a record written now says so.
    EXPECT_STREQ(g_setup.selectedVersionName, "");
    CreateVersionKey();
    CreateDirectoriesKey();
    WriteInstallRecord(Dir(ProductVersionName).c_str());
    std::string previous;
    EXPECT_TRUE(ReadString(std::string("Software\\ZAV\\") + ProductVersionName + "\\Directories", "Prev Cfg", previous));
    EXPECT_EQ(previous, "no");
}

TEST_F(MaintenancePageTest, RemovingSeveralShrinksBothListsUntilTheWelcomeListAndPromptGo)
{
    Install({Beta5, Beta6, Beta7});
    {
        Wizard wizard;
        EXPECT_TRUE(EnterWizardAndSeePrompt());
    }
    Wizard wizard;
    MessageBoxAnswerer answerer(IDOK);
    Remove(Beta6);
    EXPECT_EQ(ListRows(g_setup.installedList), (Rows{Beta5, Beta7}));
    EXPECT_EQ(Selected(g_setup.installedList), 0);
    EXPECT_EQ(ListRows(g_setup.previousConfigList), (Rows{None, Beta5, Beta7}));
    EXPECT_TRUE(Shown(g_setup.previousConfigList) && g_setup.previousVersionsExist);
    EXPECT_TRUE(Gone(Beta6));
    EXPECT_FALSE(Gone(Beta5));

    Click(g_setup.removeButton);  // row 0 again
    Click(g_setup.removeButton);
    ASSERT_EQ(answerer.Calls().size(), 3u);
    EXPECT_EQ(answerer.Calls()[1].caption, Beta5);
    EXPECT_EQ(answerer.Calls()[2].caption, Beta7);
    EXPECT_TRUE(ListRows(g_setup.installedList).empty());
    EXPECT_FALSE(IsWindowEnabled(g_setup.removeButton));
    EXPECT_EQ(ListRows(g_setup.previousConfigList), (Rows{None}));
    EXPECT_FALSE(Shown(g_setup.previousConfigList) || g_setup.previousVersionsExist);
    EXPECT_FALSE(KeyExists("Software\\ZAV"));
    EXPECT_FALSE(EnterWizardAndSeePrompt());
}

TEST_F(MaintenancePageTest, WithThisVersionRecordedOnlyTheMaintenanceListChanges)
{
    Install({ProductVersionName, Beta7});
    Wizard wizard;
    ExpectMaintenanceInFront();
    EXPECT_EQ(g_setup.previousConfigList, nullptr);
    EXPECT_EQ(ListRows(g_setup.installedList), (Rows{Beta7, ProductVersionName}));

    MessageBoxAnswerer answerer(IDOK);
    Remove(Beta7);
    EXPECT_EQ(ListRows(g_setup.installedList), (Rows{ProductVersionName}));
    Remove(ProductVersionName);
    EXPECT_TRUE(ListRows(g_setup.installedList).empty());
    EXPECT_EQ(answerer.Calls().size(), 2u);
    EXPECT_TRUE(Gone(ProductVersionName) && Gone(Beta7));
    EXPECT_EQ(FindWindowExA(g_setup.pageWindows[WelcomePageIndex], nullptr, "ListBox", nullptr), nullptr);
    EXPECT_STREQ(g_setup.selectedVersionName, "");
    EXPECT_TRUE(g_setup.thisVersionInstalled);  // detected once, at start
}

TEST_F(MaintenancePageTest, AFolderInUseKeepsRowAndRecordUntilALaterAttempt)
{
    Install({Beta6, Beta7});
    Wizard wizard;
    MessageBoxAnswerer answerer(IDOK);
    const Tree installed = ReadTree(Dir(Beta6));
    // Held as a running program holds it: without sharing deletion.
    HANDLE held = CreateFileA((Dir(Beta6) + "\\Zav.exe").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    Remove(Beta6);
    const MessageBoxCall told{g_setup.mainWindow, ProgramInUseText, Beta6, MB_ICONWARNING, IDOK};
    EXPECT_EQ(answerer.Calls(), std::vector<MessageBoxCall>{told});
    EXPECT_EQ(ReadTree(Dir(Beta6)), installed);  // nothing of it deleted
    EXPECT_EQ(stand.Left(Beta6), 5);
    EXPECT_EQ(ListRows(g_setup.installedList), (Rows{Beta6, Beta7}));
    EXPECT_EQ(ListRows(g_setup.previousConfigList), (Rows{None, Beta6, Beta7}));
    EXPECT_TRUE(KeyExists("Software\\ZAV\\" + Beta6 + "\\Directories"));
    EXPECT_STREQ(g_setup.selectedVersionName, "");

    CloseHandle(held);
    Remove(Beta6);
    EXPECT_EQ(answerer.Calls().size(), 2u);
    EXPECT_EQ(answerer.Calls().back().text, RemovedMessageText);
    EXPECT_EQ(ListRows(g_setup.installedList), (Rows{Beta7}));
    EXPECT_EQ(ListRows(g_setup.previousConfigList), (Rows{None, Beta7}));
    EXPECT_TRUE(Gone(Beta6));
}

TEST_F(MaintenancePageTest, ARefusedRemovalKeepsRowAndRecordAndSaysWhy)
{
    // Each recorded state that a removal refuses to act on, with what the user is told.
    struct Case {
        const char* label;
        std::string removed;  // the version removed; recorded here unless installed below
        DWORD type;
        std::string data;     // its "Program Path", in the value's own form
        const char* reason;
        void (*before)(MaintenancePageTest& t);
    };
    const std::string folder = Dir(Beta6);
    const std::string base = stand.root + "\\Base";
    const std::string deep = folder + "\\" + std::string(MAX_PATH - folder.size(), 'x');
    auto nothing = [](MaintenancePageTest&) {};
    const Case cases[] = {
        {"a list of texts", Beta6, REG_MULTI_SZ, folder + std::string(2, '\0'), ProgramPathUnreadReason, nothing},
        {"a text longer than a path", Beta6, REG_SZ, deep, ProgramPathUnreadReason, nothing},
        {"a text cut by a NUL", Beta6, REG_SZ, base + std::string(1, '\0') + "\\" + Beta6, ProgramPathUnreadReason,
         nothing},
        {"a name with a wildcard", "ZAV*", REG_SZ, folder, UnusableNameReason, nothing},
        {"a relative path", Beta6, REG_SZ, "Base\\" + Beta6, UnusablePathReason, nothing},
        {"a drive", Beta6, REG_SZ, stand.root.substr(0, 3), WholeDriveReason, nothing},
        {"a file", Beta6, REG_SZ, folder + "\\Zav.exe", NotAFolderReason, nothing},
        {"the desktop", Beta6, REG_SZ, stand.folders.desktop, ProtectedFolderReason, nothing},
        {"another version inside", Beta6, REG_SZ, folder, HoldsOtherVersionReason,
         [](MaintenancePageTest& t) {
             const std::string inner = t.Dir(Beta6) + "\\Inner";
             CreateDirectoryA(inner.c_str(), nullptr);
             RecordVersion(Beta7, true, inner.c_str());
         }},
        {"somebody else's folder", Beta6, REG_SZ, base + "\\Apps", NotTheProductReason,
         [](MaintenancePageTest& t) { WriteFile(t.stand.root + "\\Base\\Apps\\notes.txt", "keep"); }},
        {"a program group that is a file", Beta6, REG_SZ, folder, UnsafeProgramGroupReason,
         [](MaintenancePageTest& t) {
             const std::string group = t.stand.folders.programs + "\\" + Beta6;
             RemoveTree(group);
             WriteFile(group, "not a folder");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ResetProductKey();
        RemoveTree(stand.root + "\\Base\\Apps");
        Install({Beta6, Beta7});
        CreateDirectoryA((stand.root + "\\Base\\Apps").c_str(), nullptr);
        c.before(*this);
        if (!KeyExists("Software\\ZAV\\" + c.removed)) RecordVersion(c.removed);
        SetRawValue("Software\\ZAV\\" + c.removed + "\\Directories", "Program Path", c.type, c.data.data(),
                    static_cast<DWORD>(c.data.size()));
        const Tree before = ReadTree(stand.root);
        Wizard wizard;
        const Rows rows = ListRows(g_setup.installedList);
        MessageBoxAnswerer answerer(IDOK);
        Remove(c.removed);
        const std::string text = std::string(NotRemovedText) + "\n\n" + c.reason;
        const MessageBoxCall told{g_setup.mainWindow, text, c.removed, MB_ICONWARNING, IDOK};
        EXPECT_EQ(answerer.Calls(), std::vector<MessageBoxCall>{told});
        EXPECT_EQ(ReadTree(stand.root), before);  // nothing touched
        EXPECT_TRUE(KeyExists("Software\\ZAV\\" + c.removed + "\\Directories"));
        EXPECT_EQ(ListRows(g_setup.installedList), rows);
        RemoveTree(stand.folders.programs + "\\" + Beta6);
    }
}

TEST_F(MaintenancePageTest, OnlyTheRemovedVersionsOwnRowLeavesTheWelcomeList)
{
    // Names that another row, or the fixed first row, begins with.
    const Rows versions = {"No", None, "ZAV 1.0", "ZAV 1.00 beta 7"};
    for (const std::string& removed : versions) {
        SCOPED_TRACE(removed);
        ResetProductKey();
        Install(versions);
        Wizard wizard;
        MessageBoxAnswerer answerer(IDOK);
        Remove(removed);
        Rows expected = {None};
        for (const std::string& name : versions)
            if (name != removed) expected.push_back(name);
        EXPECT_EQ(ListRows(g_setup.previousConfigList), expected);
        EXPECT_EQ(Selected(g_setup.previousConfigList), 0);
    }
}

TEST_F(MaintenancePageTest, TheChoiceOfAPreviousConfigurationFollowsTheWelcomeList)
{
    Install({Beta5, Beta6, Beta7});
    Wizard wizard;
    MessageBoxAnswerer answerer(IDOK);
    ChooseOnWelcomePage(3);
    ASSERT_STREQ(g_setup.selectedVersionName, Beta7.c_str());

    Remove(Beta5);  // the chosen version stays chosen, on its moved row
    EXPECT_STREQ(g_setup.selectedVersionName, Beta7.c_str());
    EXPECT_EQ(Selected(g_setup.previousConfigList), 2);

    Remove(Beta7);  // the chosen version is gone: back to "No previous configuration"
    EXPECT_STREQ(g_setup.selectedVersionName, "");
    EXPECT_EQ(Selected(g_setup.previousConfigList), 0);

    Click(g_setup.maintenanceInstallButton);
    ChooseOnWelcomePage(1);
    EXPECT_STREQ(g_setup.selectedVersionName, Beta6.c_str());
}
