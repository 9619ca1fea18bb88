#include "support/TestSupport.h"

#include <commctrl.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <utility>

#include "resources/resource.h"
#include "shell/MainWindow.h"
#include "shell/SetupState.h"

namespace testing_support {

void PumpMessages()
{
    MSG msg;
    for (int round = 0; round < 3; ++round) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

bool QuitPosted()
{
    MSG msg;
    bool quit = false;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) quit = true;
        else DispatchMessageA(&msg);
    }
    return quit;
}

void EnsureClassesRegistered()
{
    static bool registered = false;
    InitSharedGraphics();
    HINSTANCE instance = GetModuleHandleA(nullptr);
    LoadStringA(instance, IDS_MAIN_CLASS, g_setup.mainClassName, sizeof g_setup.mainClassName);
    if (!registered) {
        RegisterWindowClasses(instance);
        registered = true;
    }
}

Wizard::Wizard()
{
    ResetSetupState();
    EnsureClassesRegistered();
    CreateMainWindow(GetModuleHandleA(nullptr), SW_SHOWNORMAL);
    PumpMessages();
}

Wizard::~Wizard()
{
    if (g_setup.mainWindow && IsWindow(g_setup.mainWindow)) DestroyWindow(g_setup.mainWindow);
    PumpMessages();
}

HWND Wizard::Main() const { return g_setup.mainWindow; }

void SendCommand(HWND window, int id, HWND control)
{
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
}

void Click(HWND button)
{
    SendCommand(GetParent(button), GetDlgCtrlID(button), button);
}

std::string WindowText(HWND window)
{
    char buffer[1024] = "";
    GetWindowTextA(window, buffer, sizeof buffer);
    return buffer;
}

std::string ClassName(HWND window)
{
    char buffer[256] = "";
    GetClassNameA(window, buffer, sizeof buffer);
    return buffer;
}

bool IsChecked(HWND button)
{
    return SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

std::vector<std::string> ListRows(HWND listBox)
{
    std::vector<std::string> rows;
    LRESULT count = SendMessageA(listBox, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        LRESULT length = SendMessageA(listBox, LB_GETTEXTLEN, i, 0);
        std::string row(static_cast<size_t>(length < 0 ? 0 : length) + 1, '\0');
        SendMessageA(listBox, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&row[0]));
        row.resize(std::strlen(row.c_str()));
        rows.push_back(row);
    }
    return rows;
}

RECT WindowRectInParent(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    MapWindowPoints(HWND_DESKTOP, GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// --- Message boxes -------------------------------------------------------------------------

namespace {

using MessageBoxFn = int(WINAPI*)(HWND, LPCSTR, LPCSTR, UINT);

MessageBoxFn realMessageBox = nullptr;
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
    if (watchTimer && dialogWatchers.empty() && !realMessageBox) {
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
    int answer = realMessageBox(owner, text, caption, style);
    answering = false;
    call.answer = answer;
    recordedCalls.push_back(call);
    return answer;
}

} // namespace

MessageBoxAnswerer::MessageBoxAnswerer(int buttonId)
{
    pendingAnswer = buttonId;
    recordedCalls.clear();
    void** slot = FindImportSlot("user32.dll", "MessageBoxA");
    if (slot && !realMessageBox) {
        realMessageBox = reinterpret_cast<MessageBoxFn>(*slot);
        PatchSlot(slot, reinterpret_cast<void*>(&RecordingMessageBox));
    }
    StartWatching();
}

MessageBoxAnswerer::~MessageBoxAnswerer()
{
    void** slot = FindImportSlot("user32.dll", "MessageBoxA");
    if (slot && realMessageBox) PatchSlot(slot, reinterpret_cast<void*>(realMessageBox));
    realMessageBox = nullptr;
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

// --- Folder browser ------------------------------------------------------------------------

namespace {

std::string SelectedTreeItemText(HWND browser)
{
    HWND tree = FindWindowExA(browser, nullptr, WC_TREEVIEWA, nullptr);
    auto item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    if (!item) return {};
    char text[MAX_PATH] = "";
    TVITEMA info{};
    info.mask = TVIF_TEXT;
    info.hItem = item;
    info.pszText = text;
    info.cchTextMax = sizeof text;
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&info));
    return text;
}

} // namespace

bool SelectInFolderBrowser(HWND browser, const std::string& path)
{
    std::string name = path.substr(path.find_last_of('\\') + 1);
    // Wine's browser now and then ignores a selection made right after it opened; ask again.
    for (int attempt = 0; attempt < 50; ++attempt) {
        SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(path.c_str()));
        std::string selected = SelectedTreeItemText(browser);
        if (lstrcmpiA(selected.c_str(), name.c_str()) == 0) return true;
        Sleep(20);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return false;
}

// --- Registry ------------------------------------------------------------------------------

void ResetProductKey()
{
    SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\ZAV");
}

void RecordVersion(const std::string& name, bool withDirectories, const char* programPath,
                   const std::uint32_t* version)
{
    std::string path = "Software\\ZAV\\" + name;
    if (withDirectories) path += "\\Directories";
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    if (programPath)
        RegSetValueExA(key, "Program Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(programPath),
                       static_cast<DWORD>(std::strlen(programPath)));
    if (version)
        RegSetValueExA(key, "Version", 0, REG_DWORD, reinterpret_cast<const BYTE*>(version), 4);
    RegCloseKey(key);
}

bool KeyExists(const std::string& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

bool ReadString(const std::string& keyPath, const char* value, std::string& out, DWORD* byteCount)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    char buffer[4096];
    DWORD size = sizeof buffer - 1;
    DWORD type = 0;
    LONG result = RegQueryValueExA(key, value, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_SZ) return false;
    buffer[size] = '\0';
    out.assign(buffer, std::strlen(buffer));
    if (byteCount) *byteCount = size;
    return true;
}

bool ReadDword(const std::string& keyPath, const char* value, std::uint32_t& out)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    DWORD data = 0, size = sizeof data, type = 0;
    LONG result = RegQueryValueExA(key, value, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_DWORD || size != 4) return false;
    out = data;
    return true;
}

// --- Stand-in shell folders ----------------------------------------------------------------

namespace {

constexpr const char UserShellFoldersKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

} // namespace

StandInShellFolders::StandInShellFolders(const std::string& root)
    : desktop(root + "\\Desktop"), startMenu(root + "\\Start Menu"), programs(startMenu + "\\Programs"),
      pictures(root + "\\Media\\Pictures")
{
    CreateDirectoryA(root.c_str(), nullptr);
    CreateDirectoryA((root + "\\Media").c_str(), nullptr);
    const std::pair<const char*, const std::string*> redirects[] = {
        {"Desktop", &desktop}, {"Start Menu", &startMenu}, {"Programs", &programs}, {"My Pictures", &pictures}};
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, UserShellFoldersKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                    nullptr);
    for (const auto& redirect : redirects) {
        CreateDirectoryA(redirect.second->c_str(), nullptr);
        Saved saved{redirect.first, 0, std::string(), false};
        char data[1024];
        DWORD size = sizeof data;
        if (RegQueryValueExA(key, redirect.first, nullptr, &saved.type, reinterpret_cast<BYTE*>(data),
                             &size) == ERROR_SUCCESS) {
            saved.present = true;
            saved.data.assign(data, size);
        }
        saved_.push_back(saved);
        RegSetValueExA(key, redirect.first, 0, REG_EXPAND_SZ,
                       reinterpret_cast<const BYTE*>(redirect.second->c_str()),
                       static_cast<DWORD>(redirect.second->size() + 1));
    }
    RegCloseKey(key);
}

StandInShellFolders::~StandInShellFolders()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, UserShellFoldersKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    for (const Saved& saved : saved_) {
        if (saved.present)
            RegSetValueExA(key, saved.value, 0, saved.type, reinterpret_cast<const BYTE*>(saved.data.data()),
                           static_cast<DWORD>(saved.data.size()));
        else
            RegDeleteValueA(key, saved.value);
    }
    RegCloseKey(key);
}

StandInInstallations::StandInInstallations()
    : root(MakeTempFolder("installations")), folders(root + "\\Profile")
{
    CreateDirectoryA((root + "\\Base").c_str(), nullptr);
}

StandInInstallations::~StandInInstallations() { RemoveTree(root); }

std::string StandInInstallations::ProgramDir(const std::string& name) const { return root + "\\Base\\" + name; }

std::string StandInInstallations::DesktopLink(const std::string& name) const
{
    return folders.desktop + "\\" + name + ".lnk";
}

void StandInInstallations::Install(const std::string& name) const
{
    std::string programDir = ProgramDir(name);
    CreateDirectoryA(programDir.c_str(), nullptr);
    WriteFile(programDir + "\\Zav.exe", "stand-in program");
    CreateDirectoryA((programDir + "\\UserSettings").c_str(), nullptr);
    WriteFile(programDir + "\\UserSettings\\settings.ini", "[zav]");
    WriteFile(DesktopLink(name), "link");
    WriteFile(folders.startMenu + "\\" + name + ".lnk", "link");
    std::string group = folders.programs + "\\" + name;
    CreateDirectoryA(group.c_str(), nullptr);
    WriteFile(group + "\\" + name + ".lnk", "link");
    RecordVersion(name, true, programDir.c_str());
}

int StandInInstallations::Left(const std::string& name) const
{
    return DirectoryExists(ProgramDir(name)) + FileExists(DesktopLink(name)) +
           FileExists(folders.startMenu + "\\" + name + ".lnk") +
           DirectoryExists(folders.programs + "\\" + name) + KeyExists("Software\\ZAV\\" + name);
}

// --- Pixels --------------------------------------------------------------------------------

Pixels::Pixels(HWND window)
{
    UpdateWindow(window);
    RECT client;
    GetClientRect(window, &client);
    width_ = client.right;
    height_ = client.bottom;
    data_.assign(static_cast<size_t>(width_) * height_, 0);
    HDC windowDC = GetDC(window);
    HDC memory = CreateCompatibleDC(windowDC);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = -height_;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(windowDC, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, dib);
    BitBlt(memory, 0, 0, width_, height_, windowDC, 0, 0, SRCCOPY);
    GdiFlush();
    std::memcpy(data_.data(), bits, data_.size() * sizeof(std::uint32_t));
    SelectObject(memory, old);
    DeleteObject(dib);
    DeleteDC(memory);
    ReleaseDC(window, windowDC);
}

COLORREF Pixels::At(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return CLR_INVALID;
    std::uint32_t rgb = data_[static_cast<size_t>(y) * width_ + x];
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

// --- Files ---------------------------------------------------------------------------------

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

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void WriteFile(const std::string& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

void RemoveTree(const std::string& path)
{
    if (!DirectoryExists(path)) {
        DeleteFileA(path.c_str());
        return;
    }
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            std::string child = path + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(child);
            else {
                SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(path.c_str());
}

namespace {

void ReadTreeBelow(const std::string& root, const std::string& prefix, std::map<std::string, std::string>& tree)
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

std::map<std::string, std::string> ReadTree(const std::string& root)
{
    std::map<std::string, std::string> tree;
    ReadTreeBelow(root, "", tree);
    return tree;
}

void WriteTree(const std::string& root, const std::map<std::string, std::string>& tree)
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

// --- Small disks ---------------------------------------------------------------------------

std::string SmallDiskPath(const std::string& name)
{
    return BuildPath("wine\\smalldisks\\" + name);
}

bool SmallDisksMounted()
{
    return FileExists(BuildPath("wine\\smalldisks\\mounted"));
}

} // namespace testing_support
