#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/Files.h"

using namespace testing_support;

namespace {

// The manifest names the architecture the program is built for.
#if defined(_WIN64)
constexpr char ManifestArchitecture[] = "processorArchitecture=\"amd64\"";
#else
constexpr char ManifestArchitecture[] = "processorArchitecture=\"X86\"";
#endif

#pragma pack(push, 2)
struct IconDirEntry {
    BYTE width;
    BYTE height;
    BYTE colorCount;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytes;
    WORD id;
};
struct IconDir {
    WORD reserved;
    WORD type;
    WORD count;
    IconDirEntry entries[1];
};
#pragma pack(pop)

// The built setup.exe, loaded as data only.
class ResourcesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        module_ = LoadLibraryExA(BuildPath("setup.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module_, nullptr);
    }
    void TearDown() override
    {
        if (module_) FreeLibrary(module_);
    }

    std::string Resource(LPCSTR type, LPCSTR name)
    {
        HRSRC found = FindResourceA(module_, name, type);
        if (!found) return {};
        HGLOBAL loaded = LoadResource(module_, found);
        const char* data = static_cast<const char*>(LockResource(loaded));
        return std::string(data, SizeofResource(module_, found));
    }

    HMODULE module_ = nullptr;
};

} // namespace

TEST_F(ResourcesTest, StringTableNamesTheMainClass)
{
    char text[100] = "";
    EXPECT_EQ(LoadStringA(module_, 109, text, sizeof text), 7);
    EXPECT_STREQ(text, "INSTALL");
}

TEST_F(ResourcesTest, IconGroupHoldsA16And32PixelImageIn256Colours)
{
    std::string group = Resource(RT_GROUP_ICON, MAKEINTRESOURCEA(130));
    ASSERT_GE(group.size(), 6u);
    const IconDir* dir = reinterpret_cast<const IconDir*>(group.data());
    ASSERT_EQ(dir->count, 2);
    bool seen16 = false, seen32 = false;
    for (int i = 0; i < dir->count; ++i) {
        const IconDirEntry& entry = dir->entries[i];
        EXPECT_EQ(entry.bitCount, 8);
        std::string image = Resource(RT_ICON, MAKEINTRESOURCEA(entry.id));
        ASSERT_GE(image.size(), sizeof(BITMAPINFOHEADER));
        const BITMAPINFOHEADER* header = reinterpret_cast<const BITMAPINFOHEADER*>(image.data());
        EXPECT_EQ(header->biBitCount, 8);
        EXPECT_EQ(header->biWidth, entry.width);
        if (entry.width == 16 && entry.height == 16) seen16 = true;
        if (entry.width == 32 && entry.height == 32) seen32 = true;
    }
    EXPECT_TRUE(seen16);
    EXPECT_TRUE(seen32);
}

TEST_F(ResourcesTest, AcceleratorsAreAltQuestionMarkAndAltSlashAsCharacters)
{
    HACCEL table = LoadAcceleratorsA(module_, MAKEINTRESOURCEA(109));
    ASSERT_NE(table, nullptr);
    ACCEL entries[8];
    int count = CopyAcceleratorTableA(table, entries, 8);
    ASSERT_EQ(count, 2);
    bool question = false, slash = false;
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(entries[i].cmd, 104);
        EXPECT_EQ(entries[i].fVirt & FVIRTKEY, 0);  // character keys, not virtual keys
        EXPECT_NE(entries[i].fVirt & FALT, 0);
        if (entries[i].key == '?') question = true;
        if (entries[i].key == '/') slash = true;
    }
    EXPECT_TRUE(question);
    EXPECT_TRUE(slash);
}

TEST_F(ResourcesTest, ManifestDependsOnCommonControlsSix)
{
    std::string manifest = Resource(MAKEINTRESOURCEA(24), MAKEINTRESOURCEA(1));
    ASSERT_FALSE(manifest.empty());
    EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\""), std::string::npos);
    EXPECT_NE(manifest.find("version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(manifest.find(ManifestArchitecture), std::string::npos);
    EXPECT_NE(manifest.find("publicKeyToken=\"6595b64144ccf1df\""), std::string::npos);
    EXPECT_NE(manifest.find("language=\"*\""), std::string::npos);
}

namespace {

// What a shipped image may need and carry: only system DLLs beside it, no symbol table
// (Release builds are stripped) and, for the unzip library, no unwind tables and no
// thread-local data, as nothing in it throws or runs threads.
struct ShippedImage {
    const char* file;
    bool lean;
};

void CheckShippedImage(const ShippedImage& shipped)
{
    SCOPED_TRACE(shipped.file);
    HMODULE image = LoadLibraryExA(BuildPath(shipped.file).c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    ASSERT_NE(image, nullptr);
    auto base = reinterpret_cast<BYTE*>(reinterpret_cast<ULONG_PTR>(image) & ~static_cast<ULONG_PTR>(3));
    auto nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    const char* allowed[] = {"kernel32.dll", "user32.dll", "gdi32.dll", "comctl32.dll", "shell32.dll",
                             "shlwapi.dll", "ole32.dll", "advapi32.dll", "msvcrt.dll"};
    int imports = 0;
    for (auto desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); desc->Name; ++desc) {
        const char* name = reinterpret_cast<const char*>(base + desc->Name);
        bool ok = false;
        for (const char* system : allowed) ok = ok || lstrcmpiA(name, system) == 0;
        EXPECT_TRUE(ok) << name;
        ++imports;
    }
    EXPECT_GT(imports, 0);
    EXPECT_EQ(nt->FileHeader.PointerToSymbolTable, 0u) << "not stripped";
    EXPECT_EQ(nt->FileHeader.NumberOfSymbols, 0u) << "not stripped";
    if (shipped.lean) {
        const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
        for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
            const std::string name(reinterpret_cast<const char*>(section->Name),
                                   strnlen(reinterpret_cast<const char*>(section->Name), IMAGE_SIZEOF_SHORT_NAME));
            EXPECT_NE(name.rfind(".eh_fram", 0), 0u) << "unwind tables";
        }
        EXPECT_EQ(nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_TLS].VirtualAddress, 0u)
            << "thread-local data";
    }
    FreeLibrary(image);
}

} // namespace

TEST_F(ResourcesTest, SetupNeedsOnlySystemLibraries)
{
    CheckShippedImage({"setup.exe", false});
}

TEST_F(ResourcesTest, UnzipLibraryNeedsOnlySystemLibrariesAndIsLean)
{
    CheckShippedImage({"UnzDll.dll", true});
}
