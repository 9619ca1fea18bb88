// The whole installation, run inside the click on "Install".
#pragma once

// Held by a setup while an installation attempt runs: another setup then leaves what is in
// the staging folder alone, as it may be that attempt's own.
constexpr char StagingInUseName[] = "ZAV setup: installation at work";

// 0 after a successful installation, when the main window has been sent WM_DESTROY; 1 when
// a step failed and the progress page is back as it was before the attempt.
int RunInstallSequence();

// Whether the whole product tree fits below baseDir within the platform's path limit.
bool ProgramTreeFits(const char* baseDir);
