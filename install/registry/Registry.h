// The per-user record of installed versions under HKEY_CURRENT_USER\Software\ZAV.
// Each operation opens what it needs, does one thing and closes every key again.
#pragma once

#include <cstdint>

constexpr const char ProductKeyPath[] = "Software\\ZAV";

bool IsThisVersionRecorded();
std::uint8_t CompareInstalledVersion();      // 0 recorded is newer, 1 the same, 2 older or none
bool ListPreviousConfigurations(bool fill);  // fills previousConfigList when fill is set
bool ListInstalledVersions();                // fills installedList
int CreateVersionKey();                      // 0 success, 1 failure
int CreateDirectoriesKey();
int WriteInstallRecord(const char* programPath);
int ReadPreviousProgramPath(const char* versionName);
int ReadInstalledProgramPath();              // of selectedVersionName, into programDir
int DeleteVersionKey();                      // of selectedVersionName
int DeleteProductKey();
