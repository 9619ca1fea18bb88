// The whole installation, run inside the click on "Install".
#pragma once

// 0 after a successful installation, when the main window has been sent WM_DESTROY; 1 when
// a step failed and the progress page is back as it was before the attempt.
int RunInstallSequence();

// Whether the whole product tree fits below baseDir within the platform's path limit.
bool ProgramTreeFits(const char* baseDir);
