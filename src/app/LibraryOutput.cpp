#include "LibraryOutput.h"

#include <QLoggingCategory>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace zelvane::LibraryOutput {

namespace {

Q_LOGGING_CATEGORY(libraryOutput, "zelvane.library", QtWarningMsg)

int savedStandardError = -1;

}  // namespace

void silenceLibraries()
{
    if (savedStandardError >= 0 || libraryOutput().isDebugEnabled())
        return;
    std::fflush(stderr);
    const int saved = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved < 0 || null < 0 || ::dup2(null, STDERR_FILENO) < 0) {
        if (saved >= 0)
            ::close(saved);
        if (null >= 0)
            ::close(null);
        return;
    }
    ::close(null);
    savedStandardError = saved;
}

int standardError()
{
    return savedStandardError >= 0 ? savedStandardError : STDERR_FILENO;
}

}  // namespace zelvane::LibraryOutput
