#include <gtest/gtest.h>

#include <shlobj.h>
#include <shlwapi.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/Removal.h"
#include "shell/SetupState.h"
#include "shell/Text.h"
#include "support/TestSupport.h"

using namespace testing_support;

namespace {

std::string VersionKey(const std::string& name) { return "Software\\ZAV\\" + name; }

std::string ShellFolder(int csidl)
{
    char folder[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, folder);
    return folder;
}

// A throwaway tree with stand-in Desktop, Start menu and Programs folders, and a few
// recorded stand-in installations inside it.
class RemovalTest : public ::testing::Test {
public:
    void SetUp() override
    {
        ResetProductKey();
        ResetSetupState();
        root = MakeTempFolder("removal");
        folders = std::make_unique<StandInShellFolders>(root + "\\Profile");
    }

    void TearDown() override
    {
        folders.reset();
        RemoveTree(root);
        ResetProductKey();
    }

    std::string ProgramDir(const std::string& name) { return root + "\\Programs Base\\" + name; }

    void Install(const std::string& name)
    {
        CreateDirectoryA((root + "\\Programs Base").c_str(), nullptr);
        MakeStandInInstallation(name, ProgramDir(name), *folders);
    }

    bool Remove(const std::string& name)
    {
        text::Copy(g_setup.selectedVersionName, name.c_str());
        return RemoveInstalledVersion();
    }

    std::string DesktopLink(const std::string& name) { return folders->desktop + "\\" + name + ".lnk"; }
    std::string StartMenuLink(const std::string& name) { return folders->startMenu + "\\" + name + ".lnk"; }
    std::string Group(const std::string& name) { return folders->programs + "\\" + name; }

    void ExpectInstalled(const std::string& name)
    {
        EXPECT_TRUE(FileExists(ProgramDir(name) + "\\Zav.exe")) << name;
        EXPECT_TRUE(FileExists(ProgramDir(name) + "\\UserSettings\\settings.ini")) << name;
        EXPECT_TRUE(FileExists(DesktopLink(name))) << name;
        EXPECT_TRUE(FileExists(StartMenuLink(name))) << name;
        EXPECT_TRUE(FileExists(Group(name) + "\\" + name + ".lnk")) << name;
        EXPECT_TRUE(KeyExists(VersionKey(name) + "\\Directories")) << name;
    }

    void ExpectGone(const std::string& name)
    {
        EXPECT_FALSE(DirectoryExists(ProgramDir(name))) << name;
        EXPECT_FALSE(FileExists(DesktopLink(name))) << name;
        EXPECT_FALSE(FileExists(StartMenuLink(name))) << name;
        EXPECT_FALSE(DirectoryExists(Group(name))) << name;
        EXPECT_FALSE(KeyExists(VersionKey(name))) << name;
    }

    std::string root;
    std::unique_ptr<StandInShellFolders> folders;
};

// Holds a file open the way a running program would, without FILE_SHARE_DELETE.
class HeldFile {
public:
    explicit HeldFile(const std::string& path)
        : handle_(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr))
    {
    }
    ~HeldFile() { Release(); }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    bool Held() const { return handle_ != INVALID_HANDLE_VALUE; }
    void Release()
    {
        if (Held()) CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE handle_;
};

} // namespace

TEST_F(RemovalTest, RemovingTheOnlyVersionDeletesEverythingAndTheProductKey)
{
    Install(ProductVersionName);
    ExpectInstalled(ProductVersionName);

    EXPECT_TRUE(Remove(ProductVersionName));
    ExpectGone(ProductVersionName);
    EXPECT_FALSE(KeyExists("Software\\ZAV"));
    // The stand-in shell folders themselves stay.
    EXPECT_TRUE(DirectoryExists(folders->programs));
    EXPECT_TRUE(DirectoryExists(folders->desktop));
    EXPECT_STREQ(g_setup.selectedVersionName, ProductVersionName);
}

TEST_F(RemovalTest, RemovingOneOfTwoLeavesTheOtherAndTheProductKey)
{
    Install("ZAV 1.00 beta 7");
    Install(ProductVersionName);

    EXPECT_TRUE(Remove("ZAV 1.00 beta 7"));
    ExpectGone("ZAV 1.00 beta 7");
    ExpectInstalled(ProductVersionName);
    EXPECT_TRUE(KeyExists("Software\\ZAV"));
}

TEST_F(RemovalTest, MissingPiecesAreSkipped)
{
    struct Case {
        const char* label;
        void (*breakIt)(RemovalTest& test, const std::string& name);
    };
    const Case cases[] = {
        {"program folder deleted by hand",
         [](RemovalTest& t, const std::string& n) { RemoveTree(t.ProgramDir(n)); }},
        {"shortcuts and group deleted by hand",
         [](RemovalTest& t, const std::string& n) {
             DeleteFileA(t.DesktopLink(n).c_str());
             DeleteFileA(t.StartMenuLink(n).c_str());
             RemoveTree(t.Group(n));
         }},
        {"no program path recorded",
         [](RemovalTest&, const std::string& n) {
             SHDeleteValueA(HKEY_CURRENT_USER, (VersionKey(n) + "\\Directories").c_str(), "Program Path");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ResetProductKey();
        Install("ZAV 1.00 beta 6");
        c.breakIt(*this, "ZAV 1.00 beta 6");

        EXPECT_TRUE(Remove("ZAV 1.00 beta 6"));
        EXPECT_FALSE(FileExists(DesktopLink("ZAV 1.00 beta 6")));
        EXPECT_FALSE(DirectoryExists(Group("ZAV 1.00 beta 6")));
        EXPECT_FALSE(KeyExists("Software\\ZAV"));
        RemoveTree(ProgramDir("ZAV 1.00 beta 6"));  // stays when no path names it
    }
}

TEST_F(RemovalTest, AFolderInUseFailsAndKeepsTheRecordUntilItIsFree)
{
    Install("ZAV 1.00 beta 5");
    HeldFile held(ProgramDir("ZAV 1.00 beta 5") + "\\UserSettings\\settings.ini");
    ASSERT_TRUE(held.Held());

    EXPECT_FALSE(Remove("ZAV 1.00 beta 5"));
    EXPECT_TRUE(FileExists(ProgramDir("ZAV 1.00 beta 5") + "\\UserSettings\\settings.ini"));
    EXPECT_TRUE(KeyExists(VersionKey("ZAV 1.00 beta 5") + "\\Directories"));
    // The removal stops at the folder: shortcuts and group are still there.
    EXPECT_TRUE(FileExists(DesktopLink("ZAV 1.00 beta 5")));
    EXPECT_TRUE(DirectoryExists(Group("ZAV 1.00 beta 5")));

    held.Release();
    EXPECT_TRUE(Remove("ZAV 1.00 beta 5"));
    ExpectGone("ZAV 1.00 beta 5");
}

TEST_F(RemovalTest, AShortcutInUseKeepsTheRecordButTheRestGoes)
{
    Install("ZAV 1.00 beta 5");
    HeldFile held(DesktopLink("ZAV 1.00 beta 5"));
    ASSERT_TRUE(held.Held());

    EXPECT_FALSE(Remove("ZAV 1.00 beta 5"));
    EXPECT_FALSE(DirectoryExists(ProgramDir("ZAV 1.00 beta 5")));
    EXPECT_TRUE(FileExists(DesktopLink("ZAV 1.00 beta 5")));
    EXPECT_FALSE(FileExists(StartMenuLink("ZAV 1.00 beta 5")));
    EXPECT_FALSE(DirectoryExists(Group("ZAV 1.00 beta 5")));  // the group step still ran
    EXPECT_TRUE(KeyExists(VersionKey("ZAV 1.00 beta 5")));

    held.Release();
    EXPECT_TRUE(Remove("ZAV 1.00 beta 5"));
    ExpectGone("ZAV 1.00 beta 5");
}

TEST_F(RemovalTest, UnsafeRecordedPathsDeleteNothing)
{
    // Markers in every stand-in folder that a careless removal could reach.
    const std::vector<std::string> markers = {
        root + "\\marker.txt", folders->desktop + "\\marker.txt", folders->startMenu + "\\marker.txt",
        folders->programs + "\\marker.txt", root + "\\Programs Base\\marker.txt"};
    const std::string name = "ZAV 0.9";
    const std::string programs = folders->programs;
    const std::string cases[] = {
        "",                                        // nothing recorded but an empty text
        programs,                                  // the Programs folder itself
        programs + "\\",                           // ... spelt with a trailing backslash
        programs + "\\..\\Programs",               // ... spelt roundabout
        folders->startMenu,                        // the Start menu folder
        folders->desktop,                          // the desktop folder
        root,                                      // contains all three
        root + "\\PROFILE",                        // ... as does this, in other case
        root + "\\Profile\\Start Menu\\Programs\\..\\..",
        "Programs Base",                           // relative to the current directory
        root.substr(0, 2) + "Programs Base",       // relative to the drive's current directory
        root + "\\Programs Base\\*",               // wildcards widen a deletion
        root + "\\Programs Base\\ZAV ?.9",
        folders->desktop + ".",                    // the file system would drop the dot
        root + "\\marker.txt",                     // a file, not a folder
        folders->desktop + ":stream",
    };
    for (const std::string& path : cases) {
        SCOPED_TRACE("Program Path \"" + path + "\"");
        ResetProductKey();
        Install(name);
        RecordVersion(name, true, path.c_str());
        for (const std::string& marker : markers) WriteFile(marker, "keep");

        EXPECT_FALSE(Remove(name));
        for (const std::string& marker : markers) EXPECT_TRUE(FileExists(marker)) << marker;
        ExpectInstalled(name);
    }
}

TEST_F(RemovalTest, UnusableVersionNamesDeleteNothing)
{
    const std::string tooLong(235, 'Z');
    const std::string cases[] = {
        "",            // would name the Programs folder itself
        "..",          // would name the Start menu folder
        "..\\..\\Desktop",
        "Sub\\Folder",
        "ZAV..",
        "ZAV 0.9.",    // the trailing dot would be dropped: another version's group
        "ZAV 0.9 ",
        "ZAV*",
        "ZAV 0:9",
        tooLong,
    };
    const std::string marker = folders->desktop + "\\marker.txt";
    for (const std::string& name : cases) {
        SCOPED_TRACE("name \"" + name + "\"");
        ResetProductKey();
        Install("ZAV 0.9");
        WriteFile(marker, "keep");
        if (!name.empty()) RecordVersion(name, true, ProgramDir("ZAV 0.9").c_str());

        EXPECT_FALSE(Remove(name));
        EXPECT_TRUE(FileExists(marker));
        ExpectInstalled("ZAV 0.9");
        if (!name.empty()) {
            EXPECT_TRUE(KeyExists(VersionKey(name)));
        }
    }
}

TEST(RemovalNames, TheRecordsKeyPathBoundsTheNameLength)
{
    // "Software\ZAV\<name>\Directories" must fit in 259 characters.
    EXPECT_TRUE(IsUsableVersionName(std::string(234, 'Z').c_str()));
    EXPECT_FALSE(IsUsableVersionName(std::string(235, 'Z').c_str()));
    EXPECT_TRUE(IsUsableVersionName("ZAV 1.00 beta 8"));
    EXPECT_TRUE(IsUsableVersionName("No previous configuration"));
}

TEST(RemovalSafety, SystemAndUserFoldersAreNeverDeletedWhole)
{
    ResetSetupState();
    const std::string windows = ShellFolder(CSIDL_WINDOWS);
    const std::string programFiles = ShellFolder(CSIDL_PROGRAM_FILES);
    const std::string profile = ShellFolder(CSIDL_PROFILE);
    const std::string profiles = profile.substr(0, profile.rfind('\\'));
    const std::string drive = windows.substr(0, 3);
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    ASSERT_FALSE(windows.empty());
    ASSERT_FALSE(programFiles.empty());
    ASSERT_FALSE(profile.empty());

    const std::string unsafe[] = {
        drive,                                    // "C:\"
        drive.substr(0, 2),                       // "C:" is the current directory of C:
        windows,
        windows + "\\system32",
        windows + "\\Fonts",                      // nothing of ours lives in the system folder
        programFiles,
        programFiles + "\\",
        programFiles + "\\ZAV\\..",
        programFiles + "\\..",
        profile,
        profiles,                                 // "C:\users": contains every profile
        ShellFolder(CSIDL_DESKTOPDIRECTORY),
        ShellFolder(CSIDL_STARTMENU),
        ShellFolder(CSIDL_PROGRAMS),
        ShellFolder(CSIDL_APPDATA),
        ShellFolder(CSIDL_COMMON_PROGRAMS),
        temp,
        "\\\\server\\share",
        "\\\\server\\share\\",
        "\\\\?\\" + programFiles + "\\ZAV",
        "\\\\.\\" + drive.substr(0, 2),
        "\\Program Files\\ZAV",
        "",
    };
    for (const std::string& path : unsafe) {
        char resolved[MAX_PATH] = "unchanged";
        EXPECT_FALSE(IsSafeFolderToDelete(path.c_str(), resolved)) << path;
        EXPECT_STREQ(resolved, "") << path;
    }

    // Lower or upper case makes no difference.
    std::string upper = programFiles;
    CharUpperBuffA(&upper[0], static_cast<DWORD>(upper.size()));
    char resolved[MAX_PATH];
    EXPECT_FALSE(IsSafeFolderToDelete(upper.c_str(), resolved));

    struct Safe {
        std::string path;
        std::string resolved;
    };
    const Safe safe[] = {
        {programFiles + "\\ZAV 1.00 beta 8", programFiles + "\\ZAV 1.00 beta 8"},
        {programFiles + "\\Old\\..\\ZAV 1.00 beta 8\\", programFiles + "\\ZAV 1.00 beta 8"},
        {ShellFolder(CSIDL_PROGRAMS) + "\\ZAV 1.00 beta 8", ShellFolder(CSIDL_PROGRAMS) + "\\ZAV 1.00 beta 8"},
        {"\\\\server\\share\\ZAV", "\\\\server\\share\\ZAV"},
    };
    for (const Safe& s : safe) {
        EXPECT_TRUE(IsSafeFolderToDelete(s.path.c_str(), resolved)) << s.path;
        EXPECT_STREQ(resolved, s.resolved.c_str()) << s.path;
    }
}
