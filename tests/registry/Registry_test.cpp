#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "registry/Registry.h"
#include "shell/SetupState.h"
#include "support/TestSupport.h"

using namespace testing_support;

namespace {

const std::string Product = "Software\\ZAV";
const std::string ThisVersion = Product + "\\ZAV 1.00 beta 8";
const std::string ThisDirectories = ThisVersion + "\\Directories";

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetProductKey();
        ResetSetupState();
    }
    void TearDown() override
    {
        ResetProductKey();
        if (list_) DestroyWindow(list_);
    }

    // A stand-in list box holding one marker row, so that "untouched" can be seen.
    HWND MarkedList()
    {
        list_ = CreateWindowExA(0, "listbox", nullptr, WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
        SendMessageA(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("marker"));
        return list_;
    }

    void SelectName(const std::string& name)
    {
        ASSERT_LT(name.size(), sizeof g_setup.selectedVersionName);
        std::strcpy(g_setup.selectedVersionName, name.c_str());
    }

private:
    HWND list_ = nullptr;
};

// Writes a value of any type and bytes, creating the key.
void SetRawValue(const std::string& keyPath, const char* name, DWORD type, const void* data, DWORD size)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

// Creates a version key relative to the product key: the ANSI calls take whole paths of at
// most 260 characters, which a version name of up to 255 exceeds with its prefix.
void RecordLongVersion(const std::string& name)
{
    HKEY product = nullptr, version = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, Product.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &product, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegCreateKeyExA(product, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &version,
                              nullptr),
              ERROR_SUCCESS);
    if (version) RegCloseKey(version);
    RegCloseKey(product);
}

// What the setup hands to RegSetValueExA, seen from inside this executable.
struct ValueWrite {
    std::string name;
    DWORD type;
    DWORD count;
};
std::vector<ValueWrite> valueWrites;
ImportPatch* setValuePatch = nullptr;

LONG WINAPI RecordingSetValue(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data,
                              DWORD count)
{
    valueWrites.push_back({name ? name : "", type, count});
    using Fn = LONG(WINAPI*)(HKEY, LPCSTR, DWORD, DWORD, const BYTE*, DWORD);
    return reinterpret_cast<Fn>(setValuePatch->Original())(key, name, reserved, type, data, count);
}

class ValueWriteRecorder {
public:
    ValueWriteRecorder() : patch_("advapi32.dll", "RegSetValueExA", reinterpret_cast<void*>(&RecordingSetValue))
    {
        setValuePatch = &patch_;
        valueWrites.clear();
    }
    ~ValueWriteRecorder() { setValuePatch = nullptr; }
    bool Active() const { return patch_.Active(); }

    // The byte count of the last write of the value, or -1 when it was not written.
    long CountOf(const std::string& name) const
    {
        long count = -1;
        for (const ValueWrite& write : valueWrites)
            if (write.name == name) count = static_cast<long>(write.count);
        return count;
    }

private:
    ImportPatch patch_;
};

// Every key the setup opens or creates, until it closes it again.
std::set<HKEY> openKeys;
std::vector<REGSAM> requestedAccess;
ImportPatch* openPatch = nullptr;
ImportPatch* createPatch = nullptr;
ImportPatch* closePatch = nullptr;

LONG WINAPI CountingOpen(HKEY parent, LPCSTR subkey, DWORD options, REGSAM access, PHKEY result)
{
    using Fn = LONG(WINAPI*)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY);
    LONG status = reinterpret_cast<Fn>(openPatch->Original())(parent, subkey, options, access, result);
    requestedAccess.push_back(access);
    if (status == ERROR_SUCCESS) openKeys.insert(*result);
    return status;
}

LONG WINAPI CountingCreate(HKEY parent, LPCSTR subkey, PHKEY result)
{
    using Fn = LONG(WINAPI*)(HKEY, LPCSTR, PHKEY);
    LONG status = reinterpret_cast<Fn>(createPatch->Original())(parent, subkey, result);
    if (status == ERROR_SUCCESS) openKeys.insert(*result);
    return status;
}

LONG WINAPI CountingClose(HKEY key)
{
    openKeys.erase(key);
    using Fn = LONG(WINAPI*)(HKEY);
    return reinterpret_cast<Fn>(closePatch->Original())(key);
}

bool ValueExists(const std::string& keyPath, const char* name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    LONG result = RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

std::vector<std::string> EnumeratedVersions()
{
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, Product.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
    char name[512];
    for (DWORD i = 0; RegEnumKeyA(key, i, name, sizeof name) == ERROR_SUCCESS; ++i) names.push_back(name);
    RegCloseKey(key);
    return names;
}

} // namespace

TEST_F(RegistryTest, CompareInstalledVersionJudgesTheRecordedNumberUnsigned)
{
    const std::uint32_t v1013 = 1013, v1014 = 1014, v1015 = 1015, vMax = 4294967295u;
    const std::uint32_t v16 = 0x00010000u;
    const char text1014[] = "1014";
    const unsigned char eightBytes[8] = {0xF6, 0x03, 0, 0, 0, 0, 0, 0};
    const unsigned char twoBytes[2] = {0xF7, 0x03};
    struct Case {
        const char* what;
        bool versionKey;
        bool directories;
        DWORD type;
        const void* data;
        DWORD size;
        std::uint8_t expected;
    } cases[] = {
        {"1013 is older", true, true, REG_DWORD, &v1013, 4, 2},
        {"1014 is the same", true, true, REG_DWORD, &v1014, 4, 1},
        {"1015 is newer", true, true, REG_DWORD, &v1015, 4, 0},
        {"4294967295 is newer, not -1", true, true, REG_DWORD, &vMax, 4, 0},
        {"65536 is newer", true, true, REG_DWORD, &v16, 4, 0},
        {"no Version value", true, true, REG_NONE, nullptr, 0, 2},
        {"no Directories key", true, false, REG_NONE, nullptr, 0, 2},
        {"nothing recorded", false, false, REG_NONE, nullptr, 0, 2},
        {"Version as text", true, true, REG_SZ, text1014, 4, 2},
        {"Version of 8 bytes", true, true, REG_BINARY, eightBytes, 8, 2},
        {"Version of 2 bytes", true, true, REG_BINARY, twoBytes, 2, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetProductKey();
        if (c.versionKey) RecordVersion("ZAV 1.00 beta 8", c.directories);
        if (c.data) SetRawValue(ThisDirectories, "Version", c.type, c.data, c.size);
        EXPECT_EQ(CompareInstalledVersion(), c.expected);
        EXPECT_EQ(IsThisVersionRecorded(), c.versionKey);
    }
}

TEST_F(RegistryTest, ListsWithoutTheProductKeyReportNothingAndLeaveTheirListsAlone)
{
    g_setup.previousConfigList = MarkedList();
    EXPECT_FALSE(ListPreviousConfigurations(true));
    EXPECT_FALSE(ListPreviousConfigurations(false));
    EXPECT_EQ(ListRows(g_setup.previousConfigList), std::vector<std::string>{"marker"});

    g_setup.installedList = g_setup.previousConfigList;
    g_setup.previousConfigList = nullptr;
    EXPECT_FALSE(ListInstalledVersions());
    EXPECT_EQ(ListRows(g_setup.installedList), std::vector<std::string>{"marker"});
}

TEST_F(RegistryTest, ListsOfAnEmptyProductKeyHoldNoVersion)
{
    SetRawValue(Product, "unrelated", REG_SZ, "x", 1);  // makes the key, which has no subkey
    g_setup.previousConfigList = MarkedList();
    EXPECT_FALSE(ListPreviousConfigurations(false));
    EXPECT_EQ(ListRows(g_setup.previousConfigList), std::vector<std::string>{"marker"});
    EXPECT_FALSE(ListPreviousConfigurations(true));
    EXPECT_EQ(ListRows(g_setup.previousConfigList), std::vector<std::string>{"No previous configuration"});

    g_setup.installedList = g_setup.previousConfigList;
    g_setup.previousConfigList = nullptr;
    EXPECT_FALSE(ListInstalledVersions());
    EXPECT_TRUE(ListRows(g_setup.installedList).empty());
}

TEST_F(RegistryTest, ListsShowEveryVersionKeyInEnumerationOrder)
{
    RecordVersion("ZAV 1.00 beta 6");
    RecordVersion("ZAV 0.9", false);
    RecordVersion("ZAV 1.00 beta 8");
    std::vector<std::string> versions = EnumeratedVersions();
    ASSERT_EQ(versions.size(), 3u);

    g_setup.previousConfigList = MarkedList();
    EXPECT_TRUE(ListPreviousConfigurations(false));
    EXPECT_EQ(ListRows(g_setup.previousConfigList), std::vector<std::string>{"marker"});
    EXPECT_TRUE(ListPreviousConfigurations(true));
    std::vector<std::string> expected = {"No previous configuration"};
    expected.insert(expected.end(), versions.begin(), versions.end());
    EXPECT_EQ(ListRows(g_setup.previousConfigList), expected);

    g_setup.installedList = g_setup.previousConfigList;
    g_setup.previousConfigList = nullptr;
    EXPECT_TRUE(ListInstalledVersions());
    EXPECT_EQ(ListRows(g_setup.installedList), versions);
}

TEST_F(RegistryTest, ListsCopeWithTheLongestKeyNames)
{
    // 255 characters is the longest key name the registry allows; it must list whole.
    std::string longest(255, 'v');
    RecordLongVersion(longest);
    RecordVersion("ZAV 1.00 beta 6", false);
    g_setup.installedList = MarkedList();
    EXPECT_TRUE(ListInstalledVersions());
    EXPECT_EQ(ListRows(g_setup.installedList), EnumeratedVersions());
    EXPECT_EQ(ListRows(g_setup.installedList).size(), 2u);
}

TEST_F(RegistryTest, CreateKeysBuildsTheRecordStepByStep)
{
    EXPECT_EQ(CreateDirectoriesKey(), 1);  // no version key yet
    EXPECT_FALSE(KeyExists(Product));
    EXPECT_EQ(WriteInstallRecord("C:\\ZAV"), 1);  // no Directories key: nothing written
    EXPECT_FALSE(KeyExists(Product));

    EXPECT_EQ(CreateVersionKey(), 0);
    EXPECT_TRUE(KeyExists(ThisVersion));
    EXPECT_FALSE(KeyExists(ThisDirectories));
    EXPECT_EQ(CreateVersionKey(), 0);  // already there
    EXPECT_EQ(CreateDirectoriesKey(), 0);
    EXPECT_TRUE(KeyExists(ThisDirectories));
    EXPECT_EQ(CreateDirectoriesKey(), 0);
    EXPECT_TRUE(IsThisVersionRecorded());
}

TEST_F(RegistryTest, WriteInstallRecordStoresPathVersionAndPreviousConfiguration)
{
    struct Case {
        const char* selected;
        const char* storedPrevCfg;  // nullptr: the earlier value stays
        const char* selectedAfter;
    } cases[] = {
        {"", "no", "no"},
        {"ab", nullptr, "ab"},
        {"no", nullptr, "no"},
        {"abc", "abc", "abc"},
        {"ZAV 1.00 beta 6", "ZAV 1.00 beta 6", "ZAV 1.00 beta 6"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("selected \"") + c.selected + "\"");
        ResetProductKey();
        ASSERT_EQ(CreateVersionKey(), 0);
        ASSERT_EQ(CreateDirectoriesKey(), 0);
        SetRawValue(ThisDirectories, "Prev Cfg", REG_SZ, "earlier", 7);
        SelectName(c.selected);

        ValueWriteRecorder writes;
        ASSERT_TRUE(writes.Active());
        EXPECT_EQ(WriteInstallRecord("C:\\Program Files\\ZAV 1.00 beta 8"), 0);
        EXPECT_STREQ(g_setup.selectedVersionName, c.selectedAfter);
        std::string value;
        ASSERT_TRUE(ReadString(ThisDirectories, "Prev Cfg", value));
        EXPECT_EQ(value, c.storedPrevCfg ? c.storedPrevCfg : "earlier");
        // Texts are handed over without their NUL.
        EXPECT_EQ(writes.CountOf("Prev Cfg"), c.storedPrevCfg ? long(std::strlen(c.storedPrevCfg)) : -1);
        ASSERT_TRUE(ReadString(ThisDirectories, "Program Path", value));
        EXPECT_EQ(value, "C:\\Program Files\\ZAV 1.00 beta 8");
        EXPECT_EQ(writes.CountOf("Program Path"), long(value.size()));
        EXPECT_EQ(writes.CountOf("Version"), 4);
        EXPECT_EQ(writes.CountOf("ShowReadme"), 4);
        std::uint32_t version = 0;
        ASSERT_TRUE(ReadDword(ThisDirectories, "Version", version));
        EXPECT_EQ(version, 1014u);
    }

    // Without an earlier record a two-letter name leaves "Prev Cfg" out altogether.
    ResetProductKey();
    ASSERT_EQ(CreateVersionKey(), 0);
    ASSERT_EQ(CreateDirectoriesKey(), 0);
    SelectName("ab");
    EXPECT_EQ(WriteInstallRecord("C:\\ZAV"), 0);
    EXPECT_FALSE(ValueExists(ThisDirectories, "Prev Cfg"));
    EXPECT_TRUE(ValueExists(ThisDirectories, "Program Path"));
}

TEST_F(RegistryTest, ShowReadmeIsSetOnlyWhenBothOptionsAre)
{
    ASSERT_EQ(CreateVersionKey(), 0);
    ASSERT_EQ(CreateDirectoriesKey(), 0);
    struct Case {
        bool viewReadme;
        bool runAfter;
        std::uint32_t expected;
    } cases[] = {{false, false, 0}, {true, false, 0}, {false, true, 0}, {true, true, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.viewReadme) + "/" + std::to_string(c.runAfter));
        g_setup.viewReadme = c.viewReadme;
        g_setup.runAfterInstall = c.runAfter;
        ASSERT_EQ(WriteInstallRecord("C:\\ZAV"), 0);
        std::uint32_t value = 99;
        ASSERT_TRUE(ReadDword(ThisDirectories, "ShowReadme", value));
        EXPECT_EQ(value, c.expected);
    }
}

TEST_F(RegistryTest, ALongestProgramPathIsStoredAndReadBackWhole)
{
    std::string path = "C:\\" + std::string(256, 'p');
    ASSERT_EQ(path.size(), 259u);
    ASSERT_EQ(CreateVersionKey(), 0);
    ASSERT_EQ(CreateDirectoriesKey(), 0);
    ValueWriteRecorder writes;
    ASSERT_TRUE(writes.Active());
    ASSERT_EQ(WriteInstallRecord(path.c_str()), 0);
    EXPECT_EQ(writes.CountOf("Program Path"), 259);

    // The platform itself counts the NUL that follows the text in memory (260 stored bytes).
    std::string stored;
    DWORD bytes = 0;
    ASSERT_TRUE(ReadString(ThisDirectories, "Program Path", stored, &bytes));
    EXPECT_EQ(stored, path);
    EXPECT_GE(bytes, 259u);

    SelectName("ZAV 1.00 beta 8");
    EXPECT_EQ(ReadInstalledProgramPath(), 0);
    EXPECT_EQ(std::string(g_setup.programDir), path);
    EXPECT_EQ(ReadPreviousProgramPath("ZAV 1.00 beta 8"), 0);
    EXPECT_EQ(std::string(g_setup.previousProgramDir), path);
    EXPECT_EQ(std::string(g_setup.scratchPath), path);
}

TEST_F(RegistryTest, ProgramPathReadsNeverRunPastTheirBuffers)
{
    const std::string key = Product + "\\Other\\Directories";
    // A byte other than NUL after the counted bytes keeps the platform from adding one.
    std::string exact260(261, 'x');                       // 260 bytes stored, no room for a NUL
    std::string exact259 = std::string(259, 'w') + 'Q';  // 259 bytes stored, no NUL
    std::string over(301, 'y');
    std::string withNul = std::string(259, 'z') + '\0';  // 260 bytes, terminated by the writer
    const DWORD number = 7;
    struct Case {
        const char* what;
        DWORD type;
        const void* data;
        DWORD size;
        bool ok;
        std::string expected;
    } cases[] = {
        {"260 characters without NUL", REG_SZ, exact260.data(), 260, false, ""},
        {"300 characters", REG_SZ, over.data(), 300, false, ""},
        {"259 characters without NUL", REG_SZ, exact259.data(), 259, true, std::string(259, 'w')},
        {"259 characters stored with NUL", REG_SZ, withNul.data(), 260, true, std::string(259, 'z')},
        {"empty", REG_SZ, "", 0, true, ""},
        {"a number", REG_DWORD, &number, 4, false, ""},
        {"binary bytes", REG_BINARY, "C:\\bin", 6, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetProductKey();
        SetRawValue(key, "Program Path", c.type, c.data, c.size);
        SelectName("Other");
        std::memset(g_setup.programDir, '#', sizeof g_setup.programDir - 1);
        g_setup.programDir[sizeof g_setup.programDir - 1] = '\0';
        const std::string untouched = g_setup.programDir;
        EXPECT_EQ(ReadInstalledProgramPath(), c.ok ? 0 : 1);
        EXPECT_EQ(std::string(g_setup.programDir), c.ok ? c.expected : untouched);

        std::strcpy(g_setup.previousProgramDir, "before");
        EXPECT_EQ(ReadPreviousProgramPath("Other"), c.ok ? 0 : 1);
        EXPECT_EQ(std::string(g_setup.previousProgramDir), c.ok ? c.expected : "before");
    }
}

TEST_F(RegistryTest, NamesThatDoNotMakeAKeyPathFail)
{
    // "Software\ZAV\<name>\Directories" must fit 259 characters: names up to 234 do.
    std::string fits(234, 'n');
    std::string tooLong(235, 'n');
    RecordVersion(fits, true, "C:\\fits");
    EXPECT_EQ(ReadPreviousProgramPath(fits.c_str()), 0);
    EXPECT_STREQ(g_setup.previousProgramDir, "C:\\fits");
    SelectName(fits);
    EXPECT_EQ(ReadInstalledProgramPath(), 0);

    std::strcpy(g_setup.programDir, "before");
    std::strcpy(g_setup.previousProgramDir, "before");
    const std::string huge(5000, 'h');
    for (const std::string& name : {tooLong, std::string(259, 'n'), huge}) {
        SCOPED_TRACE(name.size());
        EXPECT_EQ(ReadPreviousProgramPath(name.c_str()), 1);
        EXPECT_STREQ(g_setup.previousProgramDir, "before");
        if (name.size() < sizeof g_setup.selectedVersionName) {
            SelectName(name);
            EXPECT_EQ(ReadInstalledProgramPath(), 1);
            EXPECT_STREQ(g_setup.programDir, "before");
        }
    }
    EXPECT_EQ(ReadPreviousProgramPath(nullptr), 1);
    EXPECT_EQ(ReadPreviousProgramPath(""), 1);
}

TEST_F(RegistryTest, RemovingVersionsRemovesTheProductKeyWithTheLast)
{
    RecordVersion("ZAV 1.00 beta 6", true, "C:\\six");
    RecordVersion("ZAV 1.00 beta 8", true, "C:\\eight");

    SelectName("ZAV 1.00 beta 6");
    EXPECT_EQ(DeleteVersionKey(), 0);
    EXPECT_EQ(DeleteProductKey(), 0);
    EXPECT_FALSE(KeyExists(Product + "\\ZAV 1.00 beta 6"));
    EXPECT_TRUE(KeyExists(ThisDirectories));
    EXPECT_EQ(EnumeratedVersions(), std::vector<std::string>{"ZAV 1.00 beta 8"});
    EXPECT_EQ(ReadInstalledProgramPath(), 1);  // nothing left to read for the removed one

    SelectName("ZAV 1.00 beta 8");
    EXPECT_EQ(DeleteVersionKey(), 0);
    EXPECT_TRUE(KeyExists(Product));
    EXPECT_EQ(DeleteProductKey(), 0);
    EXPECT_FALSE(KeyExists(Product));
    EXPECT_TRUE(KeyExists("Software"));

    EXPECT_EQ(DeleteVersionKey(), 1);  // no product key to open
}

TEST_F(RegistryTest, DeleteVersionKeyWithAnUnusableNameDeletesNothing)
{
    const char* names[] = {"", "\\", "ZAV 1.00 beta 6\\Directories", "..", ".", "a\\..\\b"};
    std::vector<std::string> unusable(std::begin(names), std::end(names));
    unusable.push_back(std::string(247, 'n'));  // "Software\ZAV\" and this would not fit 259
    unusable.push_back(std::string(259, 'n'));
    for (const std::string& name : unusable) {
        SCOPED_TRACE("name \"" + name.substr(0, 40) + "\" of " + std::to_string(name.size()));
        ResetProductKey();
        RecordVersion("ZAV 1.00 beta 6", true, "C:\\six");
        RecordVersion("ZAV 1.00 beta 8", false);
        // A key of the over-long name may exist (the registry takes names of up to 255).
        if (name.size() > 200 && name.size() <= 255) RecordLongVersion(name);
        std::vector<std::string> before = EnumeratedVersions();
        SelectName(name);
        EXPECT_EQ(DeleteVersionKey(), 1);
        EXPECT_TRUE(KeyExists(Product + "\\ZAV 1.00 beta 6\\Directories"));
        EXPECT_EQ(EnumeratedVersions(), before);
    }
}

TEST_F(RegistryTest, EveryOperationClosesEveryKeyItOpens)
{
    ImportPatch open("advapi32.dll", "RegOpenKeyExA", reinterpret_cast<void*>(&CountingOpen));
    ImportPatch create("advapi32.dll", "RegCreateKeyA", reinterpret_cast<void*>(&CountingCreate));
    ImportPatch close("advapi32.dll", "RegCloseKey", reinterpret_cast<void*>(&CountingClose));
    openPatch = &open;
    createPatch = &create;
    closePatch = &close;
    ASSERT_TRUE(open.Active() && create.Active() && close.Active());

    struct Situation {
        const char* what;
        void (*prepare)();
    } situations[] = {
        {"nothing recorded", [] {}},
        {"product key only", [] { SetRawValue(Product, "x", REG_SZ, "x", 1); }},
        {"version key only", [] { RecordVersion("ZAV 1.00 beta 8", false); }},
        {"full record and another", [] {
             std::uint32_t number = 1014;
             RecordVersion("ZAV 1.00 beta 8", true, "C:\\eight", &number);
             RecordVersion("ZAV 1.00 beta 6", true, "C:\\six", &number);
         }},
    };
    HWND list = CreateWindowExA(0, "listbox", nullptr, WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    for (const char* selected : {"ZAV 1.00 beta 8", "", "ZAV 1.00 beta 6"}) {
        for (const Situation& situation : situations) {
            SCOPED_TRACE(std::string(situation.what) + ", selected \"" + selected + "\"");
            ResetProductKey();
            situation.prepare();
            openKeys.clear();
            requestedAccess.clear();
            g_setup.previousConfigList = list;
            g_setup.installedList = list;
            struct Step {
                const char* name;
                std::function<void()> run;
            } steps[] = {
                {"IsThisVersionRecorded", [] { IsThisVersionRecorded(); }},
                {"CompareInstalledVersion", [] { CompareInstalledVersion(); }},
                {"ListPreviousConfigurations", [] { ListPreviousConfigurations(false); ListPreviousConfigurations(true); }},
                {"ListInstalledVersions", [] { ListInstalledVersions(); }},
                {"ReadPreviousProgramPath", [] { ReadPreviousProgramPath(g_setup.selectedVersionName); }},
                {"ReadInstalledProgramPath", [] { ReadInstalledProgramPath(); }},
                {"CreateVersionKey", [] { CreateVersionKey(); }},
                {"CreateDirectoriesKey", [] { CreateDirectoriesKey(); }},
                {"WriteInstallRecord", [] { WriteInstallRecord("C:\\ZAV"); }},
                {"DeleteVersionKey", [] { DeleteVersionKey(); }},
                {"DeleteProductKey", [] { DeleteProductKey(); }},
            };
            for (const Step& step : steps) {
                SelectName(selected);
                step.run();
                EXPECT_TRUE(openKeys.empty()) << step.name << " left " << openKeys.size() << " key(s) open";
                openKeys.clear();
            }
            for (REGSAM access : requestedAccess) EXPECT_EQ(access, static_cast<REGSAM>(KEY_ALL_ACCESS));
        }
    }
    DestroyWindow(list);
    g_setup.previousConfigList = nullptr;
    g_setup.installedList = nullptr;
}
