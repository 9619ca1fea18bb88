#include "support/Hooks.h"

#include <cstring>
#include <utility>

#include "support/TestSupport.h"

namespace testing_support {

namespace {

using MessageBoxFn = int(WINAPI*)(HWND, LPCSTR, LPCSTR, UINT);

ImportPatch* messageBoxPatch = nullptr;  // while a MessageBoxAnswerer lives
std::vector<MessageBoxCall> recordedCalls;
int pendingAnswer = IDOK;
bool answering = false;

std::vector<std::function<void(HWND)>*> dialogWatchers;
UINT_PTR watchTimer = 0;

// Finds the IAT slot of an import of this executable by name.
void** FindImportSlot(const char* dllName, const char* functionName)
{
    auto base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    auto dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!dir.VirtualAddress) return nullptr;
    for (auto desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); desc->Name;
         ++desc) {
        if (lstrcmpiA(reinterpret_cast<char*>(base + desc->Name), dllName) != 0) continue;
        auto names = reinterpret_cast<IMAGE_THUNK_DATA*>(
            base + (desc->OriginalFirstThunk ? desc->OriginalFirstThunk : desc->FirstThunk));
        auto slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            auto byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<char*>(byName->Name), functionName) == 0)
                return reinterpret_cast<void**>(&slots->u1.Function);
        }
    }
    return nullptr;
}

void PatchSlot(void** slot, void* value)
{
    DWORD old;
    VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &old);
    *slot = value;
    VirtualProtect(slot, sizeof(void*), old, &old);
}

BOOL CALLBACK CollectDialog(HWND window, LPARAM param)
{
    if (IsWindowVisible(window) && ClassName(window) == "#32770")
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
    return TRUE;
}

void CALLBACK WatchTimerProc(HWND, UINT, UINT_PTR, DWORD)
{
    std::vector<HWND> dialogs;
    EnumThreadWindows(GetCurrentThreadId(), CollectDialog, reinterpret_cast<LPARAM>(&dialogs));
    for (HWND dialog : dialogs) {
        if (GetPropA(dialog, "zav.test.seen")) continue;
        SetPropA(dialog, "zav.test.seen", reinterpret_cast<HANDLE>(1));
        if (answering) {
            // A message box of ours: press the chosen button as a user would.
            HWND button = GetDlgItem(dialog, pendingAnswer);
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(pendingAnswer, BN_CLICKED),
                         reinterpret_cast<LPARAM>(button));
            continue;
        }
        if (!dialogWatchers.empty()) (*dialogWatchers.back())(dialog);
    }
}

void StartWatching()
{
    if (!watchTimer) watchTimer = SetTimer(nullptr, 0, 20, WatchTimerProc);
}

void StopWatchingIfIdle()
{
    if (watchTimer && dialogWatchers.empty() && !messageBoxPatch) {
        KillTimer(nullptr, watchTimer);
        watchTimer = 0;
    }
}

int WINAPI RecordingMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT style)
{
    MessageBoxCall call;
    call.owner = owner;
    call.text = text ? text : "";
    call.caption = caption ? caption : "";
    call.style = style;
    answering = true;
    int answer = reinterpret_cast<MessageBoxFn>(messageBoxPatch->Original())(owner, text, caption, style);
    answering = false;
    call.answer = answer;
    recordedCalls.push_back(call);
    return answer;
}

} // namespace

bool operator==(const MessageBoxCall& a, const MessageBoxCall& b)
{
    return a.owner == b.owner && a.text == b.text && a.caption == b.caption && a.style == b.style &&
           a.answer == b.answer;
}

void PrintTo(const MessageBoxCall& call, std::ostream* out)
{
    *out << "{owner " << call.owner << ", \"" << call.text << "\", \"" << call.caption << "\", style 0x" << std::hex
         << call.style << std::dec << ", answer " << call.answer << "}";
}

MessageBoxAnswerer::MessageBoxAnswerer(int buttonId)
{
    pendingAnswer = buttonId;
    recordedCalls.clear();
    if (!messageBoxPatch)
        messageBoxPatch = new ImportPatch("user32.dll", "MessageBoxA", reinterpret_cast<void*>(&RecordingMessageBox));
    StartWatching();
}

MessageBoxAnswerer::~MessageBoxAnswerer()
{
    delete messageBoxPatch;
    messageBoxPatch = nullptr;
    StopWatchingIfIdle();
}

void MessageBoxAnswerer::SetAnswer(int buttonId) { pendingAnswer = buttonId; }

const std::vector<MessageBoxCall>& MessageBoxAnswerer::Calls() const { return recordedCalls; }

DialogWatcher::DialogWatcher(std::function<void(HWND)> onDialog)
{
    dialogWatchers.push_back(new std::function<void(HWND)>(std::move(onDialog)));
    StartWatching();
}

DialogWatcher::~DialogWatcher()
{
    delete dialogWatchers.back();
    dialogWatchers.pop_back();
    StopWatchingIfIdle();
}

ImportPatch::ImportPatch(const char* dllName, const char* functionName, void* replacement)
{
    slot_ = FindImportSlot(dllName, functionName);
    if (!slot_) return;
    original_ = *slot_;
    PatchSlot(slot_, replacement);
}

ImportPatch::~ImportPatch()
{
    if (slot_) PatchSlot(slot_, original_);
}

} // namespace testing_support
