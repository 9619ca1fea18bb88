// The portable text helpers that decide what the setup treats as a path of its own.
#include "shell/Text.h"

#include <gtest/gtest.h>

TEST(TextTest, OnlyADriveRootOrAServerMakesAFullPath)
{
    const struct {
        const char* path;
        bool full;
    } cases[] = {
        {"C:\\Program Files", true},
        {"c:/users", true},
        {"\\\\server\\share", true},
        {"//server/share", true},
        {"", false},
        {"C:", false},
        {"C:folder", false},
        {"\\folder", false},
        {"folder\\file", false},
        {"\\\\", false},
        {"\\\\\\server", false},
        {"\\\\?\\C:\\folder", false},
        {"\\\\.\\PhysicalDrive0", false},
        {"1:\\folder", false},
    };
    for (const auto& c : cases) EXPECT_EQ(text::IsFullPath(c.path), c.full) << c.path;
}
