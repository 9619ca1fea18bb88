#include "support/Files.h"

#include <windows.h>

#include <fstream>
#include <sstream>

namespace testing_support {

std::string BuildPath(const std::string& relative)
{
    std::string path = ZAV_BUILD_DIR;
    if (!relative.empty()) path += "\\" + relative;
    return path;
}

std::string SourcePath(const std::string& relative)
{
    std::string path = ZAV_SOURCE_DIR;
    if (!relative.empty()) path += "\\" + relative;
    return path;
}

std::string MakeTempFolder(const std::string& tag)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    static unsigned counter = 0;
    std::string path = std::string(temp) + "zavtest-" + tag + "-" + std::to_string(GetCurrentProcessId()) +
                       "-" + std::to_string(++counter);
    RemoveTree(path);
    CreateDirectoryA(path.c_str(), nullptr);
    return path;
}

bool FileExists(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool PathExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

bool WriteFile(const std::string& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    out.close();
    return !out.fail();
}

void RemoveTree(const std::string& path)
{
    if (!DirectoryExists(path)) {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
        return;
    }
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name != "." && name != "..") RemoveTree(path + "\\" + name);
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(path.c_str());
}

std::string CurrentDirectory()
{
    char path[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof path, path);
    return path;
}

namespace {

void ReadTreeBelow(const std::string& root, const std::string& prefix, Tree& tree)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((root + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        std::string relative = prefix + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            tree[relative] = TreeFolderMark;
            ReadTreeBelow(root + "\\" + name, relative + "\\", tree);
        } else {
            tree[relative] = ReadFile(root + "\\" + name);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

} // namespace

Tree ReadTree(const std::string& root)
{
    Tree tree;
    ReadTreeBelow(root, "", tree);
    return tree;
}

void WriteTree(const std::string& root, const Tree& tree)
{
    CreateDirectoryA(root.c_str(), nullptr);
    // A map's order puts every folder before what it holds.
    for (const auto& [relative, content] : tree) {
        std::string path = root + "\\" + relative;
        if (content == TreeFolderMark)
            CreateDirectoryA(path.c_str(), nullptr);
        else
            WriteFile(path, content);
    }
}

bool RunUnixCommand(std::vector<std::string> args)
{
    using Spawn = LONG(__cdecl*)(char* const* argv, int wait);
    auto spawn = reinterpret_cast<Spawn>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "__wine_unix_spawnvp")));
    if (!spawn) return false;
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    return spawn(argv.data(), 1) == 0;
}

std::string UnixPath(const std::string& path)
{
    using ToUnix = char*(__cdecl*)(const wchar_t* dosName);
    auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    wchar_t wide[MAX_PATH];
    if (!toUnix || !MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH)) return std::string();
    char* unixName = toUnix(wide);
    if (!unixName) return std::string();
    std::string result = unixName;
    HeapFree(GetProcessHeap(), 0, unixName);
    return result;
}

std::string ThroughUnixRoot(const std::string& path)
{
    // The Unix path still runs through the prefix's drive links; realpath gives the one they name.
    const std::string answer = MakeTempFolder("unixroot") + "\\path.txt";
    WriteFile(answer, "");
    const std::string unixPath = UnixPath(path), unixAnswer = UnixPath(answer);
    std::string real;
    if (!unixPath.empty() && !unixAnswer.empty() &&
        RunUnixCommand({"sh", "-c", "realpath -- \"$0\" > \"$1\"", unixPath, unixAnswer}))
        real = ReadFile(answer);
    RemoveTree(answer.substr(0, answer.rfind('\\')));
    while (!real.empty() && (real.back() == '\n' || real.back() == '/')) real.pop_back();
    if (real.empty() || real[0] != '/') return std::string();
    for (char& c : real)
        if (c == '/') c = '\\';
    return "Z:" + real;
}

MappedDrive::MappedDrive(const std::string& folder)
{
    // The prefix's drives are links beside C:'s, which Wine reads on every lookup.
    const std::string cDrive = UnixPath("C:\\");
    const std::string unixFolder = UnixPath(folder);
    const std::string drives = cDrive.size() > 3 ? cDrive.substr(0, cDrive.size() - 3) : std::string();
    // Wine keeps its list of drives for a second within a process, so a letter just unmapped
    // would still lead to its old folder: each mapping takes the next free letter in turn.
    constexpr char FirstLetter = 'P';
    constexpr int LetterCount = 10;
    static int nextLetter = 0;
    for (int tried = 0; tried < LetterCount; ++tried) {
        const char letter = static_cast<char>(FirstLetter + (nextLetter + tried) % LetterCount);
        const std::string root = std::string(1, letter) + ":\\";
        if (GetFileAttributesA(root.c_str()) != INVALID_FILE_ATTRIBUTES) continue;
        if (!drives.empty() && cDrive.compare(cDrive.size() - 3, 3, "c:/") == 0) {
            const std::string link = drives + static_cast<char>(letter - 'A' + 'a') + ":";
            if (!RunUnixCommand({"ln", "-s", unixFolder, link})) continue;
            link_ = link;
        } else if (!DefineDosDeviceA(0, root.substr(0, 2).c_str(), folder.c_str())) {
            continue;
        }
        root_ = root;
        nextLetter = (nextLetter + tried + 1) % LetterCount;
        break;
    }
    if (!root_.empty() && !DirectoryExists(root_)) Unmap();
}

MappedDrive::~MappedDrive() { Unmap(); }

void MappedDrive::Unmap()
{
    if (!link_.empty())
        RunUnixCommand({"rm", "-f", link_});
    else if (!root_.empty())
        DefineDosDeviceA(DDD_REMOVE_DEFINITION, root_.substr(0, 2).c_str(), nullptr);
    root_.clear();
    link_.clear();
}

std::string SmallDiskPath(const std::string& name)
{
    return BuildPath("wine\\smalldisks\\" + name);
}

bool SmallDisksMounted()
{
    return FileExists(BuildPath("wine\\smalldisks\\mounted"));
}

// Wine's own CreateSymbolicLinkA makes nothing; so under Wine the link is made from the Unix side.
bool IsLink(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool MakeLink(const std::string& link, const std::string& target)
{
    bool folder = DirectoryExists(target);
    DWORD flags = folder ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0;
    if (CreateSymbolicLinkA(link.c_str(), target.c_str(), flags) && (IsLink(link) || (!folder && FileExists(link))))
        return true;
    return RunUnixCommand({"ln", "-s", UnixPath(target), UnixPath(link)}) &&
           (folder ? IsLink(link) : FileExists(link));
}

void DropLink(const std::string& link)
{
    // Wine's DeleteFileA would delete what a Unix link points to.
    if (!RunUnixCommand({"rm", "-f", UnixPath(link)}) && !RemoveDirectoryA(link.c_str())) DeleteFileA(link.c_str());
}

} // namespace testing_support
