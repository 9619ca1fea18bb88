// The previous configuration that the installation carries over: the welcome page's list
// of them and its chosen row, selectedVersionName, and whether "Run ZAV after installation"
// can be ticked. The welcome and the maintenance page change these only through here.
#pragma once

#include <windows.h>

#include "engine/Removal.h"

// Nothing chosen yet: matches row 0, "No previous configuration".
void ResetChosenConfiguration();

// Fills the welcome page's list (row 0 "No previous configuration", then the recorded
// versions) and chooses row 0.
void OfferPreviousConfigurations();

// The welcome list's chosen row becomes the configuration: row 0 carries nothing over and
// leaves the product free to start after installation; any other row names the version to
// take the settings from. No chosen row, or one that cannot be read, changes nothing.
// Returns 0, the command's result.
LRESULT TakeChosenConfiguration();

// Removes a recorded version (the removal takes its name from selectedVersionName). Once it
// is removed its row leaves the welcome list, and the list goes when only row 0 is left.
// Either way selectedVersionName then names the chosen configuration again.
RemovalResult RemoveRecordedVersion(const char* name);
