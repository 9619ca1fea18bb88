#include "support/InstallSupport.h"

#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <cctype>

#include "support/TestSupport.h"

namespace testing_support {

std::string SpecialFolder(int csidl)
{
    char path[MAX_PATH] = "";
    if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return "";
    return path;
}

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
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string CurrentDirectory()
{
    char path[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof path, path);
    return path;
}

} // namespace testing_support
