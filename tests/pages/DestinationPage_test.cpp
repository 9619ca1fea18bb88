// The destination page in the real wizard: its controls and texts at creation, the three
// shortcut options, and the Change loop with the real folder browser and message boxes.
#include "display/SizeText.h"
#include "shell/Navigation.h"
#include "shell/Owners.h"
#include "shell/Text.h"
#include "shell/SetupState.h"
#include "support/Canvas.h"
#include "support/Files.h"
#include "support/Hooks.h"
#include "support/InstallSupport.h"
#include "support/Registry.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace {

using namespace testing_support;

constexpr int Width = 420;
constexpr int Height = 255;
// Rows that no control covers: the lines above the edit, and the two space lines.
constexpr int TopRowsEnd = 73;
constexpr int SpaceRowsBegin = 95;
constexpr int SpaceRowsEnd = 175;
constexpr char Prompt[] = "Please select the directory for install:";
constexpr char NoSpaceWarning[] = "There is not free space for install!\n\nPlease select another directory.";
constexpr char InvalidWarning[] = "Selected directory is not valid!\n\nPlease select another directory.";
constexpr char TooLongWarning[] = "Selected directory path is too long for install!\n\nPlease select another directory.";
constexpr char StagingWarning[] =
    "Selected directory holds the temporary files of Setup!\n\nPlease select another directory.";
constexpr char OtherVersionWarning[] =
    "Selected directory is inside the directory of another ZAV version!\n\nPlease select another directory.";
constexpr char WidestFigure[] = "9 999 999 999,99 GB";  // the widest figure freeSpaceText holds

HWND Page() { return g_setup.pageWindows[DestinationPageIndex]; }

// The page's texts drawn here independently, as the page should paint them.
void DrawPageTexts(Canvas& canvas, const char* neededFigure, const char* freeFigure)
{
    const struct {
        int x, y;
        const char* text;
    } texts[] = {
        {10, 10, "ZAV will be installed to directory listed bellow. If you can change install"},
        {10, 24, "directory, please push button Change. ZAV directory will be created."},
        {10, 54, "Install directory:"},
        {10, 119, "Needed space for installation:"},
        {10, 139, "Free space on destination disk:"},
        {190, 119, neededFigure},
        {190, 139, freeFigure},
    };
    SelectedObject font(canvas.Dc(), g_setup.guiFont);
    SetBkColor(canvas.Dc(), g_setup.backgroundColor);
    for (const auto& t : texts) {
        RECT area = {t.x, t.y, Width, Height};
        DrawTextA(canvas.Dc(), t.text, -1, &area, 0);
    }
    GdiFlush();
}

int DifferingPixels(const Pixels& shown, const Canvas& expected, int top, int bottom)
{
    int differing = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = 0; x < Width; ++x) differing += shown.At(x, y) != expected.At(x, y);
    return differing;
}

class DestinationPageTest : public testing::Test {
protected:
    struct CleanRegistry {
        CleanRegistry() { ResetProductKey(); }
        ~CleanRegistry() { ResetProductKey(); }
    } registry;
    Wizard wizard;
};

TEST_F(DestinationPageTest, StartsWithProgramFilesBothSizesAndAllOptions)
{
    char programFiles[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, programFiles);
    ASSERT_NE(programFiles[0], '\0');
    EXPECT_EQ(ClassName(Page()), "installthree");
    EXPECT_STREQ(g_setup.installBaseDir, programFiles);
    EXPECT_STREQ(g_setup.neededSpaceText, "1,40 MB");
    EXPECT_GT(g_setup.freeSpace, 0.0);
    EXPECT_STREQ(g_setup.freeSpaceText, FormatSize(g_setup.freeSpace));

    const struct {
        HWND window;
        int id;
        std::string text;
        RECT rect;
    } controls[] = {
        {g_setup.destinationEdit, 20, programFiles, {10, 75, 310, 93}},
        {g_setup.changeButton, 21, "Change", {320, 73, 400, 94}},
        {g_setup.startMenuCheck, 22, "Make Shortcut in Start Menu", {10, 175, 210, 195}},
        {g_setup.desktopCheck, 23, "Make Shortcut on Desktop", {10, 200, 210, 220}},
        {g_setup.groupCheck, 24, "Make group in Program Menu", {10, 225, 210, 245}},
    };
    for (const auto& c : controls) {
        SCOPED_TRACE(c.text);
        ASSERT_TRUE(c.window && GetParent(c.window) == Page());
        EXPECT_EQ(GetDlgCtrlID(c.window), c.id);
        EXPECT_EQ(WindowText(c.window), c.text);
        RECT rect = WindowRectInParent(c.window);
        EXPECT_TRUE(EqualRect(&rect, &c.rect)) << rect.left << "," << rect.top << "," << rect.right << "," << rect.bottom;
        EXPECT_EQ(IsWindowEnabled(c.window) != FALSE, c.id != 20);
        if (c.id >= 22) {
            // Plain check boxes, checked: the page sets every check mark itself.
            EXPECT_EQ(GetWindowLongA(c.window, GWL_STYLE) & BS_TYPEMASK, BS_CHECKBOX);
            EXPECT_TRUE(IsChecked(c.window));
        }
    }
    EXPECT_TRUE(g_setup.wantStartMenuShortcut && g_setup.wantDesktopShortcut && g_setup.wantProgramGroup);

    ShowPage(DestinationPageIndex);
    Pixels shown(Page());
    Canvas expected(Width, Height, g_setup.backgroundColor);
    DrawPageTexts(expected, "1,40 MB", g_setup.freeSpaceText);
    EXPECT_EQ(DifferingPixels(shown, expected, 0, TopRowsEnd), 0);
    EXPECT_EQ(DifferingPixels(shown, expected, SpaceRowsBegin, SpaceRowsEnd), 0);
}

TEST_F(DestinationPageTest, EachOptionTogglesItsFlagAndCheckMarkAndBack)
{
    const struct {
        HWND box;
        bool* flag;
    } options[] = {
        {g_setup.startMenuCheck, &g_setup.wantStartMenuShortcut},
        {g_setup.desktopCheck, &g_setup.wantDesktopShortcut},
        {g_setup.groupCheck, &g_setup.wantProgramGroup},
    };
    for (const auto& option : options) {
        SCOPED_TRACE(WindowText(option.box));
        for (bool expected : {false, true}) {
            Click(option.box);
            for (const auto& any : options) {
                bool state = any.box == option.box ? expected : true;
                EXPECT_EQ(*any.flag, state);
                EXPECT_EQ(IsChecked(any.box), state);
            }
        }
    }
}

// --- The default destination ----------------------------------------------------------------

class DefaultDestinationTest : public ProductKeyTest {};

TEST_F(DefaultDestinationTest, AnInstalledCopyOfThisVersionIsUpdatedWhereItStands)
{
    const std::string programFiles = SpecialFolder(CSIDL_PROGRAM_FILES);
    const std::string apps = MakeTempFolder("apps");
    const std::string installed = apps + "\\ZAV 1.00 beta 8";
    WriteTree(installed, {{"UserSettings", TreeFolderMark}, {"Zav.exe", "installed"}});
    CreateDirectoryA((apps + "\\zav").c_str(), nullptr);
    const std::string saved = CurrentDirectory();
    SetCurrentDirectoryA(apps.c_str());  // where a relative path would resolve

    const struct {
        const char* name;
        const char* version;       // the recorded version
        std::string programPath;   // empty: none recorded
        std::string expectedBase;
    } cases[] = {
        {"this version", "ZAV 1.00 beta 8", installed, apps},
        {"with a trailing backslash", "ZAV 1.00 beta 8", installed + "\\", apps},
        {"its folder gone", "ZAV 1.00 beta 8", apps + "\\gone\\ZAV 1.00 beta 8", programFiles},
        {"a folder of another name", "ZAV 1.00 beta 8", apps + "\\zav", programFiles},
        {"a relative path", "ZAV 1.00 beta 8", "ZAV 1.00 beta 8", programFiles},
        {"no path recorded", "ZAV 1.00 beta 8", "", programFiles},
        {"only another version", "ZAV 1.00 beta 7", installed, programFiles},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ResetProductKey();
        RecordVersion(c.version, true, c.programPath.empty() ? nullptr : c.programPath.c_str());
        Wizard wizard;

        EXPECT_EQ(std::string(g_setup.installBaseDir), c.expectedBase);
        EXPECT_EQ(WindowText(g_setup.destinationEdit), c.expectedBase);
        EXPECT_EQ(WindowText(g_setup.installDirEdit), c.expectedBase);
    }
    SetCurrentDirectoryA(saved.c_str());
    RemoveTree(apps);
}

// --- The Change loop ------------------------------------------------------------------------

enum class Browse { EnoughDisk, ShortDisk, MyComputer, Cancel };

struct ChangeCase {
    const char* name;
    std::vector<Browse> browsers;  // what the user does in each browser that opens
    std::vector<const char*> warnings;
    bool accepted;
    bool progressEdit;  // whether the progress page's edit is there
    // Another version recorded at the chosen folder's drive: a record that removal never acts
    // on (it refuses a drive) shuts nobody out of the folders below it.
    bool otherVersionAtDrive = false;
};
void PrintTo(const ChangeCase& c, std::ostream* out) { *out << c.name; }

class ChangeLoopTest : public DestinationPageTest, public testing::WithParamInterface<ChangeCase> {};

TEST_P(ChangeLoopTest, AcceptsOnlyAFolderWithEnoughSpaceAndKeepsTheOldOneOnCancel)
{
    const ChangeCase& c = GetParam();
    bool usesDisks = false;
    for (Browse b : c.browsers) usesDisks |= b == Browse::EnoughDisk || b == Browse::ShortDisk;
    if (usesDisks && !SmallDisksMounted())
        GTEST_SKIP() << "the small test disks are not mounted (needs root; see tests/support/small-disks.sh)";

    if (c.otherVersionAtDrive) RecordVersion("ZAV 0.98", true, SmallDiskPath("enough").substr(0, 3).c_str());
    // Without the progress page's edit the change must work all the same.
    if (!c.progressEdit) g_setup.installDirEdit = nullptr;
    ASSERT_EQ(g_setup.installDirEdit != nullptr, c.progressEdit);

    ShowPage(DestinationPageIndex);
    const std::string before = g_setup.installBaseDir;
    // Show the widest figure a disk can give, so that any remains of it would be seen.
    text::Copy(g_setup.freeSpaceText, WidestFigure);
    InvalidateRect(Page(), nullptr, TRUE);
    UpdateWindow(Page());

    MessageBoxAnswerer answerer(IDOK);
    size_t opened = 0, prompts = 0;
    bool allSelected = true;
    DialogWatcher watcher([&](HWND browser) {
        Browse action = opened < c.browsers.size() ? c.browsers[opened] : Browse::Cancel;
        ++opened;
        for (HWND text = nullptr; (text = FindWindowExA(browser, text, "Static", nullptr)) != nullptr;)
            prompts += IsWindowVisible(text) && WindowText(text) == Prompt;
        if (action == Browse::EnoughDisk || action == Browse::ShortDisk)
            allSelected &= SelectInFolderBrowser(browser, SmallDiskPath(action == Browse::EnoughDisk ? "enough" : "short"));
        if (action == Browse::MyComputer) {
            // No file-system path: OK is disabled, so the confirmation is sent past it.
            PIDLIST_ABSOLUTE computer = nullptr;
            SHGetFolderLocation(nullptr, CSIDL_DRIVES, nullptr, 0, &computer);
            SendMessageA(browser, BFFM_SETSELECTIONA, FALSE, reinterpret_cast<LPARAM>(computer));
            CoTaskMemFree(computer);
        }
        int button = action == Browse::Cancel ? IDCANCEL : IDOK;
        PostMessageA(browser, WM_COMMAND, button, reinterpret_cast<LPARAM>(GetDlgItem(browser, button)));
    });
    Click(g_setup.changeButton);
    // What shows now was drawn by the command itself, not by a later repaint.
    ValidateRect(Page(), nullptr);
    Pixels shown(Page());

    EXPECT_TRUE(allSelected);
    EXPECT_EQ(opened, c.browsers.size());
    EXPECT_EQ(prompts, opened);
    ASSERT_EQ(answerer.Calls().size(), c.warnings.size());
    for (size_t i = 0; i < c.warnings.size(); ++i) {
        const MessageBoxCall& call = answerer.Calls()[i];
        EXPECT_EQ(call.text, c.warnings[i]);
        EXPECT_EQ(call.caption, "Setup warning");
        EXPECT_EQ(call.style, static_cast<UINT>(MB_OK | MB_ICONWARNING));
        EXPECT_EQ(call.owner, g_setup.mainWindow);
    }

    std::string expectedDir = c.accepted ? SmallDiskPath("enough") : before;
    EXPECT_EQ(lstrcmpiA(g_setup.installBaseDir, expectedDir.c_str()), 0) << g_setup.installBaseDir;
    EXPECT_EQ(WindowText(g_setup.destinationEdit), g_setup.installBaseDir);
    if (c.progressEdit) {
        EXPECT_EQ(WindowText(g_setup.installDirEdit), g_setup.installBaseDir);
    }
    const char* figure = c.accepted ? "1,40 MB" : WidestFigure;
    EXPECT_STREQ(g_setup.freeSpaceText, figure);
    if (c.accepted) {
        EXPECT_EQ(g_setup.freeSpace, SmallDiskEnoughFreeBytes);
        Canvas expected(Width, Height, g_setup.backgroundColor);
        DrawPageTexts(expected, "1,40 MB", figure);
        EXPECT_EQ(DifferingPixels(shown, expected, SpaceRowsBegin, SpaceRowsEnd), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Destination, ChangeLoopTest,
    testing::Values(ChangeCase{"Accepted", {Browse::EnoughDisk}, {}, true, true},
                    ChangeCase{"AcceptedWithoutProgressEdit", {Browse::EnoughDisk}, {}, true, false},
                    ChangeCase{"AcceptedBelowAnotherVersionRecordedAtTheDrive", {Browse::EnoughDisk}, {}, true, true,
                               true},
                    ChangeCase{"Cancelled", {Browse::Cancel}, {}, false, true},
                    ChangeCase{"ShortDiskThenCancel", {Browse::ShortDisk, Browse::Cancel}, {NoSpaceWarning}, false, true},
                    ChangeCase{"ShortDiskThenEnoughDisk", {Browse::ShortDisk, Browse::EnoughDisk}, {NoSpaceWarning}, true, true},
                    ChangeCase{"NoPathThenCancel", {Browse::MyComputer, Browse::Cancel}, {InvalidWarning}, false, true}),
    [](const testing::TestParamInfo<ChangeCase>& info) { return std::string(info.param.name); });

// --- Folders where the installation cannot stand, whatever their free space ---------------
// The browser is replaced: it gives the folder once, then the user cancels.

enum class Refused {
    TooDeep,
    Unspellable,
    Templates,
    InTemplates,
    TemplatesThroughADrive,
    OtherVersion,
    InOtherVersion,
    OtherVersionThroughADrive,
};

// Makes, inside scratch or the staging folder, the folder a case stands for; a drive that a
// case maps is kept in `drive` for the test's run.
std::wstring MakeRefusedFolder(Refused kind, const std::string& scratch, std::unique_ptr<MappedDrive>& drive)
{
    const std::string templates = SpecialFolder(CSIDL_TEMPLATES);
    std::wstring folder;
    switch (kind) {
    case Refused::TooDeep:  // fits itself, but the product's deepest file would not
        folder = Widen(scratch + "\\" + std::string(MAX_PATH - 40 - scratch.size() - 1, 'd'));
        break;
    case Refused::Unspellable: folder = Widen(scratch) + L"\\x" + UnspellableCharacter(); break;
    case Refused::Templates: return Widen(templates);
    case Refused::InTemplates: folder = Widen(templates + "\\inside"); break;
    case Refused::TemplatesThroughADrive:
        drive.reset(new MappedDrive(templates));
        return Widen(drive->Root());
    case Refused::OtherVersion:
    case Refused::InOtherVersion:
    case Refused::OtherVersionThroughADrive: {
        // ZAV 0.99 recorded in a folder of its own, as its setup made it.
        const std::string other = scratch + "\\ZAV 0.99";
        CreateDirectoryA(other.c_str(), nullptr);
        RecordVersion("ZAV 0.99", true, other.c_str());
        if (kind == Refused::OtherVersion) return Widen(other);
        if (kind == Refused::InOtherVersion) {
            folder = Widen(other + "\\Tools");
            break;
        }
        drive.reset(new MappedDrive(other));
        return Widen(drive->Root());
    }
    }
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

std::wstring g_offeredFolder;
int g_browses = 0;

PIDLIST_ABSOLUTE WINAPI OfferingBrowser(BROWSEINFOA*)
{
    return ++g_browses == 1 ? ILCreateFromPathW(g_offeredFolder.c_str()) : nullptr;
}

struct RefusalCase {
    const char* name;
    Refused kind;
    const char* warning;
};
void PrintTo(const RefusalCase& c, std::ostream* out) { *out << c.name; }

class RefusedFolderTest : public DestinationPageTest, public testing::WithParamInterface<RefusalCase> {};

TEST_P(RefusedFolderTest, WarnsAndKeepsTheOldFolder)
{
    const RefusalCase& c = GetParam();
    if (c.kind == Refused::Unspellable && !UnspellableCharacter())
        GTEST_SKIP() << "the ANSI code page spells every character";
    const std::string scratch = MakeTempFolder("refused");
    std::unique_ptr<MappedDrive> drive;
    g_offeredFolder = MakeRefusedFolder(c.kind, scratch, drive);
    if (drive) {
        ASSERT_FALSE(drive->Root().empty());
    }
    g_browses = 0;
    ShowPage(DestinationPageIndex);
    const std::string before = g_setup.installBaseDir;
    {
        ImportPatch browser("shell32.dll", "SHBrowseForFolderA", reinterpret_cast<void*>(&OfferingBrowser));
        ASSERT_TRUE(browser.Active());
        MessageBoxAnswerer answerer(IDOK);
        Click(g_setup.changeButton);
        EXPECT_EQ(g_browses, 2);
        ASSERT_EQ(answerer.Calls().size(), 1u);
        EXPECT_EQ(answerer.Calls()[0].text, c.warning);
        EXPECT_EQ(answerer.Calls()[0].owner, g_setup.mainWindow);
    }
    EXPECT_EQ(g_setup.installBaseDir, before);
    EXPECT_EQ(WindowText(g_setup.destinationEdit), before);
    if (c.kind != Refused::Templates && !drive) RemoveDirectoryW(g_offeredFolder.c_str());
    RemoveTree(scratch);
}

INSTANTIATE_TEST_SUITE_P(
    Destination, RefusedFolderTest,
    testing::Values(RefusalCase{"TooDeep", Refused::TooDeep, TooLongWarning},
                    // The picker's ANSI path has "?" where the code page lacks a character.
                    RefusalCase{"Unspellable", Refused::Unspellable, InvalidWarning},
                    // Staging writes there and its clean-up deletes the product folder there.
                    RefusalCase{"Templates", Refused::Templates, StagingWarning},
                    RefusalCase{"InTemplates", Refused::InTemplates, StagingWarning},
                    // The same folder under a drive letter of its own, as subst makes one.
                    RefusalCase{"TemplatesThroughADrive", Refused::TemplatesThroughADrive, StagingWarning},
                    // Removing that version would delete this one with its folder.
                    RefusalCase{"OtherVersion", Refused::OtherVersion, OtherVersionWarning},
                    RefusalCase{"InOtherVersion", Refused::InOtherVersion, OtherVersionWarning},
                    RefusalCase{"OtherVersionThroughADrive", Refused::OtherVersionThroughADrive,
                                OtherVersionWarning}),
    [](const testing::TestParamInfo<RefusalCase>& info) { return std::string(info.param.name); });

} // namespace
