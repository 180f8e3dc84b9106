#include "ProcessArguments.h"
#include "StartupDispatch.h"

#include <cstdio>

int main(int, char**)
{
    // Decided before anything that needs a display exists: a headless mode
    // ends the process here.
    zelvane::StartupDispatch::runHeadlessModeIfRequested(zelvane::processArguments());

    std::fputs("Zelvane: the editor window is not part of this build yet; try --version.\n", stdout);
    return 0;
}
