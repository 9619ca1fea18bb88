// The figures of one advance of the progress bar, kept free of Windows so that they are
// also built and checked on the host.
#pragma once

#include <climits>

namespace progress {

// Share of total that done stands for, in percent; exactly 100 once done reaches total.
inline double Percent(double done, double total)
{
    if (done < total) return done / (total * 0.01);
    return 100.0;
}

// Truncates toward zero. A value outside int (or not a number) would make the conversion
// undefined, so it is held at the nearer end of the range (0 for not a number).
inline int TruncateToInt(double value)
{
    if (!(value == value)) return 0;
    if (value <= static_cast<double>(INT_MIN)) return INT_MIN;
    if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
    return static_cast<int>(value);
}

// Pixels of the bar inside a trough of the given total width (its frame takes 3 of them),
// multiplied in this order in double precision and truncated, so a bar of 400 shows 79
// pixels at 20 %.
inline int FilledWidth(int width, double percent)
{
    return TruncateToInt((width - 3) * 0.01 * percent);
}

} // namespace progress
