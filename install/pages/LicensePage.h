// The license page, window class "installtwo".
#pragma once

#include <windows.h>

#include <cstddef>

constexpr int LicenseListId = 4;
constexpr int AcceptRadioId = 10;
constexpr int DeclineRadioId = 11;

// The license as shown, one list row per entry.
constexpr std::size_t LicenseRowCount = 58;
extern const char* const LicenseRows[LicenseRowCount];

LRESULT CALLBACK LicensePageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam);
