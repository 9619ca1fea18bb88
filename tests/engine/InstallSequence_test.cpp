#include <gtest/gtest.h>

#include <shlobj.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/InstallSequence.h"
#include "payload/Payload.h"
#include "pages/DestinationPage.h"
#include "pages/ProgressPage.h"
#include "pages/WelcomePage.h"
#include "shell/MainWindow.h"
#include "shell/Navigation.h"
#include "shell/SetupState.h"
#include "shell/Text.h"
#include "support/Canvas.h"
#include "support/Files.h"
#include "support/Hooks.h"
#include "support/InstallSupport.h"
#include "support/Registry.h"
#include "support/TestSupport.h"

using namespace testing_support;

namespace {

const std::string DirectoriesKey = "Software\\ZAV\\ZAV 1.00 beta 8\\Directories";

// What a failed attempt tells the user.
constexpr char PathTooLongText[] =
    "The install directory path is too long for ZAV.\n\nPlease select a shorter directory.";
constexpr char DamagedSetupText[] =
    "This setup file is damaged and cannot install ZAV.\n\nPlease download it again.";
constexpr char StagingFailedText[] =
    "Setup could not write its files into the Templates folder.\n\nPlease check that folder and try again.";
constexpr char TemplatesUnnamedText[] =
    "Setup cannot use the path of the Templates folder: it is too long, or holds letters that this system "
    "cannot pass to Setup.\n\nPlease give that folder a shorter path and try again.";
constexpr char ExpansionFailedText[] =
    "Setup could not unpack the product files.\n\nPlease check the Templates folder and try again.";
constexpr char CopyFailedText[] =
    "ZAV could not be copied completely into the install directory.\n\n"
    "Please close ZAV if it runs, or select another directory.";

// What the setup asked the shell to open; nothing is really started in these tests.
struct OpenCall {
    HWND owner;
    std::string verb;
    std::string file;
    bool withParameters;
    bool withDirectory;
    int show;
    size_t boxesBefore;  // message boxes shown before the call
};
std::vector<OpenCall> opens;
const MessageBoxAnswerer* boxes = nullptr;

HINSTANCE WINAPI RecordingShellExecute(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                                       LPCSTR directory, INT show)
{
    opens.push_back({owner, verb ? verb : "", file ? file : "", parameters != nullptr,
                     directory != nullptr, show, boxes ? boxes->Calls().size() : 0});
    return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(42));
}

// Loads a stand-in in place of the staged unzip library.
using LoadLibraryFn = HMODULE(WINAPI*)(LPCSTR);
LoadLibraryFn realLoadLibrary = nullptr;
std::string standInLibrary;
HMODULE WINAPI LoadStandInLibrary(LPCSTR path)
{
    if (path && lstrcmpiA(path, g_setup.unzipLibraryPath) == 0)
        return realLoadLibrary(BuildPath("tests\\fakes\\" + standInLibrary).c_str());
    return realLoadLibrary(path);
}

// Changes one word of an embedded image in memory, as damage to the program file would, and
// puts it back when it goes.
class DamagedWord {
public:
    DamagedWord(const EmbeddedImage& image, std::size_t index, std::uint16_t change)
        : word_(const_cast<std::uint16_t*>(image.words + index))
    {
        VirtualProtect(word_, sizeof *word_, PAGE_READWRITE, &protection_);
        original_ = *word_;
        *word_ = static_cast<std::uint16_t>(original_ ^ change);
    }
    ~DamagedWord()
    {
        *word_ = original_;
        DWORD ignored;
        VirtualProtect(word_, sizeof *word_, protection_, &ignored);
    }
    DamagedWord(const DamagedWord&) = delete;
    DamagedWord& operator=(const DamagedWord&) = delete;

private:
    std::uint16_t* word_;
    std::uint16_t original_ = 0;
    DWORD protection_ = 0;
};

// A drive letter that names no drive.
std::string MissingDrive()
{
    DWORD drives = GetLogicalDrives();
    for (char letter = 'Y'; letter > 'D'; --letter)
        if (!(drives & (1u << (letter - 'A')))) return std::string(1, letter) + ":";
    return "";
}

class InstallSequenceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RemoveInstallationLeftovers();
        savedDirectory_ = CurrentDirectory();
        base_ = MakeTempFolder("dest");
        programDir_ = base_ + "\\ZAV 1.00 beta 8";
        opens.clear();
    }

    void TearDown() override
    {
        RemoveInstallationLeftovers();
        SetCurrentDirectoryA(savedDirectory_.c_str());
        RemoveTree(base_);
    }


    // Clicks a check box of a page until its flag has the wanted value.
    static void Choose(int page, int id, const bool& flag, bool wanted)
    {
        if (flag != wanted) SendCommand(g_setup.pageWindows[page], id);
        ASSERT_EQ(flag, wanted) << "option " << id;
    }

    // The destination and the options as the pages keep them, then the progress page.
    void Prepare(bool shortcuts, bool run, bool readme)
    {
        text::Copy(g_setup.installBaseDir, base_.c_str());
        Choose(DestinationPageIndex, StartMenuCheckId, g_setup.wantStartMenuShortcut, shortcuts);
        Choose(DestinationPageIndex, DesktopCheckId, g_setup.wantDesktopShortcut, shortcuts);
        Choose(DestinationPageIndex, GroupCheckId, g_setup.wantProgramGroup, shortcuts);
        Choose(ProgressPageIndex, RunAfterCheckId, g_setup.runAfterInstall, run);
        Choose(ProgressPageIndex, ReadmeCheckId, g_setup.viewReadme, readme);
        ShowPage(ProgressPageIndex);
        PumpMessages();
    }

    static std::string Templates(const char* name) { return SpecialFolder(CSIDL_TEMPLATES) + "\\" + name; }

    // After a successful run: the main window was told to end the setup.
    void ExpectSetupEnded()
    {
        EXPECT_EQ(g_setup.pageWindows[ProgressPageIndex], nullptr);
        EXPECT_TRUE(QuitPosted());
    }

    // After a failed run: the wizard waits on the progress page for another "Install".
    void ExpectReadyForAnotherTry()
    {
        EXPECT_FALSE(g_setup.progressVisible);
        EXPECT_EQ(g_setup.progressBar.progressDone, 0.0);
        EXPECT_EQ(g_setup.progressBar.progressTotal, 100.0);
        EXPECT_STREQ(g_setup.statusLabel.text, "Initializing ..");
        EXPECT_EQ(g_setup.currentPage, ProgressPageIndex);
        EXPECT_TRUE(IsWindowVisible(g_setup.pageWindows[ProgressPageIndex]));
        EXPECT_TRUE(IsWindowEnabled(g_setup.nextButton));
        EXPECT_EQ(WindowText(g_setup.nextButton), "Install");
        PumpMessages();
        Pixels page(g_setup.progressPage);
        for (POINT inside : {POINT{14, 155}, POINT{14, 180}, POINT{200, 180}, POINT{395, 185}})
            EXPECT_EQ(page.At(inside.x, inside.y), g_setup.backgroundColor)
                << "bar or label still shown at " << inside.x << "," << inside.y;
    }

    // The one message box of a failed attempt: owned by the main window, telling what failed.
    static void ExpectTold(const MessageBoxAnswerer& answerer, const char* text)
    {
        ASSERT_EQ(answerer.Calls().size(), 1u);
        const MessageBoxCall& box = answerer.Calls()[0];
        EXPECT_EQ(box.owner, g_setup.mainWindow);
        EXPECT_EQ(box.text, text);
        EXPECT_EQ(box.caption, "Setup error");
        EXPECT_EQ(box.style, static_cast<UINT>(MB_OK | MB_ICONERROR));
    }

    std::string savedDirectory_;
    std::string base_;
    std::string programDir_;
};

} // namespace

TEST_F(InstallSequenceTest, InstallsCleansUpAndStartsTheProduct)
{
    Wizard wizard;
    MessageBoxAnswerer answerer(IDOK);
    ImportPatch shellExecute("shell32.dll", "ShellExecuteA", reinterpret_cast<void*>(&RecordingShellExecute));
    ASSERT_TRUE(shellExecute.Active());
    Prepare(/*shortcuts*/ false, /*run*/ true, /*readme*/ true);

    ASSERT_EQ(RunInstallSequence(), 0);

    EXPECT_EQ(ReadTree(programDir_), ExpectedProductTree());
    EXPECT_STREQ(g_setup.programDir, programDir_.c_str());
    std::string value;
    EXPECT_TRUE(ReadString(DirectoriesKey, "Program Path", value));
    EXPECT_EQ(value, programDir_);

    for (const char* staged : {"UnzDll.dll", "zav.zip", "ZAV 1.00 beta 8"})
        EXPECT_EQ(GetFileAttributesA(Templates(staged).c_str()), INVALID_FILE_ATTRIBUTES) << staged;

    // The last step of the display stands at the end.
    EXPECT_EQ(g_setup.progressBar.percent, 100.0);
    EXPECT_EQ(g_setup.progressBar.filledWidth, 397);
    EXPECT_STREQ(g_setup.statusLabel.text, "Finished");

    // No shortcut chosen: no link, no group, and the current directory stays ours.
    EXPECT_FALSE(FileExists(SpecialFolder(CSIDL_DESKTOPDIRECTORY) + "\\ZAV 1.00 beta 8.lnk"));
    EXPECT_FALSE(FileExists(SpecialFolder(CSIDL_STARTMENU) + "\\ZAV 1.00 beta 8.lnk"));
    EXPECT_FALSE(DirectoryExists(SpecialFolder(CSIDL_PROGRAMS) + "\\ZAV 1.00 beta 8"));
    EXPECT_EQ(CurrentDirectory(), savedDirectory_);

    // Both finishing options set: the product starts, no message, no readme.
    EXPECT_TRUE(answerer.Calls().empty());
    ASSERT_EQ(opens.size(), 1u);
    EXPECT_EQ(opens[0].owner, wizard.Main());
    EXPECT_EQ(opens[0].verb, "open");
    EXPECT_EQ(opens[0].file, programDir_ + "\\Zav.exe");
    EXPECT_FALSE(opens[0].withParameters);
    EXPECT_FALSE(opens[0].withDirectory);
    EXPECT_EQ(opens[0].show, SW_SHOWNORMAL);
    ExpectSetupEnded();
}

namespace {

// One platform call of the sequence, with what the progress display said at that moment.
struct Step {
    std::string call;
    std::string status;
    double percent;
    bool recorded;  // the installation record existed
    bool grouped;   // the program group existed
};
std::vector<Step> steps;

void Note(const std::string& call)
{
    std::string group = SpecialFolder(CSIDL_PROGRAMS) + "\\ZAV 1.00 beta 8";
    steps.push_back({call, g_setup.statusLabel.text, g_setup.progressBar.percent,
                     KeyExists("Software\\ZAV\\ZAV 1.00 beta 8\\Directories"), DirectoryExists(group)});
}

using FileOperationFn = int(WINAPI*)(LPSHFILEOPSTRUCTA);
FileOperationFn realFileOperation = nullptr;
int WINAPI NotingFileOperation(LPSHFILEOPSTRUCTA operation)
{
    // Each operand is one path closed by two NULs.
    auto operand = [](const char* list) {
        if (!list) return std::string("null");
        std::string path = list;
        return list[path.size() + 1] == '\0' ? path : path + " (not double-NUL)";
    };
    Note("op " + std::to_string(operation->wFunc) + " " + operand(operation->pFrom) + " > " +
         operand(operation->pTo) + " flags " + std::to_string(operation->fFlags) +
         (operation->hwnd == g_setup.mainWindow ? " owned" : operation->hwnd ? " other" : " unowned") +
         (operation->hNameMappings || operation->lpszProgressTitle ? " dirty" : ""));
    return realFileOperation(operation);
}

using DeleteFileFn = BOOL(WINAPI*)(LPCSTR);
DeleteFileFn realDeleteFile = nullptr;
BOOL WINAPI NotingDeleteFile(LPCSTR path)
{
    Note(std::string("delete ") + path);
    return realDeleteFile(path);
}

HMODULE WINAPI NotingLoadLibrary(LPCSTR path)
{
    if (path && lstrcmpiA(path, g_setup.unzipLibraryPath) == 0) Note(std::string("load ") + path);
    return realLoadLibrary(path);
}

HINSTANCE WINAPI NotingShellExecute(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                                    INT show)
{
    Note(std::string("open ") + file);
    return RecordingShellExecute(owner, verb, file, parameters, directory, show);
}

} // namespace

TEST_F(InstallSequenceTest, StepsRunInTheirOrderBetweenTheProgressTexts)
{
    std::string previous = MakeTempFolder("previous");
    CreateDirectoryA((previous + "\\UserSettings").c_str(), nullptr);
    RecordVersion("ZAV 0.99", true, previous.c_str());
    Wizard wizard;
    EnterWizardFromMaintenance();
    SendMessageA(g_setup.previousConfigList, LB_SETCURSEL, 1, 0);
    SendCommand(g_setup.pageWindows[WelcomePageIndex], PreviousConfigListId, g_setup.previousConfigList);
    ASSERT_STREQ(g_setup.selectedVersionName, "ZAV 0.99");
    Prepare(/*shortcuts*/ true, /*run*/ true, /*readme*/ false);
    steps.clear();
    ImportPatch fileOperation("shell32.dll", "SHFileOperationA", reinterpret_cast<void*>(&NotingFileOperation));
    ImportPatch deleteFile("kernel32.dll", "DeleteFileA", reinterpret_cast<void*>(&NotingDeleteFile));
    ImportPatch loadLibrary("kernel32.dll", "LoadLibraryA", reinterpret_cast<void*>(&NotingLoadLibrary));
    ImportPatch shellExecute("shell32.dll", "ShellExecuteA", reinterpret_cast<void*>(&NotingShellExecute));
    ASSERT_TRUE(fileOperation.Active() && deleteFile.Active() && loadLibrary.Active());
    realFileOperation = reinterpret_cast<FileOperationFn>(fileOperation.Original());
    realDeleteFile = reinterpret_cast<DeleteFileFn>(deleteFile.Original());
    realLoadLibrary = reinterpret_cast<LoadLibraryFn>(loadLibrary.Original());

    Press(NextButtonId);

    std::string staging = SpecialFolder(CSIDL_TEMPLATES);
    const Step expected[] = {
        {"load " + staging + "\\UnzDll.dll", "Extracting files ..", 20, false, false},
        {"op 2 " + staging + "\\ZAV 1.00 beta 8 > " + base_ + " flags 20 owned", "Copying files ..", 40, false, false},
        {"delete " + staging + "\\zav.zip", "Creating components ..", 80, true, true},
        {"delete " + staging + "\\UnzDll.dll", "Creating components ..", 80, true, true},
        {"op 3 " + staging + "\\ZAV 1.00 beta 8 > null flags 1044 unowned", "Creating components ..", 80, true, true},
        {"op 2 " + previous + "\\UserSettings > " + programDir_ + " flags 1044 unowned", "Finished", 100, true, true},
        {"open " + programDir_ + "\\Zav.exe", "Finished", 100, true, true},
    };
    ASSERT_EQ(steps.size(), std::size(expected));
    for (size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE(expected[i].call);
        EXPECT_EQ(steps[i].call, expected[i].call);
        EXPECT_EQ(steps[i].status, expected[i].status);
        EXPECT_EQ(steps[i].percent, expected[i].percent);
        EXPECT_EQ(steps[i].recorded, expected[i].recorded);
        EXPECT_EQ(steps[i].grouped, expected[i].grouped);
    }
    // The program group step left the Programs folder current for the started product.
    EXPECT_EQ(Lower(CurrentDirectory()), Lower(SpecialFolder(CSIDL_PROGRAMS)));
    ExpectSetupEnded();
    RemoveTree(previous);
}

TEST_F(InstallSequenceTest, FinishingChoicesDecideBetweenProductMessageAndReadme)
{
    struct Case {
        bool run;
        bool readme;
        const char* opened;  // nullptr: nothing opened
        bool message;
        std::uint32_t showReadme;
    };
    const Case cases[] = {
        {true, false, "Zav.exe", false, 0},
        {false, true, "whatsnew.txt", true, 0},
        {false, false, nullptr, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("run ") + (c.run ? "on" : "off") + ", readme " + (c.readme ? "on" : "off"));
        RemoveInstallationLeftovers();
        opens.clear();
        Wizard wizard;
        MessageBoxAnswerer answerer(IDOK);
        boxes = &answerer;
        ImportPatch shellExecute("shell32.dll", "ShellExecuteA", reinterpret_cast<void*>(&RecordingShellExecute));
        Prepare(false, c.run, c.readme);

        Press(NextButtonId);
        boxes = nullptr;

        if (c.message) {
            ASSERT_EQ(answerer.Calls().size(), 1u);
            const MessageBoxCall& box = answerer.Calls()[0];
            EXPECT_EQ(box.owner, wizard.Main());
            EXPECT_EQ(box.text, "Program was successfully installed!");
            EXPECT_EQ(box.caption, "ZAV 1.00 beta 8");
            EXPECT_EQ(box.style, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
        } else {
            EXPECT_TRUE(answerer.Calls().empty());
        }
        if (c.opened) {
            ASSERT_EQ(opens.size(), 1u);
            EXPECT_EQ(opens[0].file, programDir_ + "\\" + c.opened);
            EXPECT_EQ(opens[0].verb, "open");
            EXPECT_EQ(opens[0].boxesBefore, c.message ? 1u : 0u) << "the readme opens after the message";
        } else {
            EXPECT_TRUE(opens.empty());
        }
        std::uint32_t showReadme = 7;
        EXPECT_TRUE(ReadDword(DirectoriesKey, "ShowReadme", showReadme));
        EXPECT_EQ(showReadme, c.showReadme);
        ExpectSetupEnded();
    }
}

TEST_F(InstallSequenceTest, FailedStepsLeaveTheWizardReadyAndASecondInstallCompletes)
{
    struct Case {
        const char* name;
        const char* title;  // the main window's title after the failure
        const char* told;   // what the message box tells the user
    };
    const Case cases[] = {
        {"staging", "Setup - ZAV", StagingFailedText},
        {"unspellable templates", "Setup - ZAV", TemplatesUnnamedText},
        {"expansion", "error UnzDllExec function", ExpansionFailedText},
        {"nothing expanded", "Setup - ZAV", ExpansionFailedText},
        {"part expanded", "Setup - ZAV", ExpansionFailedText},
        {"unwritable destination", "Setup - ZAV", CopyFailedText},
        {"held file of the same size", "Setup - ZAV", CopyFailedText},
        {"damaged library", "Setup - ZAV", DamagedSetupText},
        {"damaged archive", "Setup - ZAV", DamagedSetupText},
        {"full disk", "Setup - ZAV", CopyFailedText},  // last: it needs the small disks
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RemoveInstallationLeftovers();
        RemoveTree(programDir_);
        opens.clear();
        Wizard wizard;
        MessageBoxAnswerer answerer(IDOK);
        ImportPatch shellExecute("shell32.dll", "ShellExecuteA", reinterpret_cast<void*>(&RecordingShellExecute));
        // The shell may explain a failed copy in a dialog of its own; a user closes it.
        DialogWatcher closer([](HWND dialog) { PostMessageA(dialog, WM_CLOSE, 0, 0); });
        Prepare(false, true, false);
        // The user's own template, which no clean-up may touch.
        const std::string usersTemplate = Templates("zavtest-letter.dot");
        WriteFile(usersTemplate, "the user's");

        {
            // The cause of the failure, removed again when the block ends.
            HANDLE heldLibrary = INVALID_HANDLE_VALUE;  // or another held file
            HANDLE otherSetup = nullptr;
            std::unique_ptr<ImportPatch> library;
            std::unique_ptr<DamagedWord> damage;
            std::string filler;
            std::unique_ptr<RedirectedShellFolder> templatesRedirect;
            std::wstring unspellable;
            std::string name = c.name;
            if (name == "staging") {
                // Another setup at work: its library is loaded, its product expanded.
                otherSetup = CreateMutexA(nullptr, FALSE, StagingInUseName);
                ASSERT_NE(otherSetup, nullptr);
                WriteTree(Templates("ZAV 1.00 beta 8"), {{"readme.txt", "theirs"}});
                heldLibrary = CreateFileA(Templates("UnzDll.dll").c_str(), GENERIC_READ, 0, nullptr,
                                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
                ASSERT_NE(heldLibrary, INVALID_HANDLE_VALUE);
            } else if (name == "unspellable templates") {
                // A profile folder named in a script this code page lacks: never a "?" path.
                ASSERT_NE(UnspellableCharacter(), 0) << "the code page spells every letter";
                unspellable = Widen(base_) + L"\\" + UnspellableCharacter();
                templatesRedirect = std::make_unique<RedirectedShellFolder>("Templates", unspellable + L"\\Templates");
            } else if (name == "expansion" || name == "nothing expanded" || name == "part expanded") {
                // A library without the expansion export, or one that expands nothing and reports
                // success, maybe over a product folder that holds one of the files.
                standInLibrary = name == "expansion" ? "NoExecUnzip.dll" : "RecordingUnzip.dll";
                if (name == "part expanded") WriteTree(Templates("ZAV 1.00 beta 8"), {{"readme.txt", "x"}});
                library = std::make_unique<ImportPatch>("kernel32.dll", "LoadLibraryA",
                                                       reinterpret_cast<void*>(&LoadStandInLibrary));
                ASSERT_TRUE(library->Active());
                realLoadLibrary = reinterpret_cast<LoadLibraryFn>(library->Original());
            } else if (name == "held file of the same size") {
                // An earlier copy's file, held open by a running product: the shell cannot
                // replace it, and it has the size of the new one.
                std::string readme = ReadFile(SourcePath("product\\files\\ZAV 1.00 beta 8\\readme.txt"));
                WriteTree(programDir_, {{"readme.txt", std::string(readme.size(), 'x')}});
                heldLibrary = CreateFileA((programDir_ + "\\readme.txt").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
                ASSERT_NE(heldLibrary, INVALID_HANDLE_VALUE);
            } else if (name == "damaged library") {
                // A high byte that is not 0: the library's bytes themselves are unchanged.
                damage = std::make_unique<DamagedWord>(LibraryImage, LibraryImage.byteCount / 2, 0x0100);
            } else if (name == "damaged archive") {
                damage = std::make_unique<DamagedWord>(ArchiveImage, ArchiveImage.byteCount - 1, 0x0001);
            } else if (name == "full disk") {
                // Room for part of the product only: the copy stops part-way in a folder it made.
                if (!SmallDisksMounted()) GTEST_SKIP() << "the small disks are not mounted";
                const std::string disk = SmallDiskPath("enough");
                RemoveTree(disk + "\\ZAV 1.00 beta 8");
                ULARGE_INTEGER free = {};
                ASSERT_TRUE(GetDiskFreeSpaceExA(disk.c_str(), &free, nullptr, nullptr));
                filler = disk + "\\filler.bin";
                WriteFile(filler, std::string(static_cast<std::size_t>(free.QuadPart) - 3 * 4096, 'f'));
                text::Copy(g_setup.installBaseDir, disk.c_str());
            } else {
                // A destination that cannot be written: a drive that is not there (any more).
                text::Copy(g_setup.installBaseDir, (MissingDrive() + "\\Programs").c_str());
            }
            const std::string attemptDir = std::string(g_setup.installBaseDir) + "\\ZAV 1.00 beta 8";
            const bool folderBefore = PathExists(attemptDir);

            EXPECT_EQ(RunInstallSequence(), 1);

            // A program folder the attempt made is gone again; one that was there before stays.
            EXPECT_EQ(PathExists(attemptDir), folderBefore);

            ExpectReadyForAnotherTry();
            EXPECT_EQ(WindowText(wizard.Main()), c.title);
            ExpectTold(answerer, c.told);
            EXPECT_TRUE(opens.empty());
            EXPECT_FALSE(QuitPosted());
            if (name == "staging") {
                // Every attempt gives the page's device context back.
                int live = LiveGdiObjects();
                for (int again = 0; again < 3; ++again) EXPECT_EQ(RunInstallSequence(), 1);
                EXPECT_EQ(LiveGdiObjects(), live);
            }
            // What the attempt staged is gone; what it could not write was never its own.
            EXPECT_FALSE(PathExists(Templates("zav.zip")));
            EXPECT_EQ(PathExists(Templates("UnzDll.dll")), name == "staging");
            EXPECT_EQ(PathExists(Templates("ZAV 1.00 beta 8")), name == "staging");
            EXPECT_EQ(ReadFile(usersTemplate), "the user's");
            if (heldLibrary != INVALID_HANDLE_VALUE) CloseHandle(heldLibrary);
            if (otherSetup) CloseHandle(otherSetup);
            if (!filler.empty()) DeleteFileA(filler.c_str());
            if (!unspellable.empty()) {
                // The shell made the folder; nothing went into it.
                EXPECT_TRUE(RemoveDirectoryW((unspellable + L"\\Templates").c_str()));
                EXPECT_TRUE(RemoveDirectoryW(unspellable.c_str()));
            }
            if (name == "unwritable destination" || name == "full disk")
                text::Copy(g_setup.installBaseDir, base_.c_str());  // chosen anew
        }

        Press(NextButtonId);

        EXPECT_EQ(ReadTree(programDir_), ExpectedProductTree());
        EXPECT_EQ(opens.size(), 1u);
        ExpectSetupEnded();
        EXPECT_EQ(ReadFile(usersTemplate), "the user's");
        DeleteFileA(usersTemplate.c_str());
    }
}

TEST_F(InstallSequenceTest, ADestinationTooDeepForTheProgramFolderStagesNothing)
{
    Wizard wizard;
    MessageBoxAnswerer answerer(IDOK);
    Prepare(false, true, false);
    std::string deep = base_ + "\\" + std::string(MAX_PATH - 10 - base_.size(), 'd');
    text::Copy(g_setup.installBaseDir, deep.c_str());

    EXPECT_EQ(RunInstallSequence(), 1);

    ExpectReadyForAnotherTry();
    ExpectTold(answerer, PathTooLongText);
    EXPECT_FALSE(FileExists(Templates("zav.zip")));
}

TEST_F(InstallSequenceTest, AReinstallKeepsTheUsersSettingsAndReplacesTheRest)
{
    // An earlier copy: the user edited two settings files and added a file and a folder;
    // "Default\\recent.lst" is gone, and the readme is an old one. Where no record of this
    // version names the folder, the settings files may be ones a killed copy left unwritten.
    const std::map<std::string, std::string> users = {
        {"UserSettings", TreeFolderMark},
        {"UserSettings\\Default", TreeFolderMark},
        {"UserSettings\\Default\\settings.ini", "[edited]"},
        {"UserSettings\\Mine", TreeFolderMark},
        {"UserSettings\\Mine\\notes.txt", "added too"},
        {"UserSettings\\mine.ini", "added"},
        {"UserSettings\\profiles.ini", ""},
    };
    const std::string elsewhere = MakeTempFolder("elsewhere");
    const struct {
        const char* name;
        const char* recorded;  // this version's "Program Path"; nullptr: no record
        bool kept;
    } cases[] = {
        {"recorded at this folder", programDir_.c_str(), true},
        {"recorded at another folder", elsewhere.c_str(), false},
        {"not recorded", nullptr, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RemoveInstallationLeftovers();
        RemoveTree(programDir_);
        if (c.recorded) RecordVersion("ZAV 1.00 beta 8", true, c.recorded);
        Wizard wizard;
        MessageBoxAnswerer answerer(IDOK);
        ImportPatch shellExecute("shell32.dll", "ShellExecuteA", reinterpret_cast<void*>(&RecordingShellExecute));
        Prepare(false, true, false);
        WriteTree(programDir_, users);
        WriteTree(programDir_, {{"readme.txt", "an old readme"}});

        ASSERT_EQ(RunInstallSequence(), 0);

        std::map<std::string, std::string> expected = ExpectedProductTree();
        for (const auto& entry : users)
            if (c.kept || !expected.count(entry.first)) expected[entry.first] = entry.second;
        EXPECT_EQ(ReadTree(programDir_), expected);
        ExpectSetupEnded();
    }
    RemoveTree(elsewhere);
}

TEST_F(InstallSequenceTest, AnInstallationFirstRemovesWhatInterruptedAttemptsLeftThereAndNothingElse)
{
    // What the unzip library leaves when an expansion is killed, and the user's own entries
    // that merely look alike.
    const std::vector<std::string> leftovers = {"~unz0123abcd.tmp", "~unzDEADBEEF.tmp"};
    const Tree users = {
        {"~unzzzzzzzzz.tmp", TreeFolderMark},
        {"~unzzzzzzzzz.tmp\\mine.txt", "mine"},
        {"~unz0123abc.tmp", TreeFolderMark},
        {"~unz0123abcd.tmp.old", TreeFolderMark},
        {"~unz89abcdef.tmp", "a file, not a folder"},
        {"letter.dot", "the user's"},
    };
    const struct {
        const char* name;
        bool otherSetupAtWork;  // whose temporary folders they may be
    } cases[] = {
        {"alone", false},
        {"another setup at work", true},
    };
    const std::string templates = SpecialFolder(CSIDL_TEMPLATES);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RemoveInstallationLeftovers();
        RemoveTree(programDir_);
        Wizard wizard;
        MessageBoxAnswerer answerer(IDOK);
        ImportPatch shellExecute("shell32.dll", "ShellExecuteA", reinterpret_cast<void*>(&RecordingShellExecute));
        Prepare(false, true, false);
        for (const std::string& leftover : leftovers)
            WriteTree(Templates(leftover.c_str()), {{"x", TreeFolderMark}, {"x\\readme.txt", "half"}});
        WriteTree(templates, users);
        HANDLE otherSetup = c.otherSetupAtWork ? CreateMutexA(nullptr, FALSE, StagingInUseName) : nullptr;

        ASSERT_EQ(RunInstallSequence(), 0);

        if (otherSetup) CloseHandle(otherSetup);
        for (const std::string& leftover : leftovers)
            EXPECT_EQ(PathExists(Templates(leftover.c_str())), c.otherSetupAtWork) << leftover;
        for (const auto& entry : users) {
            const std::string path = Templates(entry.first.c_str());
            if (entry.second == TreeFolderMark) EXPECT_TRUE(DirectoryExists(path)) << entry.first;
            else EXPECT_EQ(ReadFile(path), entry.second) << entry.first;
        }
        EXPECT_EQ(ReadTree(programDir_), ExpectedProductTree());
        ExpectSetupEnded();
        for (const auto& entry : users) RemoveTree(Templates(entry.first.c_str()));
    }
}

TEST_F(InstallSequenceTest, SettingsThatDoNotAllArriveAreToldAndTheProductStays)
{
    if (!SmallDisksMounted()) GTEST_SKIP() << "the small disks are not mounted";
    // More settings than the disk holds beside the product: the copy runs out of room part-way.
    const std::string previous = MakeTempFolder("previous");
    Tree settings = {{"UserSettings", TreeFolderMark}};
    for (int i = 0; i < 31; ++i)
        settings["UserSettings\\settings" + std::to_string(i) + ".ini"] = std::string(65536, 'a' + i % 26);
    WriteTree(previous, settings);
    RecordVersion("ZAV 0.99", true, previous.c_str());
    const std::string disk = SmallDiskPath("enough");
    const std::string programDir = disk + "\\ZAV 1.00 beta 8";
    Wizard wizard;
    EnterWizardFromMaintenance();
    SendMessageA(g_setup.previousConfigList, LB_SETCURSEL, 1, 0);
    SendCommand(g_setup.pageWindows[WelcomePageIndex], PreviousConfigListId, g_setup.previousConfigList);
    Prepare(/*shortcuts*/ false, /*run*/ true, /*readme*/ true);
    text::Copy(g_setup.installBaseDir, disk.c_str());
    MessageBoxAnswerer answerer(IDOK);
    ImportPatch shellExecute("shell32.dll", "ShellExecuteA", reinterpret_cast<void*>(&RecordingShellExecute));
    DialogWatcher closer([](HWND dialog) { PostMessageA(dialog, WM_CLOSE, 0, 0); });

    EXPECT_EQ(RunInstallSequence(), 0);

    ASSERT_EQ(answerer.Calls().size(), 1u);
    const MessageBoxCall& box = answerer.Calls()[0];
    EXPECT_EQ(box.owner, wizard.Main());
    EXPECT_NE(box.text.find("\n" + previous + "\\UserSettings\n"), std::string::npos) << box.text;
    EXPECT_EQ(box.caption, "Setup warning");
    EXPECT_EQ(box.style, static_cast<UINT>(MB_OK | MB_ICONWARNING));
    EXPECT_TRUE(opens.empty()) << "nothing is started on settings that did not arrive";
    // The product stays installed and recorded.
    EXPECT_EQ(ReadFile(programDir + "\\Zav.exe"), ReadFile(BuildPath("product\\Zav.exe")));
    std::string value;
    EXPECT_TRUE(ReadString(DirectoriesKey, "Program Path", value));
    EXPECT_EQ(value, programDir);
    ExpectSetupEnded();
    RemoveTree(programDir);
    RemoveTree(previous);
}
