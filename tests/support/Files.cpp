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

std::string SmallDiskPath(const std::string& name)
{
    return BuildPath("wine\\smalldisks\\" + name);
}

bool SmallDisksMounted()
{
    return FileExists(BuildPath("wine\\smalldisks\\mounted"));
}

} // namespace testing_support
