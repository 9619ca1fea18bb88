// The product's registry key for the Windows tests: records made and read back, and a
// fixture that leaves no key behind.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

// Deletes HKEY_CURRENT_USER\Software\ZAV with everything below it.
void ResetProductKey();
// Creates a version key under Software\ZAV, optionally with a Directories key and values.
void RecordVersion(const std::string& name, bool withDirectories = true, const char* programPath = nullptr,
                   const std::uint32_t* version = nullptr);
// Writes a value of any type and bytes below HKEY_CURRENT_USER, creating the key.
void SetRawValue(const std::string& keyPath, const char* name, DWORD type, const void* data, DWORD size);
bool KeyExists(const std::string& path);
bool ReadString(const std::string& keyPath, const char* value, std::string& out, DWORD* byteCount = nullptr);
bool ReadDword(const std::string& keyPath, const char* value, std::uint32_t& out);
// The names of the version keys under Software\ZAV, in the registry's order.
std::vector<std::string> VersionKeys();

// A test that starts and ends without the product's key.
class ProductKeyTest : public ::testing::Test {
protected:
    void SetUp() override { ResetProductKey(); }
    void TearDown() override { ResetProductKey(); }
};

} // namespace testing_support
