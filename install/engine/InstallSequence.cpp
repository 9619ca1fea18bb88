#include "engine/InstallSequence.h"

// Placeholder until the installation steps exist: "Install" does nothing yet.
int RunInstallSequence()
{
    return 1;
}
