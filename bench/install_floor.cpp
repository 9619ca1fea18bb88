// Benchmark floor, not a setup: only the work an installation of the product cannot avoid, with
// the system calls the setup makes for it, so that the setup's install time can be set against
// it. Writes two staged files of the given sizes into Templates, copies the expanded product
// folder into Program Files (SHFileOperationA), makes the seven links (one link object each,
// IShellLinkA and IPersistFile), writes the four registry values and starts Zav.exe from the
// program folder. Nothing is read, checked, drawn or cleaned up.
//   install_floor.exe PRODUCT_FOLDER LIBRARY_BYTES ARCHIVE_BYTES
// Prints "begun_qpc N" (QueryPerformanceCounter as the work starts, for timed_run's end).
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr char Product[] = "ZAV 1.00 beta 8";
constexpr DWORD ProductVersion = 0x3f6;

struct GroupLink {
    const char* caption;
    const char* target;
};
constexpr GroupLink GroupLinks[] = {
    {Product, "Zav.exe"}, {"Visit ZAV Web site", "web.url"}, {"Vhat's new", "whatsnew.txt"},
    {"History", "history.txt"}, {"Manual", "manual.txt"},
};

std::string ShellFolder(int csidl)
{
    char path[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

void WriteStaged(const std::string& path, DWORD bytes)
{
    std::vector<char> image(bytes);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, image.data(), bytes, &written, nullptr);
    CloseHandle(file);
}

void MakeLink(const std::string& target, const std::string& link, const std::string& description)
{
    IShellLinkA* shellLink = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&shellLink))))
        return;
    shellLink->SetPath(target.c_str());
    shellLink->SetDescription(description.c_str());
    IPersistFile* file = nullptr;
    if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        wchar_t wide[MAX_PATH];
        if (MultiByteToWideChar(CP_ACP, 0, link.c_str(), -1, wide, MAX_PATH)) file->Save(wide, TRUE);
        file->Release();
    }
    shellLink->Release();
}

void SetString(HKEY key, const char* name, const std::string& value)
{
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
}

void SetNumber(HKEY key, const char* name, DWORD value)
{
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: install_floor PRODUCT_FOLDER LIBRARY_BYTES ARCHIVE_BYTES\n");
        return 2;
    }
    LARGE_INTEGER begun;
    QueryPerformanceCounter(&begun);
    std::printf("begun_qpc %lld\n", static_cast<long long>(begun.QuadPart));
    std::fflush(stdout);
    CoInitialize(nullptr);

    const std::string templates = ShellFolder(CSIDL_TEMPLATES);
    WriteStaged(templates + "\\UnzDll.dll", static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10)));
    WriteStaged(templates + "\\zav.zip", static_cast<DWORD>(std::strtoul(argv[3], nullptr, 10)));

    const std::string base = ShellFolder(CSIDL_PROGRAM_FILES);
    const std::string program = base + "\\" + Product;
    std::string from = std::string(argv[1]) + '\0';
    std::string to = base + '\0';
    SHFILEOPSTRUCTA copy{};
    copy.wFunc = FO_COPY;
    copy.pFrom = from.c_str();
    copy.pTo = to.c_str();
    copy.fFlags = FOF_SILENT | FOF_NOCONFIRMATION;
    if (SHFileOperationA(&copy) != 0) return 1;

    const std::string launcher = program + "\\Zav.exe";
    MakeLink(launcher, ShellFolder(CSIDL_DESKTOPDIRECTORY) + "\\" + Product + ".lnk", program);
    MakeLink(launcher, ShellFolder(CSIDL_STARTMENU) + "\\" + Product + ".lnk", program);
    const std::string group = ShellFolder(CSIDL_PROGRAMS) + "\\" + Product;
    CreateDirectoryA(group.c_str(), nullptr);
    for (const GroupLink& link : GroupLinks)
        MakeLink(program + "\\" + link.target, group + "\\" + link.caption + ".lnk", program);

    HKEY key = nullptr;
    if (RegCreateKeyA(HKEY_CURRENT_USER, (std::string("Software\\ZAV\\") + Product + "\\Directories").c_str(),
                      &key) == ERROR_SUCCESS) {
        SetString(key, "Program Path", program);
        SetString(key, "Prev Cfg", "no");
        SetNumber(key, "Version", ProductVersion);
        SetNumber(key, "ShowReadme", 1);
        RegCloseKey(key);
    }

    ShellExecuteA(nullptr, "open", launcher.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    CoUninitialize();
    return 0;
}
