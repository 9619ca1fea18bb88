// Constants of the product that this setup installs.
#pragma once

#include <cstdint>

constexpr const char ProductVersionName[] = "ZAV 1.00 beta 8";
constexpr std::uint32_t SetupVersionNumber = 1014;
constexpr const char MainWindowTitle[] = "Setup - ZAV";
constexpr double NeededSpaceBytes = 1463504.0;

// Files inside the product folder that the setup names.
constexpr const char LauncherFileName[] = "Zav.exe";
constexpr const char WebLinkFileName[] = "web.url";
constexpr const char ReadmeFileName[] = "whatsnew.txt";
constexpr const char HistoryFileName[] = "history.txt";
constexpr const char ManualFileName[] = "manual.txt";
constexpr const char UserSettingsFolderName[] = "UserSettings";
