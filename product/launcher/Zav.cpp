// Zav.exe: the product's launcher. It shows where it runs from and what its user
// settings folder holds, which is all an installation needs to be seen working.
#include <windows.h>

#include <cstdlib>
#include <cstring>

namespace {

constexpr char WindowClassName[] = "ZavMainWindow";
constexpr char WindowTitle[] = "ZAV 1.00 beta 8";
constexpr char SettingsFolderName[] = "UserSettings";
constexpr char FolderLabelText[] = "Program folder:";
constexpr char SettingsLabelText[] = "Contents of UserSettings:";
constexpr char NoSettingsText[] = "(no UserSettings folder)";
constexpr char EmptySettingsText[] = "(empty)";

constexpr int WindowWidth = 480;
constexpr int WindowHeight = 320;
constexpr int Margin = 10;
constexpr int LabelHeight = 18;
constexpr int EditHeight = 22;
constexpr int FolderLabelId = 100;
constexpr int FolderEditId = 101;
constexpr int SettingsLabelId = 102;
constexpr int SettingsListingId = 103;

// Deep enough for any settings tree we ship; guards against junction loops.
constexpr int MaxListingDepth = 8;
constexpr int MaxRows = 512;

HFONT g_font = nullptr;

// The rows of the listing, collected first so they can be shown in a stable order.
char g_rows[MaxRows][MAX_PATH];
int g_rowCount = 0;

// dst = a + b + c, all of it or nothing.
bool Join(char (&dst)[MAX_PATH], const char* a, const char* b, const char* c = "")
{
    std::size_t la = std::strlen(a), lb = std::strlen(b), lc = std::strlen(c);
    if (la + lb + lc >= MAX_PATH) return false;
    std::memcpy(dst, a, la);
    std::memcpy(dst + la, b, lb);
    std::memcpy(dst + la + lb, c, lc + 1);
    return true;
}

// The folder of this program, without a trailing backslash; empty when it cannot be named.
void ModuleFolder(char (&folder)[MAX_PATH])
{
    DWORD length = GetModuleFileNameA(nullptr, folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) length = 0;
    folder[length] = '\0';
    char* slash = std::strrchr(folder, '\\');
    if (slash) *slash = '\0';
    else folder[0] = '\0';
}

void AddRow(const char* prefix, const char* name, const char* suffix)
{
    if (g_rowCount < MaxRows && Join(g_rows[g_rowCount], prefix, name, suffix)) ++g_rowCount;
}

// Every file and folder below root, as paths relative to it; folders end in a backslash.
void ListTree(const char* root, const char* prefix, int depth)
{
    if (depth > MaxListingDepth) return;
    char pattern[MAX_PATH];
    if (!Join(pattern, root, "\\*")) return;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(pattern, &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const char* name = data.cFileName;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            AddRow(prefix, name, "");
            continue;
        }
        AddRow(prefix, name, "\\");
        char folder[MAX_PATH];
        char subPrefix[MAX_PATH];
        if (Join(folder, root, "\\", name) && Join(subPrefix, prefix, name, "\\")) {
            ListTree(folder, subPrefix, depth + 1);
        }
    } while (FindNextFileA(find, &data));
    FindClose(find);
}

// The rows as the lines of one text, for the multi-line listing.
const char* JoinRows()
{
    static char listing[MaxRows * (MAX_PATH + 2)];
    std::size_t used = 0;
    for (int i = 0; i < g_rowCount; ++i) {
        std::size_t length = std::strlen(g_rows[i]);
        std::memcpy(listing + used, g_rows[i], length);
        used += length;
        if (i + 1 < g_rowCount) {
            std::memcpy(listing + used, "\r\n", 2);
            used += 2;
        }
    }
    listing[used] = '\0';
    return listing;
}

int CompareRows(const void* a, const void* b)
{
    return std::strcmp(static_cast<const char*>(a), static_cast<const char*>(b));
}

HWND AddControl(HWND parent, const char* className, const char* text, DWORD style, int y, int height, int id)
{
    HWND control = CreateWindowExA(0, className, text, WS_CHILD | WS_VISIBLE | style, Margin, y,
                                   WindowWidth - 4 * Margin, height, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   GetModuleHandleA(nullptr), nullptr);
    if (control) SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(g_font), FALSE);
    return control;
}

LRESULT OnCreate(HWND window)
{
    char folder[MAX_PATH];
    ModuleFolder(folder);
    int y = Margin;
    AddControl(window, "STATIC", FolderLabelText, 0, y, LabelHeight, FolderLabelId);
    y += LabelHeight;
    AddControl(window, "EDIT", folder, WS_BORDER | ES_AUTOHSCROLL | ES_READONLY, y, EditHeight, FolderEditId);
    y += EditHeight + Margin;
    AddControl(window, "STATIC", SettingsLabelText, 0, y, LabelHeight, SettingsLabelId);
    y += LabelHeight;
    HWND listing = AddControl(window, "EDIT", "",
                           WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY, y,
                           WindowHeight - y - 5 * Margin, SettingsListingId);
    if (!listing) return -1;

    char settings[MAX_PATH];
    DWORD attributes = Join(settings, folder, "\\", SettingsFolderName) ? GetFileAttributesA(settings)
                                                                        : INVALID_FILE_ATTRIBUTES;
    g_rowCount = 0;
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        AddRow("", NoSettingsText, "");
    } else {
        ListTree(settings, "", 0);
        // The file system's own order differs between systems; show a stable one.
        std::qsort(g_rows, g_rowCount, sizeof g_rows[0], CompareRows);
        if (g_rowCount == 0) AddRow("", EmptySettingsText, "");
    }
    SetWindowTextA(listing, JoinRows());
    return 0;
}

LRESULT CALLBACK ZavWindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CREATE:  return OnCreate(window);
    case WM_DESTROY: PostQuitMessage(0); return 0;
    }
    return DefWindowProcA(window, msg, wParam, lParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    g_font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = ZavWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = WindowClassName;
    if (!RegisterClassA(&windowClass)) return 1;

    HWND window = CreateWindowExA(0, WindowClassName, WindowTitle,
                                  WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, CW_USEDEFAULT,
                                  CW_USEDEFAULT, WindowWidth, WindowHeight, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    ShowWindow(window, showCommand);
    UpdateWindow(window);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}
