// Helpers for tests that look at what an installation leaves behind: special folders,
// link files read back through the shell's link object, and whole folder trees.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace testing_support {

// The current user's special folder (SHGetFolderPathA, current path), or "" when unknown.
std::string SpecialFolder(int csidl);

// What a link file holds, read back through IShellLinkA after IPersistFile::Load.
struct ShellLinkContent {
    std::string target;
    std::string description;
};
bool ReadShellLink(const std::string& linkFile, ShellLinkContent& out);

// Lower-case copy, for comparing paths the way the file system does.
std::string Lower(std::string text);

// The process's current directory.
std::string CurrentDirectory();

// The product tree as the archive holds it: the product's source files and the built
// launcher, keyed as ReadTree keys them.
std::map<std::string, std::string> ExpectedProductTree();

// Removes the product's link files and program group from the current user's folders, and
// what staging and expansion leave in the Templates folder.
void RemoveProductShortcuts();
void RemoveStagedLeftovers();

} // namespace testing_support
