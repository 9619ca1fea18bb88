// The real setup.exe for a user whose folders are named in other scripts than the system's
// code page (1252 under this suite's locale): the profile's folders, the destination picked
// in the folder browser, and the "Program Path" an earlier version recorded. Each road is
// installed and removed again, with the checks of a plain installation. This test program runs
// in UTF-8 as the setup does, so its own checks name every such folder whole.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <map>
#include <string>
#include <vector>

#include "SetupDriver.h"
#include "support/Files.h"
#include "support/InstallSupport.h"
#include "support/Registry.h"
#include "support/TestSupport.h"

using namespace testing_support;

namespace {

constexpr DWORD TimeoutMs = 60000;
const std::string DirectoriesKey = "Software\\ZAV\\ZAV 1.00 beta 8\\Directories";
constexpr char RemovedText[] = "Program has been successfully removed!";

std::string Utf8(const std::wstring& wide)
{
    std::string text(wide.size() * 4 + 1, '\0');
    int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, &text[0], static_cast<int>(text.size()), nullptr,
                                    nullptr);
    text.resize(bytes > 0 ? bytes - 1 : 0);
    return text;
}

// In UTF-16, as the registry and the lists keep them.
std::wstring Wide(const std::string& utf8) { return WideFromUtf8(utf8); }

// Cyrillic, Polish and Chinese letters: none of them but the Latin ones is in code page 1252.
std::string ScriptsName()
{
    return Utf8(L"\u041F\u0440\u043E\u0444\u0438\u043B\u044C \u0141ukasz \u8868");
}

// A folder name of `letters` Chinese letters: three bytes each in UTF-8, one UTF-16 unit each.
std::string WideLetters(int letters) { return Utf8(std::wstring(letters, L'\u8868')); }

class OtherScriptsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The setup's road, not the system's: UTF-8 here as there, on a system of code page 1252.
        ASSERT_EQ(GetACP(), static_cast<UINT>(CP_UTF8)) << "the test program lacks the setup's manifest";
        wchar_t systemPage[8] = L"";
        GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE, systemPage, 8);
        ASSERT_EQ(std::wstring(systemPage), L"1252") << "the suite's locale is not in effect";
        Clean();
        root_ = MakeTempFolder("scripts");
        scripts_ = root_ + "\\" + ScriptsName();
        ASSERT_TRUE(CreateDirectoryA(scripts_.c_str(), nullptr));
    }

    void TearDown() override
    {
        Clean();
        RemoveTree(root_);
    }

    static void Clean()
    {
        e2e::TerminateProcesses("Zav.exe");
        RemoveInstallationLeftovers();
    }

    bool Start(e2e::SetupDriver& driver) { return driver.Start(BuildPath("setup.exe"), root_); }

    // Presses "Change", picks the folder in the browser, and returns what the setup said after it
    // ("" when it took the folder without a word).
    static std::string PickDestination(e2e::SetupDriver& driver, const std::string& folder)
    {
        e2e::MessageBoxInfo box;
        if (!driver.PressChange() || driver.WaitForMessageBoxOrExit(TimeoutMs, box) != e2e::WaitResult::MessageBox ||
            box.caption != FolderPickerTitle || !driver.ChooseInBrowser(box, folder))
            return "no folder browser";
        HWND edit = driver.Control(DestinationPageClass, DestinationEditId);
        for (double deadline = e2e::NowMs() + 10000; e2e::NowMs() < deadline; Sleep(20)) {
            if (e2e::ControlText(edit) == folder) return "";
            if (driver.WaitForMessageBoxOrExit(0, box) == e2e::WaitResult::MessageBox) return box.text;
        }
        return "nothing happened";
    }

    // From the progress page: every shortcut, no product started, no readme; "Install", then OK
    // on the success message.
    static void InstallFromProgressPage(e2e::SetupDriver& driver)
    {
        using namespace e2e;
        for (int id : {StartMenuCheckId, DesktopCheckId, GroupCheckId})
            ASSERT_TRUE(driver.SetOption(DestinationPageClass, id, true)) << id;
        ASSERT_TRUE(driver.SetOption(ProgressPageClass, RunAfterCheckId, false));
        ASSERT_TRUE(driver.SetOption(ProgressPageClass, ReadmeCheckId, false));
        ASSERT_TRUE(driver.StartInstall());
        MessageBoxInfo box;
        ASSERT_EQ(driver.WaitForMessageBoxOrExit(TimeoutMs, box), WaitResult::MessageBox);
        ASSERT_EQ(box.text, "Program was successfully installed!");
        ASSERT_TRUE(driver.Answer(box, IDOK));
        ASSERT_TRUE(driver.WaitForExit(TimeoutMs));
    }

    // What an installation into programDir leaves: the tree, the seven links, the record, and
    // nothing staged.
    static void ExpectInstalled(const std::string& programDir, const std::map<std::string, std::string>& tree)
    {
        EXPECT_EQ(ReadTree(programDir), tree);
        ExpectLinks(std::begin(ProductLinks), std::end(ProductLinks), programDir);
        std::string recorded;
        EXPECT_TRUE(ReadString(DirectoriesKey, "Program Path", recorded));
        EXPECT_EQ(recorded, programDir);
        std::string templates = SpecialFolder(CSIDL_TEMPLATES);
        ASSERT_NE(templates, "");
        for (const char* staged : {"UnzDll.dll", "zav.zip", "ZAV 1.00 beta 8"})
            EXPECT_FALSE(FileExists(templates + "\\" + staged) || DirectoryExists(templates + "\\" + staged))
                << staged;
    }

    // Removes each version from the maintenance page, in this order, then leaves the setup.
    void RemoveOnMaintenancePage(const std::vector<std::string>& versions)
    {
        using namespace e2e;
        SetupDriver driver;
        ASSERT_TRUE(Start(driver));
        ASSERT_TRUE(driver.IsVisible(MaintenancePageClass));
        HWND list = driver.Control(MaintenancePageClass, InstalledListId);
        for (const std::string& version : versions) {
            SCOPED_TRACE(version);
            const std::vector<std::wstring> rows = ListRowTexts(list);
            LRESULT row = 0;
            while (row < static_cast<LRESULT>(rows.size()) && rows[row] != Wide(version)) ++row;
            ASSERT_LT(row, static_cast<LRESULT>(rows.size())) << "not offered";
            SendMessageA(list, LB_SETCURSEL, row, 0);
            HWND page = driver.Page(MaintenancePageClass);
            PostMessageA(page, WM_COMMAND, MAKEWPARAM(RemoveButtonId, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(page, RemoveButtonId)));
            MessageBoxInfo box;
            ASSERT_EQ(driver.WaitForMessageBoxOrExit(TimeoutMs, box), WaitResult::MessageBox);
            EXPECT_EQ(box.text, RemovedText);
            EXPECT_EQ(box.caption, version);
            ASSERT_TRUE(driver.Answer(box, IDOK));
        }
        driver.Kill();
    }

    static void ExpectRemoved(const std::string& programDir)
    {
        EXPECT_FALSE(DirectoryExists(programDir));
        ExpectNoLinks(std::begin(ProductLinks), std::end(ProductLinks));
        EXPECT_FALSE(DirectoryExists(SpecialFolder(CSIDL_PROGRAMS) + "\\ZAV 1.00 beta 8"));
        EXPECT_FALSE(KeyExists("Software\\ZAV"));
    }

    // While alive, the profile's Templates, Desktop, Start menu and Programs folders lie in
    // `profile`, made by the setup when it needs them.
    struct Profile {
        explicit Profile(const std::string& profile)
            : templates("Templates", profile + "\\Templates"), desktop("Desktop", profile + "\\Desktop"),
              startMenu("Start Menu", profile + "\\Start Menu"), programs("Programs", profile + "\\Start Menu\\Programs")
        {
        }
        RedirectedShellFolder templates;
        RedirectedShellFolder desktop;
        RedirectedShellFolder startMenu;
        RedirectedShellFolder programs;
    };

    std::string root_;
    std::string scripts_;
};

} // namespace

TEST_F(OtherScriptsTest, ProfileFoldersUnderAFolderNamedInOtherScripts)
{
    Profile profile(scripts_);
    {
        e2e::SetupDriver driver;
        ASSERT_TRUE(Start(driver));
        ASSERT_TRUE(driver.GoToProgressPage());
        InstallFromProgressPage(driver);
    }
    // The setup made the folders where the profile names them, and used them.
    EXPECT_EQ(SpecialFolder(CSIDL_TEMPLATES), scripts_ + "\\Templates");
    ExpectInstalled(DefaultProgramDir(), ExpectedProductTree());
    for (const ExpectedLink& link : ProductLinks) EXPECT_EQ(LinkFile(link).rfind(scripts_, 0), 0u) << LinkFile(link);

    RemoveOnMaintenancePage({"ZAV 1.00 beta 8"});
    ExpectRemoved(DefaultProgramDir());
}

TEST_F(OtherScriptsTest, DestinationNamedInOtherScriptsPickedInTheFolderBrowser)
{
    const std::string programDir = scripts_ + "\\ZAV 1.00 beta 8";
    {
        e2e::SetupDriver driver;
        ASSERT_TRUE(Start(driver));
        ASSERT_TRUE(driver.GoToPage(2));
        ASSERT_EQ(PickDestination(driver, scripts_), "");
        ASSERT_TRUE(driver.GoToProgressPage());
        EXPECT_EQ(e2e::ControlText(driver.Control(ProgressPageClass, InstallDirEditId)), scripts_);
        InstallFromProgressPage(driver);
    }
    ExpectInstalled(programDir, ExpectedProductTree());

    RemoveOnMaintenancePage({"ZAV 1.00 beta 8"});
    ExpectRemoved(programDir);
    EXPECT_TRUE(DirectoryExists(scripts_)) << "the chosen folder itself stays";
}

// An earlier version's setup stored its path as the registry stores every string, in UTF-16,
// whatever code page it ran in: written here through the wide call.
TEST_F(OtherScriptsTest, ProgramPathOfAnEarlierVersionIsCarriedOverAndRemoved)
{
    const std::string previous = scripts_ + "\\ZAV 0.99";
    ASSERT_TRUE(CreateDirectoryA(previous.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((previous + "\\UserSettings").c_str(), nullptr));
    ASSERT_TRUE(WriteFile(previous + "\\UserSettings\\mine.lst", "my own list"));
    ASSERT_TRUE(WriteFile(previous + "\\Zav.exe", "the earlier program"));
    {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\ZAV\\ZAV 0.99\\Directories", 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        const std::wstring path = Wide(previous);
        // As earlier setups stored it: the text's bytes, without the NUL.
        EXPECT_EQ(RegSetValueExW(key, L"Program Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                                 static_cast<DWORD>(path.size() * sizeof(wchar_t))),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    {
        e2e::SetupDriver driver;
        ASSERT_TRUE(Start(driver));
        ASSERT_TRUE(driver.PressOn(MaintenancePageClass, MaintenanceInstallButtonId));
        ASSERT_TRUE(driver.ChoosePreviousConfiguration("ZAV 0.99"));
        ASSERT_TRUE(driver.GoToProgressPage());
        InstallFromProgressPage(driver);
    }
    std::map<std::string, std::string> tree = ExpectedProductTree();
    tree["UserSettings\\mine.lst"] = "my own list";
    ExpectInstalled(DefaultProgramDir(), tree);
    std::string prevCfg;
    EXPECT_TRUE(ReadString(DirectoriesKey, "Prev Cfg", prevCfg));
    EXPECT_EQ(prevCfg, "ZAV 0.99");

    RemoveOnMaintenancePage({"ZAV 0.99", "ZAV 1.00 beta 8"});
    EXPECT_FALSE(DirectoryExists(previous));
    ExpectRemoved(DefaultProgramDir());
    EXPECT_TRUE(DirectoryExists(scripts_));
}

// MAX_PATH counts bytes, and these letters take three each: a path of fewer than 260 letters
// can still not fit. It is refused with a message that says so, never cut short.
TEST_F(OtherScriptsTest, PathsTooLongInBytesAreRefusedWithAClearMessage)
{
    const std::string deep = scripts_ + "\\" + WideLetters(80);
    ASSERT_GT(deep.size(), static_cast<size_t>(MAX_PATH));
    ASSERT_LT(Wide(deep).size(), static_cast<size_t>(MAX_PATH));
    ASSERT_TRUE(CreateDirectoryA(deep.c_str(), nullptr));

    e2e::SetupDriver driver;
    ASSERT_TRUE(Start(driver));
    ASSERT_TRUE(driver.GoToPage(2));
    HWND edit = driver.Control(DestinationPageClass, DestinationEditId);
    const std::string offered = e2e::ControlText(edit);
    EXPECT_EQ(PickDestination(driver, deep),
              "Selected directory path is too long for install!\n\nPlease select another directory.");
    e2e::MessageBoxInfo box;
    ASSERT_EQ(driver.WaitForMessageBoxOrExit(TimeoutMs, box), e2e::WaitResult::MessageBox);
    ASSERT_TRUE(driver.Answer(box, IDOK));
    ASSERT_EQ(driver.WaitForMessageBoxOrExit(TimeoutMs, box), e2e::WaitResult::MessageBox);
    ASSERT_EQ(box.caption, FolderPickerTitle) << "the browser opens again";
    ASSERT_TRUE(driver.Answer(box, IDCANCEL));
    EXPECT_EQ(e2e::ControlText(edit), offered);

    // A Templates folder that deep: nothing is staged anywhere, and the user is told why.
    RedirectedShellFolder templates("Templates", deep);
    ASSERT_TRUE(driver.GoToProgressPage());
    ASSERT_TRUE(driver.StartInstall());
    ASSERT_EQ(driver.WaitForMessageBoxOrExit(TimeoutMs, box), e2e::WaitResult::MessageBox);
    EXPECT_EQ(box.text, "Setup cannot use the path of the Templates folder: it is too long, or holds letters that "
                        "this system cannot pass to Setup.\n\nPlease give that folder a shorter path and try again.");
    EXPECT_EQ(box.caption, "Setup error");
    ASSERT_TRUE(driver.Answer(box, IDOK));
    EXPECT_TRUE(driver.Running());
    EXPECT_EQ(ReadTree(scripts_), (Tree{{WideLetters(80), TreeFolderMark}})) << "nothing staged";
    EXPECT_FALSE(DirectoryExists(DefaultProgramDir()));
}

// A Desktop folder that fits MAX_PATH bytes, but not with the link's name after it: that link is
// left out, as any link that cannot be made, so that the removal can take away all that was made.
TEST_F(OtherScriptsTest, LinksTooLongInBytesAreLeftOutAndTheRemovalTakesAll)
{
    const std::string desktop = scripts_ + "\\" + WideLetters(static_cast<int>(252 - scripts_.size() - 1) / 3);
    const std::string link = desktop + "\\ZAV 1.00 beta 8.lnk";
    ASSERT_LT(desktop.size(), static_cast<size_t>(MAX_PATH));
    ASSERT_GE(link.size(), static_cast<size_t>(MAX_PATH));
    RedirectedShellFolder redirected("Desktop", desktop);
    {
        e2e::SetupDriver driver;
        ASSERT_TRUE(Start(driver));
        ASSERT_TRUE(driver.GoToProgressPage());
        InstallFromProgressPage(driver);
    }
    EXPECT_EQ(ReadTree(DefaultProgramDir()), ExpectedProductTree());
    EXPECT_TRUE(DirectoryExists(desktop));
    EXPECT_FALSE(FileExists(link));
    ExpectLinks(StartMenuLinks, std::end(ProductLinks), DefaultProgramDir());

    RemoveOnMaintenancePage({"ZAV 1.00 beta 8"});
    ExpectRemoved(DefaultProgramDir());
}

// The license's typographic apostrophe is the same letter whether the setup runs in UTF-8 or,
// as on a system before Windows 10 1903, in the system's code page.
TEST_F(OtherScriptsTest, LicenseShowsTheSameLettersInEitherCodePage)
{
    for (const char* program : {"setup.exe", "tests\\setup-system-code-page.exe"}) {
        SCOPED_TRACE(program);
        e2e::SetupDriver driver;
        ASSERT_TRUE(driver.Start(BuildPath(program), root_));
        ASSERT_TRUE(driver.GoToPage(1));
        const std::vector<std::wstring> rows = e2e::ListRowTexts(driver.Control(LicensePageClass, LicenseListId));
        ASSERT_EQ(rows.size(), LicenseRowCount);
        for (size_t row = 0; row < LicenseRowCount; ++row) EXPECT_TRUE(rows[row] == Wide(LicenseRows[row])) << row;
        EXPECT_EQ(rows[17], L"author\u2019s written permission beforehand.");
    }
}
