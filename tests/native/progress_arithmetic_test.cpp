#include <gtest/gtest.h>

#include <climits>
#include <limits>

#include "engine/ProgressArithmetic.h"

TEST(ProgressArithmetic, PercentAndFilledWidthOfABar400Wide)
{
    const struct {
        double done, total, percent;
        int filledWidth;
    } cases[] = {
        {0, 100, 0, 0}, {20, 100, 20, 79}, {40, 100, 40, 158}, {80, 100, 80, 317},
        {100, 100, 100, 397},  // reaching the total
        {120, 100, 100, 397},  // passing it: exactly 100
        {50, 0, 100, 397},     // nothing to do counts as done
        {1, 3, 100.0 / 3, 132},
    };
    for (const auto& c : cases) {
        double percent = progress::Percent(c.done, c.total);
        EXPECT_EQ(percent, c.percent) << c.done << " of " << c.total;
        EXPECT_EQ(progress::FilledWidth(400, percent), c.filledWidth) << c.done << " of " << c.total;
    }
}

TEST(ProgressArithmetic, TruncationTowardZeroStaysDefinedOutsideInt)
{
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double value;
        int expected;
    } cases[] = {
        {79.99, 79}, {-0.5, 0}, {-1.7, -1}, {3e9, INT_MAX}, {-3e9, INT_MIN},
        {inf, INT_MAX}, {-inf, INT_MIN}, {std::numeric_limits<double>::quiet_NaN(), 0},
    };
    for (const auto& c : cases) EXPECT_EQ(progress::TruncateToInt(c.value), c.expected) << c.value;
}
