// Helpers for tests that look at what an installation leaves behind: special folders and
// stand-ins for them, link files read back through the shell's link object, and the
// product's tree.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace testing_support {

// The current user's special folder (SHGetFolderPathA, current path), or "" when unknown.
std::string SpecialFolder(int csidl);
// The program folder the setup offers: "ZAV 1.00 beta 8" under Program Files.
std::string DefaultProgramDir();

// What a link file holds, read back through IShellLinkA after IPersistFile::Load.
struct ShellLinkContent {
    std::string target;
    std::string description;
};
bool ReadShellLink(const std::string& linkFile, ShellLinkContent& out);

// A link an installation makes, and where it points.
struct ExpectedLink {
    int csidl;
    const char* relativeLink;  // inside the special folder
    const char* target;        // inside the program folder, as the shortcut names it
};
// All of them: the desktop's, the Start menu's, then the program group's five.
extern const ExpectedLink ProductLinks[7];
extern const ExpectedLink* const DesktopLinks;     // one
extern const ExpectedLink* const StartMenuLinks;   // one
extern const ExpectedLink* const GroupLinks;       // five, to std::end(ProductLinks)
std::string LinkFile(const ExpectedLink& link);
// Every link in [begin, end) exists and points into programDir, which it also names.
void ExpectLinks(const ExpectedLink* begin, const ExpectedLink* end, const std::string& programDir);
void ExpectNoLinks(const ExpectedLink* begin, const ExpectedLink* end);

// Lower-case copy, for comparing paths the way the file system does.
std::string Lower(std::string text);

// The product tree as the archive holds it: the product's source files and the built
// launcher, keyed as ReadTree keys them.
std::map<std::string, std::string> ExpectedProductTree();

// Removes the product's link files and program group from the current user's folders, and
// what staging and expansion leave in the Templates folder (the unzip library's temporary
// "~unz*.tmp" folders too).
void RemoveProductShortcuts();
void RemoveStagedLeftovers();
// All an installation of the product can leave: the registry record, the shortcuts, the
// staged files and the program folder under Program Files.
void RemoveInstallationLeftovers();

// While alive, SHGetFolderPathA reports the current user's folder of that name in the shell's
// "User Shell Folders" key ("Desktop", "Templates", ...) as `path`, which need not exist.
// Puts the setting back as it was.
class RedirectedShellFolder {
public:
    RedirectedShellFolder(const char* valueName, const std::string& path);
    // The same for a path that the test's code page may not spell.
    RedirectedShellFolder(const char* valueName, const std::wstring& path);
    ~RedirectedShellFolder();
    RedirectedShellFolder(const RedirectedShellFolder&) = delete;
    RedirectedShellFolder& operator=(const RedirectedShellFolder&) = delete;

private:
    const char* valueName_;
    DWORD type_ = 0;
    std::string data_;
    bool present_ = false;
};

// While alive, the current user's Desktop, Start menu, Programs and Pictures folders (as
// SHGetFolderPathA reports them) are stand-ins created inside `root`, so that tests can make
// and delete shortcuts without touching the prefix's own folders. Restores the settings.
// Pictures lies one folder deeper, in "Media", which holds no other shell folder.
class StandInShellFolders {
public:
    explicit StandInShellFolders(const std::string& root);
    ~StandInShellFolders();
    StandInShellFolders(const StandInShellFolders&) = delete;
    StandInShellFolders& operator=(const StandInShellFolders&) = delete;

    std::string desktop;
    std::string startMenu;
    std::string programs;
    std::string pictures;

private:
    std::vector<std::unique_ptr<RedirectedShellFolder>> redirects_;
};

// A throwaway tree with stand-in shell folders and recorded stand-in installations in it.
class StandInInstallations {
public:
    StandInInstallations();
    ~StandInInstallations();  // restores the shell folders and deletes the tree
    StandInInstallations(const StandInInstallations&) = delete;
    StandInInstallations& operator=(const StandInInstallations&) = delete;

    std::string ProgramDir(const std::string& name) const;
    std::string DesktopLink(const std::string& name) const;
    // Lays out what an installation of `name` leaves behind: the program folder (a file and a
    // subfolder with a file), "<name>.lnk" on the desktop and in the Start menu, the program
    // group with a shortcut in it, and the registry record naming the program folder.
    void Install(const std::string& name) const;
    // How many of those five things (folder, two shortcuts, group, record key) are left.
    int Left(const std::string& name) const;

    const std::string root;
    const StandInShellFolders folders;
};

} // namespace testing_support
