// Byte counts and the texts the destination page must show for them; shared by the host
// tests and the Windows tests (which run them again under other locales).
#pragma once

struct SizeTextExample {
    double bytes;
    const char* text;
};

inline constexpr SizeTextExample SizeTextExamples[] = {
    {0.0, "0 B"},
    {999.0, "999 B"},
    {1000.0, "1 000 B"},
    {1023.0, "1 023 B"},
    {1024.0, "1 KB"},
    {1536.0, "2 KB"},
    {2560.0, "3 KB"},              // 2.5 KB: a half rounds up
    {1048063.0, "1 023 KB"},
    {1048064.0, "1 024 KB"},       // 1023.5 KB carries into a fourth digit
    {1048575.0, "1 024 KB"},
    {1048576.0, "1,00 MB"},
    {1179648.0, "1,13 MB"},        // 1.125 MB: a half rounds up
    {1463504.0, "1,40 MB"},
    {1073736582.0, "1 024,00 MB"}, // 1023.995000839... MB carries
    {1073741823.0, "1 024,00 MB"},
    {1073741824.0, "1,00 GB"},
    {5368709120.0, "5,00 GB"},
    {500107862016.0, "465,76 GB"},
    {1099511627776.0, "1 024,00 GB"},
    {1325598706483.0, "1 234,56 GB"},
    {18446744073709551615.0, "17 179 869 184,00 GB"},
};
