// What a save promises the file it replaces: its permissions, its symbolic
// link, and the old content whenever the new one could not be made durable.

#include "DurableFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// While set, fsync() of a regular file fails with EIO, the way a disk that
// cannot store the data answers. This binary's fsync() takes the place of
// the C library's for every caller in it.
std::atomic<bool> failFileSync{false};

}  // namespace

extern "C" int fsync(int fd)
{
    using Sync = int (*)(int);
    static const Sync real = reinterpret_cast<Sync>(dlsym(RTLD_NEXT, "fsync"));
    struct stat info {};
    if (failFileSync && ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        errno = EIO;
        return -1;
    }
    return real(fd);
}

namespace zelvane {
namespace {

class DurableFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); }

    QString path(const char* name) const { return folder.filePath(QLatin1String(name)); }

    static bool write(const QString& path, const QByteArray& data)
    {
        DurableFile file(path);
        return file.open() && file.write(data.constData(), data.size()) && file.commit();
    }

    static QByteArray read(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }

    static mode_t permissions(const QString& path)
    {
        struct stat info {};
        return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
    }

    QStringList entries() const { return QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot); }

    QTemporaryDir folder;
};

TEST_F(DurableFileTest, AReplacedFileKeepsItsPermissions)
{
    const mode_t mask = ::umask(022);
    const QString document = path("private.svg");
    const bool written = write(document, "old") && ::chmod(QFile::encodeName(document).constData(), 0600) == 0 &&
                         write(document, "new");
    // A new file gets the usual permissions less the umask.
    const bool fresh = write(path("fresh.svg"), "x");
    ::umask(mask);
    ASSERT_TRUE(written && fresh);
    EXPECT_EQ(read(document), "new");
    EXPECT_EQ(permissions(document), mode_t(0600));
    EXPECT_EQ(permissions(path("fresh.svg")), mode_t(0644));
}

TEST_F(DurableFileTest, ASymbolicLinkStaysAndItsTargetIsWritten)
{
    const QString target = path("real.svg");
    const QString link = path("link.svg");
    ASSERT_TRUE(write(target, "old"));
    ASSERT_TRUE(QFile::link(target, link));
    ASSERT_TRUE(write(link, "new"));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), target);
    EXPECT_EQ(read(target), "new");
    EXPECT_EQ(entries(), (QStringList{QStringLiteral("link.svg"), QStringLiteral("real.svg")}));
}

TEST_F(DurableFileTest, DataTheDiskCouldNotStoreLeavesTheOldFileAndReportsTheFailure)
{
    const QString document = path("plan.svg");
    ASSERT_TRUE(write(document, "old"));
    DurableFile file(document);
    ASSERT_TRUE(file.open());
    ASSERT_TRUE(file.write("new", 3));
    failFileSync = true;
    const bool committed = file.commit();
    failFileSync = false;
    EXPECT_FALSE(committed);
    EXPECT_EQ(file.error(), EIO);
    EXPECT_EQ(read(document), "old");
    EXPECT_EQ(entries(), QStringList{QStringLiteral("plan.svg")}) << "no temporary file is left";
}

}  // namespace
}  // namespace zelvane
