// What a save promises the file it replaces: its permissions, its symbolic
// link, and the old content whenever the new one could not be made durable.

#include "DurableFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
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

// Run by the test below as a process of its own: begins a save of the file
// named by ZELVANE_TEST_HALF_SAVE, says "ready" and waits, the save
// unfinished, until it is killed (or its parent goes).
TEST(DurableFileHalfSave, WritesAndWaits)
{
    const char* target = std::getenv("ZELVANE_TEST_HALF_SAVE");
    if (!target)
        GTEST_SKIP() << "run by AKilledSavesTemporaryFileIsRemovedByTheNextSaveIntoTheFolder";
    DurableFile file(QString::fromLocal8Bit(target));
    ASSERT_TRUE(file.open());
    ASSERT_TRUE(file.write("half", 4));
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    char byte = 0;
    while (::read(STDIN_FILENO, &byte, 1) > 0) {
    }
    std::_Exit(0);
}

TEST_F(DurableFileTest, AKilledSavesTemporaryFileIsRemovedByTheNextSaveIntoTheFolder)
{
    const QString document = path("plan.svg");
    ASSERT_TRUE(write(document, "old"));
    QProcess saver;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ZELVANE_TEST_HALF_SAVE"), document);
    saver.setProcessEnvironment(environment);
    saver.start(QFile::symLinkTarget(QStringLiteral("/proc/self/exe")),
                {QStringLiteral("--gtest_filter=DurableFileHalfSave.WritesAndWaits")});
    ASSERT_TRUE(saver.waitForStarted(30000));
    QByteArray said;
    while (!said.contains("ready\n") && saver.waitForReadyRead(60000))
        said += saver.readAllStandardOutput();
    ASSERT_TRUE(said.contains("ready\n")) << said.constData();
    const QStringList halfSaved = entries();
    ASSERT_EQ(halfSaved.size(), 2);
    const QString temporary = halfSaved.filter(QStringLiteral(".tmp")).value(0);
    ASSERT_TRUE(temporary.startsWith(QStringLiteral(".plan.svg.zelvane-"))) << temporary.toStdString();

    // Its writer is alive: a save into the folder leaves its file alone.
    ASSERT_TRUE(write(path("other.svg"), "x"));
    EXPECT_TRUE(entries().contains(temporary));

    saver.kill();
    ASSERT_TRUE(saver.waitForFinished(30000));
    EXPECT_TRUE(entries().contains(temporary));
    // The next save into the folder removes it; the file written meanwhile
    // and the old one are untouched.
    ASSERT_TRUE(write(path("third.svg"), "y"));
    EXPECT_EQ(entries(), (QStringList{QStringLiteral("other.svg"), QStringLiteral("plan.svg"), QStringLiteral("third.svg")}));
    EXPECT_EQ(read(document), "old");
}

TEST_F(DurableFileTest, OnlyTemporaryFilesOfOursNobodyHoldsAreRemoved)
{
    // A save in progress in this process holds its file.
    DurableFile running(path("a.svg"));
    ASSERT_TRUE(running.open());
    ASSERT_TRUE(running.write("a", 1));
    // Files that only look alike: not ours, kept.
    const QStringList others{QStringLiteral(".notes.txt.tmp"), QStringLiteral(".b.svg.zelvane-ABC.tmp"),
                             QStringLiteral(".b.svg.zelvane-.tmp"), QStringLiteral("b.svg.zelvane-k3x.tmp")};
    for (const QString& name : others) {
        QFile file(path(name.toLatin1().constData()));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    // One of ours that nothing holds.
    {
        QFile abandoned(path(".b.svg.zelvane-1x9k2.tmp"));
        ASSERT_TRUE(abandoned.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(write(path("b.svg"), "b"));
    const QStringList left = entries();
    EXPECT_FALSE(left.contains(QStringLiteral(".b.svg.zelvane-1x9k2.tmp")));
    for (const QString& name : others)
        EXPECT_TRUE(left.contains(name)) << name.toStdString();
    EXPECT_EQ(left.filter(QStringLiteral(".a.svg.")).size(), 1);
    ASSERT_TRUE(running.commit());
    EXPECT_EQ(read(path("a.svg")), "a");
}

TEST_F(DurableFileTest, AFolderRemovedDuringTheWriteFailsTheCommit)
{
    QDir(folder.path()).mkdir(QStringLiteral("gone"));
    DurableFile file(path("gone/plan.svg"));
    ASSERT_TRUE(file.open());
    ASSERT_TRUE(file.write("new", 3));
    ASSERT_TRUE(QDir(path("gone")).removeRecursively());
    EXPECT_FALSE(file.commit());
    EXPECT_EQ(file.error(), ENOENT);
}

}  // namespace
}  // namespace zelvane
