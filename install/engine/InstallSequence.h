// The whole installation, run inside the click on "Install".
#pragma once

int RunInstallSequence();
