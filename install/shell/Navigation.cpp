#include "shell/Navigation.h"

#include "engine/InstallSequence.h"
#include "shell/MainWindow.h"
#include "shell/SetupState.h"

void ShowPage(int newIndex)
{
    if (newIndex < 0 || newIndex >= PageCount) return;
    ShowWindow(g_setup.pageWindows[g_setup.currentPage], SW_HIDE);
    g_setup.currentPage = newIndex;
    ShowWindow(g_setup.pageWindows[g_setup.currentPage], SW_SHOWNORMAL);
    UpdateNavigationButtons();
}

int UpdateNavigationButtons()
{
    switch (g_setup.currentPage) {
    case WelcomePageIndex:
        EnableWindow(g_setup.backButton, FALSE);
        EnableWindow(g_setup.nextButton, TRUE);
        break;
    case LicensePageIndex:
        EnableWindow(g_setup.backButton, TRUE);
        EnableWindow(g_setup.nextButton, g_setup.licenseAccepted ? TRUE : FALSE);
        break;
    case DestinationPageIndex:
        SetWindowTextA(g_setup.nextButton, NextCaption);
        break;
    case ProgressPageIndex:
        SetWindowTextA(g_setup.nextButton, InstallCaption);
        break;
    }
    return 0;
}

LRESULT OnBackCommand()
{
    if (g_setup.currentPage > WelcomePageIndex) ShowPage(g_setup.currentPage - 1);
    return 0;
}

LRESULT OnNextCommand()
{
    if (g_setup.currentPage == ProgressPageIndex) {
        RunInstallSequence();
        return 0;
    }
    ShowPage(g_setup.currentPage + 1);
    return 0;
}

LRESULT OnCancelCommand()
{
    int answer = MessageBoxA(g_setup.mainWindow, ExitQuestionText, ExitQuestionCaption,
                             MB_ICONQUESTION | MB_YESNO);
    if (answer != IDNO) SendMessageA(g_setup.mainWindow, WM_DESTROY, 0, 0);
    return 0;
}

LRESULT EnterWizardFromMaintenance()
{
    ShowWindow(g_setup.maintenancePage, SW_HIDE);
    ShowWindow(g_setup.pageWindows[WelcomePageIndex], SW_SHOWNORMAL);
    EnableWindow(g_setup.nextButton, TRUE);
    return 0;
}
