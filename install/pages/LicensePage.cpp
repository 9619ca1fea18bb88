#include "pages/LicensePage.h"

#include "shell/Controls.h"
#include "shell/MainWindow.h"
#include "shell/Navigation.h"
#include "shell/SetupState.h"

// At most 60 characters a row, so that every row fits the list's width without scrolling.
// A blank row is a single space, never an empty string. Written in UTF-8, so that a letter
// beyond ASCII (the typographic apostrophe) is one letter whatever code page the setup runs in.
const char* const LicenseRows[LicenseRowCount] = {
    "The software ZAV is the property of its author:",
    "The author of ZAV",
    "Contact: author@zav.example.org",
    " ",
    "INSTALLING OR USING THIS SOFTWARE MEANS THAT YOU",
    "ASSENT TO THE TERMS OF THE LICENSE BELOW.",
    " ",
    "ZAV is freeware. You may use it, copy it and pass it on to",
    "others under the terms that follow.",
    " ",
    "1.   You may use ZAV free of charge, for private as well as",
    "for professional purposes.",
    " ",
    "2.   You may offer ZAV for download on a website, provided",
    "that no charge of any kind is made for it.",
    " ",
    "3.   Any other publication, on any medium, needs the",
    "author\xE2\x80\x99s written permission beforehand.",  // U+2019, the typographic apostrophe
    " ",
    "4.   ZAV remains the property of its author when it is",
    "passed on, in whatever way this happens.",
    " ",
    "5.   Neither the software nor its name nor the name of its",
    "author may be changed in any way.",
    " ",
    "6.   THE SOFTWARE IS PROVIDED \"AS IS\", WITHOUT",
    "WARRANTY OF ANY KIND, EXPRESS OR IMPLIED,",
    "INCLUDING BUT NOT LIMITED TO THE WARRANTIES OF",
    "MERCHANTABILITY, FITNESS FOR A PARTICULAR PURPOSE",
    "AND NON-INFRINGEMENT. THE AUTHOR DOES NOT WARRANT",
    "THAT THE SOFTWARE MEETS YOUR NEEDS OR THAT IT RUNS",
    "WITHOUT INTERRUPTION OR ERROR. THE WHOLE RISK AS",
    "TO THE QUALITY AND PERFORMANCE OF THE SOFTWARE",
    "LIES WITH YOU. SHOULD IT PROVE DEFECTIVE, YOU BEAR",
    "THE COST OF ALL SERVICING, REPAIR OR CORRECTION.",
    " ",
    "7.   IN NO EVENT SHALL THE AUTHOR BE LIABLE TO YOU",
    "OR TO ANY OTHER PERSON FOR DAMAGES OF ANY KIND,",
    "WHETHER DIRECT, INDIRECT, INCIDENTAL, SPECIAL,",
    "EXEMPLARY OR CONSEQUENTIAL, INCLUDING BUT NOT",
    "LIMITED TO LOSS OF DATA, LOSS OF PROFITS, LOSS OF",
    "BUSINESS INFORMATION, INTERRUPTION OF BUSINESS,",
    "FAILURE OF HARDWARE OR SOFTWARE, OR ANY OTHER LOSS,",
    "ARISING OUT OF THE USE OF OR THE INABILITY TO USE",
    "THE SOFTWARE, EVEN IF THE AUTHOR HAS BEEN ADVISED",
    "OF THE POSSIBILITY OF SUCH DAMAGES. THIS APPLIES",
    "WHETHER A CLAIM RESTS ON CONTRACT, TORT,",
    "NEGLIGENCE OR ANY OTHER LEGAL GROUND. WHERE THE LAW",
    "DOES NOT ALLOW THIS EXCLUSION, LIABILITY IS LIMITED",
    "TO THE SMALLEST EXTENT THAT THE LAW PERMITS.",
    " ",
    "8.   ANY VIOLATION OF THESE TERMS, OR NOT ACCEPTING",
    "THEM, ENDS THIS LICENSE AT ONCE; YOU MUST THEN STOP",
    "USING AND DELETE EVERY COPY OF THE SOFTWARE.",
    " ",
    " ",
    "By downloading and installing ZAV you agree to be bound by",
    "the terms of this license.",
};

namespace {

constexpr DWORD LicenseListStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | LBS_NOTIFY;
constexpr DWORD RadioStyle = WS_CHILD | WS_VISIBLE | BS_RADIOBUTTON;

constexpr int LicenseListX = 10;
constexpr int LicenseListY = 30;
constexpr int LicenseListWidth = 400;
constexpr int LicenseListHeight = 180;
constexpr int RadioX = 10;
constexpr int AcceptRadioY = 207;
constexpr int DeclineRadioBottomOffset = 25;
constexpr int RadioWidth = 300;
constexpr int RadioHeight = 20;
constexpr int HeadingLeft = 10;
constexpr int HeadingTop = 10;

// A row in the process's code page: UTF-8 takes up to 3 bytes a letter, a double-byte page 2.
constexpr int LicenseRowBytes = 3 * (LicenseRowLength + 1);

constexpr const char HeadingText[] = "Please read the following license agreement.";
constexpr const char AcceptText[] = "I accept the licence agreement";
constexpr const char DeclineText[] = "I do not accept the licence agreement";

// The radio buttons are the plain kind: the page sets both marks on every choice. Next
// then follows the choice by the wizard's own rule for this page.
LRESULT OnChoice(bool accepted)
{
    g_setup.licenseAccepted = accepted;
    SetCheckMark(g_setup.acceptRadio, accepted);
    SetCheckMark(g_setup.declineRadio, !accepted);
    return UpdateNavigationButtons();
}

// The list is an ANSI window like every control of the setup: each row goes in converted to
// the code page the process runs in (UTF-8 where the system honours the manifest, else the
// system's own), where the letter exists.
void AddLicenseRow(const char* row)
{
    wchar_t wide[LicenseRowLength + 1];
    char text[LicenseRowBytes];
    if (!MultiByteToWideChar(CP_UTF8, 0, row, -1, wide, LicenseRowLength + 1) ||
        !WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr))
        text[0] = '\0';
    SendMessageA(g_setup.licenseList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
}

LRESULT OnCreate(HWND page)
{
    RECT client;
    GetClientRect(page, &client);

    g_setup.licenseList = CreateControl(page, "listbox", nullptr, LicenseListStyle, LicenseListX,
                                        LicenseListY, LicenseListWidth, LicenseListHeight,
                                        LicenseListId);
    g_setup.acceptRadio = CreateControl(page, "button", AcceptText, RadioStyle, RadioX, AcceptRadioY,
                                        RadioWidth, RadioHeight, AcceptRadioId);
    g_setup.declineRadio = CreateControl(page, "button", DeclineText, RadioStyle, RadioX,
                                         client.bottom - DeclineRadioBottomOffset, RadioWidth,
                                         RadioHeight, DeclineRadioId);

    SetCheckMark(g_setup.declineRadio, true);
    g_setup.licenseAccepted = false;

    for (const char* row : LicenseRows) AddLicenseRow(row);
    return 0;
}

LRESULT OnCommand(HWND page, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (LOWORD(wParam)) {
    case AcceptRadioId: return OnChoice(true);
    case DeclineRadioId: return OnChoice(false);
    }
    return DefWindowProcA(page, msg, wParam, lParam);
}

} // namespace

void PaintLicensePage(HDC dc, const RECT& client)
{
    PageText(dc, client).Draw(HeadingLeft, HeadingTop, HeadingText);
}

LRESULT CALLBACK LicensePageProc(HWND page, UINT msg, WPARAM wParam, LPARAM lParam)
{
    static constexpr PageHandlers handlers = {OnCreate, PaintLicensePage, OnCommand};
    return HandlePageMessage(handlers, page, msg, wParam, lParam);
}
