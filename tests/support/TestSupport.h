// Helpers shared by the Windows tests: the real wizard in the test process, button
// commands and what its windows show. Hooks, registry, files and pixels have headers of
// their own.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "SetupDriver.h"

namespace testing_support {

// Dispatches every queued message of this thread (WM_QUIT included, which is dropped).
void PumpMessages();
// Dispatches the queued messages and tells whether a WM_QUIT was among them.
bool QuitPosted();

// Creates the real main window (and so every page) in this process, from a fresh
// SetupState, the way WinMain does; destroys it again on scope exit.
class Wizard {
public:
    Wizard();
    ~Wizard();
    Wizard(const Wizard&) = delete;
    Wizard& operator=(const Wizard&) = delete;

    HWND Main() const;
};

// Prepares the shared graphics, the class name and the six classes once per process.
void EnsureClassesRegistered();

// Sends a button's WM_COMMAND (id in the low word, BN_CLICKED above it) to a window.
void SendCommand(HWND window, int id, HWND control = nullptr);
// Sends the command as the button itself would: to its parent, with its handle.
void Click(HWND button);
// Clicks one of the main window's buttons (BackButtonId, NextButtonId, CancelButtonId).
void Press(int buttonId);

// A window's caption and class, as the end-to-end driver reads them from outside.
using e2e::ClassName;
using e2e::WindowText;
bool IsChecked(HWND button);
std::vector<std::string> ListRows(HWND listBox);
// UTF-8 text in UTF-16, whatever the code page the test runs in.
std::wstring WideFromUtf8(const std::string& utf8);
// Text of the test's code page in UTF-16.
std::wstring Widen(const std::string& ansi);
// A letter that the ANSI code page cannot spell, or 0 when it spells them all.
wchar_t UnspellableCharacter();
RECT WindowRectInParent(HWND window);

// In an open folder browser (SHBrowseForFolder), selects a folder by path through
// BFFM_SETSELECTIONA and waits until the tree shows it selected; false if it never does.
bool SelectInFolderBrowser(HWND browser, const std::string& path);

} // namespace testing_support
