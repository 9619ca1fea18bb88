#include "SetupDriver.h"

#include <psapi.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <cstring>

namespace e2e {

namespace {

constexpr DWORD PollMs = 10;
constexpr int MessageBoxTextIds[] = {0xFFFF, 100};

struct WindowSearch {
    DWORD processId;
    const char* className;
    const char* titlePart;
    HWND found;
};

BOOL CALLBACK MatchTopLevel(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<WindowSearch*>(param);
    if (!IsWindowVisible(window)) return TRUE;
    if (search->processId && WindowProcess(window) != search->processId) return TRUE;
    if (search->className && ClassName(window) != search->className) return TRUE;
    if (search->titlePart && WindowText(window).find(search->titlePart) == std::string::npos) return TRUE;
    search->found = window;
    return FALSE;
}

HWND FindTopLevel(DWORD processId, const char* className, const char* titlePart)
{
    WindowSearch search{processId, className, titlePart, nullptr};
    EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

struct BoxSearch {
    DWORD processId;
    HWND owner;
    HWND found;
};

BOOL CALLBACK MatchBox(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<BoxSearch*>(param);
    if (!IsWindowVisible(window) || ClassName(window) != "#32770") return TRUE;
    if (WindowProcess(window) != search->processId) return TRUE;
    if (GetWindow(window, GW_OWNER) != search->owner) return TRUE;
    search->found = window;
    return FALSE;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM param)
{
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
    return TRUE;
}

std::vector<HWND> Children(HWND parent)
{
    std::vector<HWND> children;
    EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&children));
    return children;
}

bool ReadMessageBox(HWND box, MessageBoxInfo& info)
{
    info.window = box;
    info.owner = GetWindow(box, GW_OWNER);
    info.caption = WindowText(box);
    info.text.clear();
    for (int id : MessageBoxTextIds) {
        HWND text = GetDlgItem(box, id);
        if (text && ClassName(text) == "Static") {
            info.text = WindowText(text);
            break;
        }
    }
    info.buttons.clear();
    info.hasIcon = false;
    for (HWND child : Children(box)) {
        if (!IsWindowVisible(child)) continue;
        std::string cls = ClassName(child);
        LONG style = GetWindowLongA(child, GWL_STYLE);
        if (cls == "Button") info.buttons.push_back(GetDlgCtrlID(child));
        if (cls == "Static" && (style & SS_TYPEMASK) == SS_ICON) info.hasIcon = true;
    }
    return true;
}

// The process parameters' current directory, at the offsets of the driver's own architecture
// (the setup it reads is built for the same one).
#if defined(_WIN64)
constexpr SIZE_T PebProcessParametersOffset = 0x20;
constexpr SIZE_T ParametersCurrentDirectoryOffset = 0x38;
#else
constexpr SIZE_T PebProcessParametersOffset = 0x10;
constexpr SIZE_T ParametersCurrentDirectoryOffset = 0x24;
#endif

struct BasicInformation {
    LONG exitStatus;
    void* pebBaseAddress;
    ULONG_PTR affinityMask;
    LONG basePriority;
    ULONG_PTR uniqueProcessId;
    ULONG_PTR inheritedFromUniqueProcessId;
};

struct CountedString {
    USHORT length;
    USHORT maximumLength;
    wchar_t* buffer;
};

using QueryInformationProcessFn = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);

} // namespace

// --- SetupDriver -----------------------------------------------------------------------------

SetupDriver::~SetupDriver()
{
    Kill();
    if (processInfo_.hThread) CloseHandle(processInfo_.hThread);
    if (processInfo_.hProcess) CloseHandle(processInfo_.hProcess);
}

bool SetupDriver::Start(const std::string& exePath, const std::string& currentDirectory, DWORD timeoutMs)
{
    std::string commandLine = "\"" + exePath + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessA(exePath.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        currentDirectory.empty() ? nullptr : currentDirectory.c_str(), &startup,
                        &processInfo_))
        return false;

    double deadline = NowMs() + timeoutMs;
    while (!(main_ = FindTopLevel(ProcessId(), MainWindowClass, "Setup - ZAV"))) {
        if (NowMs() > deadline || !Running()) return false;
        Sleep(PollMs);
    }
    if (!WaitUntilPainted(timeoutMs)) return false;
    SampleMemory();
    return true;
}

bool SetupDriver::WaitUntilPainted(DWORD timeoutMs) const
{
    // Painted: the setup is back in its message loop and no visible window of it waits for
    // WM_PAINT any more.
    double deadline = NowMs() + timeoutMs;
    for (;;) {
        if (!WaitUntilHandled(timeoutMs)) return false;
        bool pending = GetUpdateRect(main_, nullptr, FALSE) != FALSE;
        for (HWND child : Children(main_))
            if (IsWindowVisible(child) && GetUpdateRect(child, nullptr, FALSE)) pending = true;
        if (!pending) return true;
        if (NowMs() > deadline) return false;
        Sleep(1);
    }
}

bool SetupDriver::Running() const
{
    return processInfo_.hProcess && WaitForSingleObject(processInfo_.hProcess, 0) == WAIT_TIMEOUT;
}

bool SetupDriver::WaitUntilHandled(DWORD timeoutMs) const
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(main_, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &result) != 0;
}

HWND SetupDriver::Page(const char* className) const
{
    return main_ ? FindWindowExA(main_, nullptr, className, nullptr) : nullptr;
}

HWND SetupDriver::Control(const char* pageClass, int id) const
{
    HWND page = Page(pageClass);
    return page ? GetDlgItem(page, id) : nullptr;
}

bool SetupDriver::IsVisible(const char* pageClass) const
{
    HWND page = Page(pageClass);
    return page && IsWindowVisible(page);
}

bool SetupDriver::IsChecked(const char* pageClass, int id) const
{
    HWND control = Control(pageClass, id);
    return control && SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool SetupDriver::IsEnabled(HWND window) const { return window && IsWindowEnabled(window); }

bool SetupDriver::Press(HWND parent, int id)
{
    if (!parent) return false;
    HWND control = GetDlgItem(parent, id);
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(parent, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                               reinterpret_cast<LPARAM>(control), SMTO_NORMAL, 30000, &result) != 0;
}

bool SetupDriver::PressMain(int id)
{
    // A disabled button cannot be clicked by a user, so it is not pressed here either.
    HWND button = GetDlgItem(main_, id);
    if (!IsEnabled(button)) return false;
    return Press(main_, id);
}

bool SetupDriver::PressOn(const char* pageClass, int id) { return Press(Page(pageClass), id); }

bool SetupDriver::SetOption(const char* pageClass, int id, bool checked)
{
    for (int attempt = 0; attempt < 2 && IsChecked(pageClass, id) != checked; ++attempt)
        if (!PressOn(pageClass, id)) return false;
    return IsChecked(pageClass, id) == checked;
}

bool SetupDriver::ChoosePreviousConfiguration(const std::string& name)
{
    HWND list = Control(WelcomePageClass, PreviousConfigListId);
    if (!list) return false;
    const std::vector<std::wstring> rows = ListRowTexts(list);
    for (LRESULT row = 0; row < static_cast<LRESULT>(rows.size()); ++row) {
        char text[1024] = "";
        WideCharToMultiByte(CP_ACP, 0, rows[row].c_str(), -1, text, sizeof text, nullptr, nullptr);
        if (name != text) continue;
        SendMessageA(list, LB_SETCURSEL, row, 0);
        DWORD_PTR result = 0;
        return SendMessageTimeoutA(Page(WelcomePageClass), WM_COMMAND,
                                   MAKEWPARAM(PreviousConfigListId, LBN_SELCHANGE),
                                   reinterpret_cast<LPARAM>(list), SMTO_NORMAL, 30000, &result) != 0;
    }
    return false;
}

std::vector<std::wstring> ListRowTexts(HWND list)
{
    std::vector<std::wstring> rows;
    LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT row = 0; row < count; ++row) {
        // Asked in its wide form: across processes Wine hands a list row back as the list
        // keeps it, whatever the asker's character set.
        wchar_t wide[512] = L"";
        if (SendMessageW(list, LB_GETTEXTLEN, row, 0) < static_cast<LRESULT>(ARRAYSIZE(wide)))
            SendMessageW(list, LB_GETTEXT, row, reinterpret_cast<LPARAM>(wide));
        rows.push_back(wide);
    }
    return rows;
}

bool SetupDriver::GoToPage(int index)
{
    const char* const pages[] = {WelcomePageClass, LicensePageClass, DestinationPageClass, ProgressPageClass};
    if (index < 0 || index > 3) return false;
    if (IsVisible(MaintenancePageClass) && !PressOn(MaintenancePageClass, MaintenanceInstallButtonId))
        return false;
    for (int page = 0; page < index; ++page) {
        if (!IsVisible(pages[page])) continue;
        if (page == 1 && !PressOn(LicensePageClass, AcceptRadioId)) return false;
        if (!PressMain(NextButtonId)) return false;
    }
    if (!IsVisible(pages[index])) return false;
    return index < 3 || WindowText(GetDlgItem(main_, NextButtonId)) == "Install";
}

namespace {

// A block of the setup's memory: the browser is another process's window, so what its
// messages point to must lie there.
class RemoteBlock {
public:
    RemoteBlock(HANDLE process, SIZE_T size)
        : process_(process), address_(VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE)) {}
    ~RemoteBlock()
    {
        if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    }
    RemoteBlock(const RemoteBlock&) = delete;
    RemoteBlock& operator=(const RemoteBlock&) = delete;

    void* At(SIZE_T offset) const { return static_cast<char*>(address_) + offset; }
    bool Write(SIZE_T offset, const void* data, SIZE_T size) const
    {
        return address_ && WriteProcessMemory(process_, At(offset), data, size, nullptr);
    }

private:
    HANDLE process_;
    void* address_;
};

} // namespace

bool SetupDriver::PressChange()
{
    HWND change = Control(DestinationPageClass, ChangeButtonId);
    // The browser is modal: the click is posted, not sent.
    return change && PostMessageA(Page(DestinationPageClass), WM_COMMAND, MAKEWPARAM(ChangeButtonId, BN_CLICKED),
                                  reinterpret_cast<LPARAM>(change));
}

// The selection is asked for a few times over: Wine's browser now and then ignores one made
// right after it opened. It is given in UTF-16, so that no code page of either side stands
// between the folder and the browser.
bool SetupDriver::ChooseInBrowser(const MessageBoxInfo& browser, const std::string& folder)
{
    wchar_t wide[MAX_PATH] = L"";
    if (!folder.empty() && !MultiByteToWideChar(CP_ACP, 0, folder.c_str(), -1, wide, MAX_PATH)) return false;
    const SIZE_T bytes = (lstrlenW(wide) + 1) * sizeof(wchar_t);
    RemoteBlock path(processInfo_.hProcess, bytes);
    if (!path.Write(0, wide, bytes)) return false;
    for (int attempt = 0; attempt < 10 && !folder.empty(); ++attempt) {
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutW(browser.window, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(path.At(0)),
                                 SMTO_NORMAL, 30000, &result))
            return false;
        Sleep(100);
    }
    return Answer(browser, IDOK);
}

bool SetupDriver::StartInstall()
{
    HWND next = GetDlgItem(main_, NextButtonId);
    // Right after a failed attempt the setup may still be giving its buttons back.
    for (double deadline = NowMs() + 5000; !IsEnabled(next); Sleep(PollMs))
        if (NowMs() > deadline || !Running()) return false;
    return PostMessageA(main_, WM_COMMAND, MAKEWPARAM(NextButtonId, BN_CLICKED), reinterpret_cast<LPARAM>(next)) != 0;
}

void SetupDriver::SampleMemory()
{
    PROCESS_MEMORY_COUNTERS counters{};
    if (GetProcessMemoryInfo(processInfo_.hProcess, &counters, sizeof counters) &&
        counters.PeakWorkingSetSize > peakWorkingSet_)
        peakWorkingSet_ = counters.PeakWorkingSetSize;
}

WaitResult SetupDriver::WaitForMessageBoxOrExit(DWORD timeoutMs, MessageBoxInfo& box)
{
    double deadline = NowMs() + timeoutMs;
    for (;;) {
        SampleMemory();
        if (!Running()) return WaitResult::Exited;
        BoxSearch search{ProcessId(), main_, nullptr};
        EnumWindows(MatchBox, reinterpret_cast<LPARAM>(&search));
        if (search.found && ReadMessageBox(search.found, box)) return WaitResult::MessageBox;
        if (NowMs() > deadline) return WaitResult::TimedOut;
        Sleep(PollMs);
    }
}

bool SetupDriver::Answer(const MessageBoxInfo& box, int buttonId)
{
    HWND button = GetDlgItem(box.window, buttonId);
    if (!button) return false;
    if (!PostMessageA(box.window, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), reinterpret_cast<LPARAM>(button)))
        return false;
    // Answered once the box is gone; what the setup does next is for the caller to wait for.
    double deadline = NowMs() + 10000;
    while (IsWindow(box.window) && IsWindowVisible(box.window)) {
        if (NowMs() > deadline) return false;
        Sleep(PollMs);
    }
    return true;
}

bool SetupDriver::WaitForExit(DWORD timeoutMs, DWORD* exitCode)
{
    if (!processInfo_.hProcess) return false;
    if (WaitForSingleObject(processInfo_.hProcess, timeoutMs) != WAIT_OBJECT_0) return false;
    DWORD code = 0;
    GetExitCodeProcess(processInfo_.hProcess, &code);
    if (exitCode) *exitCode = code;
    return true;
}

void SetupDriver::Kill()
{
    if (!Running()) return;
    TerminateProcess(processInfo_.hProcess, 1);
    WaitForSingleObject(processInfo_.hProcess, 5000);
}

// --- Other processes -------------------------------------------------------------------------

std::vector<DWORD> FindProcesses(const char* exeName)
{
    std::vector<DWORD> found;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return found;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        const char* name = std::strrchr(entry.szExeFile, '\\');
        name = name ? name + 1 : entry.szExeFile;
        if (lstrcmpiA(name, exeName) == 0) found.push_back(entry.th32ProcessID);
    }
    CloseHandle(snapshot);
    return found;
}

std::string ProcessImagePath(DWORD processId)
{
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (!process) return "";
    char path[MAX_PATH * 2] = "";
    DWORD size = sizeof path;
    if (!QueryFullProcessImageNameA(process, 0, path, &size)) path[0] = '\0';
    CloseHandle(process);
    return path;
}

std::string ProcessCurrentDirectory(DWORD processId)
{
    auto query = reinterpret_cast<QueryInformationProcessFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
    if (!query) return "";
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    if (!process) return "";
    std::string result;
    BasicInformation basic{};
    ULONG length = 0;
    void* parameters = nullptr;
    CountedString directory{};
    if (query(process, 0, &basic, sizeof basic, &length) == 0 &&
        ReadProcessMemory(process, static_cast<char*>(basic.pebBaseAddress) + PebProcessParametersOffset,
                          &parameters, sizeof parameters, nullptr) &&
        ReadProcessMemory(process, static_cast<char*>(parameters) + ParametersCurrentDirectoryOffset,
                          &directory, sizeof directory, nullptr)) {
        std::wstring wide(directory.length / sizeof(wchar_t), L'\0');
        if (!wide.empty() &&
            ReadProcessMemory(process, directory.buffer, &wide[0], directory.length, nullptr)) {
            if (wide.size() > 3 && wide.back() == L'\\') wide.pop_back();
            char ansi[MAX_PATH * 2] = "";
            WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, ansi, sizeof ansi, nullptr, nullptr);
            result = ansi;
        }
    }
    CloseHandle(process);
    return result;
}

bool TerminateProcesses(const char* exeName, DWORD waitMs)
{
    std::vector<DWORD> processes = FindProcesses(exeName);
    for (DWORD id : processes) {
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
        if (!process) continue;
        TerminateProcess(process, 1);
        WaitForSingleObject(process, waitMs);
        CloseHandle(process);
    }
    return !processes.empty();
}

HWND WaitForTopLevelWindow(DWORD processId, const char* className, const char* titlePart, DWORD timeoutMs)
{
    double deadline = NowMs() + timeoutMs;
    for (;;) {
        if (HWND found = FindTopLevel(processId, className, titlePart)) return found;
        if (NowMs() > deadline) return nullptr;
        Sleep(PollMs);
    }
}

DWORD WindowProcess(HWND window)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    return processId;
}

std::string WindowText(HWND window)
{
    // The caption as the window manager keeps it: never waits for a busy process.
    char text[2048] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string ControlText(HWND window, DWORD timeoutMs)
{
    // Asks the control itself, as an edit keeps its text to itself.
    std::string text(64 * 1024, '\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]),
                             SMTO_NORMAL, timeoutMs, &copied))
        return "";
    text.resize(std::strlen(text.c_str()));
    return text;
}

std::string ClassName(HWND window)
{
    char name[256] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

double NowMs()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

} // namespace e2e
