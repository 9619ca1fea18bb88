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

namespace {

void CollectTree(const std::string& root, const std::string& relative,
                 std::map<std::string, std::string>& out)
{
    std::string folder = relative.empty() ? root : root + "\\" + relative;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        std::string child = relative.empty() ? name : relative + "\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out[child + "\\"] = "";
            CollectTree(root, child, out);
        } else {
            out[child] = ReadFile(root + "\\" + child);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

} // namespace

std::map<std::string, std::string> ReadTree(const std::string& root)
{
    std::map<std::string, std::string> tree;
    CollectTree(root, "", tree);
    return tree;
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
