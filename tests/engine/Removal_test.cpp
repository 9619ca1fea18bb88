#include <gtest/gtest.h>

#include <shlobj.h>
#include <shlwapi.h>

#include <string>

#include "engine/Removal.h"
#include "shell/SetupState.h"
#include "shell/Text.h"
#include "support/TestSupport.h"

using namespace testing_support;

namespace {

class RemovalTest : public ::testing::Test {
public:
    void SetUp() override
    {
        ResetProductKey();
        ResetSetupState();
    }
    void TearDown() override { ResetProductKey(); }

    std::string Dir(const std::string& name) { return stand.ProgramDir(name); }
    void Install(const std::string& name) { stand.Install(name); }
    int Left(const std::string& name) { return stand.Left(name); }
    bool Remove(const std::string& name)
    {
        text::Copy(g_setup.selectedVersionName, name.c_str());
        return RemoveInstalledVersion();
    }

    StandInInstallations stand;
    const StandInShellFolders& folders = stand.folders;
    const std::string& root = stand.root;
};

} // namespace

TEST_F(RemovalTest, RemovesWhatItFindsAndSkipsWhatIsAlreadyGone)
{
    struct Case {
        const char* label;
        bool otherVersion;
        void (*before)(RemovalTest& t, const std::string& name);
    };
    const Case cases[] = {
        {"the only version", false, [](RemovalTest&, const std::string&) {}},
        {"one of two", true, [](RemovalTest&, const std::string&) {}},
        {"folder deleted by hand", false, [](RemovalTest& t, const std::string& n) { RemoveTree(t.Dir(n)); }},
        {"links and group deleted by hand", false,
         [](RemovalTest& t, const std::string& n) {
             RemoveTree(t.stand.DesktopLink(n));
             RemoveTree(t.folders.startMenu + "\\" + n + ".lnk");
             RemoveTree(t.folders.programs + "\\" + n);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ResetProductKey();
        Install("ZAV 1.00 beta 7");
        if (c.otherVersion) Install(ProductVersionName);
        c.before(*this, "ZAV 1.00 beta 7");

        EXPECT_TRUE(Remove("ZAV 1.00 beta 7"));
        EXPECT_EQ(Left("ZAV 1.00 beta 7"), 0);
        EXPECT_EQ(KeyExists("Software\\ZAV"), c.otherVersion);
        if (c.otherVersion) {
            EXPECT_EQ(Left(ProductVersionName), 5);
        }
        EXPECT_STREQ(g_setup.selectedVersionName, "ZAV 1.00 beta 7");
    }

    // Without a recorded path the folder stays; the rest goes.
    Install("ZAV 1.00 beta 6");
    SHDeleteValueA(HKEY_CURRENT_USER, "Software\\ZAV\\ZAV 1.00 beta 6\\Directories", "Program Path");
    EXPECT_TRUE(Remove("ZAV 1.00 beta 6"));
    EXPECT_EQ(Left("ZAV 1.00 beta 6"), 1);
    EXPECT_TRUE(DirectoryExists(Dir("ZAV 1.00 beta 6")));
}

TEST_F(RemovalTest, SomethingInUseKeepsTheRecordUntilALaterAttempt)
{
    // A file held open without FILE_SHARE_DELETE, as a running program holds it. A held
    // program folder stops the removal at once; a held shortcut only after the group step.
    struct Case {
        const char* label;
        std::string (*held)(RemovalTest& t);
        int left;
    };
    const Case cases[] = {
        {"program folder", [](RemovalTest& t) { return t.Dir("ZAV 1.00 beta 5") + "\\UserSettings\\settings.ini"; }, 5},
        {"desktop shortcut", [](RemovalTest& t) { return t.stand.DesktopLink("ZAV 1.00 beta 5"); }, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Install("ZAV 1.00 beta 5");
        HANDLE held = CreateFileA(c.held(*this).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        EXPECT_FALSE(Remove("ZAV 1.00 beta 5"));
        EXPECT_EQ(Left("ZAV 1.00 beta 5"), c.left);
        EXPECT_TRUE(KeyExists("Software\\ZAV\\ZAV 1.00 beta 5\\Directories"));
        EXPECT_TRUE(FileExists(c.held(*this)));

        CloseHandle(held);
        EXPECT_TRUE(Remove("ZAV 1.00 beta 5"));
        EXPECT_EQ(Left("ZAV 1.00 beta 5"), 0);
    }
}

TEST_F(RemovalTest, UnsafeNamesAndRecordedPathsDeleteNothing)
{
    const std::string programs = folders.programs;
    const std::string good = "ZAV 0.9";
    struct Case {
        std::string name;
        std::string path;  // "Program Path" recorded for the name
    };
    const Case cases[] = {
        {good, ""},
        {good, programs},                              // the Programs folder itself...
        {good, programs + "\\"},                       // ...spelt with a trailing backslash
        {good, programs + "\\..\\Programs"},           // ...or roundabout
        {good, folders.startMenu},
        {good, folders.desktop},
        {good, root},                                  // contains all three
        {good, root + "\\PROFILE"},                    // as does this, in other case
        {good, programs + "\\..\\.."},
        {good, "Base\\" + good},                       // relative to the current directory
        {good, root.substr(0, 2) + "Base"},            // relative to the drive's current one
        {good, root + "\\Base\\*"},                    // wildcards widen a deletion
        {good, root + "\\Base\\ZAV ?.9"},
        {good, folders.desktop + "."},                // the file system drops the dot
        {good, folders.desktop + ":stream"},
        {good, root + "\\marker.txt"},                 // a file, not a folder
        {"", root + "\\Base\\" + good},                // would name the Programs folder
        {"..", root + "\\Base\\" + good},              // would name the Start menu
        {"..\\..\\Desktop", root + "\\Base\\" + good},
        {"ZAV..", root + "\\Base\\" + good},
        {"ZAV 0.9.", root + "\\Base\\" + good},        // would name ZAV 0.9's group
        {"ZAV 0.9 ", root + "\\Base\\" + good},
        {"ZAV*", root + "\\Base\\" + good},
        {"ZAV 0:9", root + "\\Base\\" + good},
        {std::string(235, 'Z'), root + "\\Base\\" + good},  // its record's key path is too long
    };
    const std::string markers[] = {root + "\\marker.txt", folders.desktop + "\\marker.txt",
                                   folders.startMenu + "\\marker.txt", programs + "\\marker.txt",
                                   root + "\\Base\\marker.txt"};
    for (const Case& c : cases) {
        SCOPED_TRACE("name \"" + c.name + "\", path \"" + c.path + "\"");
        ResetProductKey();
        Install(good);
        if (!c.name.empty()) RecordVersion(c.name, true, c.path.c_str());
        for (const std::string& marker : markers) WriteFile(marker, "keep");

        EXPECT_FALSE(Remove(c.name));
        for (const std::string& marker : markers) EXPECT_TRUE(FileExists(marker)) << marker;
        EXPECT_EQ(Left(good), 5);
        EXPECT_TRUE(c.name.empty() || KeyExists("Software\\ZAV\\" + c.name));
    }
    EXPECT_TRUE(IsUsableVersionName(std::string(234, 'Z').c_str()));
}

TEST(RemovalSafety, SystemAndUserFoldersAreNeverDeletedWhole)
{
    ResetSetupState();
    auto folder = [](int csidl) {
        char path[MAX_PATH] = "";
        SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
        return std::string(path);
    };
    const std::string windows = folder(CSIDL_WINDOWS);
    const std::string programFiles = folder(CSIDL_PROGRAM_FILES);
    const std::string profile = folder(CSIDL_PROFILE);
    std::string upper = programFiles;
    CharUpperBuffA(&upper[0], static_cast<DWORD>(upper.size()));
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    ASSERT_FALSE(windows.empty() || programFiles.empty() || profile.empty());

    const std::string unsafe[] = {
        windows.substr(0, 3), windows.substr(0, 2), windows, windows + "\\Fonts", programFiles, upper,
        programFiles + "\\", programFiles + "\\ZAV\\..", programFiles + "\\..", profile,
        profile.substr(0, profile.rfind('\\')),  // the folder of all profiles
        folder(CSIDL_DESKTOPDIRECTORY), folder(CSIDL_STARTMENU), folder(CSIDL_PROGRAMS), folder(CSIDL_APPDATA),
        folder(CSIDL_COMMON_PROGRAMS), temp, "\\\\server\\share", "\\\\server\\share\\",
        "\\\\?\\" + programFiles + "\\ZAV", "\\\\.\\" + windows.substr(0, 2), "\\Program Files\\ZAV", "",
    };
    char resolved[MAX_PATH];
    for (const std::string& path : unsafe) {
        text::Copy(resolved, "unchanged");
        EXPECT_FALSE(IsSafeFolderToDelete(path.c_str(), resolved)) << path;
        EXPECT_STREQ(resolved, "") << path;
    }

    const std::string safe[][2] = {
        {programFiles + "\\ZAV 1.00 beta 8", programFiles + "\\ZAV 1.00 beta 8"},
        {programFiles + "\\Old\\..\\ZAV 1.00 beta 8\\", programFiles + "\\ZAV 1.00 beta 8"},
        {folder(CSIDL_PROGRAMS) + "\\ZAV 1.00 beta 8", folder(CSIDL_PROGRAMS) + "\\ZAV 1.00 beta 8"},
        {"\\\\server\\share\\ZAV", "\\\\server\\share\\ZAV"},
    };
    for (const auto& s : safe) {
        EXPECT_TRUE(IsSafeFolderToDelete(s[0].c_str(), resolved)) << s[0];
        EXPECT_EQ(resolved, s[1]);
    }
}
