// Files and folders for the Windows tests: the build and source trees, throwaway folders,
// whole trees read and written at once, and the small test disks.
#pragma once

#include <windows.h>

#include <map>
#include <string>

namespace testing_support {

// Windows path of a file in the build tree or the source tree.
std::string BuildPath(const std::string& relative);
std::string SourcePath(const std::string& relative);
// A fresh, empty folder for one test (inside the prefix's temp folder).
std::string MakeTempFolder(const std::string& tag);
bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// A file, a folder or anything else the file system knows under that name.
bool PathExists(const std::string& path);
std::string ReadFile(const std::string& path);
// False when the file could not be written whole.
bool WriteFile(const std::string& path, const std::string& content);
// Deletes a file or a folder with everything below it, read-only files included.
void RemoveTree(const std::string& path);
// The process's current directory.
std::string CurrentDirectory();

// Everything below root: relative paths with '\\' separators mapped to the file's content;
// folders map to TreeFolderMark. Empty when root is no folder.
constexpr char TreeFolderMark[] = "<folder>";
using Tree = std::map<std::string, std::string>;
Tree ReadTree(const std::string& root);
// Lays such a tree out below root (created if missing), over whatever is there.
void WriteTree(const std::string& root, const Tree& tree);

// The two small disks that tests/support/small-disks.sh mounts for the run ("enough" with
// 1466368 bytes free, "short" with 1462272), and whether the mounting succeeded.
constexpr double SmallDiskEnoughFreeBytes = 1466368.0;
constexpr double SmallDiskShortFreeBytes = 1462272.0;
std::string SmallDiskPath(const std::string& name);
bool SmallDisksMounted();

} // namespace testing_support
