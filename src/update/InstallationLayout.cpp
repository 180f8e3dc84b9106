#include "InstallationLayout.h"

#include "Localization.h"
#include "UpdateInstaller.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace zelvane::InstallationLayout {

namespace {

bool hasMarker(const QString& folder, const QString& bundleID)
{
    QFile marker(QDir(folder).filePath(QLatin1String(kMarkerFile)));
    if (!marker.open(QIODevice::ReadOnly))
        return false;
    return QString::fromUtf8(marker.readLine(4096)).trimmed() == bundleID;
}

bool isSystemFolder(const QString& path)
{
    static const char* const roots[] = {"/usr", "/bin", "/sbin", "/lib", "/lib64", "/etc", "/var", "/snap", "/nix"};
    if (path == QLatin1String("/"))
        return true;
    for (const char* root : roots) {
        const QString prefix = QLatin1String(root);
        if (path == prefix || path.startsWith(prefix + QLatin1Char('/')))
            return true;
    }
    // The home folder and the folders above it are never an installation.
    const QString home = QDir::homePath();
    return home == path || home.startsWith(path + QLatin1Char('/'));
}

bool isExecutableFile(const QString& path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

}  // namespace

UpdateResult<QString> runningInstallation(const QString& programPath, const QString& bundleID)
{
    const QString program = QFileInfo(programPath).canonicalFilePath();
    const QFileInfo bin(QFileInfo(program).absolutePath());
    const QString root = QFileInfo(bin.absolutePath()).canonicalFilePath();
    if (program.isEmpty() || bin.fileName() != QLatin1String("bin") || root.isEmpty() || isSystemFolder(root)) {
        const QString where = program.isEmpty() ? programPath : program;
        if (where.startsWith(QLatin1String("/usr/")) || where.startsWith(QLatin1String("/snap/")))
            return UpdateError::installationNotReplaceable(
                L(QStringLiteral("Zelvane est installé dans un dossier du système (") + where +
                      QStringLiteral(") ; mettez-le à jour avec le gestionnaire de paquets."),
                  QStringLiteral("Zelvane is installed in a system folder (") + where +
                      QStringLiteral("); update it with the package manager.")));
        return UpdateError::installationNotReplaceable(
            L(QStringLiteral("Ce programme (") + where +
                  QStringLiteral(") n'est pas une installation de Zelvane ; il ne peut pas être remplacé."),
              QStringLiteral("This program (") + where +
                  QStringLiteral(") is not a Zelvane installation; it cannot be replaced.")));
    }
    if (!hasMarker(root, bundleID))
        return UpdateError::installationNotReplaceable(
            L(QStringLiteral("Le dossier ") + root +
                  QStringLiteral(" n'est pas une installation de Zelvane faite depuis une archive de version ; il ne "
                                 "peut pas être remplacé."),
              QStringLiteral("The folder ") + root +
                  QStringLiteral(" is not a Zelvane installation made from a release archive; it cannot be "
                                 "replaced.")));
    const QString parent = QFileInfo(root).absolutePath();
    if (!QFileInfo(parent).isWritable())
        return UpdateError::installationNotReplaceable(UpdateError::folderNotWritableText(parent));
    return root;
}

UpdateStep checkInstallation(const QString& folder, const QString& bundleID)
{
    const QDir dir(folder);
    QString missing;
    if (!isExecutableFile(dir.filePath(QLatin1String(kProgram))))
        missing = QLatin1String(kProgram);
    else if (!isExecutableFile(dir.filePath(QLatin1String(kRelay))))
        missing = QLatin1String(kRelay);
    else if (!QFileInfo(dir.filePath(QLatin1String(kDesktopEntry))).isFile())
        missing = QLatin1String(kDesktopEntry);
    else if (!hasMarker(folder, bundleID))
        missing = QLatin1String(kMarkerFile);
    if (missing.isEmpty())
        return Done{};
    const UpdateError base = UpdateError::noInstallationInArchive();
    return UpdateError::make(UpdateErrorCode::noInstallationInArchive,
                             base.message + L(QStringLiteral(" (manquant ou non exécutable : "),
                                              QStringLiteral(" (missing or not executable: ")) +
                                 missing + QLatin1Char(')'));
}

UpdateStep checkProgramVersion(const QString& folder, const QString& version, int timeoutMs,
                               const std::atomic<bool>* cancelled)
{
    const QString program = QDir(folder).filePath(QLatin1String(kProgram));
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, {QStringLiteral("--version")});
    if (!process.waitForStarted(timeoutMs))
        return UpdateError::system(QStringLiteral("QProcess"), int(process.error()), process.errorString());
    if (!UpdateInstaller::waitForProcess(process, timeoutMs, cancelled)) {
        if (cancelled && *cancelled)
            return UpdateInstaller::cancelledError();
        return UpdateError::wrongProgramVersion(version, QString());
    }
    const QString line = QString::fromUtf8(process.readAllStandardOutput()).section(QLatin1Char('\n'), 0, 0).trimmed();
    const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const bool matches = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0 &&
                         words.size() >= 2 && words.at(0) == QLatin1String("Zelvane") && words.at(1) == version;
    if (!matches)
        return UpdateError::wrongProgramVersion(version, line);
    return Done{};
}

}  // namespace zelvane::InstallationLayout
