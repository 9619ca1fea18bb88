#include <gtest/gtest.h>

#include <shlobj.h>
#include <shlwapi.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "engine/Removal.h"
#include "registry/Registry.h"
#include "shell/SetupState.h"
#include "shell/Text.h"
#include "support/Files.h"
#include "support/InstallSupport.h"
#include "support/Registry.h"

using namespace testing_support;

namespace {

// The names in a tree, without their contents: a program's bytes make a poor message.
std::vector<std::string> Names(const Tree& tree)
{
    std::vector<std::string> names;
    for (const auto& entry : tree) names.push_back(entry.first);
    return names;
}

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
    RemovalResult RemoveFor(const std::string& name)
    {
        text::Copy(g_setup.selectedVersionName, name.c_str());
        return RemoveInstalledVersion();
    }
    bool Remove(const std::string& name) { return RemoveFor(name).outcome == RemovalOutcome::Removed; }
    void ExpectRefused(const std::string& name, Refusal refusal)
    {
        RemovalResult result = RemoveFor(name);
        EXPECT_EQ(result.outcome, RemovalOutcome::Refused) << name;
        EXPECT_EQ(result.refusal, refusal) << name;
        EXPECT_TRUE(KeyExists("Software\\ZAV\\" + name + "\\Directories")) << name;
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

TEST_F(RemovalTest, LinksInsideTheFolderAreNeverFollowed)
{
    // Each case has a version of its own: a link that the platform cannot remove keeps its
    // version's record for a later attempt.
    struct Case {
        const char* name;
        std::string (*link)(RemovalTest& t, const std::string& name);
        bool toFolder;
    };
    const Case cases[] = {
        {"ZAV 0.71", [](RemovalTest& t, const std::string& n) { return t.Dir(n) + "\\Elsewhere"; }, true},
        {"ZAV 0.72", [](RemovalTest& t, const std::string& n) { return t.Dir(n) + "\\UserSettings\\Elsewhere"; }, true},
        {"ZAV 0.73", [](RemovalTest& t, const std::string& n) { return t.folders.programs + "\\" + n + "\\Elsewhere"; }, true},
        {"ZAV 0.74", [](RemovalTest& t, const std::string& n) { return t.Dir(n) + "\\UserSettings\\kept.txt"; }, false},
    };
    const std::string outside = root + "\\Outside";
    CreateDirectoryA(outside.c_str(), nullptr);
    WriteFile(outside + "\\kept.txt", "keep");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Install(c.name);
        const std::string link = c.link(*this, c.name);
        ASSERT_TRUE(MakeLink(link, c.toFolder ? outside : outside + "\\kept.txt")) << link;

        bool removed = Remove(c.name);
        EXPECT_EQ(ReadFile(outside + "\\kept.txt"), "keep");
        if (removed) {
            EXPECT_EQ(Left(c.name), 0);
        } else {
            EXPECT_TRUE(KeyExists(std::string("Software\\ZAV\\") + c.name));
            EXPECT_TRUE(IsLink(link) || FileExists(link));
            DropLink(link);
        }
    }
}

TEST_F(RemovalTest, EmptyAndExpandableRecordedPathsAreRemoved)
{
    const std::string name = "ZAV 0.8";
    const std::string profile = SpecialFolder(CSIDL_PROFILE | CSIDL_FLAG_DONT_VERIFY);
    ASSERT_FALSE(profile.empty());
    ASSERT_EQ(CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, root.c_str(), static_cast<int>(profile.size()),
                             profile.c_str(), -1), CSTR_EQUAL) << root;
    SetEnvironmentVariableA("ZAV_REMOVAL_ROOT", root.c_str());
    struct Case {
        const char* label;
        DWORD type;
        std::string path;
        int left;  // an empty path names no folder, so the folder stays
    };
    const Case cases[] = {
        {"empty", REG_SZ, "", 1},
        {"a variable of our own", REG_EXPAND_SZ, "%ZAV_REMOVAL_ROOT%\\Base\\" + name, 0},
        {"the user's profile", REG_EXPAND_SZ, "%USERPROFILE%" + root.substr(profile.size()) + "\\Base\\" + name, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ResetProductKey();
        Install(name);
        SHSetValueA(HKEY_CURRENT_USER, ("Software\\ZAV\\" + name + "\\Directories").c_str(), "Program Path", c.type,
                    c.path.c_str(), static_cast<DWORD>(c.path.size()));
        WriteFile(root + "\\marker.txt", "keep");

        EXPECT_TRUE(Remove(name));
        EXPECT_EQ(Left(name), c.left);
        EXPECT_FALSE(KeyExists("Software\\ZAV"));
        EXPECT_TRUE(FileExists(root + "\\marker.txt"));
        RemoveTree(Dir(name));
    }
    SetEnvironmentVariableA("ZAV_REMOVAL_ROOT", nullptr);
}

TEST_F(RemovalTest, SomethingInUseKeepsTheRecordUntilALaterAttempt)
{
    // A file held open without FILE_SHARE_DELETE, as a running program holds it, or the product
    // itself running from the folder. A program folder in use stops the removal before any of
    // it is deleted; a held shortcut only after the group step.
    struct Case {
        const char* label;
        std::string (*held)(RemovalTest& t);
        bool run;  // started as a program rather than held open
        int left;
    };
    const Case cases[] = {
        {"program folder", [](RemovalTest& t) { return t.Dir("ZAV 1.00 beta 5") + "\\UserSettings\\settings.ini"; }, false, 5},
        {"running program", [](RemovalTest& t) { return t.Dir("ZAV 1.00 beta 5") + "\\Zav.exe"; }, true, 5},
        {"desktop shortcut", [](RemovalTest& t) { return t.stand.DesktopLink("ZAV 1.00 beta 5"); }, false, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Install("ZAV 1.00 beta 5");
        const std::string held = c.held(*this);
        HANDLE holder = INVALID_HANDLE_VALUE;
        if (c.run) {
            ASSERT_TRUE(CopyFileA(BuildPath("product\\Zav.exe").c_str(), held.c_str(), FALSE));
            STARTUPINFOA startup{};
            startup.cb = sizeof startup;
            PROCESS_INFORMATION process{};
            std::string command = "\"" + held + "\"";
            ASSERT_TRUE(CreateProcessA(held.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                       &startup, &process));
            CloseHandle(process.hThread);
            WaitForInputIdle(process.hProcess, 10000);
            holder = process.hProcess;
        } else {
            holder = CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
            ASSERT_NE(holder, INVALID_HANDLE_VALUE);
        }
        const Tree before = ReadTree(Dir("ZAV 1.00 beta 5"));
        EXPECT_FALSE(Remove("ZAV 1.00 beta 5"));
        EXPECT_EQ(Left("ZAV 1.00 beta 5"), c.left);
        if (c.left == 5) {
            EXPECT_EQ(Names(ReadTree(Dir("ZAV 1.00 beta 5"))), Names(before));  // not half deleted
        }
        EXPECT_TRUE(KeyExists("Software\\ZAV\\ZAV 1.00 beta 5\\Directories"));
        EXPECT_TRUE(FileExists(held));

        if (c.run) {
            TerminateProcess(holder, 0);
            WaitForSingleObject(holder, 10000);
        }
        CloseHandle(holder);
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
    const std::string media = root + "\\Profile\\Media";
    const std::string music = SpecialFolder(CSIDL_MYMUSIC | CSIDL_FLAG_DONT_VERIFY);
    const std::string favorites = SpecialFolder(CSIDL_FAVORITES | CSIDL_FLAG_DONT_VERIFY);
    const std::string publicDocuments = SpecialFolder(CSIDL_COMMON_DOCUMENTS | CSIDL_FLAG_DONT_VERIFY);
    const Case cases[] = {
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
        {good, folders.pictures},                      // the user's and the common shell folders
        {good, music},
        {good, favorites},
        {good, publicDocuments},
        {good, media},                                 // holds only Pictures
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
                                   root + "\\Base\\marker.txt", folders.pictures + "\\marker.txt",
                                   media + "\\marker.txt", music + "\\zav-marker.txt",
                                   favorites + "\\zav-marker.txt", publicDocuments + "\\zav-marker.txt"};
    for (const std::string& folder : {music, favorites, publicDocuments}) {
        ASSERT_FALSE(folder.empty());
        CreateDirectoryA(folder.c_str(), nullptr);
    }
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
    for (const std::string& marker : markers) DeleteFileA(marker.c_str());
    EXPECT_TRUE(IsUsableVersionName(std::string(234, 'Z').c_str()));
}

TEST_F(RemovalTest, AFolderHoldingWhereAProtectedFolderLeadsIsRefused)
{
    // Wine makes Documents and Pictures links into the Unix home, as a junction does on Windows:
    // the folder that holds a link's target is the user's home, and holds the folder too.
    const std::string profile = root + "\\Profile", home = root + "\\Home";
    CreateDirectoryA(home.c_str(), nullptr);
    struct Case {
        const char* name;        // recorded at home\<name>, the folder the link leads into
        const char* link;        // in the stand-in profile, made a link
        const char* target;      // where it leads, below home\<name> ("" for that folder itself)
        const char* shellValue;  // the shell folder that the profile path below names
        const char* shellPath;
    };
    const Case cases[] = {
        {"ZAV 0.61", "Media\\Pictures", "Pictures", "My Pictures", "Media\\Pictures"},
        {"ZAV 0.62", "Documents", "Unix\\Documents", "Personal", "Documents"},  // two folders above
        {"ZAV 0.63", "Media", "Media", "My Pictures", "Media\\Pictures"},       // a link above the folder
        {"ZAV 0.64", "Media\\Pictures", "", "My Pictures", "Media\\Pictures"},  // the target itself
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string holder = home + "\\" + c.name;
        const std::string target = c.target[0] ? holder + "\\" + c.target : holder;
        const std::string link = profile + "\\" + c.link;
        CreateDirectoryA(holder.c_str(), nullptr);
        CreateDirectoryA((holder + "\\Unix").c_str(), nullptr);
        CreateDirectoryA(target.c_str(), nullptr);
        WriteFile(holder + "\\Zav.exe", "stand-in program");  // as the product's folder would
        WriteFile(target + "\\marker.txt", "keep");
        RemoveTree(link);
        ASSERT_TRUE(MakeLink(link, target)) << link;
        CreateDirectoryA((profile + "\\" + c.shellPath).c_str(), nullptr);
        {
            RedirectedShellFolder redirect(c.shellValue, profile + "\\" + c.shellPath);
            RecordVersion(c.name, true, holder.c_str());
            ExpectRefused(c.name, Refusal::ProtectedFolder);
        }
        EXPECT_EQ(ReadFile(target + "\\marker.txt"), "keep");
        EXPECT_EQ(ReadFile(holder + "\\Zav.exe"), "stand-in program");
        DropLink(link);
        CreateDirectoryA(folders.pictures.substr(0, folders.pictures.rfind('\\')).c_str(), nullptr);
        CreateDirectoryA(folders.pictures.c_str(), nullptr);
    }
}

TEST_F(RemovalTest, AFolderHoldingAnotherVersionsFolderIsRefused)
{
    // This version installed with another version's program folder as its base, and the like.
    struct Case {
        const char* outer;  // the version removed first, installed as the stand-in does
        std::string (*inner)(RemovalTest& t, const std::string& outer);  // where this version is
        Refusal refusal;
        bool nested;  // false: both name one folder, and neither may go
    };
    const Case cases[] = {
        {"ZAV 0.99", [](RemovalTest& t, const std::string& o) { return t.Dir(o) + "\\" + ProductVersionName; },
         Refusal::HoldsOtherVersion, true},
        {"ZAV 0.98", [](RemovalTest& t, const std::string& o) { return ThroughUnixRoot(t.Dir(o)) + "\\Inner"; },
         Refusal::HoldsOtherVersion, true},
        {"ZAV 0.97", [](RemovalTest& t, const std::string& o) { return t.folders.programs + "\\" + o + "\\Inner"; },
         Refusal::UnsafeProgramGroup, true},
        {"ZAV 0.96", [](RemovalTest& t, const std::string& o) { return t.Dir(o); }, Refusal::HoldsOtherVersion, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.outer);
        ResetProductKey();
        Install(c.outer);
        const std::string inner = c.inner(*this, c.outer);
        ASSERT_FALSE(inner.empty());
        CreateDirectoryA(inner.c_str(), nullptr);
        WriteFile(inner + "\\Zav.exe", "inner program");
        RecordVersion(ProductVersionName, true, inner.c_str());
        const Tree before = ReadTree(Dir(c.outer));

        ExpectRefused(c.outer, c.refusal);
        EXPECT_EQ(Left(c.outer), 5);
        EXPECT_EQ(ReadTree(Dir(c.outer)), before);
        EXPECT_EQ(ReadFile(inner + "\\Zav.exe"), "inner program");
        if (!c.nested) {
            ExpectRefused(ProductVersionName, Refusal::HoldsOtherVersion);
            continue;
        }
        // Once the inner version is removed, the outer one goes as well.
        EXPECT_TRUE(Remove(ProductVersionName));
        EXPECT_FALSE(PathExists(inner));
        EXPECT_TRUE(Remove(c.outer));
        EXPECT_EQ(Left(c.outer), 0);
    }
}

TEST_F(RemovalTest, OnlyAFolderNamedAfterTheVersionOrHoldingTheLauncherIsDeleted)
{
    // Every installation of this setup names the program folder after the version; those of
    // earlier versions hold the launcher. A folder that is neither is somebody else's.
    struct Case {
        const char* folder;
        const char* launcher;  // made in the folder; a trailing backslash makes it a folder
        bool removed;
    };
    const Case cases[] = {
        {"ZAV 0.99", nullptr, true},
        {"zav 0.99", nullptr, true},
        {"Zav", "Zav.exe", true},
        {"Apps", "ZAV.EXE", true},
        {"apps", nullptr, false},
        {"ZAV 0.99 old", nullptr, false},
        {"tools", "Zav.exe\\", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        ResetProductKey();
        const std::string folder = root + "\\Base\\" + c.folder;
        CreateDirectoryA(folder.c_str(), nullptr);
        CreateDirectoryA((folder + "\\ZAV 0.50").c_str(), nullptr);
        WriteFile(folder + "\\ZAV 0.50\\notes.txt", "keep");
        if (c.launcher) {
            const std::string launcher = folder + "\\" + c.launcher;
            if (launcher.back() == '\\')
                CreateDirectoryA(launcher.c_str(), nullptr);
            else
                WriteFile(launcher, "program");
        }
        RecordVersion("ZAV 0.99", true, folder.c_str());
        const Tree before = ReadTree(folder);
        if (c.removed) {
            EXPECT_TRUE(Remove("ZAV 0.99"));
            EXPECT_FALSE(PathExists(folder));
            EXPECT_FALSE(KeyExists("Software\\ZAV"));
        } else {
            ExpectRefused("ZAV 0.99", Refusal::NotTheProduct);
            EXPECT_EQ(ReadTree(folder), before);
        }
        RemoveTree(folder);
    }
}

TEST(RemovalSafety, SystemAndUserFoldersAreNeverDeletedWhole)
{
    ResetSetupState();
    auto folder = [](int csidl) { return SpecialFolder(csidl | CSIDL_FLAG_DONT_VERIFY); };
    const std::string windows = folder(CSIDL_WINDOWS);
    const std::string programFiles = folder(CSIDL_PROGRAM_FILES);
    const std::string profile = folder(CSIDL_PROFILE);
    std::string upper = programFiles;
    CharUpperBuffA(&upper[0], static_cast<DWORD>(upper.size()));
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    ASSERT_FALSE(windows.empty() || programFiles.empty() || profile.empty());

    // The same folders under other names: through the Unix root, and through a drive letter
    // mapped onto the profile, as subst makes one.
    const std::string pictures = folder(CSIDL_MYPICTURES), documents = folder(CSIDL_PERSONAL);
    ASSERT_TRUE(DirectoryExists(pictures) && DirectoryExists(documents));
    MappedDrive profileDrive(profile);
    ASSERT_FALSE(profileDrive.Root().empty());
    ASSERT_FALSE(ThroughUnixRoot(pictures).empty());

    const std::string unsafe[] = {
        ThroughUnixRoot(pictures), profileDrive.Root() + documents.substr(profile.size() + 1),
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
        EXPECT_NE(CheckFolderToDelete(path.c_str(), ProductVersionName, resolved), Refusal::None) << path;
        EXPECT_STREQ(resolved, "") << path;
    }
    // Every other kind the platform names, for the user and for everyone.
    const int kinds[] = {
        CSIDL_MYPICTURES, CSIDL_MYMUSIC, CSIDL_MYVIDEO, CSIDL_FAVORITES, CSIDL_SENDTO, CSIDL_RECENT,
        CSIDL_NETHOOD, CSIDL_PRINTHOOD, CSIDL_COOKIES, CSIDL_HISTORY, CSIDL_INTERNET_CACHE,
        CSIDL_LOCAL_APPDATA, CSIDL_ADMINTOOLS, CSIDL_CDBURN_AREA, CSIDL_FONTS, CSIDL_RESOURCES,
        CSIDL_COMMON_DOCUMENTS, CSIDL_COMMON_MUSIC, CSIDL_COMMON_PICTURES, CSIDL_COMMON_VIDEO,
        CSIDL_COMMON_FAVORITES, CSIDL_COMMON_TEMPLATES, CSIDL_COMMON_ADMINTOOLS,
    };
    int named = 0;
    for (int kind : kinds) {
        const std::string path = folder(kind);
        if (path.empty()) continue;
        ++named;
        EXPECT_EQ(CheckFolderToDelete(path.c_str(), ProductVersionName, resolved), Refusal::ProtectedFolder) << kind << " " << path;
    }
    EXPECT_GE(named, 15);
    // And those only the known-folder list names.
    for (REFKNOWNFOLDERID id : {FOLDERID_Downloads, FOLDERID_SavedGames, FOLDERID_Links, FOLDERID_Contacts}) {
        wchar_t* wide = nullptr;
        char path[MAX_PATH] = "";
        ASSERT_EQ(SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, &wide), S_OK);
        WideCharToMultiByte(CP_ACP, 0, wide, -1, path, MAX_PATH, nullptr, nullptr);
        CoTaskMemFree(wide);
        EXPECT_EQ(CheckFolderToDelete(path, ProductVersionName, resolved), Refusal::ProtectedFolder) << path;
    }

    const std::string safe[][2] = {
        {programFiles + "\\ZAV 1.00 beta 8", programFiles + "\\ZAV 1.00 beta 8"},
        {programFiles + "\\Old\\..\\ZAV 1.00 beta 8\\", programFiles + "\\ZAV 1.00 beta 8"},
        {folder(CSIDL_PROGRAMS) + "\\ZAV 1.00 beta 8", folder(CSIDL_PROGRAMS) + "\\ZAV 1.00 beta 8"},
        {"\\\\server\\share\\ZAV", "\\\\server\\share\\ZAV"},
    };
    for (const auto& s : safe) {
        EXPECT_EQ(CheckFolderToDelete(s[0].c_str(), ProductVersionName, resolved), Refusal::None) << s[0];
        EXPECT_EQ(resolved, s[1]);
    }
}

// In code page 932 the second byte of "表" ("\x95\x5C") and of "ソ" ("\x83\x5C") is '\': a
// walk byte by byte would end the name there. Wine takes the code page from the Unix locale:
// the CTest entry engine_cp932 runs this test under ja_JP.UTF-8 and sets ZAV_CP932.
TEST(RemovalSafety, NamesEndingInATrailByteBackslashAreWalkedWhole)
{
    if (GetACP() != 932) {
        ASSERT_EQ(nullptr, std::getenv("ZAV_CP932")) << "code page 932 not in effect";
        return;  // only the engine_cp932 entry runs it
    }
    const std::string root = MakeTempFolder("cp932");
    const std::string table = root + "\\\x95\x5C";
    const std::string deep = table + "\\\x83\x5C\\ZAV 1.00 beta 8";
    for (const std::string& folder : {table, table + "\\\x83\x5C", deep})
        ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr)) << folder;
    const std::string cases[][2] = {
        {table, table},
        {table + "\\", table},
        {deep, deep},
        {deep + "\\\\", deep},
        {"\\\\server\\\x95\x5C\\ZAV", "\\\\server\\\x95\x5C\\ZAV"},
    };
    char resolved[MAX_PATH];
    for (const auto& c : cases) {
        EXPECT_EQ(CheckFolderToDelete(c[0].c_str(), ProductVersionName, resolved), Refusal::None) << c[0];
        EXPECT_EQ(std::string(resolved), c[1]) << c[0];
    }
    RemoveTree(root);
}
