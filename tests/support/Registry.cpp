#include "support/Registry.h"

#include <shlwapi.h>

#include <cstring>

namespace testing_support {

void ResetProductKey()
{
    SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\ZAV");
}

void RecordVersion(const std::string& name, bool withDirectories, const char* programPath,
                   const std::uint32_t* version)
{
    std::string path = "Software\\ZAV\\" + name;
    if (withDirectories) path += "\\Directories";
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    if (programPath)
        RegSetValueExA(key, "Program Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(programPath),
                       static_cast<DWORD>(std::strlen(programPath)));
    if (version)
        RegSetValueExA(key, "Version", 0, REG_DWORD, reinterpret_cast<const BYTE*>(version), 4);
    RegCloseKey(key);
}

void SetRawValue(const std::string& keyPath, const char* name, DWORD type, const void* data, DWORD size)
{
    HKEY key = nullptr;
    if (RegCreateKeyA(HKEY_CURRENT_USER, keyPath.c_str(), &key) != ERROR_SUCCESS) return;
    RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

bool KeyExists(const std::string& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

bool ReadString(const std::string& keyPath, const char* value, std::string& out, DWORD* byteCount)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    char buffer[4096];
    DWORD size = sizeof buffer - 1;
    DWORD type = 0;
    LONG result = RegQueryValueExA(key, value, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_SZ) return false;
    buffer[size] = '\0';
    out.assign(buffer, std::strlen(buffer));
    if (byteCount) *byteCount = size;
    return true;
}

bool ReadDword(const std::string& keyPath, const char* value, std::uint32_t& out)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    DWORD data = 0, size = sizeof data, type = 0;
    LONG result = RegQueryValueExA(key, value, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_DWORD || size != 4) return false;
    out = data;
    return true;
}

std::vector<std::string> VersionKeys()
{
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\ZAV", 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
    char name[512];
    for (DWORD i = 0; RegEnumKeyA(key, i, name, sizeof name) == ERROR_SUCCESS; ++i) names.push_back(name);
    RegCloseKey(key);
    return names;
}

} // namespace testing_support
