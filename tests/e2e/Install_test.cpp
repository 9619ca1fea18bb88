// The real setup.exe, run as its own process in the test prefix and driven from outside.
// Everything an installation leaves (program folder, links, group, registry record, staged
// files, started programs) is removed before and after every test, so the shared prefix
// is as it was for the tests that follow.
#include <gtest/gtest.h>

#include <windows.h>
#include <psapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "SetupDriver.h"
#include "support/Files.h"
#include "support/InstallSupport.h"
#include "support/Registry.h"
#include "support/TestSupport.h"

using namespace testing_support;

namespace {

constexpr DWORD InstallTimeoutMs = 60000;
const std::string DirectoriesKey = "Software\\ZAV\\ZAV 1.00 beta 8\\Directories";
constexpr char DamagedSetupText[] =
    "This setup file is damaged and cannot install ZAV.\n\nPlease download it again.";

// Where a file's bytes stand embedded in a program file as words: each byte followed by a
// zero byte. Found by the words of the file's first 64 bytes (of a library, the DOS header,
// which signing leaves as it is); npos when they are not there.
std::size_t EmbeddedAt(const std::string& program, const std::string& file)
{
    constexpr std::size_t Probe = 64;
    std::string words;
    for (std::size_t i = 0; i < Probe && i < file.size(); ++i) {
        words += file[i];
        words += '\0';
    }
    return program.find(words);
}

// The base names of the modules a process has loaded (empty when they cannot be listed).
std::vector<std::string> LoadedModules(HANDLE process)
{
    HMODULE modules[1024];
    DWORD needed = 0;
    std::vector<std::string> names;
    if (!EnumProcessModules(process, modules, sizeof modules, &needed)) return names;
    for (DWORD i = 0; i < needed / sizeof modules[0] && i < std::size(modules); ++i) {
        char name[MAX_PATH];
        if (GetModuleBaseNameA(process, modules[i], name, sizeof name)) names.push_back(Lower(name));
    }
    return names;
}

// While alive, Wine's relay trace of new processes shows the named calls and no others.
class RelayLimitedTo {
public:
    explicit RelayLimitedTo(const char* calls)
    {
        RegCreateKeyA(HKEY_CURRENT_USER, KeyPath, &key_);
        RegSetValueExA(key_, ValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(calls),
                       static_cast<DWORD>(std::strlen(calls) + 1));
    }
    ~RelayLimitedTo()
    {
        RegDeleteValueA(key_, ValueName);
        RegCloseKey(key_);
    }
    RelayLimitedTo(const RelayLimitedTo&) = delete;
    RelayLimitedTo& operator=(const RelayLimitedTo&) = delete;

private:
    static constexpr char KeyPath[] = "Software\\Wine\\Debug";
    static constexpr char ValueName[] = "RelayInclude";
    HKEY key_ = nullptr;
};

// While alive, text files open in our recorder, which writes down each file it is given.
// The association the prefix had (if any) is put back afterwards.
class RecordedTextOpens {
public:
    explicit RecordedTextOpens(const std::string& log)
    {
        hadExtension_ = ReadDefault(".txt", previous_);
        std::string command = "\"" + BuildPath("tests\\openrecorder.exe") + "\" \"" + log + "\" \"%1\"";
        WriteDefault(".txt", ClassName);
        WriteDefault(std::string(ClassName) + "\\shell\\open\\command", command);
    }

    ~RecordedTextOpens()
    {
        SHDeleteKeyA(HKEY_CLASSES_ROOT, ClassName);
        if (hadExtension_) WriteDefault(".txt", previous_);
        else SHDeleteKeyA(HKEY_CLASSES_ROOT, ".txt");
    }

    RecordedTextOpens(const RecordedTextOpens&) = delete;
    RecordedTextOpens& operator=(const RecordedTextOpens&) = delete;

private:
    static constexpr char ClassName[] = "ZavTest.RecordedText";

    static bool ReadDefault(const std::string& key, std::string& value)
    {
        char buffer[1024] = "";
        LONG size = sizeof buffer;
        if (RegQueryValueA(HKEY_CLASSES_ROOT, key.c_str(), buffer, &size) != ERROR_SUCCESS) return false;
        value = buffer;
        return true;
    }

    static void WriteDefault(const std::string& key, const std::string& value)
    {
        RegSetValueA(HKEY_CLASSES_ROOT, key.c_str(), REG_SZ, value.c_str(), static_cast<DWORD>(value.size()));
    }

    bool hadExtension_ = false;
    std::string previous_;
};

class InstallEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Clean();
        startDirectory_ = MakeTempFolder("e2e-start");
        openLog_ = startDirectory_ + "\\opened.txt";
        textOpens_ = std::make_unique<RecordedTextOpens>(openLog_);
    }

    void TearDown() override
    {
        textOpens_.reset();
        Clean();
        RemoveTree(startDirectory_);
    }

    // The files that were opened as text, after waiting up to timeoutMs for the first one.
    std::string OpenedTextFiles(DWORD timeoutMs)
    {
        for (double deadline = e2e::NowMs() + timeoutMs; !FileExists(openLog_) && e2e::NowMs() < deadline;)
            Sleep(20);
        Sleep(100);  // let the recorder finish its line
        return ReadFile(openLog_);
    }

    static void Clean()
    {
        e2e::TerminateProcesses("Zav.exe");
        RemoveInstallationLeftovers();
    }

    // Starts the setup and walks it to the progress page with the given options.
    void StartAtProgressPage(e2e::SetupDriver& driver, bool shortcuts, bool run, bool readme)
    {
        ASSERT_TRUE(driver.Start(BuildPath("setup.exe"), startDirectory_));
        ASSERT_TRUE(driver.GoToProgressPage());
        SetOptions(driver, shortcuts, run, readme);
    }

    static void SetOptions(e2e::SetupDriver& driver, bool shortcuts, bool run, bool readme)
    {
        using namespace e2e;
        for (int id : {StartMenuCheckId, DesktopCheckId, GroupCheckId})
            ASSERT_TRUE(driver.SetOption(DestinationPageClass, id, shortcuts)) << id;
        ASSERT_TRUE(driver.SetOption(ProgressPageClass, RunAfterCheckId, run));
        ASSERT_TRUE(driver.SetOption(ProgressPageClass, ReadmeCheckId, readme));
    }

    // Presses "Install" and expects the setup to end by itself, without a message.
    static void InstallAndExpectExit(e2e::SetupDriver& driver)
    {
        ASSERT_TRUE(driver.StartInstall());
        e2e::MessageBoxInfo box;
        ASSERT_EQ(driver.WaitForMessageBoxOrExit(InstallTimeoutMs, box), e2e::WaitResult::Exited)
            << "unexpected message: " << box.text;
        DWORD code = 1;
        ASSERT_TRUE(driver.WaitForExit(0, &code));
        EXPECT_EQ(code, 0u);
    }

    // The product started by the setup: its window, and its process checked to be the
    // installed launcher. Returns the process id (0 when it did not appear).
    static DWORD StartedProduct()
    {
        HWND window = e2e::WaitForTopLevelWindow(0, "ZavMainWindow", "ZAV 1.00 beta 8", 15000);
        if (!window) return 0;
        DWORD process = e2e::WindowProcess(window);
        EXPECT_EQ(Lower(e2e::ProcessImagePath(process)), Lower(DefaultProgramDir() + "\\Zav.exe"));
        return process;
    }

    std::string startDirectory_;
    std::string openLog_;
    std::unique_ptr<RecordedTextOpens> textOpens_;
};


} // namespace

TEST_F(InstallEndToEndTest, FullInstallationWithEveryOption)
{
    e2e::SetupDriver driver;
    ASSERT_TRUE(driver.Start(BuildPath("setup.exe"), startDirectory_));
    ASSERT_TRUE(driver.GoToProgressPage());
    // Every option is on unless the user clears it.
    for (int id : {StartMenuCheckId, DesktopCheckId, GroupCheckId})
        EXPECT_TRUE(driver.IsChecked(DestinationPageClass, id)) << id;
    EXPECT_TRUE(driver.IsChecked(ProgressPageClass, RunAfterCheckId));
    EXPECT_TRUE(driver.IsChecked(ProgressPageClass, ReadmeCheckId));

    InstallAndExpectExit(driver);

    EXPECT_EQ(ReadTree(DefaultProgramDir()), ExpectedProductTree());

    ExpectLinks(std::begin(ProductLinks), std::end(ProductLinks), DefaultProgramDir());

    std::string text;
    std::uint32_t number = 0;
    EXPECT_TRUE(ReadString(DirectoriesKey, "Program Path", text));
    EXPECT_EQ(text, DefaultProgramDir());
    EXPECT_TRUE(ReadString(DirectoriesKey, "Prev Cfg", text));
    EXPECT_EQ(text, "no");
    EXPECT_TRUE(ReadDword(DirectoriesKey, "Version", number));
    EXPECT_EQ(number, 1014u);
    EXPECT_TRUE(ReadDword(DirectoriesKey, "ShowReadme", number));
    EXPECT_EQ(number, 1u);

    std::string templates = SpecialFolder(CSIDL_TEMPLATES);
    for (const char* staged : {"UnzDll.dll", "zav.zip", "ZAV 1.00 beta 8"})
        EXPECT_EQ(GetFileAttributesA((templates + "\\" + staged).c_str()), INVALID_FILE_ATTRIBUTES) << staged;

    // The product runs, started from the Programs folder that the group step made current.
    DWORD product = StartedProduct();
    ASSERT_NE(product, 0u);
    EXPECT_EQ(Lower(e2e::ProcessCurrentDirectory(product)), Lower(SpecialFolder(CSIDL_PROGRAMS)));
    EXPECT_EQ(OpenedTextFiles(1000), "") << "no readme as well";
}

TEST_F(InstallEndToEndTest, WithoutRunningTheProductTheSetupReportsSuccess)
{
    for (bool readme : {true, false}) {
        SCOPED_TRACE(readme ? "readme" : "no readme");
        Clean();
        DeleteFileA(openLog_.c_str());
        e2e::SetupDriver driver;
        StartAtProgressPage(driver, false, /*run*/ false, readme);

        ASSERT_TRUE(driver.StartInstall());
        e2e::MessageBoxInfo box;
        ASSERT_EQ(driver.WaitForMessageBoxOrExit(InstallTimeoutMs, box), e2e::WaitResult::MessageBox);
        EXPECT_EQ(box.text, "Program was successfully installed!");
        EXPECT_EQ(box.caption, "ZAV 1.00 beta 8");
        EXPECT_EQ(box.owner, driver.MainWindow());
        EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
        EXPECT_TRUE(box.hasIcon);
        EXPECT_FALSE(FileExists(openLog_)) << "nothing opens before the message is closed";

        ASSERT_TRUE(driver.Answer(box, IDOK));
        ASSERT_EQ(driver.WaitForMessageBoxOrExit(InstallTimeoutMs, box), e2e::WaitResult::Exited);

        EXPECT_EQ(OpenedTextFiles(readme ? 15000 : 1500), readme ? DefaultProgramDir() + "\\whatsnew.txt\n" : "");
        EXPECT_TRUE(e2e::FindProcesses("Zav.exe").empty());
        EXPECT_EQ(ReadTree(DefaultProgramDir()), ExpectedProductTree());
    }
}

TEST_F(InstallEndToEndTest, PreviousConfigurationChosenOnTheWelcomePage)
{
    std::string previous = MakeTempFolder("previous");
    CreateDirectoryA((previous + "\\UserSettings").c_str(), nullptr);
    CreateDirectoryA((previous + "\\UserSettings\\Default").c_str(), nullptr);
    WriteFile(previous + "\\UserSettings\\Default\\settings.ini", "[view]\nzoom=200\n");
    WriteFile(previous + "\\UserSettings\\mine.lst", "my own list");

    struct Case {
        const char* version;
        const char* programPath;  // nullptr: the record has no readable path
        bool carried;
    };
    const Case cases[] = {
        {"ZAV 0.99", previous.c_str(), true},
        {"ZAV 0.98", nullptr, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        Clean();
        RecordVersion(c.version, true, c.programPath);
        e2e::SetupDriver driver;
        ASSERT_TRUE(driver.Start(BuildPath("setup.exe"), startDirectory_));
        ASSERT_TRUE(driver.IsVisible(MaintenancePageClass));
        ASSERT_TRUE(driver.PressOn(MaintenancePageClass, MaintenanceInstallButtonId));
        ASSERT_TRUE(driver.ChoosePreviousConfiguration(c.version));
        EXPECT_FALSE(driver.IsEnabled(driver.Control(ProgressPageClass, RunAfterCheckId)));
        ASSERT_TRUE(driver.GoToProgressPage());
        SetOptions(driver, false, true, false);

        InstallAndExpectExit(driver);  // no message either way: nothing is reported

        std::map<std::string, std::string> expected = ExpectedProductTree();
        if (c.carried) {
            expected["UserSettings\\Default\\settings.ini"] = "[view]\nzoom=200\n";
            expected["UserSettings\\mine.lst"] = "my own list";
        }
        EXPECT_EQ(ReadTree(DefaultProgramDir()), expected);
        std::string prevCfg;
        EXPECT_TRUE(ReadString(DirectoriesKey, "Prev Cfg", prevCfg));
        EXPECT_EQ(prevCfg, c.version);
        EXPECT_NE(StartedProduct(), 0u);
    }
    RemoveTree(previous);
}

TEST_F(InstallEndToEndTest, WithoutShortcutsNothingIsLinkedAndTheDirectoryStays)
{
    // An earlier installation with files of its own is in the way.
    CreateDirectoryA(DefaultProgramDir().c_str(), nullptr);
    WriteFile(DefaultProgramDir() + "\\whatsnew.txt", "an older readme");
    WriteFile(DefaultProgramDir() + "\\my notes.txt", "mine");

    e2e::SetupDriver driver;
    StartAtProgressPage(driver, false, true, false);
    InstallAndExpectExit(driver);

    ExpectNoLinks(std::begin(ProductLinks), std::end(ProductLinks));
    EXPECT_FALSE(DirectoryExists(SpecialFolder(CSIDL_PROGRAMS) + "\\ZAV 1.00 beta 8"));
    DWORD product = StartedProduct();
    ASSERT_NE(product, 0u);
    EXPECT_EQ(Lower(e2e::ProcessCurrentDirectory(product)), Lower(startDirectory_));

    std::map<std::string, std::string> expected = ExpectedProductTree();
    expected["my notes.txt"] = "mine";
    EXPECT_EQ(ReadTree(DefaultProgramDir()), expected);
}

TEST_F(InstallEndToEndTest, AFailedStagingLeavesTheWizardForAnotherTry)
{
    // A folder where the library is to be written makes staging fail.
    std::string blocker = SpecialFolder(CSIDL_TEMPLATES) + "\\UnzDll.dll";
    ASSERT_TRUE(CreateDirectoryA(blocker.c_str(), nullptr));
    e2e::SetupDriver driver;
    StartAtProgressPage(driver, false, true, false);

    // The attempt gives up and says why, in a box of the main window.
    ASSERT_TRUE(driver.StartInstall());
    e2e::MessageBoxInfo box;
    ASSERT_EQ(driver.WaitForMessageBoxOrExit(InstallTimeoutMs, box), e2e::WaitResult::MessageBox);
    EXPECT_EQ(box.text, "Setup could not write its files into the Templates folder.\n\nPlease check that folder and "
                        "try again.");
    EXPECT_EQ(box.caption, "Setup error");
    EXPECT_EQ(box.owner, driver.MainWindow());
    ASSERT_TRUE(driver.Answer(box, IDOK));
    EXPECT_TRUE(driver.Running());
    EXPECT_TRUE(driver.IsVisible(ProgressPageClass));
    EXPECT_EQ(e2e::WindowText(GetDlgItem(driver.MainWindow(), NextButtonId)), "Install");
    EXPECT_FALSE(DirectoryExists(DefaultProgramDir()));

    RemoveDirectoryA(blocker.c_str());
    InstallAndExpectExit(driver);
    EXPECT_EQ(ReadTree(DefaultProgramDir()), ExpectedProductTree());
    EXPECT_NE(StartedProduct(), 0u);
}

TEST_F(InstallEndToEndTest, ConsoleDriverRunsAScenario)
{
    std::string output = startDirectory_ + "\\driver.txt";
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE file = CreateFileA(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    std::string command = "\"" + BuildPath("tests\\zavdriver.exe") + "\" \"" + BuildPath("setup.exe") +
                          "\" start to-progress option:startmenu=off option:desktop=off option:group=off"
                          " option:run=off option:readme=off install answer:ok";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = file;
    startup.hStdError = file;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process));
    CloseHandle(file);
    ASSERT_EQ(WaitForSingleObject(process.hProcess, InstallTimeoutMs), WAIT_OBJECT_0);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    std::string printed = ReadFile(output);
    EXPECT_EQ(code, 0u) << printed;
    EXPECT_NE(printed.find("painted_ms "), std::string::npos) << printed;
    EXPECT_NE(printed.find("box Program was successfully installed!|ZAV 1.00 beta 8"), std::string::npos) << printed;
    EXPECT_NE(printed.find("exit_code 0"), std::string::npos) << printed;
    EXPECT_EQ(ReadTree(DefaultProgramDir()), ExpectedProductTree());
}

// A copy of the setup damaged inside one of its embedded images, as a broken download would
// be: it says so before it writes or loads anything, and the user may close it.
TEST_F(InstallEndToEndTest, ADamagedSetupFileSaysSoAndWritesAndLoadsNothing)
{
    const std::string program = ReadFile(BuildPath("setup.exe"));
    const struct {
        const char* what;
        std::string file;
    } images[] = {
        {"library", ReadFile(BuildPath("UnzDll.dll"))},
        {"archive", ReadFile(BuildPath("zav.zip"))},
    };
    const std::string templates = SpecialFolder(CSIDL_TEMPLATES);
    for (const auto& image : images) {
        SCOPED_TRACE(image.what);
        Clean();
        const std::size_t at = EmbeddedAt(program, image.file);
        ASSERT_NE(at, std::string::npos);
        // 32 bytes in the middle of the image's words: data bytes and zero high bytes alike.
        std::string damaged = program;
        for (std::size_t i = 0; i < 32; ++i) damaged[at + image.file.size() + i] ^= '\xA5';
        const std::string folder = startDirectory_ + "\\" + image.what;
        CreateDirectoryA(folder.c_str(), nullptr);
        ASSERT_TRUE(WriteFile(folder + "\\setup.exe", damaged));
        const Tree templatesBefore = ReadTree(templates);

        e2e::SetupDriver driver;
        ASSERT_TRUE(driver.Start(folder + "\\setup.exe", startDirectory_));
        ASSERT_TRUE(driver.GoToProgressPage());
        SetOptions(driver, false, false, false);
        ASSERT_TRUE(driver.StartInstall());
        e2e::MessageBoxInfo box;
        ASSERT_EQ(driver.WaitForMessageBoxOrExit(InstallTimeoutMs, box), e2e::WaitResult::MessageBox);

        EXPECT_EQ(box.text, DamagedSetupText);
        EXPECT_EQ(box.caption, "Setup error");
        EXPECT_EQ(box.owner, driver.MainWindow());
        // While the box is open: nothing written into Templates or the destination, nothing loaded.
        EXPECT_EQ(ReadTree(templates), templatesBefore);
        EXPECT_FALSE(PathExists(DefaultProgramDir()));
        const std::vector<std::string> modules = LoadedModules(driver.Process());
        ASSERT_NE(std::find(modules.begin(), modules.end(), "setup.exe"), modules.end());
        EXPECT_EQ(std::find(modules.begin(), modules.end(), "unzdll.dll"), modules.end());
        ASSERT_TRUE(driver.Answer(box, IDOK));
        EXPECT_TRUE(driver.Running());
    }
}

// Started from a download folder that also holds a library named like the setup's own unzip
// library: the setup loads its staged copy by full path, never the one beside it.
TEST_F(InstallEndToEndTest, NoLibraryPlantedBesideTheSetupIsLoaded)
{
    const std::string downloads = startDirectory_ + "\\Downloads";
    const std::string planted = downloads + "\\UnzDll.dll";
    CreateDirectoryA(downloads.c_str(), nullptr);
    ASSERT_TRUE(CopyFileA(BuildPath("setup.exe").c_str(), (downloads + "\\setup.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(BuildPath("tests\\planted.dll").c_str(), planted.c_str(), FALSE));

    // Wine supplies its own system libraries before planted ones, so the restriction is watched
    // itself: the setup's first act limits the search for libraries to the system folder
    // (LOAD_LIBRARY_SEARCH_SYSTEM32, 0x800). The console driver starts it under Wine's relay
    // trace, which goes to the driver's Unix standard error and its child's.
    const std::string trace = startDirectory_ + "\\relay.txt";
    ASSERT_TRUE(WriteFile(trace, ""));
    {
        RelayLimitedTo relay("SetDefaultDllDirectories");
        ASSERT_TRUE(RunUnixCommand(
            {"sh", "-c",
             "env -u WINEPRELOADRESERVE -u WINESERVERSOCKET WINEDEBUG=+relay \"$ZAV_WINE\" \"$0\" \"$1\" start "
             ">/dev/null 2>\"$2\"",
             UnixPath(BuildPath("tests\\zavdriver.exe")), downloads + "\\setup.exe", UnixPath(trace)}));
    }
    const std::string traced = ReadFile(trace);
    EXPECT_NE(traced.find("SetDefaultDllDirectories(00000800)"), std::string::npos) << traced.substr(0, 2000);

    e2e::SetupDriver driver;
    ASSERT_TRUE(driver.Start(downloads + "\\setup.exe", startDirectory_));
    ASSERT_TRUE(driver.GoToProgressPage());
    SetOptions(driver, false, false, false);
    ASSERT_TRUE(driver.StartInstall());
    e2e::MessageBoxInfo box;
    ASSERT_EQ(driver.WaitForMessageBoxOrExit(InstallTimeoutMs, box), e2e::WaitResult::MessageBox);
    EXPECT_EQ(box.text, "Program was successfully installed!");
    ASSERT_TRUE(driver.Answer(box, IDOK));
    ASSERT_TRUE(driver.WaitForExit(InstallTimeoutMs));

    EXPECT_FALSE(FileExists(planted + ".loaded"));
    EXPECT_EQ(ReadTree(DefaultProgramDir()), ExpectedProductTree());
}
