#include "support/InstallSupport.h"

#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "support/Files.h"
#include "support/Registry.h"
#include "support/TestSupport.h"

namespace testing_support {

std::string SpecialFolder(int csidl)
{
    char path[MAX_PATH] = "";
    if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return "";
    return path;
}

std::string DefaultProgramDir() { return SpecialFolder(CSIDL_PROGRAM_FILES) + "\\ZAV 1.00 beta 8"; }

bool ReadShellLink(const std::string& linkFile, ShellLinkContent& out)
{
    HRESULT com = CoInitialize(nullptr);
    bool ok = false;
    IShellLinkA* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link)))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            wchar_t wide[1024];
            MultiByteToWideChar(CP_ACP, 0, linkFile.c_str(), -1, wide, 1024);
            if (SUCCEEDED(file->Load(wide, STGM_READ))) {
                char target[1024] = "";
                char description[1024] = "";
                // SLGP_RAWPATH: the path as stored, not resolved against the file system.
                link->GetPath(target, sizeof target, nullptr, SLGP_RAWPATH);
                link->GetDescription(description, sizeof description);
                out.target = target;
                out.description = description;
                ok = true;
            }
            file->Release();
        }
        link->Release();
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return ok;
}

const ExpectedLink ProductLinks[7] = {
    {CSIDL_DESKTOPDIRECTORY, "ZAV 1.00 beta 8.lnk", "Zav.exe"},
    {CSIDL_STARTMENU, "ZAV 1.00 beta 8.lnk", "Zav.exe"},
    {CSIDL_PROGRAMS, "ZAV 1.00 beta 8\\ZAV 1.00 beta 8.lnk", "Zav.exe"},
    {CSIDL_PROGRAMS, "ZAV 1.00 beta 8\\Visit ZAV Web site.lnk", "web.url"},
    {CSIDL_PROGRAMS, "ZAV 1.00 beta 8\\Vhat's new.lnk", "whatsnew.txt"},
    {CSIDL_PROGRAMS, "ZAV 1.00 beta 8\\History.lnk", "history.txt"},
    {CSIDL_PROGRAMS, "ZAV 1.00 beta 8\\Manual.lnk", "manual.txt"},
};
const ExpectedLink* const DesktopLinks = ProductLinks;
const ExpectedLink* const StartMenuLinks = ProductLinks + 1;
const ExpectedLink* const GroupLinks = ProductLinks + 2;

std::string LinkFile(const ExpectedLink& link) { return SpecialFolder(link.csidl) + "\\" + link.relativeLink; }

void ExpectLinks(const ExpectedLink* begin, const ExpectedLink* end, const std::string& programDir)
{
    for (const ExpectedLink* link = begin; link != end; ++link) {
        std::string file = LinkFile(*link);
        SCOPED_TRACE(file);
        ShellLinkContent content;
        ASSERT_TRUE(ReadShellLink(file, content));
        EXPECT_EQ(Lower(content.target), Lower(programDir + "\\" + link->target));
        EXPECT_EQ(content.description, programDir);
    }
}

void ExpectNoLinks(const ExpectedLink* begin, const ExpectedLink* end)
{
    for (const ExpectedLink* link = begin; link != end; ++link)
        EXPECT_FALSE(FileExists(LinkFile(*link))) << LinkFile(*link);
}

std::map<std::string, std::string> ExpectedProductTree()
{
    std::map<std::string, std::string> tree = ReadTree(SourcePath("product\\files\\ZAV 1.00 beta 8"));
    tree["Zav.exe"] = ReadFile(BuildPath("product\\Zav.exe"));
    return tree;
}

void RemoveProductShortcuts()
{
    DeleteFileA((SpecialFolder(CSIDL_DESKTOPDIRECTORY) + "\\ZAV 1.00 beta 8.lnk").c_str());
    DeleteFileA((SpecialFolder(CSIDL_STARTMENU) + "\\ZAV 1.00 beta 8.lnk").c_str());
    RemoveTree(SpecialFolder(CSIDL_PROGRAMS) + "\\ZAV 1.00 beta 8");
}

void RemoveStagedLeftovers()
{
    std::string templates = SpecialFolder(CSIDL_TEMPLATES);
    RemoveTree(templates + "\\UnzDll.dll");
    RemoveTree(templates + "\\zav.zip");
    RemoveTree(templates + "\\ZAV 1.00 beta 8");
    // The unzip library's temporary folders, left when an expansion was cut short.
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((templates + "\\~unz*.tmp").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    std::vector<std::string> names;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    for (const std::string& name : names) RemoveTree(templates + "\\" + name);
}

void RemoveInstallationLeftovers()
{
    ResetProductKey();
    RemoveProductShortcuts();
    RemoveStagedLeftovers();
    RemoveTree(DefaultProgramDir());
}

namespace {

constexpr const char UserShellFoldersKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

} // namespace

RedirectedShellFolder::RedirectedShellFolder(const char* valueName, const std::string& path)
    : RedirectedShellFolder(valueName, Widen(path))
{
}

RedirectedShellFolder::RedirectedShellFolder(const char* valueName, const std::wstring& path)
    : valueName_(valueName)
{
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, UserShellFoldersKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                    nullptr);
    char data[1024];
    DWORD size = sizeof data;
    if (RegQueryValueExA(key, valueName_, nullptr, &type_, reinterpret_cast<BYTE*>(data), &size) == ERROR_SUCCESS) {
        present_ = true;
        data_.assign(data, size);
    }
    const std::wstring name = Widen(valueName_);
    RegSetValueExW(key, name.c_str(), 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                   static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

RedirectedShellFolder::~RedirectedShellFolder()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, UserShellFoldersKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    if (present_)
        RegSetValueExA(key, valueName_, 0, type_, reinterpret_cast<const BYTE*>(data_.data()),
                       static_cast<DWORD>(data_.size()));
    else
        RegDeleteValueA(key, valueName_);
    RegCloseKey(key);
}

StandInShellFolders::StandInShellFolders(const std::string& root)
    : desktop(root + "\\Desktop"), startMenu(root + "\\Start Menu"), programs(startMenu + "\\Programs"),
      pictures(root + "\\Media\\Pictures")
{
    CreateDirectoryA(root.c_str(), nullptr);
    CreateDirectoryA((root + "\\Media").c_str(), nullptr);
    const std::pair<const char*, const std::string*> redirects[] = {
        {"Desktop", &desktop}, {"Start Menu", &startMenu}, {"Programs", &programs}, {"My Pictures", &pictures}};
    for (const auto& redirect : redirects) {
        CreateDirectoryA(redirect.second->c_str(), nullptr);
        redirects_.push_back(std::make_unique<RedirectedShellFolder>(redirect.first, *redirect.second));
    }
}

// The redirects put the settings back in reverse order.
StandInShellFolders::~StandInShellFolders()
{
    while (!redirects_.empty()) redirects_.pop_back();
}

StandInInstallations::StandInInstallations()
    : root(MakeTempFolder("installations")), folders(root + "\\Profile")
{
    CreateDirectoryA((root + "\\Base").c_str(), nullptr);
}

StandInInstallations::~StandInInstallations() { RemoveTree(root); }

std::string StandInInstallations::ProgramDir(const std::string& name) const { return root + "\\Base\\" + name; }

std::string StandInInstallations::DesktopLink(const std::string& name) const
{
    return folders.desktop + "\\" + name + ".lnk";
}

void StandInInstallations::Install(const std::string& name) const
{
    std::string programDir = ProgramDir(name);
    CreateDirectoryA(programDir.c_str(), nullptr);
    WriteFile(programDir + "\\Zav.exe", "stand-in program");
    CreateDirectoryA((programDir + "\\UserSettings").c_str(), nullptr);
    WriteFile(programDir + "\\UserSettings\\settings.ini", "[zav]");
    WriteFile(DesktopLink(name), "link");
    WriteFile(folders.startMenu + "\\" + name + ".lnk", "link");
    std::string group = folders.programs + "\\" + name;
    CreateDirectoryA(group.c_str(), nullptr);
    WriteFile(group + "\\" + name + ".lnk", "link");
    RecordVersion(name, true, programDir.c_str());
}

int StandInInstallations::Left(const std::string& name) const
{
    return DirectoryExists(ProgramDir(name)) + FileExists(DesktopLink(name)) +
           FileExists(folders.startMenu + "\\" + name + ".lnk") +
           DirectoryExists(folders.programs + "\\" + name) + KeyExists("Software\\ZAV\\" + name);
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

} // namespace testing_support
