#include "support/TestSupport.h"

#include <commctrl.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstring>

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

void Press(int buttonId)
{
    SendCommand(g_setup.mainWindow, buttonId, GetDlgItem(g_setup.mainWindow, buttonId));
}

bool IsChecked(HWND button)
{
    return SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

std::wstring WideFromUtf8(const std::string& utf8)
{
    std::wstring text(utf8.size() + 1, L'\0');
    int units = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &text[0], static_cast<int>(text.size()));
    text.resize(units > 0 ? units - 1 : 0);
    return text;
}

std::wstring Widen(const std::string& ansi)
{
    std::wstring text(ansi.size() + 1, L'\0');
    int units = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, &text[0], static_cast<int>(text.size()));
    text.resize(units > 0 ? units - 1 : 0);
    return text;
}

wchar_t UnspellableCharacter()
{
    for (wchar_t c : {L'\u0416', L'\u4E2D', L'\u05D0', L'\u0E01'}) {
        wchar_t wide[] = {c, 0};
        char narrow[8];
        BOOL defaulted = FALSE;
        if (WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, narrow, sizeof narrow, nullptr,
                                &defaulted) && defaulted)
            return c;
    }
    return 0;
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
    // Wine's browser now and then ignores a selection made right after it opened, and a slow
    // (emulated) Wine may take seconds to fill its tree; ask again until it shows.
    const DWORD patienceMs = 10000;
    for (DWORD start = GetTickCount(); GetTickCount() - start < patienceMs;) {
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

} // namespace testing_support
