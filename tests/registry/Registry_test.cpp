#include <gtest/gtest.h>

#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "registry/Registry.h"
#include "shell/SetupState.h"
#include "shell/Text.h"
#include "support/Hooks.h"
#include "support/Registry.h"
#include "support/TestSupport.h"

using namespace testing_support;

namespace {

const std::string Product = "Software\\ZAV";
const std::string ThisDirectories = Product + "\\ZAV 1.00 beta 8\\Directories";
using Rows = std::vector<std::string>;

// What the setup hands to the registry, seen through this executable's imports.
struct Hooks {
    static inline std::vector<std::pair<std::string, DWORD>> writes;  // value name, byte count
    static inline std::set<HKEY> open;
    static inline std::set<REGSAM> access;
    static inline ImportPatch* patches[4];

    using SetValueFn = LONG(WINAPI*)(HKEY, LPCSTR, DWORD, DWORD, const BYTE*, DWORD);
    using OpenFn = LONG(WINAPI*)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY);
    using CreateFn = LONG(WINAPI*)(HKEY, LPCSTR, PHKEY);
    using CloseFn = LONG(WINAPI*)(HKEY);

    static LONG WINAPI SetValue(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD count)
    {
        writes.emplace_back(name ? name : "", count);
        return reinterpret_cast<SetValueFn>(patches[0]->Original())(key, name, reserved, type, data, count);
    }
    static LONG WINAPI Open(HKEY parent, LPCSTR path, DWORD options, REGSAM sam, PHKEY result)
    {
        LONG status = reinterpret_cast<OpenFn>(patches[1]->Original())(parent, path, options, sam, result);
        access.insert(sam);
        if (status == ERROR_SUCCESS) open.insert(*result);
        return status;
    }
    static LONG WINAPI Create(HKEY parent, LPCSTR path, PHKEY result)
    {
        LONG status = reinterpret_cast<CreateFn>(patches[2]->Original())(parent, path, result);
        if (status == ERROR_SUCCESS) open.insert(*result);
        return status;
    }
    static LONG WINAPI Close(HKEY key)
    {
        open.erase(key);
        return reinterpret_cast<CloseFn>(patches[3]->Original())(key);
    }

    // Byte count of the last write of a value, -1 when it was not written.
    static long CountOf(const std::string& name)
    {
        long count = -1;
        for (const auto& write : writes)
            if (write.first == name) count = static_cast<long>(write.second);
        return count;
    }
};

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetProductKey();
        ResetSetupState();
        Hooks::writes.clear();
        Hooks::open.clear();
        Hooks::access.clear();
        for (ImportPatch*& patch : Hooks::patches) patch = nullptr;
    }
    void TearDown() override
    {
        ResetProductKey();
        if (list_) DestroyWindow(list_);
    }

    // A stand-in list box holding one marker row, so that "untouched" can be seen.
    HWND MarkedList()
    {
        if (!list_)
            list_ = CreateWindowExA(0, "listbox", nullptr, WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                                    GetModuleHandleA(nullptr), nullptr);
        SendMessageA(list_, LB_RESETCONTENT, 0, 0);
        SendMessageA(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("marker"));
        return list_;
    }

private:
    HWND list_ = nullptr;
};

void Select(const std::string& name) { text::Copy(g_setup.selectedVersionName, name.c_str()); }

} // namespace

TEST_F(RegistryTest, CompareInstalledVersionJudgesTheRecordedNumberUnsigned)
{
    const std::uint32_t numbers[] = {1013, 1014, 1015, 4294967295u};
    const unsigned char twoBytes[2] = {0xF6, 0x03};
    struct Case {
        const char* what;
        int versionKey;  // 0 none, 1 without Directories, 2 with
        DWORD type;
        const void* data;
        DWORD size;
        std::uint8_t expected;
    } cases[] = {
        {"1013", 2, REG_DWORD, &numbers[0], 4, 2},     {"1014", 2, REG_DWORD, &numbers[1], 4, 1},
        {"1015", 2, REG_DWORD, &numbers[2], 4, 0},     {"4294967295", 2, REG_DWORD, &numbers[3], 4, 0},
        {"no Version", 2, REG_NONE, nullptr, 0, 2},    {"no Directories", 1, REG_NONE, nullptr, 0, 2},
        {"nothing recorded", 0, REG_NONE, nullptr, 0, 2}, {"Version as text", 2, REG_SZ, "1014", 4, 2},
        {"Version of 2 bytes", 2, REG_BINARY, twoBytes, 2, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetProductKey();
        if (c.versionKey) RecordVersion("ZAV 1.00 beta 8", c.versionKey == 2);
        if (c.data) SetRawValue(ThisDirectories, "Version", c.type, c.data, c.size);
        EXPECT_EQ(CompareInstalledVersion(), c.expected);
        EXPECT_EQ(IsThisVersionRecorded(), c.versionKey != 0);
    }
}

TEST_F(RegistryTest, ListsHoldTheVersionKeysInEnumerationOrder)
{
    const Rows marker = {"marker"};
    for (int keys : {-1, 0, 3}) {  // no product key, an empty one, three versions
        SCOPED_TRACE(keys);
        ResetProductKey();
        if (keys == 0) SetRawValue(Product, "unrelated", REG_SZ, "x", 1);
        if (keys == 3) {
            RecordVersion("ZAV 1.00 beta 6");
            RecordVersion("ZAV 0.9", false);
            RecordVersion("ZAV 1.00 beta 8");
        }
        Rows versions = VersionKeys();
        Rows withFirst = {"No previous configuration"};
        withFirst.insert(withFirst.end(), versions.begin(), versions.end());

        g_setup.previousConfigList = MarkedList();
        EXPECT_EQ(ListPreviousConfigurations(false), keys > 0);
        EXPECT_EQ(ListRows(g_setup.previousConfigList), marker);  // fill false never touches it
        EXPECT_EQ(ListPreviousConfigurations(true), keys > 0);
        EXPECT_EQ(ListRows(g_setup.previousConfigList), keys < 0 ? marker : withFirst);

        g_setup.previousConfigList = nullptr;
        g_setup.installedList = MarkedList();
        EXPECT_EQ(ListInstalledVersions(), keys > 0);
        EXPECT_EQ(ListRows(g_setup.installedList), keys < 0 ? marker : versions);
    }
}

TEST_F(RegistryTest, CreateKeysBuildTheRecordStepByStep)
{
    EXPECT_EQ(CreateDirectoriesKey(), 1);  // no version key yet
    EXPECT_EQ(WriteInstallRecord("C:\\ZAV"), 1);
    EXPECT_FALSE(KeyExists(Product));
    EXPECT_EQ(CreateVersionKey(), 0);
    EXPECT_TRUE(IsThisVersionRecorded());
    EXPECT_FALSE(KeyExists(ThisDirectories));
    EXPECT_EQ(CreateVersionKey(), 0);
    EXPECT_EQ(CreateDirectoriesKey(), 0);
    EXPECT_EQ(CreateDirectoriesKey(), 0);
    EXPECT_TRUE(KeyExists(ThisDirectories));
}

TEST_F(RegistryTest, WriteInstallRecordStoresTheRecord)
{
    ImportPatch setValue("advapi32.dll", "RegSetValueExA", reinterpret_cast<void*>(&Hooks::SetValue));
    Hooks::patches[0] = &setValue;
    ASSERT_TRUE(setValue.Active());
    struct Case {
        const char* selected;
        bool earlier;             // a "Prev Cfg" from an earlier install exists
        const char* prevCfg;      // what "Prev Cfg" holds afterwards, nullptr: none
        const char* selectedAfter;
        bool viewReadme, runAfter;
        std::uint32_t showReadme;
    } cases[] = {
        {"", true, "no", "no", true, true, 1},
        {"ab", true, "earlier", "ab", true, false, 0},
        {"ab", false, nullptr, "ab", false, true, 0},
        {"abc", true, "abc", "abc", false, false, 0},
        {"ZAV 1.00 beta 6", false, "ZAV 1.00 beta 6", "ZAV 1.00 beta 6", true, true, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("selected \"") + c.selected + "\"");
        ResetProductKey();
        ASSERT_EQ(CreateVersionKey() + CreateDirectoriesKey(), 0);
        if (c.earlier) SetRawValue(ThisDirectories, "Prev Cfg", REG_SZ, "earlier", 7);
        Select(c.selected);
        g_setup.viewReadme = c.viewReadme;
        g_setup.runAfterInstall = c.runAfter;
        Hooks::writes.clear();

        EXPECT_EQ(WriteInstallRecord("C:\\Program Files\\ZAV 1.00 beta 8"), 0);
        EXPECT_STREQ(g_setup.selectedVersionName, c.selectedAfter);
        std::string value;
        EXPECT_EQ(ReadString(ThisDirectories, "Prev Cfg", value), c.prevCfg != nullptr);
        EXPECT_EQ(value, c.prevCfg ? c.prevCfg : "");
        bool written = c.prevCfg && std::string(c.prevCfg) != "earlier";
        EXPECT_EQ(Hooks::CountOf("Prev Cfg"), written ? long(std::string(c.prevCfg).size()) : -1);
        ASSERT_TRUE(ReadString(ThisDirectories, "Program Path", value));
        EXPECT_EQ(value, "C:\\Program Files\\ZAV 1.00 beta 8");
        EXPECT_EQ(Hooks::CountOf("Program Path"), long(value.size()));  // handed over without NUL
        std::uint32_t number = 0;
        EXPECT_TRUE(ReadDword(ThisDirectories, "Version", number));
        EXPECT_EQ(number, 1014u);
        EXPECT_TRUE(ReadDword(ThisDirectories, "ShowReadme", number));
        EXPECT_EQ(number, c.showReadme);
    }
}

TEST_F(RegistryTest, ALongestProgramPathIsStoredAndReadBackWhole)
{
    ImportPatch setValue("advapi32.dll", "RegSetValueExA", reinterpret_cast<void*>(&Hooks::SetValue));
    Hooks::patches[0] = &setValue;
    std::string path = "C:\\" + std::string(256, 'p');
    ASSERT_EQ(CreateVersionKey() + CreateDirectoriesKey(), 0);
    ASSERT_EQ(WriteInstallRecord(path.c_str()), 0);
    EXPECT_EQ(Hooks::CountOf("Program Path"), 259);

    Select("ZAV 1.00 beta 8");
    EXPECT_EQ(ReadInstalledProgramPath(), 0);
    EXPECT_EQ(std::string(g_setup.programDir), path);
    EXPECT_EQ(ReadPreviousProgramPath("ZAV 1.00 beta 8"), 0);
    EXPECT_EQ(std::string(g_setup.previousProgramDir), path);
    EXPECT_EQ(std::string(g_setup.scratchPath), path);
}

TEST_F(RegistryTest, ProgramPathReadsNeverRunPastTheirBuffers)
{
    // A byte other than NUL after the counted bytes keeps the platform from adding a NUL.
    const std::string x261(261, 'x'), y301(301, 'y'), w260 = std::string(259, 'w') + 'Q';
    const std::string z259(259, 'z');
    const DWORD number = 7;
    // Expandable paths are read expanded, and only when the expansion fits too.
    SetEnvironmentVariableA("ZAV_REGISTRY_BASE", "C:\\Base");
    SetEnvironmentVariableA("ZAV_REGISTRY_259", std::string(259, 'e').c_str());
    SetEnvironmentVariableA("ZAV_REGISTRY_260", std::string(260, 'f').c_str());
    const std::string base = "%ZAV_REGISTRY_BASE%\\ZAV", e259 = "%ZAV_REGISTRY_259%", f260 = "%ZAV_REGISTRY_260%";
    // Text after a NUL would be cut off by the reader: "C:\apps" alone names another folder.
    const std::string cut("C:\\apps\0\\ZAV 0.50", 17), padded("C:\\apps\0\0\0", 10);
    const std::string cutExpandable = base + std::string(1, '\0') + "\\0.50";
    struct Case {
        const char* what;
        DWORD type;
        const void* data;
        DWORD size;
        std::string expected;  // empty: the read fails
    } cases[] = {
        {"260 characters, no NUL", REG_SZ, x261.data(), 260, ""},
        {"300 characters", REG_SZ, y301.data(), 300, ""},
        {"259 characters, no NUL", REG_SZ, w260.data(), 259, std::string(259, 'w')},
        {"259 characters and NUL", REG_SZ, z259.c_str(), 260, z259},
        {"a number", REG_DWORD, &number, 4, ""},
        {"binary bytes", REG_BINARY, "C:\\bin", 6, ""},
        {"expandable", REG_EXPAND_SZ, base.c_str(), DWORD(base.size()), "C:\\Base\\ZAV"},
        {"expandable with NUL", REG_EXPAND_SZ, base.c_str(), DWORD(base.size() + 1), "C:\\Base\\ZAV"},
        {"expandable to 259 characters", REG_EXPAND_SZ, e259.c_str(), DWORD(e259.size()), std::string(259, 'e')},
        {"expandable to 260 characters", REG_EXPAND_SZ, f260.c_str(), DWORD(f260.size()), ""},
        {"expandable, unknown variable", REG_EXPAND_SZ, "%ZAV_REGISTRY_NONE%", 19, "%ZAV_REGISTRY_NONE%"},
        {"a NUL inside", REG_SZ, cut.data(), DWORD(cut.size()), ""},
        {"a NUL inside, and one at the end", REG_SZ, cut.c_str(), DWORD(cut.size() + 1), ""},
        {"NULs after the text", REG_SZ, padded.data(), DWORD(padded.size()), "C:\\apps"},
        {"expandable with a NUL inside", REG_EXPAND_SZ, cutExpandable.data(), DWORD(cutExpandable.size()), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetProductKey();
        SetRawValue(Product + "\\Other\\Directories", "Program Path", c.type, c.data, c.size);
        Select("Other");
        text::Copy(g_setup.programDir, "before");
        text::Copy(g_setup.previousProgramDir, "before");
        bool ok = !c.expected.empty();
        EXPECT_EQ(ReadInstalledProgramPath(), ok ? 0 : 1);
        EXPECT_TRUE(IsInstalledProgramPathRecorded());  // there, whether readable or not
        EXPECT_EQ(ReadPreviousProgramPath("Other"), ok ? 0 : 1);
        EXPECT_EQ(std::string(g_setup.programDir), ok ? c.expected : "before");
        EXPECT_EQ(std::string(g_setup.previousProgramDir), ok ? c.expected : "before");
    }
    for (const char* variable : {"ZAV_REGISTRY_BASE", "ZAV_REGISTRY_259", "ZAV_REGISTRY_260"})
        SetEnvironmentVariableA(variable, nullptr);
}

TEST_F(RegistryTest, NamesThatDoNotMakeAKeyPathFail)
{
    // "Software\ZAV\<name>\Directories" fits 259 characters for names of up to 234.
    const std::string fits(234, 'n');
    RecordVersion(fits, true, "C:\\fits");
    Select(fits);
    EXPECT_EQ(ReadInstalledProgramPath(), 0);
    EXPECT_EQ(ReadPreviousProgramPath(fits.c_str()), 0);
    text::Copy(g_setup.programDir, "before");
    for (const std::string& name : {std::string(235, 'n'), std::string(259, 'n'), std::string(5000, 'h'),
                                    std::string(), std::string("Other\\Directories")}) {
        SCOPED_TRACE(name.size());
        EXPECT_EQ(ReadPreviousProgramPath(name.c_str()), 1);
        Select(name);
        EXPECT_EQ(ReadInstalledProgramPath(), 1);
        EXPECT_STREQ(g_setup.programDir, "before");
    }
}

TEST_F(RegistryTest, RemovingVersionsRemovesTheProductKeyWithTheLast)
{
    RecordVersion("ZAV 1.00 beta 6", true, "C:\\six");
    RecordVersion("ZAV 1.00 beta 8", true, "C:\\eight");
    Select("ZAV 1.00 beta 6");
    EXPECT_EQ(DeleteVersionKey(), 0);
    EXPECT_EQ(DeleteProductKey(), 0);
    EXPECT_EQ(VersionKeys(), Rows{"ZAV 1.00 beta 8"});
    EXPECT_TRUE(KeyExists(ThisDirectories));
    EXPECT_EQ(ReadInstalledProgramPath(), 1);  // nothing left to read
    EXPECT_FALSE(IsInstalledProgramPathRecorded());

    Select("ZAV 1.00 beta 8");
    EXPECT_EQ(DeleteVersionKey(), 0);
    EXPECT_TRUE(KeyExists(Product));
    EXPECT_EQ(DeleteProductKey(), 0);
    EXPECT_FALSE(KeyExists(Product));
    EXPECT_EQ(DeleteVersionKey(), 1);  // no product key to open
}

TEST_F(RegistryTest, DeleteVersionKeyWithAnUnusableNameDeletesNothing)
{
    for (const std::string& name : {std::string(), std::string("\\"), std::string("ZAV 1.00 beta 6\\Directories"),
                                    std::string("."), std::string(".."), std::string(247, 'n')}) {
        SCOPED_TRACE("\"" + name.substr(0, 30) + "\"");
        ResetProductKey();
        RecordVersion("ZAV 1.00 beta 6", true, "C:\\six");
        RecordVersion("ZAV 1.00 beta 8", false);
        Select(name);
        EXPECT_EQ(DeleteVersionKey(), 1);
        EXPECT_TRUE(KeyExists(Product + "\\ZAV 1.00 beta 6\\Directories"));
        EXPECT_EQ(VersionKeys().size(), 2u);
    }
}

TEST_F(RegistryTest, EveryOperationClosesEveryKeyItOpens)
{
    ImportPatch open("advapi32.dll", "RegOpenKeyExA", reinterpret_cast<void*>(&Hooks::Open));
    ImportPatch create("advapi32.dll", "RegCreateKeyA", reinterpret_cast<void*>(&Hooks::Create));
    ImportPatch close("advapi32.dll", "RegCloseKey", reinterpret_cast<void*>(&Hooks::Close));
    Hooks::patches[1] = &open;
    Hooks::patches[2] = &create;
    Hooks::patches[3] = &close;
    ASSERT_TRUE(open.Active() && create.Active() && close.Active());
    void (*const operations[])() = {
        [] { IsThisVersionRecorded(); },          [] { CompareInstalledVersion(); },
        [] { ListPreviousConfigurations(true); }, [] { ListInstalledVersions(); },
        [] { ReadPreviousProgramPath(g_setup.selectedVersionName); },
        [] { ReadInstalledProgramPath(); },       [] { CreateVersionKey(); },
        [] { CreateDirectoriesKey(); },           [] { WriteInstallRecord("C:\\ZAV"); },
        [] { DeleteVersionKey(); },               [] { DeleteProductKey(); },
    };
    g_setup.previousConfigList = g_setup.installedList = MarkedList();
    for (int situation = 0; situation < 3; ++situation) {  // nothing, a version key, full records
        for (const char* selected : {"ZAV 1.00 beta 8", "", "ZAV 1.00 beta 6"}) {
            ResetProductKey();
            if (situation == 1) RecordVersion("ZAV 1.00 beta 8", false);
            if (situation == 2) {
                std::uint32_t number = 1014;
                RecordVersion("ZAV 1.00 beta 8", true, "C:\\eight", &number);
                RecordVersion("ZAV 1.00 beta 6", true, "C:\\six", &number);
            }
            for (size_t i = 0; i < std::size(operations); ++i) {
                Select(selected);
                operations[i]();
                EXPECT_TRUE(Hooks::open.empty()) << "operation " << i << ", situation " << situation
                                                 << ", selected \"" << selected << "\"";
                Hooks::open.clear();
            }
        }
    }
    EXPECT_EQ(Hooks::access, std::set<REGSAM>{KEY_ALL_ACCESS});
}
