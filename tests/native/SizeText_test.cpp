// Size texts on the host: every example, the rounding of the exact value, digit grouping.
#include "display/SizeText.h"
#include "native/SizeTextExamples.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(FormatSize, ShowsEveryExampleAndRoundsTheExactValue)
{
    for (const SizeTextExample& example : SizeTextExamples)
        EXPECT_STREQ(FormatSize(example.bytes), example.text) << "bytes " << example.bytes;
    const SizeTextExample more[] = {
        {1535.0, "1 KB"},                    // 1.4990 KB
        {1179647.0, "1,12 MB"},              // 1.1249990 MB
        {1073736581.0, "1 023,99 MB"},       // 1023.99499... MB
        // 10000000000.0249996... GB is first rounded to 17 digits, 10000000000.025000
        {10737418240026843136.0, "10 000 000 000,03 GB"},
    };
    for (const SizeTextExample& example : more)
        EXPECT_STREQ(FormatSize(example.bytes), example.text) << "bytes " << example.bytes;
}

TEST(GroupDigits, GroupsByThreesWithAtMostThreeSeparators)
{
    const std::string longest(GroupDigitsMaxInput, '7');
    const struct {
        std::string input, result;
    } cases[] = {
        {"", " "},
        {"123", "123"},
        {"1234", "1 234"},
        {"1234567", "1 234 567"},
        {"123456789012", "123 456 789 012"},
        {"1234567890123", "1234 567 890 123"},
        {longest, std::string(GroupDigitsMaxInput - 9, '7') + " 777 777 777"},
        {std::string(SizeTextCapacity, '7'), ""},  // could not fit the buffer
    };
    for (const auto& c : cases) EXPECT_EQ(GroupDigits(c.input.c_str()), c.result) << "input '" << c.input << "'";
}

} // namespace
