// What a save promises the file it replaces: its permissions, its symbolic
// link, and the old content whenever the new one could not be made durable.

#include "CodecError.h"
#include "ControllerFileIO.h"
#include "DurableFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "support/SpawnedProcess.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <fcntl.h>
#include <functional>
#include <future>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// While set, fsync() of a regular file fails with EIO, the way a disk that
// cannot store the data answers. This binary's fsync() takes the place of
// the C library's for every caller in it.
std::atomic<bool> failFileSync{false};

// While set, flock() and rename() of this binary first ask these: what
// another process could do at that moment is done there. A hook answers
// -1 (with errno) to stand for the call, anything else to let it run.
std::function<int(int, int)> beforeLock;
std::function<int(const char*, const char*)> beforeRename;

}  // namespace

extern "C" int flock(int fd, int operation)
{
    using Lock = int (*)(int, int);
    static const Lock real = reinterpret_cast<Lock>(dlsym(RTLD_NEXT, "flock"));
    if (beforeLock && beforeLock(fd, operation) == -1)
        return -1;
    return real(fd, operation);
}

extern "C" int rename(const char* from, const char* to)
{
    using Rename = int (*)(const char*, const char*);
    static const Rename real = reinterpret_cast<Rename>(dlsym(RTLD_NEXT, "rename"));
    if (beforeRename && beforeRename(from, to) == -1)
        return -1;
    return real(from, to);
}

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
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ZELVANE_TEST_HALF_SAVE"), document);
    zelvane::testing::SpawnedProcess saver(QFile::symLinkTarget(QStringLiteral("/proc/self/exe")),
                                           {QStringLiteral("--gtest_filter=DurableFileHalfSave.WritesAndWaits")},
                                           environment);
    ASSERT_TRUE(saver.started());
    ASSERT_TRUE(saver.readUntil("ready\n", std::chrono::seconds(60))) << saver.output().constData();
    const QStringList halfSaved = entries();
    ASSERT_EQ(halfSaved.size(), 2);
    const QString temporary = halfSaved.filter(QStringLiteral(".tmp")).value(0);
    ASSERT_TRUE(temporary.startsWith(QStringLiteral(".plan.svg.zelvane-"))) << temporary.toStdString();

    // Its writer is alive: a save into the folder leaves its file alone.
    ASSERT_TRUE(write(path("other.svg"), "x"));
    EXPECT_TRUE(entries().contains(temporary));

    ASSERT_TRUE(saver.kill());
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
    const QStringList others{QStringLiteral(".notes.txt.tmp"),
                             QStringLiteral(".b.svg.zelvane-ABC.tmp"),
                             QStringLiteral(".b.svg.zelvane-.tmp"),
                             QStringLiteral("b.svg.zelvane-k3x.tmp"),
                             QStringLiteral(".b.svg.zelvane-k3x.bak"),
                             QStringLiteral("..zelvane-k3x.tmp"),
                             QStringLiteral(".report.pdf.backup-k3x9.tmp"),
                             QStringLiteral(".b.svg.zelvane-0123456789abcdefghij.tmp")};
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

// Where a file has our name but is not a file we make, it stays: a symbolic
// link (and the file it leads to), a named pipe (which must not hold up the
// save either).
TEST_F(DurableFileTest, ALinkOrAPipeWithATemporaryNameIsLeftAlone)
{
    const QString linked = path("kept.svg");
    ASSERT_TRUE(write(linked, "kept"));
    ASSERT_TRUE(QFile::link(linked, path(".b.svg.zelvane-11nk.tmp")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path(".b.svg.zelvane-f1f0.tmp")).constData(), 0600), 0);

    auto saved = std::async(std::launch::async, [this] { return write(path("b.svg"), "b"); });
    if (saved.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
        // Stuck opening the pipe: a writer lets it go on before failing.
        const int writer = ::open(QFile::encodeName(path(".b.svg.zelvane-f1f0.tmp")).constData(), O_WRONLY | O_NONBLOCK);
        saved.wait();
        if (writer >= 0)
            ::close(writer);
        FAIL() << "the save waited on a named pipe";
    }
    EXPECT_TRUE(saved.get());
    EXPECT_EQ(entries(), (QStringList{QStringLiteral(".b.svg.zelvane-11nk.tmp"), QStringLiteral("b.svg"), QStringLiteral("kept.svg")}));
    struct stat pipe {};
    EXPECT_TRUE(::lstat(QFile::encodeName(path(".b.svg.zelvane-f1f0.tmp")).constData(), &pipe) == 0 && S_ISFIFO(pipe.st_mode));
    EXPECT_EQ(read(linked), "kept");
}

// Another save's clean-up finds an abandoned file, and a new save's file
// takes that name before the clean-up locks it: the new file stays.
TEST_F(DurableFileTest, AFileThatTookTheNameOfAnAbandonedOneIsKept)
{
    const QString name = path(".b.svg.zelvane-5aa.tmp");
    {
        QFile abandoned(name);
        ASSERT_TRUE(abandoned.open(QIODevice::WriteOnly));
    }
    const QString newcomer = path("newcomer");
    {
        QFile file(newcomer);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("new") == 3);
    }
    bool replaced = false;
    beforeLock = [&](int, int operation) {
        if ((operation & LOCK_NB) && !replaced)
            replaced = ::rename(QFile::encodeName(newcomer).constData(), QFile::encodeName(name).constData()) == 0;
        return 0;
    };
    const bool written = write(path("b.svg"), "b");
    beforeLock = nullptr;
    ASSERT_TRUE(written);
    ASSERT_TRUE(replaced);
    EXPECT_EQ(read(name), "new");
}

// A save holds the lock on its file from the open to the rename, so that no
// other save in the folder takes the file for abandoned meanwhile.
TEST_F(DurableFileTest, ASaveHoldsItsFileFromTheOpenToTheRename)
{
    // The lock taken while a signal comes in, and the file taken for
    // abandoned by another save between its creation and the lock.
    int interruptions = 1;
    int removals = 1;
    beforeLock = [&](int fd, int operation) {
        if (operation != LOCK_EX)
            return 0;
        if (interruptions-- > 0) {
            errno = EINTR;
            return -1;
        }
        if (removals-- > 0) {
            const QByteArray link = "/proc/self/fd/" + QByteArray::number(fd);
            char target[4096] = {};
            if (::readlink(link.constData(), target, sizeof target - 1) > 0)
                ::unlink(target);
        }
        return 0;
    };
    DurableFile file(path("plan.svg"));
    const bool opened = file.open();
    beforeLock = nullptr;
    ASSERT_TRUE(opened);
    ASSERT_TRUE(file.write("new", 3));
    const QStringList temporaries = entries();
    ASSERT_EQ(temporaries.size(), 1);
    const QByteArray temporary = QFile::encodeName(path(temporaries.first().toUtf8().constData()));

    // Seen through a descriptor of its own (as another process sees it):
    // locked now, and still locked when the rename comes.
    const auto lockedByAnother = [&](const char* name) {
        const int fd = ::open(name, O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return false;
        const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
        ::close(fd);
        return locked;
    };
    EXPECT_TRUE(lockedByAnother(temporary.constData()));
    bool lockedAtRename = false;
    beforeRename = [&](const char* from, const char*) {
        lockedAtRename = lockedByAnother(from);
        return 0;
    };
    const bool committed = file.commit();
    beforeRename = nullptr;
    EXPECT_TRUE(committed);
    EXPECT_TRUE(lockedAtRename);
    EXPECT_EQ(read(path("plan.svg")), "new");
    EXPECT_EQ(entries(), QStringList{QStringLiteral("plan.svg")});
}

// Only a folder that is really gone is reported as gone: a file missing in
// a folder still there, or another failure while the folder went, says its
// own reason.
TEST_F(DurableFileTest, TheFolderIsSaidGoneOnlyWhenItIsGoneAndThatIsTheFailure)
{
    const auto failureOf = [](const QString& target) {
        try {
            ControllerFileIO::writeFileAtomically(target, "new");
        } catch (const CodecError& error) {
            return error.message();
        }
        return QStringLiteral("<written>");
    };
    beforeRename = [](const char* from, const char*) {
        ::unlink(from);
        return 0;
    };
    const QString missing = failureOf(path("plan.svg"));
    beforeRename = [this](const char*, const char*) {
        QDir(path("gone")).removeRecursively();
        errno = EIO;
        return -1;
    };
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("gone")));
    const QString failed = failureOf(path("gone/plan.svg"));
    beforeRename = nullptr;
    // In whichever language the messages are.
    const auto saysFolderGone = [](const QString& message) {
        return message.contains(QStringLiteral("no longer exists")) || message.contains(QStringLiteral("n'existe plus"));
    };
    for (const QString& message : {missing, failed}) {
        EXPECT_TRUE(message.contains(QStringLiteral("plan.svg"))) << message.toStdString();
        EXPECT_FALSE(saysFolderGone(message)) << message.toStdString();
    }
}

}  // namespace
}  // namespace zelvane
