#include "InstallationSwap.h"

#include "InstallationLayout.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>

namespace zelvane::InstallationSwap {

UpdateStep exchange(const QString& first, const QString& second)
{
    const QByteArray a = QFile::encodeName(first);
    const QByteArray b = QFile::encodeName(second);
    if (::renameat2(AT_FDCWD, a.constData(), AT_FDCWD, b.constData(), RENAME_EXCHANGE) != 0) {
        const int error = errno;
        return UpdateError::system(QStringLiteral("renameat2"), error, QString::fromLocal8Bit(std::strerror(error)));
    }
    return Done{};
}

UpdateStep swapIn(const QString& newInstallation, const QString& destination, const QString& bundleID)
{
    if (const UpdateStep swapped = exchange(newInstallation, destination); !swapped)
        return swapped;
    const UpdateStep installed = InstallationLayout::checkInstallation(destination, bundleID);
    if (!installed)
        exchange(newInstallation, destination);
    return installed;
}

bool removeLeftovers(const QString& destination)
{
    const QString parent = QFileInfo(destination).absolutePath();
    // A lock left by an ended process is taken over; one held by a running
    // installation keeps everything in place.
    QLockFile lock(QDir(parent).filePath(QLatin1String(kLockFile)));
    lock.setStaleLockTime(0);
    if (!lock.tryLock(0))
        return false;
    const QStringList leftovers = QDir(parent).entryList({QLatin1String(kWorkFolderPrefix) + QLatin1Char('*')},
                                                         QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString& name : leftovers)
        QDir(QDir(parent).filePath(name)).removeRecursively();
    lock.unlock();
    return true;
}

}  // namespace zelvane::InstallationSwap
