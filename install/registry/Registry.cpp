#include "registry/Registry.h"

#include <windows.h>
#include <shlwapi.h>

#include <cstring>

#include "shell/Owners.h"
#include "shell/Product.h"
#include "shell/SetupState.h"
#include "shell/Text.h"

namespace {

constexpr const char SoftwareKeyPath[] = "Software";
constexpr const char ProductSubkeyName[] = "ZAV";
constexpr const char DirectoriesSubkeyName[] = "Directories";
constexpr const char VersionKeyFormat[] = "Software\\ZAV\\%s";
constexpr const char DirectoriesKeyFormat[] = "Software\\ZAV\\%s\\Directories";

constexpr const char ProgramPathValue[] = "Program Path";
constexpr const char PreviousConfigValue[] = "Prev Cfg";
constexpr const char VersionValue[] = "Version";
constexpr const char ShowReadmeValue[] = "ShowReadme";
constexpr const char NoPreviousConfigValue[] = "no";

// Names of up to this length choose no previous configuration; one of exactly this length is
// never stored as "Prev Cfg" either.
constexpr std::size_t LongestNoConfigurationName = 2;

using KeyPath = char[RegistryTextCapacity];
using RegistryText = char[RegistryTextCapacity];

RegKey OpenKey(HKEY parent, const char* path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(parent, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return RegKey();
    return RegKey(key);
}

RegKey OpenUserKey(const char* path) { return OpenKey(HKEY_CURRENT_USER, path); }

RegKey CreateSubkey(HKEY parent, const char* name)
{
    HKEY key = nullptr;
    if (RegCreateKeyA(parent, name, &key) != ERROR_SUCCESS) return RegKey();
    return RegKey(key);
}

// A version name must be exactly one key name below Software\ZAV: an empty name, a path or
// "." / ".." could reach the product key itself or another version's key.
bool IsSingleKeyName(const char* name)
{
    if (!name || name[0] == '\0') return false;
    if (std::strchr(name, '\\')) return false;
    return std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0;
}

// Builds the key path of a version; false when the name is unusable or the path would not fit.
bool FormatVersionPath(KeyPath& path, const char* format, const char* name)
{
    return IsSingleKeyName(name) && text::Format(path, format, name);
}

RegKey OpenVersionKey(const char* format, const char* name)
{
    KeyPath path;
    if (!FormatVersionPath(path, format, name)) return RegKey();
    return OpenUserKey(path);
}

// Reads a REG_SZ or REG_EXPAND_SZ into a buffer of RegistryTextCapacity bytes and terminates it
// after the bytes returned. A value of another type, one whose text and NUL would not fit, or
// one with more than NULs after its first NUL (the text would be cut there), fails.
bool ReadTextValue(HKEY key, const char* name, RegistryText& out, DWORD& type)
{
    type = REG_NONE;
    DWORD size = sizeof out;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(out), &size) !=
        ERROR_SUCCESS)
        return false;
    if ((type != REG_SZ && type != REG_EXPAND_SZ) || size > sizeof out) return false;
    if (const void* nul = std::memchr(out, '\0', size)) {
        for (const char* c = static_cast<const char*>(nul); c < out + size; ++c)
            if (*c != '\0') return false;
        return true;
    }
    if (size == sizeof out) return false;
    out[size] = '\0';
    return true;
}

// A path stored as REG_EXPAND_SZ names its folder only once its variables are expanded; an
// expansion that does not fit fails rather than naming a cut path.
bool ReadPathValue(HKEY key, const char* name, RegistryText& out)
{
    DWORD type = REG_NONE;
    RegistryText stored;
    if (!ReadTextValue(key, name, stored, type)) return false;
    if (type == REG_SZ) return text::Copy(out, stored);
    DWORD length = ExpandEnvironmentStringsA(stored, out, sizeof out);
    if (length == 0 || length > sizeof out) {
        out[0] = '\0';
        return false;
    }
    return text::Length(out, sizeof out) < sizeof out;
}

// Reads a 4-byte REG_DWORD; anything else counts as no number.
bool ReadNumberValue(HKEY key, const char* name, std::uint32_t& out)
{
    DWORD type = REG_NONE;
    DWORD data = 0;
    DWORD size = sizeof data;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) !=
        ERROR_SUCCESS)
        return false;
    if (type != REG_DWORD || size != sizeof data) return false;
    out = data;
    return true;
}

// Strings are stored with the byte count of the text alone, without its NUL.
void WriteTextValue(HKEY key, const char* name, const char* value)
{
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                   static_cast<DWORD>(std::strlen(value)));
}

void WriteNumberValue(HKEY key, const char* name, std::uint32_t value)
{
    DWORD data = value;
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
}

// Counts the version keys below the open product key in enumeration order, adding each name
// to the list box when one is given.
int AddVersionKeys(HKEY productKey, HWND list)
{
    int count = 0;
    RegistryText name;
    for (DWORD index = 0;; ++index) {
        LONG result = RegEnumKeyA(productKey, index, name, sizeof name);
        // A name that our buffers cannot hold names no version we could act on; skip it.
        if (result == ERROR_MORE_DATA) continue;
        if (result != ERROR_SUCCESS) break;
        name[sizeof name - 1] = '\0';
        ++count;
        if (list) SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    }
    return count;
}

int ReadProgramPath(const char* versionName, RegistryText& out)
{
    RegKey directories = OpenVersionKey(DirectoriesKeyFormat, versionName);
    if (!directories) return 1;
    return ReadPathValue(directories.Get(), ProgramPathValue, out) ? 0 : 1;
}

} // namespace

bool IsUsableVersionName(const char* name)
{
    if (!name) return false;
    std::size_t length = text::Length(name, PathCapacity);
    if (length == 0 || length == PathCapacity) return false;
    // Its record's key path bounds every other path made from the name.
    KeyPath recordKey;
    if (!FormatVersionPath(recordKey, DirectoriesKeyFormat, name)) return false;
    if (std::strstr(name, "..")) return false;
    if (name[length - 1] == '.' || name[length - 1] == ' ') return false;
    for (const char* c = name; *c; ++c) {
        unsigned char ch = static_cast<unsigned char>(*c);
        if (ch < 0x20 || std::strchr("\\/:*?\"<>|", ch)) return false;
    }
    return true;
}

bool NamesPreviousConfiguration(const char* name, std::size_t capacity)
{
    return text::Length(name, capacity) > LongestNoConfigurationName;
}

bool IsThisVersionRecorded()
{
    RegKey version = OpenVersionKey(VersionKeyFormat, ProductVersionName);
    return static_cast<bool>(version);
}

std::uint8_t CompareInstalledVersion()
{
    std::uint32_t recorded = 0;
    {
        RegKey directories = OpenVersionKey(DirectoriesKeyFormat, ProductVersionName);
        if (directories) ReadNumberValue(directories.Get(), VersionValue, recorded);
    }
    if (recorded < SetupVersionNumber) return RecordedVersionIsOlder;
    if (recorded == SetupVersionNumber) return RecordedVersionIsSame;
    return RecordedVersionIsNewer;
}

bool ListPreviousConfigurations(bool fill)
{
    RegKey product = OpenUserKey(ProductKeyPath);
    if (!product) return false;
    HWND list = fill ? g_setup.previousConfigList : nullptr;
    if (list) {
        SendMessageA(list, LB_RESETCONTENT, 0, 0);
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(NoPreviousConfigurationRow));
    }
    return AddVersionKeys(product.Get(), list) > 0;
}

bool ListInstalledVersions()
{
    RegKey product = OpenUserKey(ProductKeyPath);
    if (!product) return false;
    HWND list = g_setup.installedList;
    if (list) SendMessageA(list, LB_RESETCONTENT, 0, 0);
    return AddVersionKeys(product.Get(), list) > 0;
}

int CreateVersionKey()
{
    if (OpenVersionKey(VersionKeyFormat, ProductVersionName)) return 0;
    RegKey software = OpenUserKey(SoftwareKeyPath);
    if (!software) return 1;
    RegKey product = CreateSubkey(software.Get(), ProductSubkeyName);
    if (!product) return 1;
    RegKey version = CreateSubkey(product.Get(), ProductVersionName);
    return version ? 0 : 1;
}

int CreateDirectoriesKey()
{
    if (OpenVersionKey(DirectoriesKeyFormat, ProductVersionName)) return 0;
    RegKey version = OpenVersionKey(VersionKeyFormat, ProductVersionName);
    if (!version) return 1;
    RegKey directories = CreateSubkey(version.Get(), DirectoriesSubkeyName);
    return directories ? 0 : 1;
}

int WriteInstallRecord(const char* programPath)
{
    RegKey directories = OpenVersionKey(DirectoriesKeyFormat, ProductVersionName);
    if (!directories) return 1;
    WriteTextValue(directories.Get(), ProgramPathValue, programPath ? programPath : "");

    // A two-letter name is left out, so a "Prev Cfg" from an earlier install stays as it was.
    std::size_t nameLength = text::Length(g_setup.selectedVersionName, sizeof g_setup.selectedVersionName);
    if (nameLength != LongestNoConfigurationName) {
        if (nameLength == 0) text::Copy(g_setup.selectedVersionName, NoPreviousConfigValue);
        WriteTextValue(directories.Get(), PreviousConfigValue, g_setup.selectedVersionName);
    }

    WriteNumberValue(directories.Get(), VersionValue, SetupVersionNumber);
    WriteNumberValue(directories.Get(), ShowReadmeValue,
                     g_setup.viewReadme && g_setup.runAfterInstall ? 1 : 0);
    return 0;
}

int ReadPreviousProgramPath(const char* versionName)
{
    RegistryText path;
    if (ReadProgramPath(versionName, path) != 0) return 1;
    text::Copy(g_setup.scratchPath, path);
    text::Copy(g_setup.previousProgramDir, path);
    return 0;
}

int ReadInstalledProgramPath()
{
    RegistryText path;
    if (ReadProgramPath(g_setup.selectedVersionName, path) != 0) return 1;
    text::Copy(g_setup.programDir, path);
    return 0;
}

int ReadThisVersionProgramPath(RegistryText& path)
{
    return ReadProgramPath(ProductVersionName, path);
}

bool IsInstalledProgramPathRecorded()
{
    RegKey directories = OpenVersionKey(DirectoriesKeyFormat, g_setup.selectedVersionName);
    if (!directories) return false;
    return RegQueryValueExA(directories.Get(), ProgramPathValue, nullptr, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
}

int DeleteVersionKey()
{
    // The name must also fit a version key path, as every other operation on it requires.
    KeyPath path;
    if (!FormatVersionPath(path, VersionKeyFormat, g_setup.selectedVersionName)) return 1;
    RegKey product = OpenUserKey(ProductKeyPath);
    if (!product) return 1;
    SHDeleteKeyA(product.Get(), g_setup.selectedVersionName);
    return 0;
}

int DeleteProductKey()
{
    RegKey software = OpenUserKey(SoftwareKeyPath);
    if (!software) return 1;
    // Does not recurse: while another version key remains, Software\ZAV stays.
    RegDeleteKeyA(software.Get(), ProductSubkeyName);
    return 0;
}

bool AnyOtherProgramPath(const char* except, bool (*test)(const char* name, const char* path, void* context),
                         void* context)
{
    RegKey product = OpenUserKey(ProductKeyPath);
    if (!product) return false;
    RegistryText name;
    for (DWORD index = 0;; ++index) {
        LONG result = RegEnumKeyA(product.Get(), index, name, sizeof name);
        if (result == ERROR_MORE_DATA) continue;  // no version we could act on, as in the lists
        if (result != ERROR_SUCCESS) return false;
        name[sizeof name - 1] = '\0';
        // Key names are the same whatever their case.
        if (CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, name, -1, except, -1) == CSTR_EQUAL) continue;
        RegistryText path;
        if (ReadProgramPath(name, path) == 0 && path[0] != '\0' && test(name, path, context)) return true;
    }
}
