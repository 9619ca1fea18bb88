// Size texts under Windows: the same whatever locale the thread or the C runtime is set to
// (whose own number formatting then uses a comma), and the free space of real and missing disks.
#include "display/SizeText.h"
#include "native/SizeTextExamples.h"
#include "support/Files.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <clocale>
#include <string>

namespace {

using namespace testing_support;

TEST(SizeText, TextsIgnoreTheThreadAndRuntimeLocale)
{
    const struct {
        LANGID thread;
        const char* runtime;
        char decimalPoint;
    } locales[] = {
        {MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), "German", ','},
        {MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), "de_DE", ','},
        {MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH), "French", ','},
        {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), "English_United States.1252", '.'},
    };
    const LCID threadBefore = GetThreadLocale();
    const std::string runtimeBefore = std::setlocale(LC_ALL, nullptr);
    for (const auto& locale : locales) {
        ASSERT_TRUE(SetThreadLocale(MAKELCID(locale.thread, SORT_DEFAULT)));
        ASSERT_NE(std::setlocale(LC_ALL, locale.runtime), nullptr) << locale.runtime;
        ASSERT_EQ(std::localeconv()->decimal_point[0], locale.decimalPoint) << locale.runtime;
        for (const SizeTextExample& example : SizeTextExamples)
            EXPECT_STREQ(FormatSize(example.bytes), example.text) << example.bytes << " under " << locale.runtime;
    }
    std::setlocale(LC_ALL, runtimeBefore.c_str());
    SetThreadLocale(threadBefore);
}

TEST(DiskFreeSpace, IsZeroForAMissingDriveOrFolder)
{
    std::string root;
    for (char letter = 'Q'; letter <= 'W' && root.empty(); ++letter)
        if (GetDriveTypeA((std::string(1, letter) + ":\\").c_str()) == DRIVE_NO_ROOT_DIR)
            root = std::string(1, letter) + ":\\";
    ASSERT_FALSE(root.empty()) << "no free drive letter to test with";
    EXPECT_EQ(DiskFreeSpace(root.c_str()), 0.0);
    EXPECT_EQ(DiskFreeSpace((root + "Program Files").c_str()), 0.0);
    EXPECT_EQ(DiskFreeSpace(BuildPath("no such folder\\deeper").c_str()), 0.0);
}

TEST(DiskFreeSpace, ReportsTheWholeFreeBytesOfTheDisk)
{
    if (!SmallDisksMounted())
        GTEST_SKIP() << "the small test disks are not mounted (needs root; see tests/support/small-disks.sh)";
    EXPECT_EQ(DiskFreeSpace(SmallDiskPath("enough").c_str()), SmallDiskEnoughFreeBytes);
    EXPECT_EQ(DiskFreeSpace(SmallDiskPath("short").c_str()), SmallDiskShortFreeBytes);
}

} // namespace
