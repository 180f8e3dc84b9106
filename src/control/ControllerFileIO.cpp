#include "ControllerFileIO.h"

#include "CodecError.h"
#include "DurableFile.h"
#include "Localization.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace zelvane::ControllerFileIO {

namespace {

constexpr qint64 kChunkBytes = 1 << 20;

[[noreturn]] void fail(ControllerErrorCode code, const QString& message)
{
    throw CodecError(QStringLiteral("Zelvane"), int(code), message);
}

QString reasonForErrno(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR: return L("fichier introuvable", "file not found");
    case EACCES:
    case EPERM: return L("accès refusé", "permission denied");
    case ELOOP: return L("trop de liens symboliques", "too many symbolic links");
    case ENAMETOOLONG: return L("nom trop long", "name too long");
    case EMFILE:
    case ENFILE: return L("trop de fichiers ouverts", "too many open files");
    default: return L("erreur de lecture", "read error");
    }
}

QString reasonForWriteErrno(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS: return L("accès refusé", "permission denied");
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return L("espace disque insuffisant", "not enough disk space");
    case EISDIR:
    case ENOENT:
    case ENOTDIR: return L("ouverture impossible", "cannot be opened");
    default: return L("erreur d'écriture", "write error");
    }
}

[[noreturn]] void failUnreadable(const QString& path, int error)
{
    fail(ControllerErrorCode::fileUnreadable, L("Impossible de lire « %1 » : %2.", "Could not read \"%1\": %2.")
                                                  .arg(displayName(path), reasonForErrno(error)));
}

[[noreturn]] void failTooLarge(const QString& path, qint64 maxBytes)
{
    const QString limit = QString::number(maxBytes / (1024 * 1024));
    fail(ControllerErrorCode::fileTooLarge,
         L("« %1 » est trop volumineux : %2 Mo au plus.", "\"%1\" is too large: at most %2 MB.")
             .arg(displayName(path), limit));
}

[[noreturn]] void failWrite(const QString& path, int error)
{
    // A folder removed while the file was written: said as such.
    const bool folderGone = (error == ENOENT || error == ENOTDIR || error == ESTALE) &&
                            !QFileInfo(QFileInfo(path).absolutePath()).isDir();
    const QString reason =
        folderGone ? L("son dossier n'existe plus", "its folder no longer exists") : reasonForWriteErrno(error);
    fail(ControllerErrorCode::writeFailed,
         L("Impossible d'écrire « %1 » : %2.", "Could not write \"%1\": %2.").arg(displayName(path), reason));
}

// An open descriptor, closed when it goes.
class ReadDescriptor {
public:
    explicit ReadDescriptor(int fd) : m_fd(fd) {}
    ~ReadDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    ReadDescriptor(const ReadDescriptor&) = delete;
    ReadDescriptor& operator=(const ReadDescriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// Opens a regular file for reading without ever waiting on a pipe or a
// device, and checks its kind and size before anything is read.
int openRegularFile(const QString& path, qint64 maxBytes)
{
    const QByteArray native = QFile::encodeName(path);
    if (native.isEmpty())
        failUnreadable(path, ENOENT);
    int fd = -1;
    do {
        fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        failUnreadable(path, errno);
    struct stat info {};
    const int statResult = ::fstat(fd, &info);
    const int statError = errno;
    if (statResult != 0 || !S_ISREG(info.st_mode) || qint64(info.st_size) > maxBytes)
        ::close(fd);
    if (statResult != 0)
        failUnreadable(path, statError);
    if (S_ISDIR(info.st_mode))
        fail(ControllerErrorCode::notRegularFile,
             L("« %1 » est un dossier, pas un fichier.", "\"%1\" is a folder, not a file.").arg(displayName(path)));
    if (!S_ISREG(info.st_mode))
        fail(ControllerErrorCode::notRegularFile,
             L("« %1 » n'est pas un fichier ordinaire.", "\"%1\" is not a regular file.").arg(displayName(path)));
    if (qint64(info.st_size) > maxBytes)
        failTooLarge(path, maxBytes);
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

// Hands the file's bytes to `sink` chunk by chunk; a file that grew past
// maxBytes while it was read is refused too.
void readChunks(int fd, const QString& path, qint64 maxBytes, const std::function<void(const char*, qint64)>& sink)
{
    QByteArray buffer(kChunkBytes, Qt::Uninitialized);
    qint64 total = 0;
    for (;;) {
        const ssize_t count = ::read(fd, buffer.data(), size_t(buffer.size()));
        if (count < 0) {
            if (errno == EINTR)
                continue;
            failUnreadable(path, errno);
        }
        if (count == 0)
            return;
        total += count;
        if (total > maxBytes)
            failTooLarge(path, maxBytes);
        sink(buffer.constData(), qint64(count));
    }
}

std::filesystem::path nativePath(const QString& path)
{
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

}  // namespace

QString displayName(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    return name.isEmpty() ? path : name;
}

bool looksLikePDF(const QByteArray& data)
{
    return data.size() >= 5 && data.startsWith("%PDF-");
}

QByteArray readRegularFile(const QString& path, qint64 maxBytes)
{
    const ReadDescriptor file(openRegularFile(path, maxBytes));
    QByteArray data;
    readChunks(file.get(), path, maxBytes, [&data](const char* bytes, qint64 count) { data.append(bytes, count); });
    return data;
}

void createParentFolder(const QString& filePath)
{
    const QString folder = QFileInfo(filePath).absolutePath();
    if (QFileInfo(folder).isDir())
        return;
    if (!QDir().mkpath(folder))
        fail(ControllerErrorCode::folderNotCreated,
             L("Impossible de créer le dossier « %1 ».", "Could not create the folder \"%1\".").arg(folder));
}

void writeFileAtomically(const QString& path, const QByteArray& data)
{
    DurableFile file(path);
    if (!file.open() || !file.write(data.constData(), data.size()) || !file.commit())
        failWrite(path, file.error());
}

void copyFileAtomically(const QString& source, const QString& destination, qint64 maxBytes)
{
    if (isSameFile(source, destination))
        return;
    const ReadDescriptor input(openRegularFile(source, maxBytes));
    DurableFile output(destination);
    if (!output.open())
        failWrite(destination, output.error());
    readChunks(input.get(), source, maxBytes, [&](const char* bytes, qint64 count) {
        if (!output.write(bytes, count))
            failWrite(destination, output.error());
    });
    if (!output.commit())
        failWrite(destination, output.error());
}

bool isSameFile(const QString& a, const QString& b)
{
    std::error_code error;
    const bool same = std::filesystem::equivalent(nativePath(a), nativePath(b), error);
    return !error && same;
}

}  // namespace zelvane::ControllerFileIO
