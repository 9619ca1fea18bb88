#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "engine/PayloadStaging.h"
#include "engine/UnzipBinding.h"
#include "shell/SetupState.h"
#include "shell/Text.h"
#include "support/Files.h"
#include "support/Registry.h"
#include "support/TestSupport.h"
#include "support/UnzipRecord.h"

using namespace testing_support;

namespace {

constexpr char StartTitle[] = "Setup - ZAV";
constexpr char ProductFolder[] = "ZAV 1.00 beta 8";
constexpr std::uint32_t FakeVersion = 0x00C0FFEEu;  // what the stand-in libraries report
constexpr std::size_t RecordSize = sizeof(UnzipCommand);

std::string FakeLibrary(const char* name)
{
    return BuildPath(std::string("tests\\fakes\\") + name + ".dll");
}

std::uint32_t Get32(const std::string& bytes, std::size_t offset)
{
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[offset + i]);
    return value;
}

// The real wizard (for the title and the window handle), a fresh folder to expand into,
// and the log the stand-in libraries write.
class UnzipBindingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetProductKey();
        wizard_ = new Wizard;
        folder_ = MakeTempFolder("unzip");
        target_ = folder_ + "\\target";
        CreateDirectoryA(target_.c_str(), nullptr);
        log_ = folder_ + "\\calls.log";
        SetEnvironmentVariableA("ZAV_FAKE_UNZIP_LOG", log_.c_str());
    }
    void TearDown() override
    {
        SetEnvironmentVariableA("ZAV_FAKE_UNZIP_LOG", nullptr);
        delete wizard_;
        RemoveTree(folder_);
        ResetProductKey();
    }

    void UseLibrary(const std::string& path) { ASSERT_TRUE(text::Copy(g_setup.unzipLibraryPath, path.c_str())); }

    Wizard* wizard_ = nullptr;
    std::string folder_, target_, log_;
};

// The built archive with one entry's fields patched in both its headers.
class ArchiveEditor {
public:
    explicit ArchiveEditor(std::string bytes) : bytes_(std::move(bytes)) {}

    // Calls edit(headerOffset, nameOffset, isCentral) for both headers of the named entry.
    template <typename Edit>
    bool EditEntry(const std::string& name, Edit edit)
    {
        const std::size_t end = bytes_.size() - 22;  // no archive comment
        if (Get32(bytes_, end) != 0x06054B50u) return false;
        std::size_t central = Get32(bytes_, end + 16);
        const unsigned count = static_cast<unsigned char>(bytes_[end + 10]) |
                               static_cast<unsigned char>(bytes_[end + 11]) << 8;
        for (unsigned i = 0; i < count; ++i) {
            const std::size_t nameLength = Get32(bytes_, central + 28) & 0xFFFF;
            const std::size_t extra = Get32(bytes_, central + 30) & 0xFFFF;
            const std::size_t comment = Get32(bytes_, central + 32) & 0xFFFF;
            if (bytes_.compare(central + 46, nameLength, name) == 0 && nameLength == name.size()) {
                const std::size_t local = Get32(bytes_, central + 42);
                edit(central, central + 46, true);
                edit(local, local + 30, false);
                return true;
            }
            central += 46 + nameLength + extra + comment;
        }
        return false;
    }
    std::string& Bytes() { return bytes_; }

private:
    std::string bytes_;
};

} // namespace

TEST_F(UnzipBindingTest, OurLibraryExpandsTheWholeProductTreeAndIsUnloadedAfterwards)
{
    ASSERT_EQ(StagePayload(), 0);
    const std::string expanded = std::string(g_setup.stagingDir) + "\\" + ProductFolder;
    RemoveTree(expanded);

    EXPECT_EQ(ExtractArchive(g_setup.archivePath, g_setup.stagingDir), 0);

    auto expected = ReadTree(SourcePath(std::string("product\\files\\") + ProductFolder));
    expected["Zav.exe"] = ReadFile(BuildPath("product\\Zav.exe"));
    const auto actual = ReadTree(expanded);
    EXPECT_EQ(actual.size(), 25u);  // 26 entries less the product folder itself
    EXPECT_EQ(actual.size(), expected.size());
    for (const auto& [path, content] : expected) {
        auto found = actual.find(path);
        EXPECT_TRUE(found != actual.end() && found->second == content) << path;
    }
    EXPECT_EQ(actual.count("UserSettings\\Default"), 1u);
    EXPECT_EQ(WindowText(wizard_->Main()), StartTitle);
    EXPECT_EQ(GetModuleHandleA(g_setup.unzipLibraryPath), nullptr);
    EXPECT_EQ(GetModuleHandleA("UnzDll.dll"), nullptr);

    RemoveTree(expanded);
    DeleteFileA(g_setup.archivePath);
    DeleteFileA(g_setup.unzipLibraryPath);
}

TEST_F(UnzipBindingTest, ALibraryThatCannotBeRunSetsTheTitleAndIsNeverCalled)
{
    // A library cut short, as a failed write would have left it.
    const std::string truncated = folder_ + "\\UnzDll.dll";
    WriteFile(truncated, ReadFile(BuildPath("UnzDll.dll")).substr(0, 4096));
    const std::string archive = folder_ + "\\zav.zip";
    WriteFile(archive, ReadFile(BuildPath("zav.zip")));

    // A bare name would be found in the current directory, where a working library lies.
    const std::string fakes = BuildPath("tests\\fakes");
    const struct {
        const char* what;
        std::string library;
        const char* title;
        std::string currentDirectory;
    } cases[] = {
        {"no file", folder_ + "\\absent.dll", "error load dll", ""},
        {"truncated library", truncated, "error load dll", ""},
        {"UnzDllExec exported decorated only", FakeLibrary("NoExecUnzip"), "error UnzDllExec function", ""},
        {"GetUnzDllVersion in the wrong case", FakeLibrary("NoVersionUnzip"), "error GetUnzDllVersion function", ""},
        {"a name without its folder", "RecordingUnzip.dll", "error load dll", fakes},
    };
    const std::string savedDirectory = CurrentDirectory();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetWindowTextA(wizard_->Main(), StartTitle);
        UseLibrary(c.library);
        SetCurrentDirectoryA(c.currentDirectory.empty() ? savedDirectory.c_str() : c.currentDirectory.c_str());

        EXPECT_EQ(ExtractArchive(archive.c_str(), target_.c_str()), 1);
        SetCurrentDirectoryA(savedDirectory.c_str());

        EXPECT_EQ(WindowText(wizard_->Main()), c.title);
        EXPECT_FALSE(FileExists(log_)) << "a function of the library ran";
        EXPECT_EQ(GetModuleHandleA(c.library.c_str()), nullptr);
        EXPECT_TRUE(ReadTree(target_).empty());
    }
}

TEST_F(UnzipBindingTest, TheLibraryReceivesTheCommandRecordAfterOneVersionCall)
{
    const std::string recorder = FakeLibrary("RecordingUnzip");
    UseLibrary(recorder);
    ASSERT_TRUE(text::Copy(g_setup.archivePath, "C:\\users\\someone\\Templates\\zav.zip"));
    ASSERT_TRUE(text::Copy(g_setup.stagingDir, "C:\\users\\someone\\Templates"));

    EXPECT_EQ(ExtractArchive(g_setup.archivePath, g_setup.stagingDir), 0);

    // Every byte of the record, as the library must see it.
    UnzipCommand command;
    FillAsTheSetupDoes(command, wizard_->Main(), FakeVersion, g_setup.archivePath, g_setup.stagingDir);
    const std::string expected(reinterpret_cast<const char*>(&command), sizeof command);

    const std::string log = ReadFile(log_);
    ASSERT_GE(log.size(), 2 + RecordSize);
    EXPECT_EQ(log.substr(0, 2), "VE") << "version once, then the expansion";
    const std::string record = log.substr(2, RecordSize);
    for (std::size_t i = 0; i < RecordSize; ++i) {
        EXPECT_EQ(static_cast<unsigned char>(record[i]), static_cast<unsigned char>(expected[i])) << "offset " << i;
    }
    const std::string strings = log.substr(2 + RecordSize);
    EXPECT_EQ(strings, std::string(g_setup.archivePath) + '\0' + g_setup.stagingDir + '\0');
    EXPECT_EQ(WindowText(wizard_->Main()), StartTitle);
    EXPECT_EQ(GetModuleHandleA(recorder.c_str()), nullptr);
}

TEST_F(UnzipBindingTest, DamagedOrHostileArchivesLeaveNoProductFolder)
{
    const std::string built = ReadFile(BuildPath("zav.zip"));
    // Same length as the name it replaces, so only the name changes.
    const std::string escape = "../../../../../../evil.txt";
    const std::string manual = std::string(ProductFolder) + "/manual.txt";
    ASSERT_EQ(escape.size(), manual.size());

    ArchiveEditor escaping(built);
    ASSERT_TRUE(escaping.EditEntry(manual, [&](std::size_t, std::size_t name, bool) {
        escaping.Bytes().replace(name, escape.size(), escape);
    }));
    // The last entry: everything before it has been expanded when its check fails.
    ArchiveEditor badCrc(built);
    ASSERT_TRUE(badCrc.EditEntry(std::string(ProductFolder) + "/whatsnew.txt",
                                 [&](std::size_t header, std::size_t, bool central) {
                                     badCrc.Bytes()[header + (central ? 16 : 14)] ^= 0x5A;
                                 }));
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"entry escaping the folder", escaping.Bytes()},
        {"CRC mismatch in the last entry", badCrc.Bytes()},
        {"cut in half", built.substr(0, built.size() / 2)},
    };

    UseLibrary(BuildPath("UnzDll.dll"));
    const std::string archive = folder_ + "\\zav.zip";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFile(archive, c.bytes);
        const auto before = ReadTree(folder_);

        // The library ran; what it made of the archive is for the copy step to find out.
        EXPECT_EQ(ExtractArchive(archive.c_str(), target_.c_str()), 0);

        EXPECT_TRUE(ReadTree(folder_) == before) << "something changed next to the archive";
        EXPECT_FALSE(DirectoryExists(target_ + "\\" + ProductFolder));
        char landing[MAX_PATH];
        GetFullPathNameA((target_ + "\\" + escape).c_str(), MAX_PATH, landing, nullptr);
        EXPECT_FALSE(FileExists(landing)) << landing;
        EXPECT_EQ(WindowText(wizard_->Main()), StartTitle);
    }
    EXPECT_EQ(GetModuleHandleA(g_setup.unzipLibraryPath), nullptr);
}
