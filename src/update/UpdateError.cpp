#include "UpdateError.h"

#include "Localization.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sys/statvfs.h>

namespace zelvane {

namespace {

const QString kDomain = QStringLiteral("OsselUpdater");

QString firstTen(const QString& text) { return text.left(10) + QChar(0x2026); }

QString megabytes(qint64 bytes) { return QString::number(double(bytes) / (1024.0 * 1024.0), 'g', 4); }

}  // namespace

UpdateError UpdateError::make(UpdateErrorCode code, const QString& message)
{
    return {kDomain, int(code), message};
}

UpdateError UpdateError::invalidFeedJSON()
{
    return make(UpdateErrorCode::invalidFeedJSON,
                L("Réponse JSON de mise à jour invalide.", "Invalid update JSON response."));
}

UpdateError UpdateError::noArchiveInFeed()
{
    return make(UpdateErrorCode::noArchiveInFeed,
                L("Aucune archive .zip de mise à jour trouvée.", "No update .zip archive found."));
}

UpdateError UpdateError::incompleteManifest()
{
    return make(UpdateErrorCode::incompleteManifest,
                L("Manifeste de mise à jour incomplet.", "Incomplete update manifest."));
}

UpdateError UpdateError::addressRefused(const QString& address)
{
    return make(UpdateErrorCode::addressRefused,
                L("Adresse de mise à jour refusée (https requis) : ", "Update address refused (https required): ") +
                    address);
}

UpdateError UpdateError::tooLarge(const QString& whatFr, const QString& whatEn, qint64 limitBytes)
{
    return make(UpdateErrorCode::tooLarge,
                L(whatFr + QStringLiteral(" dépasse la limite de ") + megabytes(limitBytes) + QStringLiteral(" Mio."),
                  whatEn + QStringLiteral(" exceeds the limit of ") + megabytes(limitBytes) + QStringLiteral(" MiB.")));
}

UpdateError UpdateError::checksumMismatch(const QString& expected, const QString& computed)
{
    return make(UpdateErrorCode::checksumMismatch,
                L(QStringLiteral("Empreinte SHA-256 invalide (attendu ") + firstTen(expected) +
                      QStringLiteral(", reçu ") + firstTen(computed) + QStringLiteral(")."),
                  QStringLiteral("SHA-256 checksum mismatch (expected ") + firstTen(expected) +
                      QStringLiteral(", got ") + firstTen(computed) + QStringLiteral(").")));
}

UpdateError UpdateError::noInstallationInArchive()
{
    return make(UpdateErrorCode::noInstallationInArchive,
                L("Aucune installation Zelvane trouvée dans l'archive.", "No Zelvane installation found in archive."));
}

UpdateError UpdateError::checksumMissing()
{
    return make(UpdateErrorCode::checksumMissing,
                L("Cette version n'indique pas d'empreinte SHA-256 ; elle ne peut pas être vérifiée ni installée.",
                  "This release gives no SHA-256 checksum; it cannot be verified or installed."));
}

UpdateError UpdateError::malformedChecksum(const QString& checksum)
{
    return make(UpdateErrorCode::checksumMissing,
                L(QStringLiteral("Empreinte SHA-256 mal formée (64 chiffres hexadécimaux attendus) : ") + checksum,
                  QStringLiteral("Malformed SHA-256 checksum (64 hexadecimal digits expected): ") + checksum));
}

UpdateError UpdateError::downloadStatus(int status)
{
    return make(UpdateErrorCode::downloadStatus,
                L(QStringLiteral("Le téléchargement a échoué (statut HTTP ") + QString::number(status) +
                      QStringLiteral(")."),
                  QStringLiteral("The download failed (HTTP status ") + QString::number(status) +
                      QStringLiteral(").")));
}

UpdateError UpdateError::unsafeArchiveEntry(const QString& entry)
{
    return make(UpdateErrorCode::unsafeArchiveEntry,
                L("Entrée d'archive refusée : ", "Archive entry refused: ") + entry);
}

UpdateError UpdateError::wrongProgramVersion(const QString& expected, const QString& printed)
{
    return make(UpdateErrorCode::wrongProgramVersion,
                L(QStringLiteral("Le programme téléchargé n'est pas la version ") + expected +
                      QStringLiteral(" (il indique « ") + printed + QStringLiteral(" »)."),
                  QStringLiteral("The downloaded program is not version ") + expected +
                      QStringLiteral(" (it reports \"") + printed + QStringLiteral("\").")));
}

UpdateError UpdateError::installationNotReplaceable(const QString& reason)
{
    return make(UpdateErrorCode::installationNotReplaceable, reason);
}

UpdateError UpdateError::updateInProgress()
{
    return make(UpdateErrorCode::updateInProgress,
                L("Une autre mise à jour est déjà en cours.", "Another update is already in progress."));
}

UpdateError UpdateError::unreadableArchive()
{
    return make(UpdateErrorCode::unreadableArchive,
                L("L'archive de mise à jour est illisible.", "The update archive cannot be read."));
}

UpdateError UpdateError::toolFailed(const QString& tool, int exitStatus, const QString& standardError)
{
    const QString text = standardError.trimmed();
    return {kDomain, exitStatus,
            !text.isEmpty() ? text
                            : L(QStringLiteral("Échec de la commande ") + tool,
                                QStringLiteral("Command ") + tool + QStringLiteral(" failed"))};
}

UpdateError UpdateError::toolMissing(const QString& tool, const QString& package)
{
    return {kDomain, 0,
            L(QStringLiteral("L'outil « ") + tool + QStringLiteral(" » est introuvable ; installez le paquet « ") +
                  package + QStringLiteral(" » (sudo apt install ") + package + QStringLiteral(")."),
              QStringLiteral("The \"") + tool + QStringLiteral("\" tool was not found; install the \"") + package +
                  QStringLiteral("\" package (sudo apt install ") + package + QStringLiteral(")."))};
}

UpdateError UpdateError::feedNotJSON(int readerCode, const QString& readerError)
{
    return {QStringLiteral("QJsonParseError"), readerCode,
            L(QStringLiteral("Le flux de mise à jour n'est pas du JSON (") + readerError + QStringLiteral(")."),
              QStringLiteral("The update feed is not JSON (") + readerError + QStringLiteral(")."))};
}

QString UpdateError::folderNotWritableText(const QString& folder, bool readOnlyFileSystem)
{
    if (readOnlyFileSystem)
        return L(QStringLiteral("Le dossier ") + folder +
                     QStringLiteral(" est sur un système de fichiers en lecture seule."),
                 QStringLiteral("The folder ") + folder + QStringLiteral(" is on a read-only file system."));
    return L(QStringLiteral("Le dossier ") + folder + QStringLiteral(" n'est pas modifiable."),
             QStringLiteral("The folder ") + folder + QStringLiteral(" is not writable."));
}

QString UpdateError::folderNotWritableText(const QString& folder)
{
    return folderNotWritableText(folder, isOnReadOnlyFileSystem(folder));
}

bool UpdateError::isOnReadOnlyFileSystem(const QString& path)
{
    // The nearest existing folder on the way up tells the file system.
    QString existing = QFileInfo(path).absoluteFilePath();
    while (!QFileInfo::exists(existing) && existing != QDir::rootPath())
        existing = QFileInfo(existing).absolutePath();
    struct statvfs info {};
    if (statvfs(QFile::encodeName(existing).constData(), &info) != 0)
        return false;
    return (info.f_flag & ST_RDONLY) != 0;
}

UpdateError UpdateError::system(const QString& domain, int code, const QString& message)
{
    return {domain, code, message};
}

}  // namespace zelvane
