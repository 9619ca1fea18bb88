#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/PayloadStaging.h"
#include "payload/ImageCheck.h"
#include "payload/Payload.h"
#include "shell/SetupState.h"
#include "support/Files.h"
#include "support/InstallSupport.h"

using namespace testing_support;

namespace {

// Both staged names in the Templates folder, removed before and after every test.
class PayloadStagingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetSetupState();
        templates_ = SpecialFolder(CSIDL_TEMPLATES);
        ASSERT_TRUE(DirectoryExists(templates_)) << templates_;
        library_ = templates_ + "\\UnzDll.dll";
        archive_ = templates_ + "\\zav.zip";
        CleanUp();
    }
    void TearDown() override { CleanUp(); }

    void CleanUp()
    {
        RemoveTree(library_);
        RemoveTree(archive_);
    }

    std::string templates_, library_, archive_;
};

// Sizes first, so that a mismatch does not print half a megabyte.
void ExpectSameBytes(const std::string& actual, const std::string& expected, const char* what)
{
    ASSERT_EQ(actual.size(), expected.size()) << what;
    EXPECT_TRUE(actual == expected) << what << " differs in content";
}

} // namespace

TEST_F(PayloadStagingTest, WritesBothImagesByteForByteIntoTheTemplatesFolderOverEarlierFiles)
{
    const std::string builtLibrary = ReadFile(BuildPath("UnzDll.dll"));
    const std::string builtArchive = ReadFile(BuildPath("zav.zip"));
    ASSERT_GT(builtLibrary.size(), 1000u);
    ASSERT_GT(builtArchive.size(), 1000u);
    // Left by an earlier attempt, and longer than the images: a file that was not truncated
    // would keep a tail.
    WriteFile(library_, std::string(builtLibrary.size() + 5000, 'x'));
    WriteFile(archive_, std::string(builtArchive.size() + 5000, 'y'));

    ASSERT_EQ(StagePayload(), 0);

    EXPECT_EQ(std::string(g_setup.stagingDir), templates_);
    EXPECT_NE(templates_.back(), '\\');
    EXPECT_EQ(std::string(g_setup.unzipLibraryPath), library_);
    EXPECT_EQ(std::string(g_setup.archivePath), archive_);

    const std::string library = ReadFile(library_);
    const std::string archive = ReadFile(archive_);
    EXPECT_EQ(library.substr(0, 2), "MZ");
    EXPECT_EQ(archive.substr(0, 4), std::string("PK\x03\x04", 4));
    ExpectSameBytes(library, builtLibrary, "UnzDll.dll");
    ExpectSameBytes(archive, builtArchive, "zav.zip");
}

TEST_F(PayloadStagingTest, EmbeddedWordsHoldOneByteEachLibraryFirstArchiveDirectlyAfter)
{
    const struct {
        const EmbeddedImage& image;
        std::string file;
    } images[] = {
        {LibraryImage, ReadFile(BuildPath("UnzDll.dll"))},
        {ArchiveImage, ReadFile(BuildPath("zav.zip"))},
    };
    for (const auto& entry : images) {
        ASSERT_EQ(entry.image.byteCount, entry.file.size());
        std::size_t mismatches = 0;
        for (std::size_t i = 0; i < entry.file.size(); ++i) {
            if (entry.image.words[i] != static_cast<unsigned char>(entry.file[i])) ++mismatches;
        }
        EXPECT_EQ(mismatches, 0u);
    }
    EXPECT_EQ(ArchiveImage.words, LibraryImage.words + LibraryImage.byteCount);
}

TEST_F(PayloadStagingTest, WritesOnlyTheLowByteOfEveryWord)
{
    std::vector<std::uint16_t> words;
    std::string expected;
    for (unsigned i = 0; i < 70000; ++i) {
        const unsigned low = (i * 31u + 7u) & 0xFFu;
        const unsigned high = 0x80u | ((i * 13u) & 0x7Fu);  // never 0
        words.push_back(static_cast<std::uint16_t>(high << 8 | low));
        expected.push_back(static_cast<char>(low));
    }
    words.push_back(0xFF00);  // a zero byte under a full high half
    expected.push_back('\0');
    // Only written, never checked: its checksum does not matter here.
    const EmbeddedImage crafted = {words.data(), words.size(), 0};
    const std::string folder = MakeTempFolder("lowbytes");
    const std::string path = folder + "\\image.bin";

    ASSERT_EQ(WriteEmbeddedImage(path.c_str(), crafted), 0);
    ExpectSameBytes(ReadFile(path), expected, "crafted image");
    RemoveTree(folder);
}

TEST_F(PayloadStagingTest, AFileThatCannotBeWrittenIsReportedAndLeftAsItWas)
{
    const std::string folder = MakeTempFolder("unwritable");
    const std::string directory = folder + "\\is-a-folder";
    const std::string inUse = folder + "\\in-use.dll";
    const std::string inMissingFolder = folder + "\\missing\\UnzDll.dll";
    CreateDirectoryA(directory.c_str(), nullptr);
    WriteFile(inUse, "old content");
    // As a library still loaded from an earlier attempt would be: open, not shared for writing.
    HANDLE holder = CreateFileA(inUse.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);

    const struct {
        const char* what;
        std::string path;
    } cases[] = {
        {"path names a folder", directory},
        {"file in use", inUse},
        {"folder missing", inMissingFolder},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(WriteEmbeddedImage(c.path.c_str(), LibraryImage), 1);
    }
    CloseHandle(holder);
    EXPECT_TRUE(DirectoryExists(directory));
    EXPECT_EQ(ReadFile(inUse), "old content");
    EXPECT_FALSE(FileExists(inMissingFolder));
    RemoveTree(folder);
}

TEST_F(PayloadStagingTest, AWriteThatRunsOutOfSpaceLeavesNoPartialFile)
{
    if (!SmallDisksMounted()) GTEST_SKIP() << "the small disks are not mounted";
    const std::string disk = SmallDiskPath("short");
    const std::string filler = disk + "\\filler.bin";
    const std::string path = disk + "\\UnzDll.dll";
    ULARGE_INTEGER freeBefore = {}, freeAfter = {};
    ASSERT_TRUE(GetDiskFreeSpaceExA(disk.c_str(), &freeBefore, nullptr, nullptr));
    // Room for half of the library: the file is created, the write stops part-way.
    const std::size_t room = LibraryImage.byteCount / 2;
    ASSERT_GT(freeBefore.QuadPart, room);
    WriteFile(filler, std::string(static_cast<std::size_t>(freeBefore.QuadPart) - room, 'f'));

    EXPECT_EQ(WriteEmbeddedImage(path.c_str(), LibraryImage), 1);

    EXPECT_FALSE(FileExists(path));
    DeleteFileA(filler.c_str());
    ASSERT_TRUE(GetDiskFreeSpaceExA(disk.c_str(), &freeAfter, nullptr, nullptr));
    EXPECT_EQ(freeAfter.QuadPart, freeBefore.QuadPart);
}

TEST_F(PayloadStagingTest, StagingFailsWhenAStagedFileCannotBeWritten)
{
    const struct {
        const char* blocked;
        bool libraryWritten;
    } cases[] = {
        {"UnzDll.dll", false},
        {"zav.zip", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.blocked);
        CleanUp();
        const std::string blocked = templates_ + "\\" + c.blocked;
        ASSERT_TRUE(CreateDirectoryA(blocked.c_str(), nullptr));

        EXPECT_EQ(StagePayload(), 1);

        EXPECT_TRUE(DirectoryExists(blocked));
        EXPECT_EQ(FileExists(library_), c.libraryWritten);
        EXPECT_FALSE(FileExists(archive_));
    }
}

TEST_F(PayloadStagingTest, AMissingTemplatesFolderIsCreatedAndStagedInto)
{
    const std::string root = MakeTempFolder("profile");
    const std::string missing = root + "\\Profile\\Templates";
    {
        RedirectedShellFolder templates("Templates", missing);
        ASSERT_FALSE(DirectoryExists(missing));

        EXPECT_EQ(StagePayload(), 0);

        EXPECT_EQ(std::string(g_setup.stagingDir), missing);
        EXPECT_EQ(ReadFile(missing + "\\UnzDll.dll"), ReadFile(BuildPath("UnzDll.dll")));
        EXPECT_EQ(ReadFile(missing + "\\zav.zip"), ReadFile(BuildPath("zav.zip")));
    }
    RemoveTree(root);
}

TEST_F(PayloadStagingTest, EveryWordOfAnImageIsCheckedAgainstItsRecordedCrc)
{
    // The CRC-32 check value of ZIP and zlib: "123456789" gives 0xCBF43926.
    const std::string check = "123456789";
    const std::vector<std::uint16_t> checkWords(check.begin(), check.end());
    std::vector<std::uint16_t> library(LibraryImage.words, LibraryImage.words + LibraryImage.byteCount);
    std::vector<std::uint16_t> lowChanged = checkWords;
    lowChanged[4] ^= 0x01;
    std::vector<std::uint16_t> highSet = checkWords;
    highSet[8] |= 0x0100;  // its data byte unchanged
    std::vector<std::uint16_t> libraryChanged = library;
    libraryChanged[library.size() / 2] ^= 0x20;
    std::vector<std::uint16_t> libraryHighSet = library;
    libraryHighSet.back() |= 0x8000;

    const struct {
        const char* what;
        EmbeddedImage image;
        bool intact;
    } cases[] = {
        {"the embedded library", LibraryImage, true},
        {"the embedded archive", ArchiveImage, true},
        {"the check value", {checkWords.data(), checkWords.size(), 0xCBF43926u}, true},
        {"a data byte changed", {lowChanged.data(), lowChanged.size(), 0xCBF43926u}, false},
        {"a high byte set", {highSet.data(), highSet.size(), 0xCBF43926u}, false},
        {"the library, a data byte changed", {libraryChanged.data(), library.size(), LibraryImage.crc32}, false},
        {"the library, its last high byte set", {libraryHighSet.data(), library.size(), LibraryImage.crc32}, false},
        {"the library, one byte short", {library.data(), library.size() - 1, LibraryImage.crc32}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ImageIntact(c.image), c.intact);
    }
    EXPECT_TRUE(PayloadIntact());
}
