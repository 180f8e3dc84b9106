#include "EditorLaunch.h"
#include "ProcessArguments.h"
#include "StartupDispatch.h"

int main(int argc, char** argv)
{
    // Decided before anything that needs a display exists: a headless mode
    // ends the process here.
    zelvane::StartupDispatch::runHeadlessModeIfRequested(zelvane::processArguments());

    return zelvane::EditorLaunch::run(argc, argv);
}
