// Benchmark floor, not a setup: only the work an installation of the product cannot avoid, with
// the system calls the setup makes for it, so that the setup's install time can be set against
// it. Writes two staged files of the given sizes into Templates, copies the product folder that
// the caller has put there in the place of the expansion into Program Files (SHFileOperationA),
// makes the seven links (one link object each, IShellLinkA and IPersistFile), writes the four
// registry values, cleans up the staging as the setup must (the two files, then the expanded
// folder with SHFileOperationA FO_DELETE) and starts Zav.exe from the program folder. Nothing
// is read, checked or drawn.
//   install_floor.exe LIBRARY_BYTES ARCHIVE_BYTES
// Prints "begun_qpc N" (QueryPerformanceCounter as the work starts, for timed_run's end), and
// "cleanup_begun_qpc N" and "cleanup_ended_qpc N" around the clean-up, so that the floor can
// also be told without it.
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
// The flags of the setup's product copy and of its clean-up.
constexpr FILEOP_FLAGS CopyFlags = FOF_SILENT | FOF_NOCONFIRMATION;
constexpr FILEOP_FLAGS CleanupFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;

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

// from and to: single paths (to empty: none); the shell wants lists ending in two NULs.
int ShellOperation(UINT function, const std::string& from, const std::string& to, FILEOP_FLAGS flags)
{
    std::string fromList = from + '\0';
    std::string toList = to + '\0';
    SHFILEOPSTRUCTA operation{};
    operation.wFunc = function;
    operation.pFrom = fromList.c_str();
    operation.pTo = to.empty() ? nullptr : toList.c_str();
    operation.fFlags = flags;
    return SHFileOperationA(&operation);
}

void PrintCounter(const char* name)
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    std::printf("%s %lld\n", name, static_cast<long long>(now.QuadPart));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: install_floor LIBRARY_BYTES ARCHIVE_BYTES\n");
        return 2;
    }
    PrintCounter("begun_qpc");
    CoInitialize(nullptr);

    const std::string templates = ShellFolder(CSIDL_TEMPLATES);
    const std::string library = templates + "\\UnzDll.dll";
    const std::string archive = templates + "\\zav.zip";
    const std::string expanded = templates + "\\" + Product;
    WriteStaged(library, static_cast<DWORD>(std::strtoul(argv[1], nullptr, 10)));
    WriteStaged(archive, static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10)));

    const std::string base = ShellFolder(CSIDL_PROGRAM_FILES);
    const std::string program = base + "\\" + Product;
    if (ShellOperation(FO_COPY, expanded, base, CopyFlags) != 0) return 1;

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

    PrintCounter("cleanup_begun_qpc");
    DeleteFileA(archive.c_str());
    DeleteFileA(library.c_str());
    if (ShellOperation(FO_DELETE, expanded, "", CleanupFlags) != 0) return 1;
    PrintCounter("cleanup_ended_qpc");

    ShellExecuteA(nullptr, "open", launcher.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    CoUninitialize();
    return 0;
}
