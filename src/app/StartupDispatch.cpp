#include "StartupDispatch.h"

#include "AppVersion.h"
#include "HeadlessCLI.h"
#include "LaunchMode.h"
#include "SelfTest.h"
#include "Snapshot.h"

namespace zelvane::StartupDispatch {

void runHeadlessModeIfRequested(const QStringList& processArguments)
{
    AppVersion::runIfRequested(processArguments);

    const LaunchMode mode = LaunchMode::decide(processArguments.mid(1));
    switch (mode.kind) {
    case LaunchMode::Kind::interactive:
    case LaunchMode::Kind::version:
        // The version was printed above; a run gets here only without it.
        return;
    case LaunchMode::Kind::help:
        HeadlessCLI::printHelpAndExit();
    case LaunchMode::Kind::selfTest:
        SelfTest::runAndExit();
    case LaunchMode::Kind::info:
        HeadlessCLI::runInfoAndExit(mode.modeArguments);
    case LaunchMode::Kind::convert:
        HeadlessCLI::runConvertAndExit(mode.modeArguments);
    case LaunchMode::Kind::snapshot:
        Snapshot::runCLISnapshot(mode.snapshotOutputPath, mode.snapshotView);
    }
}

}  // namespace zelvane::StartupDispatch
