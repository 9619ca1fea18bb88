// Moving between the wizard pages and the state of the Back and Next buttons.
#pragma once

#include <windows.h>

constexpr const char InstallCaption[] = "Install";
constexpr const char ExitQuestionText[] =
    "Setup is not complete. If you quit the program will not be installed\n\nExit setup?";
constexpr const char ExitQuestionCaption[] = "Exit Setup";

void ShowPage(int newIndex);
int UpdateNavigationButtons();

// Enables or disables a button of the wizard. A button that is disabled while it has the
// keyboard focus hands the focus on to an enabled button beside it (or to the main window),
// so the keyboard never ends up on a control that takes no input.
void EnableButton(HWND button, bool enabled);

// Makes one of the three buttons ignore the second press of a double-click whose first
// press changed the page: that press would act on a page the user has not seen yet.
void IgnoreHurriedPresses(HWND button);

// Throws away the clicks and keys waiting in this thread's queue: input aimed at a wizard
// that was busy and could not yet show what it was doing.
void DropQueuedInput();

// Main window commands; each returns 0.
LRESULT OnBackCommand();
LRESULT OnNextCommand();
LRESULT OnCancelCommand();

// The maintenance page's "Install": leaves the maintenance page for the welcome page.
LRESULT EnterWizardFromMaintenance();
