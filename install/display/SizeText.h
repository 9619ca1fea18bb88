// Size texts for the destination page: byte counts as "1 023 B", "1 KB", "1,40 MB" or
// "465,76 GB", and the free space of a disk. The texts never follow the user's locale.
#pragma once

// Capacity of the shared result buffer, terminating NUL included.
constexpr int SizeTextCapacity = 260;
// Longest digit text GroupDigits is meant for (its grouped result stays within 99 characters).
constexpr int GroupDigitsMaxInput = 96;

// Separates the thousands of a digit text with spaces, at most three separators (a longer
// number keeps the rest in its leftmost group). An empty text gives " ". Returns the shared
// buffer, overwritten by the next call of GroupDigits or FormatSize. A text whose grouped
// form would not fit the buffer gives an empty result.
const char* GroupDigits(const char* digits);

// The size text of a whole, non-negative byte count: B and KB without decimals, MB and GB
// with two decimals after a comma. The exact value is rounded to 17 significant digits, then
// to the shown digits, halves up. Returns the shared buffer, overwritten by the next call.
// Fractions of a byte are dropped; negative and non-finite counts give "0 B".
const char* FormatSize(double bytes);

// Total free bytes of the disk that holds the directory; 0 when the system cannot say.
double DiskFreeSpace(const char* directory);
