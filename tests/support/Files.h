// Files and folders for the Windows tests: the build and source trees, throwaway folders,
// whole trees read and written at once, and the small test disks.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

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

// Under Wine, a Unix command run to its end (false when it fails, or without Wine), and the
// Unix path of a Windows one ("" without Wine).
bool RunUnixCommand(std::vector<std::string> args);
std::string UnixPath(const std::string& path);
// The same file or folder spelt through Wine's drive Z:, the Unix root ("" without Wine).
std::string ThroughUnixRoot(const std::string& path);

// While alive, a drive letter of its own names `folder`, as subst makes one: under Wine a link
// among the prefix's drives (there DefineDosDeviceA names nothing that files can be reached
// through), elsewhere DefineDosDeviceA. Root() is "X:\\", or "" when no letter was free.
class MappedDrive {
public:
    explicit MappedDrive(const std::string& folder);
    ~MappedDrive();
    MappedDrive(const MappedDrive&) = delete;
    MappedDrive& operator=(const MappedDrive&) = delete;

    const std::string& Root() const { return root_; }

private:
    void Unmap();

    std::string root_;
    std::string link_;  // the Unix link, under Wine
};

// A symbolic link at `link` to the existing file or folder `target`: the platform's own where it
// makes one, else (under Wine) a Unix one. DropLink removes the link alone, never its target.
bool MakeLink(const std::string& link, const std::string& target);
void DropLink(const std::string& link);
// The entry is a link to a folder (a reparse point, as Wine shows a Unix link to a folder too).
bool IsLink(const std::string& path);

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
