// The per-user record of installed versions under HKEY_CURRENT_USER\Software\ZAV.
// Each operation opens what it needs, does one thing and closes every key again.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr const char ProductKeyPath[] = "Software\\ZAV";

// First row of the welcome page's list of previous configurations (not a version key).
constexpr const char NoPreviousConfigurationRow[] = "No previous configuration";

// Key paths, enumerated names and read texts all live in buffers of this many characters.
constexpr int RegistryTextCapacity = 260;

// Results of CompareInstalledVersion, kept as versionRelation.
constexpr std::uint8_t RecordedVersionIsNewer = 0;
constexpr std::uint8_t RecordedVersionIsSame = 1;
constexpr std::uint8_t RecordedVersionIsOlder = 2;  // also when no number is recorded

// Version names. A name the setup acts on (removes, links, deletes the folder of) must name a
// registry key, a shortcut and a folder without reaching outside them: not empty, no path
// separators or wildcards, no "..", not too long.
bool IsUsableVersionName(const char* name);
// Names of two characters or fewer ("", and the "no" stored for none) choose no previous
// configuration: there are no user settings to carry over from them.
bool NamesPreviousConfiguration(const char* name, std::size_t capacity);

bool IsThisVersionRecorded();
std::uint8_t CompareInstalledVersion();      // 0 recorded is newer, 1 the same, 2 older or none
bool ListPreviousConfigurations(bool fill);  // fills previousConfigList when fill is set
bool ListInstalledVersions();                // fills installedList
int CreateVersionKey();                      // 0 success, 1 failure
int CreateDirectoriesKey();
int WriteInstallRecord(const char* programPath);
int ReadPreviousProgramPath(const char* versionName);
int ReadInstalledProgramPath();              // of selectedVersionName, into programDir
// The "Program Path" recorded for this setup's own version; 0 success, 1 failure.
int ReadThisVersionProgramPath(char (&path)[RegistryTextCapacity]);
// Whether the record of selectedVersionName holds a "Program Path" at all, readable or not: a
// path that is there but cannot be read whole still names a folder that exists.
bool IsInstalledProgramPathRecorded();
// Whether test holds for the name and "Program Path" of any recorded version but `except` (key
// names compared ignoring case, as the registry does). Paths that are empty or cannot be read
// whole are passed over: they name no folder that could be looked at.
bool AnyOtherProgramPath(const char* except, bool (*test)(const char* name, const char* path, void* context),
                         void* context);
int DeleteVersionKey();                      // of selectedVersionName
int DeleteProductKey();
