// Moving between the wizard pages and the state of the Back and Next buttons.
#pragma once

#include <windows.h>

constexpr const char InstallCaption[] = "Install";
constexpr const char ExitQuestionText[] =
    "Setup is not complete. If you quit the program will not be installed\n\nExit setup?";
constexpr const char ExitQuestionCaption[] = "Exit Setup";

void ShowPage(int newIndex);
int UpdateNavigationButtons();

// Main window commands; each returns 0.
LRESULT OnBackCommand();
LRESULT OnNextCommand();
LRESULT OnCancelCommand();

// The maintenance page's "Install": leaves the maintenance page for the welcome page.
LRESULT EnterWizardFromMaintenance();
