#include "DurableFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QScopeGuard>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
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

// ".NAME.zelvane-TOKEN.tmp", TOKEN being base 36 digits: a temporary file
// of ours, never a file of someone else's that only looks alike.
constexpr char kTemporaryMark[] = "zelvane-";

bool isTemporaryName(const char* name)
{
    const QByteArray text(name);
    if (!text.startsWith('.') || !text.endsWith(".tmp"))
        return false;
    const QByteArray stem = text.mid(1, text.size() - 5);
    const qsizetype dot = stem.lastIndexOf('.');
    if (dot < 1)
        return false;
    const QByteArray token = stem.mid(dot + 1);
    if (!token.startsWith(kTemporaryMark))
        return false;
    const QByteArray digits = token.mid(qsizetype(sizeof kTemporaryMark) - 1);
    if (digits.isEmpty() || digits.size() > 13)
        return false;
    for (const char c : digits) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z')))
            return false;
    }
    return true;
}

// Removes the temporary files a writer that ended without finishing (a
// killed process) left in the folder. A live writer holds a lock on its
// file for as long as it has it, so a file whose lock can be taken has no
// writer any more. The lock is held while the file is removed; a writer
// that locks its new file checks that the file still has its name.
void removeAbandonedTemporaries(const QByteArray& folder)
{
    DIR* directory = ::opendir(folder.constData());
    if (!directory)
        return;
    const int folderFd = ::dirfd(directory);
    while (const dirent* entry = ::readdir(directory)) {
        if (!isTemporaryName(entry->d_name))
            continue;
        const int fd = ::openat(folderFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (fd < 0)
            continue;
        struct stat info {};
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_nlink > 0 &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            // Still the same file under that name?
            struct stat named {};
            if (::fstatat(folderFd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_dev == info.st_dev &&
                named.st_ino == info.st_ino)
                ::unlinkat(folderFd, entry->d_name, 0);
        }
        ::close(fd);
    }
    ::closedir(directory);
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
    removeAbandonedTemporaries(folder);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray candidate = folder + "/." + name + '.' + kTemporaryMark +
                                     QByteArray::number(QRandomGenerator::global()->generate(), 36) + ".tmp";
        const int fd = ::open(candidate.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd >= 0) {
            // Held until the file is renamed or removed: it tells other
            // writers that this one is alive.
            int locked;
            do {
                locked = ::flock(fd, LOCK_EX);
            } while (locked != 0 && errno == EINTR);
            struct stat created {};
            if (locked == 0 && ::fstat(fd, &created) == 0 && created.st_nlink == 0) {
                // Taken for abandoned between its creation and the lock.
                ::close(fd);
                continue;
            }
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
    // Keeps the lock (shared by both descriptors) until the rename is done.
    const int holder = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    const auto release = qScopeGuard([holder] {
        if (holder >= 0)
            ::close(holder);
    });
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
