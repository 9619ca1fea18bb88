// The license page, window class "installtwo".
#pragma once

#include <windows.h>

#include <cstddef>

constexpr int LicenseListId = 4;
constexpr int AcceptRadioId = 10;
constexpr int DeclineRadioId = 11;

// The license as shown, one list row per entry, each at most LicenseRowLength letters, in UTF-8.
constexpr std::size_t LicenseRowCount = 58;
constexpr int LicenseRowLength = 60;
extern const char* const LicenseRows[LicenseRowCount];

// Draws what the page paints onto dc (the page's own, or any other) for its client area.
void PaintLicensePage(HDC dc, const RECT& client);

LRESULT CALLBACK LicensePageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam);
