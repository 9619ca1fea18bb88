// Hooks for the Windows tests: imports of this executable redirected, and the dialogs and
// message boxes that the code under test opens, answered from outside.
#pragma once

#include <windows.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace testing_support {

// While alive, this executable's calls of an imported function (the setup's code is linked
// into it) go to the replacement, which may call on through Original().
class ImportPatch {
public:
    ImportPatch(const char* dllName, const char* functionName, void* replacement);
    ~ImportPatch();
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

    void* Original() const { return original_; }
    bool Active() const { return slot_ != nullptr; }

private:
    void** slot_ = nullptr;
    void* original_ = nullptr;
};

// What a message box was opened with, captured before it is answered.
struct MessageBoxCall {
    HWND owner = nullptr;
    std::string text;
    std::string caption;
    UINT style = 0;
    int answer = 0;
};
bool operator==(const MessageBoxCall& a, const MessageBoxCall& b);
void PrintTo(const MessageBoxCall& call, std::ostream* out);  // for the test's messages

// While alive, every MessageBoxA of this process is recorded and the box that really opens
// is answered by pressing the button with the given id (IDOK, IDYES, IDNO, ...).
class MessageBoxAnswerer {
public:
    explicit MessageBoxAnswerer(int buttonId);
    ~MessageBoxAnswerer();
    MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
    MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;

    void SetAnswer(int buttonId);
    const std::vector<MessageBoxCall>& Calls() const;
};

// While alive, any dialog (class "#32770") that this thread opens is handed to the callback
// once, shortly after it appears; the callback may inspect and close it.
class DialogWatcher {
public:
    explicit DialogWatcher(std::function<void(HWND dialog)> onDialog);
    ~DialogWatcher();
    DialogWatcher(const DialogWatcher&) = delete;
    DialogWatcher& operator=(const DialogWatcher&) = delete;
};

} // namespace testing_support
