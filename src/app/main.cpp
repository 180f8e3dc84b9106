#include "AppVersion.h"
#include "ProcessArguments.h"

#include <cstdio>

int main(int, char**)
{
    const QStringList arguments = zelvane::processArguments();
    zelvane::AppVersion::runIfRequested(arguments);

    std::fputs("Zelvane: the editor window is not part of this build yet; try --version.\n", stdout);
    return 0;
}
