#include <gtest/gtest.h>

#include <shlobj.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/Shortcuts.h"
#include "shell/SetupState.h"
#include "shell/Text.h"
#include "support/Files.h"
#include "support/InstallSupport.h"
#include "support/TestSupport.h"

using namespace testing_support;

namespace {

const char* const ProgramFiles[] = {"Zav.exe", "Web.url", "whatsnew.txt", "history.txt", "manual.txt"};

class ShortcutsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RemoveProductShortcuts();
        savedDirectory_ = CurrentDirectory();
        programDir_ = MakeTempFolder("program") + "\\ZAV 1.00 beta 8";
        CreateDirectoryA(programDir_.c_str(), nullptr);
        for (const char* name : ProgramFiles) WriteFile(programDir_ + "\\" + name, name);
    }

    void TearDown() override
    {
        RemoveProductShortcuts();
        SetCurrentDirectoryA(savedDirectory_.c_str());
        RemoveTree(programDir_.substr(0, programDir_.rfind('\\')));
    }

    void UseProgramDir() { text::Copy(g_setup.programDir, programDir_.c_str()); }

    void ExpectLinks(const ExpectedLink* begin, const ExpectedLink* end) const
    {
        testing_support::ExpectLinks(begin, end, programDir_);
    }

    std::string savedDirectory_;
    std::string programDir_;
};

} // namespace

TEST_F(ShortcutsTest, FoldersAreTheCurrentUsersOwn)
{
    char user[256] = "";
    DWORD size = sizeof user;
    GetUserNameA(user, &size);
    std::string profile = Lower(std::string("\\users\\") + user + "\\");
    for (int csidl : {CSIDL_DESKTOPDIRECTORY, CSIDL_STARTMENU, CSIDL_PROGRAMS}) {
        std::string folder = SpecialFolder(csidl);
        EXPECT_NE(Lower(folder).find(profile), std::string::npos) << folder;
        EXPECT_TRUE(DirectoryExists(folder)) << folder;
    }
    EXPECT_EQ(Lower(SpecialFolder(CSIDL_PROGRAMS)), Lower(SpecialFolder(CSIDL_STARTMENU) + "\\Programs"));
}

TEST_F(ShortcutsTest, EachStepMakesOnlyItsOwnLinks)
{
    struct Case {
        const char* name;
        void (*step)();
        const ExpectedLink* begin;
        const ExpectedLink* end;
    };
    const Case cases[] = {
        {"desktop", MakeDesktopShortcut, DesktopLinks, StartMenuLinks},
        {"start menu", MakeStartMenuShortcut, StartMenuLinks, GroupLinks},
        {"group", MakeProgramGroup, GroupLinks, std::end(ProductLinks)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RemoveProductShortcuts();
        Wizard wizard;
        UseProgramDir();
        c.step();
        ExpectLinks(c.begin, c.end);
        for (const Case& other : cases)
            if (&other != &c) ExpectNoLinks(other.begin, other.end);
    }
}

TEST_F(ShortcutsTest, ProgramGroupMakesProgramsCurrentAndReusesAnExistingGroup)
{
    Wizard wizard;
    UseProgramDir();
    std::string group = SpecialFolder(CSIDL_PROGRAMS) + "\\ZAV 1.00 beta 8";
    CreateDirectoryA(group.c_str(), nullptr);
    WriteFile(group + "\\Manual.lnk", "not a link");
    WriteFile(group + "\\Other.txt", "kept");

    MakeProgramGroup();

    EXPECT_EQ(Lower(CurrentDirectory()), Lower(SpecialFolder(CSIDL_PROGRAMS)));
    ExpectLinks(GroupLinks, std::end(ProductLinks));
    EXPECT_EQ(ReadFile(group + "\\Other.txt"), "kept");
}

TEST_F(ShortcutsTest, AnExistingLinkIsReplaced)
{
    Wizard wizard;
    text::Copy(g_setup.programDir, "C:\\elsewhere\\ZAV 1.00 beta 8");
    MakeDesktopShortcut();
    UseProgramDir();
    MakeDesktopShortcut();
    ExpectLinks(DesktopLinks, StartMenuLinks);
}

TEST_F(ShortcutsTest, LinkPathsBeyondThePlatformLimitAreNeverSaved)
{
    Wizard wizard;
    std::string folder = MakeTempFolder("long");
    folder += "\\" + std::string(150 - folder.size(), 'f');
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    std::string target = programDir_ + "\\Zav.exe";

    for (size_t length : {259u, 260u, 290u}) {
        SCOPED_TRACE(length);
        std::string link = folder + "\\" + std::string(length - folder.size() - 1 - 4, 'x') + ".lnk";
        ASSERT_EQ(link.size(), length);
        std::wstring longForm = L"\\\\?\\" + std::wstring(link.begin(), link.end());

        HRESULT result = CreateShortcut(target.c_str(), link.c_str(), programDir_.c_str());

        bool saved = GetFileAttributesW(longForm.c_str()) != INVALID_FILE_ATTRIBUTES;
        if (length < MAX_PATH) {
            EXPECT_EQ(result, S_OK);
            EXPECT_TRUE(saved);
        } else {
            EXPECT_TRUE(FAILED(result));
            EXPECT_FALSE(saved);
            // The file system would have taken the name: the refusal is the setup's own.
            HANDLE probe = CreateFileW(longForm.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
            EXPECT_NE(probe, INVALID_HANDLE_VALUE);
            if (probe != INVALID_HANDLE_VALUE) CloseHandle(probe);
        }
        DeleteFileW(longForm.c_str());
    }
    RemoveTree(folder.substr(0, folder.rfind('\\')));
}

TEST_F(ShortcutsTest, AMissingFolderIsCreatedAndOneThatCannotBeMadeGetsNoLinks)
{
    struct Case {
        const char* name;
        void (*step)();
        const char* shellFolder;  // its value among the user's shell folders
        const ExpectedLink* begin;
        const ExpectedLink* end;
    };
    const Case cases[] = {
        {"desktop", MakeDesktopShortcut, "Desktop", DesktopLinks, StartMenuLinks},
        {"start menu", MakeStartMenuShortcut, "Start Menu", StartMenuLinks, GroupLinks},
        {"group", MakeProgramGroup, "Programs", GroupLinks, std::end(ProductLinks)},
    };
    // Where the setup was started: nothing may appear here or at the root of its drive.
    const std::string start = MakeTempFolder("started-in");
    const std::string rootLink = start.substr(0, 3) + "ZAV 1.00 beta 8.lnk";
    for (const Case& c : cases) {
        for (bool makeable : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (makeable ? ", missing" : ", cannot be made"));
            const std::string root = MakeTempFolder("profile");
            {
                StandInShellFolders folders(root + "\\Profile");
                RemoveTree(folders.desktop);
                RemoveTree(folders.startMenu);
                // Below a file, no folder can be made.
                WriteFile(root + "\\file", "in the way");
                std::unique_ptr<RedirectedShellFolder> redirect;
                if (!makeable) redirect = std::make_unique<RedirectedShellFolder>(c.shellFolder, root + "\\file\\x");
                Wizard wizard;
                UseProgramDir();
                SetCurrentDirectoryA(start.c_str());

                c.step();

                if (makeable) ExpectLinks(c.begin, c.end);
                EXPECT_FALSE(PathExists(root + "\\file\\x"));
                EXPECT_TRUE(ReadTree(start).empty());
                EXPECT_FALSE(FileExists(rootLink));
                SetCurrentDirectoryA(savedDirectory_.c_str());
            }
            DeleteFileA(rootLink.c_str());
            RemoveTree(root);
        }
    }
    RemoveTree(start);
}
