#include "DurableFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zelvane {

namespace {

QByteArray folderOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    return slash == 0 ? QByteArrayLiteral("/") : path.left(slash);
}

// Makes the rename itself durable where the file system can sync a folder.
void syncFolder(const QByteArray& folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

DurableFile::DurableFile(QString path) : m_path(std::move(path))
{
}

DurableFile::~DurableFile()
{
    cancel();
}

bool DurableFile::failWith(int error)
{
    m_error = error ? error : EIO;
    cancel();
    return false;
}

bool DurableFile::open()
{
    cancel();
    m_error = 0;
    const QFileInfo info(m_path);
    const QString target = info.isSymLink() && info.exists() ? info.canonicalFilePath() : m_path;
    m_target = QFile::encodeName(target);
    if (m_target.isEmpty())
        return failWith(ENOENT);

    struct stat existing {};
    const bool exists = ::stat(m_target.constData(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode))
        return failWith(EISDIR);

    const QByteArray folder = folderOf(m_target);
    const QByteArray name = m_target.mid(m_target.lastIndexOf('/') + 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray candidate = folder + "/." + name + '.' +
                                     QByteArray::number(QRandomGenerator::global()->generate(), 36) + ".tmp";
        const int fd = ::open(candidate.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd >= 0) {
            m_fd = fd;
            m_temporary = candidate;
            if (exists && ::fchmod(m_fd, existing.st_mode & 07777) != 0)
                return failWith(errno);
            return true;
        }
        if (errno != EEXIST && errno != EINTR)
            return failWith(errno);
    }
    return failWith(EEXIST);
}

bool DurableFile::write(const char* bytes, qint64 count)
{
    if (m_fd < 0)
        return failWith(m_error ? m_error : EBADF);
    while (count > 0) {
        const ssize_t written = ::write(m_fd, bytes, size_t(count));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return failWith(errno);
        }
        if (written == 0)
            return failWith(ENOSPC);
        bytes += written;
        count -= written;
    }
    return true;
}

bool DurableFile::commit()
{
    if (m_fd < 0)
        return failWith(m_error ? m_error : EBADF);
    if (::fsync(m_fd) != 0)
        return failWith(errno);
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0 && errno != EINTR) {
        const int error = errno;
        ::unlink(m_temporary.constData());
        m_temporary.clear();
        return failWith(error);
    }
    if (::rename(m_temporary.constData(), m_target.constData()) != 0)
        return failWith(errno);
    m_temporary.clear();
    syncFolder(folderOf(m_target));
    return true;
}

void DurableFile::cancel()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_temporary.isEmpty()) {
        ::unlink(m_temporary.constData());
        m_temporary.clear();
    }
}

}  // namespace zelvane
