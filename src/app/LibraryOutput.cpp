#include "LibraryOutput.h"

#include <QByteArray>
#include <QLoggingCategory>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace zelvane::LibraryOutput {

namespace {

Q_LOGGING_CATEGORY(libraryOutput, "zelvane.library", QtWarningMsg)

int savedStandardError = -1;

// Moves descriptor 2 onto `target`, keeping the old one in
// savedStandardError. False (nothing changed) when that fails.
bool replaceStandardError(int target)
{
    std::fflush(stderr);
    const int saved = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    if (saved < 0)
        return false;
    if (::dup2(target, STDERR_FILENO) < 0) {
        ::close(saved);
        return false;
    }
    savedStandardError = saved;
    return true;
}

void writeAllTo(int fd, const QByteArray& bytes)
{
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        written += n;
    }
}

// Qt's own messages, formatted as Qt would, on the real standard error.
void writeToRealStandardError(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    writeAllTo(standardError(), qFormatLogMessage(type, context, message).toLocal8Bit() + '\n');
}

// Reads the pipe until every writer is gone, one debug line per line read.
void relayLines(int readEnd)
{
    QByteArray pending;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(readEnd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        pending.append(buffer, n);
        qsizetype end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QByteArray line = pending.left(end);
            pending.remove(0, end + 1);
            if (!line.trimmed().isEmpty())
                qCDebug(libraryOutput).noquote() << QString::fromLocal8Bit(line);
        }
    }
    ::close(readEnd);
}

}  // namespace

void silenceLibraries()
{
    if (savedStandardError >= 0 || libraryOutput().isDebugEnabled())
        return;
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null < 0)
        return;
    replaceStandardError(null);
    ::close(null);
}

void routeLibrariesToDebugLog()
{
    if (savedStandardError >= 0)
        return;
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return;
    if (!replaceStandardError(ends[1])) {
        ::close(ends[0]);
        ::close(ends[1]);
        return;
    }
    // Descriptor 2 is now the only writer; the pipe ends with the process.
    ::close(ends[1]);
    qInstallMessageHandler(writeToRealStandardError);
    std::thread(relayLines, ends[0]).detach();
}

int standardError()
{
    return savedStandardError >= 0 ? savedStandardError : STDERR_FILENO;
}

}  // namespace zelvane::LibraryOutput
