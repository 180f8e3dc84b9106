#include "UpdateInstaller.h"

#include "InstallationLayout.h"
#include "InstallationSwap.h"
#include "ZipArchive.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUuid>

#include <cerrno>
#include <cstring>

namespace zelvane::UpdateInstaller {

namespace {

const QString kArchiveName = QStringLiteral("Zelvane.zip");
const QString kExtracted = QStringLiteral("extracted");

UpdateStep writeArchive(const QString& path, const QByteArray& archive)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(archive) != archive.size() || !file.commit())
        return UpdateError::system(QStringLiteral("QFile"), int(file.error()), file.errorString());
    return Done{};
}

// What unzip left behind: one top folder, nothing larger than announced, no
// link leading out of it.
UpdateResult<QString> checkUnpacked(const QString& extracted, const QString& top, quint64 maxBytes)
{
    const QStringList entries = QDir(extracted).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    if (entries != QStringList{top})
        return UpdateError::noInstallationInArchive();
    const QString root = QFileInfo(QDir(extracted).filePath(top)).canonicalFilePath();
    if (root.isEmpty() || !QFileInfo(root).isDir())
        return UpdateError::noInstallationInArchive();
    quint64 total = 0;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        if (info.isSymLink()) {
            const QString target = info.canonicalFilePath();
            if (!target.isEmpty() && !target.startsWith(root + QLatin1Char('/')))
                return UpdateError::unsafeArchiveEntry(QDir(root).relativeFilePath(info.filePath()));
        } else if (info.isFile()) {
            total += quint64(info.size());
            if (total > maxBytes)
                return UpdateError::tooLarge(QStringLiteral("L'archive décompressée"),
                                             QStringLiteral("The unpacked archive"), qint64(maxBytes));
        }
    }
    return root;
}

UpdateResult<QString> unpackAndCheck(const QByteArray& archive, const ReleaseInfo& release, const QString& work,
                                     const QString& bundleID, const UpdateLimits& limits,
                                     const std::atomic<bool>* cancelled)
{
    const auto entries = ZipArchive::readEntries(archive);
    if (!entries)
        return entries.error();
    const auto top = ZipArchive::checkEntries(*entries, limits.unpackedBytes, limits.archiveEntries);
    if (!top)
        return top.error();
    if (const UpdateStep written = writeArchive(QDir(work).filePath(kArchiveName), archive); !written)
        return written.error();
    const QString unzip = QStandardPaths::findExecutable(QStringLiteral("unzip"));
    if (unzip.isEmpty())
        return UpdateError::toolMissing(QStringLiteral("unzip"), QStringLiteral("unzip"));
    // Relative names, so that nothing in the folder's path is read as a
    // pattern by unzip.
    if (const UpdateStep unpacked = runTool(unzip,
                                            {QStringLiteral("-qq"), QStringLiteral("-n"), kArchiveName,
                                             QStringLiteral("-d"), kExtracted},
                                            work, cancelled);
        !unpacked)
        return unpacked.error();
    const auto root = checkUnpacked(QDir(work).filePath(kExtracted), *top, limits.unpackedBytes);
    if (!root)
        return root.error();
    if (const UpdateStep layout = InstallationLayout::checkInstallation(*root, bundleID); !layout)
        return layout.error();
    if (const UpdateStep version =
            InstallationLayout::checkProgramVersion(*root, release.version, 20'000, cancelled);
        !version)
        return version.error();
    if (cancelled && *cancelled)
        return cancelledError();
    return *root;
}

}  // namespace

UpdateResult<QString> expectedChecksum(const ReleaseInfo& release)
{
    if (!release.sha256 || release.sha256->trimmed().isEmpty())
        return UpdateError::checksumMissing();
    static const QRegularExpression hex(QStringLiteral("^[0-9a-f]{64}$"));
    const QString checksum = release.sha256->trimmed().toLower();
    if (!hex.match(checksum).hasMatch())
        return UpdateError::malformedChecksum(*release.sha256);
    return checksum;
}

QString sha256Hex(const QByteArray& bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

UpdateStep verifyChecksum(const QByteArray& archive, const QString& expected)
{
    const QString computed = sha256Hex(archive);
    if (computed != expected)
        return UpdateError::checksumMismatch(expected, computed);
    return Done{};
}

UpdateResult<PreparedUpdate> prepare(const QByteArray& archive, const ReleaseInfo& release,
                                     const QString& destination, const QString& bundleID,
                                     const UpdateLimits& limits, const std::atomic<bool>* cancelled)
{
    // Beside the installation: the final move is then a rename on the same
    // file system, and the new program can run its version check even when
    // the temporary folder does not allow programs.
    const QString work = QDir(QFileInfo(destination).absolutePath())
                             .filePath(QLatin1String(InstallationSwap::kWorkFolderPrefix) +
                                       QUuid::createUuid().toString(QUuid::WithoutBraces));
    if (!QDir().mkpath(work))
        return UpdateError::system(QStringLiteral("QDir"), 0,
                                   UpdateError::folderNotWritableText(QFileInfo(work).absolutePath()));
    const auto root = unpackAndCheck(archive, release, work, bundleID, limits, cancelled);
    if (!root) {
        QDir(work).removeRecursively();
        return root.error();
    }
    return PreparedUpdate{work, *root, destination};
}

UpdateStep runTool(const QString& tool, const QStringList& arguments, const QString& workingDirectory,
                   const std::atomic<bool>* cancelled)
{
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    process.start(tool, arguments);
    if (!process.waitForStarted())
        return UpdateError::system(QStringLiteral("QProcess"), int(process.error()), process.errorString());
    if (!waitForProcess(process, -1, cancelled))
        return cancelledError();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return UpdateError::toolFailed(tool, process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                                       QString::fromUtf8(process.readAllStandardError()));
    return Done{};
}

bool waitForProcess(QProcess& process, int timeoutMs, const std::atomic<bool>* cancelled)
{
    QElapsedTimer waited;
    waited.start();
    // In short steps, so that an ending program never waits for a tool.
    while (!process.waitForFinished(50)) {
        if (process.state() == QProcess::NotRunning)
            return true;
        if ((cancelled && *cancelled) || (timeoutMs >= 0 && waited.elapsed() > timeoutMs)) {
            process.kill();
            process.waitForFinished(1000);
            return false;
        }
    }
    return true;
}

UpdateError cancelledError()
{
    return UpdateError::system(QStringLiteral("OsselUpdater"), ECANCELED,
                               QString::fromLocal8Bit(std::strerror(ECANCELED)));
}

}  // namespace zelvane::UpdateInstaller
