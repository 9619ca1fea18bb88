// The one record of shared state of a setup run. Everything runs on the thread of the
// message loop, so no field is guarded.
#pragma once

#include <windows.h>

#include <cstdint>

#include "display/ProgressDisplay.h"
#include "shell/Product.h"

// Page indices of pageWindows.
enum PageIndex : int {
    WelcomePageIndex = 0,
    LicensePageIndex = 1,
    DestinationPageIndex = 2,
    ProgressPageIndex = 3,
    PageCount = 4,
};

constexpr int PathCapacity = MAX_PATH;  // 260, what the platform's path calls deliver

struct SetupState {
    // Start-up resources and the main window.
    HINSTANCE instance;
    char mainClassName[100];
    HWND mainWindow;
    COLORREF backgroundColor;
    HFONT guiFont;
    HFONT boldFont;

    // Wizard windows and controls.
    HWND nextButton;
    HWND backButton;
    HWND cancelButton;
    HWND pageWindows[PageCount];
    HWND maintenancePage;
    HWND previousConfigList;
    HWND maintenanceInstallButton;
    HWND removeButton;
    HWND installedList;
    HWND licenseList;
    HWND acceptRadio;
    HWND declineRadio;
    HWND destinationEdit;
    HWND changeButton;
    HWND startMenuCheck;
    HWND desktopCheck;
    HWND groupCheck;
    HWND progressPage;
    HWND installDirEdit;
    HWND runAfterCheck;
    HWND readmeCheck;

    // Navigation.
    std::int32_t currentPage;

    // Detection results.
    bool thisVersionInstalled;
    std::uint8_t versionRelation;
    bool previousVersionsExist;

    // User choices.
    bool licenseAccepted;
    bool wantStartMenuShortcut;
    bool wantDesktopShortcut;
    bool wantProgramGroup;
    bool runAfterInstall;
    bool viewReadme;
    char selectedVersionName[PathCapacity];

    // Paths.
    char installBaseDir[PathCapacity];
    char browsedDir[PathCapacity];
    char programDir[520];
    char stagingDir[PathCapacity];
    char archivePath[520];
    char unzipLibraryPath[520];
    char previousProgramDir[PathCapacity];
    char scratchPath[512];
    char folderPath[PathCapacity];
    char linkPath[512];

    // What the current installation attempt has put into stagingDir: the clean-up removes
    // only these, never what another program (or another setup) keeps there.
    bool libraryStaged;
    bool archiveStaged;
    bool productExpanded;

    // Space figures.
    double neededSpace;
    double freeSpace;
    char neededSpaceText[20];
    char freeSpaceText[20];

    // Progress display.
    ProgressBar progressBar;
    StatusLabel statusLabel;
    bool progressVisible;
    bool progressControlsMade;
};

// The single instance.
extern SetupState g_setup;

// Puts the record back to its start-of-process state (every field zero, neededSpace set).
void ResetSetupState();
