#include "InstallationLayout.h"
#include "InstallationSwap.h"
#include "RelaunchScript.h"
#include "UpdateInstaller.h"
#include "ZipArchive.h"
#include "support/FakeInstallation.h"
#include "support/LanguageFixture.h"
#include "support/ZipWriter.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <functional>

namespace zelvane {
namespace {

using testing::fakeReleaseArchive;
using testing::readAll;
using testing::writeFakeInstallation;
using testing::ZipWriter;

const UpdateLimits kLimits;

int entriesError(const QByteArray& archive, quint64 maxBytes = kLimits.unpackedBytes, int maxEntries = 100)
{
    const auto entries = ZipArchive::readEntries(archive);
    if (!entries)
        return entries.error().code;
    const auto top = ZipArchive::checkEntries(*entries, maxBytes, maxEntries);
    return top ? 0 : top.error().code;
}

QByteArray archiveWith(const std::function<void(ZipWriter&)>& fill)
{
    ZipWriter zip;
    zip.addDirectory("zelvane");
    zip.addFile("zelvane/bin/zelvane", "#!/bin/sh\n", 0100755);
    fill(zip);
    return zip.finish();
}

// Waits for a line that a started program writes to a file, for at most
// 20 s: the file may exist a moment before its line is complete.
QByteArray waitForFile(const QString& path)
{
    QElapsedTimer timer;
    timer.start();
    QByteArray content;
    while (!(content = QFileInfo::exists(path) ? readAll(path) : QByteArray()).endsWith('\n') &&
           timer.elapsed() < 20'000)
        QThread::msleep(10);
    return content.trimmed();
}

TEST(ZipArchiveTest, AcceptsOneTopFolderAndNamesIt)
{
    const auto entries = ZipArchive::readEntries(fakeReleaseArchive("9.9.9"));
    ASSERT_TRUE(entries.ok());
    const auto top = ZipArchive::checkEntries(*entries, kLimits.unpackedBytes, 100);
    ASSERT_TRUE(top.ok());
    EXPECT_EQ(*top, "zelvane");
    // A link that stays inside the folder is fine.
    EXPECT_EQ(entriesError(archiveWith([](ZipWriter& z) { z.addSymlink("zelvane/bin/zv", "zelvane"); })), 0);
    EXPECT_EQ(entriesError(archiveWith([](ZipWriter& z) { z.addSymlink("zelvane/bin/zv", "../share/x"); })), 0);
}

TEST(ZipArchiveTest, RefusesEntriesThatLeaveTheFolder)
{
    const auto refused = [](const std::function<void(ZipWriter&)>& fill) { return entriesError(archiveWith(fill)); };
    EXPECT_EQ(refused([](ZipWriter& z) { z.addFile("/etc/evil", "x"); }), 15);
    EXPECT_EQ(refused([](ZipWriter& z) { z.addFile("zelvane/../evil", "x"); }), 15);
    EXPECT_EQ(refused([](ZipWriter& z) { z.addFile("zelvane/bin/..", "x"); }), 15);
    EXPECT_EQ(refused([](ZipWriter& z) { z.addFile("zelvane\\..\\evil", "x"); }), 15);
    EXPECT_EQ(refused([](ZipWriter& z) { z.addSymlink("zelvane/home", "/home"); }), 15);
    EXPECT_EQ(refused([](ZipWriter& z) { z.addSymlink("zelvane/up", "../.."); }), 15);
    EXPECT_EQ(refused([](ZipWriter& z) { z.addSymlink("zelvane/up", "../other"); }), 15);
    // Nothing is written through a link, even one that stays inside.
    EXPECT_EQ(refused([](ZipWriter& z) {
                  z.addSymlink("zelvane/lib", "share");
                  z.addFile("zelvane/lib/x", "x");
              }),
              15);
    EXPECT_EQ(refused([](ZipWriter& z) { z.addFile("other/bin/zelvane", "x"); }), 11);
    EXPECT_EQ(refused([](ZipWriter& z) { z.addFile("README", "x"); }), 11);
}

TEST(ZipArchiveTest, RefusesUnreadableOrOversizedArchives)
{
    EXPECT_EQ(entriesError("not a zip archive at all, just some text"), 19);
    EXPECT_EQ(entriesError(QByteArray()), 19);
    QByteArray truncated = fakeReleaseArchive("1.0");
    truncated.chop(30);
    EXPECT_EQ(entriesError(truncated), 19);
    EXPECT_EQ(entriesError(ZipWriter().finish()), 11);

    const QByteArray big = archiveWith([](ZipWriter& z) { z.addFile("zelvane/data", QByteArray(4000, 'x')); });
    EXPECT_EQ(entriesError(big, 4000), 5);
    EXPECT_EQ(entriesError(big, 10'000), 0);
    EXPECT_EQ(entriesError(big, 10'000, 2), 15);
}

TEST(ZipArchiveTest, ReadsCompressedLinkTargetsOfARealZipTool)
{
    QTemporaryDir dir;
    writeFakeInstallation(dir.filePath("zelvane"), "1.0");
    QFile::link("../../etc/passwd", dir.filePath("zelvane/share/leak"));
    QProcess zip;
    zip.setWorkingDirectory(dir.path());
    zip.start("zip", {"-q", "-r", "-y", "-9", "release.zip", "zelvane"});
    ASSERT_TRUE(zip.waitForFinished()) << "the zip tool is needed";
    const auto entries = ZipArchive::readEntries(readAll(dir.filePath("release.zip")));
    ASSERT_TRUE(entries.ok());
    const auto link = std::find_if(entries->begin(), entries->end(), [](const ZipEntry& e) { return e.symlink; });
    ASSERT_NE(link, entries->end());
    EXPECT_EQ(link->linkTarget, "../../etc/passwd");
    EXPECT_EQ(ZipArchive::checkEntries(*entries, kLimits.unpackedBytes, 100).error().code, 15);
}

TEST(UpdateInstallerTest, RequiresAWellFormedChecksum)
{
    testing::ScopedLanguage english(AppLanguage::en);
    ReleaseInfo release{"2.0", std::nullopt, QUrl("https://e.org/z.zip")};
    EXPECT_EQ(UpdateInstaller::expectedChecksum(release).error().code, 13);
    EXPECT_TRUE(UpdateInstaller::expectedChecksum(release).error().message.contains("no SHA-256 checksum"));
    release.sha256 = "  ";
    EXPECT_EQ(UpdateInstaller::expectedChecksum(release).error().code, 13);
    release.sha256 = "abc123";
    EXPECT_EQ(UpdateInstaller::expectedChecksum(release).error().code, 13);
    const QString digest = UpdateInstaller::sha256Hex("archive");
    release.sha256 = digest.toUpper();
    ASSERT_TRUE(UpdateInstaller::expectedChecksum(release).ok());
    EXPECT_EQ(*UpdateInstaller::expectedChecksum(release), digest);
    EXPECT_TRUE(UpdateInstaller::verifyChecksum("archive", digest).ok());

    const auto mismatch = UpdateInstaller::verifyChecksum("other", digest);
    ASSERT_FALSE(mismatch.ok());
    EXPECT_EQ(mismatch.error().code, 10);
    EXPECT_EQ(mismatch.error().message, QStringLiteral("SHA-256 checksum mismatch (expected ") + digest.left(10) +
                                            QChar(0x2026) + ", got " + UpdateInstaller::sha256Hex("other").left(10) +
                                            QChar(0x2026) + ").");
}

class PrepareTest : public ::testing::Test {
protected:
    QTemporaryDir home;
    QString destination = home.filePath("opt/zelvane");
    void SetUp() override { writeFakeInstallation(destination, "1.0"); }

    UpdateResult<PreparedUpdate> prepare(const QByteArray& archive, const QString& version = "9.9.9")
    {
        return UpdateInstaller::prepare(archive, ReleaseInfo{version, std::nullopt, QUrl("https://e.org/z.zip")},
                                        destination, testing::kTestBundleID, kLimits);
    }
    QStringList besideDestination() const
    {
        return QDir(home.filePath("opt")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }
    QByteArray archiveOf(const std::function<void(const QString&)>& change)
    {
        QTemporaryDir scratch;
        writeFakeInstallation(scratch.path(), "9.9.9");
        change(scratch.path());
        ZipWriter zip;
        zip.addTree(scratch.path(), "zelvane");
        return zip.finish();
    }
};

TEST_F(PrepareTest, UnpacksAndVerifiesBesideTheInstallation)
{
    const auto prepared = prepare(fakeReleaseArchive("9.9.9"));
    ASSERT_TRUE(prepared.ok()) << prepared.error().message.toStdString();
    EXPECT_EQ(QFileInfo(prepared->workFolder).absolutePath(), home.filePath("opt"));
    EXPECT_TRUE(QFileInfo(prepared->newInstallation + "/bin/zelvane").isExecutable());
    EXPECT_EQ(prepared->destination, destination);
    // The running installation is untouched.
    EXPECT_TRUE(readAll(destination + "/bin/zelvane").contains("Zelvane 1.0"));
}

TEST_F(PrepareTest, RefusesWrongLayoutsAndLeavesNothingBehind)
{
    testing::ScopedLanguage english(AppLanguage::en);
    // The installation nested twice, under zelvane/zelvane/.
    QTemporaryDir nested;
    writeFakeInstallation(nested.filePath("zelvane"), "9.9.9");
    ZipWriter twice;
    twice.addTree(nested.path(), "zelvane");
    EXPECT_EQ(prepare(twice.finish()).error().code, 11);

    const auto notExecutable = prepare(archiveOf([](const QString& folder) {
        QFile(folder + "/bin/zelvane").setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    }));
    EXPECT_EQ(notExecutable.error().code, 11);
    EXPECT_TRUE(notExecutable.error().message.contains("bin/zelvane"));

    EXPECT_EQ(prepare(archiveOf([](const QString& folder) { QFile::remove(folder + "/.zelvane-installation"); }))
                  .error()
                  .code,
              11);
    EXPECT_EQ(prepare(archiveOf([](const QString& folder) {
                          testing::writeFile(folder + "/.zelvane-installation", "org.example.other\n");
                      }))
                  .error()
                  .code,
              11);

    const auto wrongVersion = prepare(fakeReleaseArchive("9.9.8"));
    EXPECT_EQ(wrongVersion.error().code, 16);
    EXPECT_TRUE(wrongVersion.error().message.contains("Zelvane 9.9.8"));

    EXPECT_EQ(besideDestination(), QStringList{"zelvane"});
}

TEST_F(PrepareTest, AMissingUnzipNamesThePackage)
{
    testing::ScopedLanguage english(AppLanguage::en);
    QTemporaryDir emptyPath;
    const QByteArray savedPath = qgetenv("PATH");
    qputenv("PATH", emptyPath.path().toLocal8Bit());
    const auto prepared = prepare(fakeReleaseArchive("9.9.9"));
    qputenv("PATH", savedPath);
    ASSERT_FALSE(prepared.ok());
    EXPECT_EQ(prepared.error().message,
              "The \"unzip\" tool was not found; install the \"unzip\" package (sudo apt install unzip).");
    EXPECT_EQ(besideDestination(), QStringList{"zelvane"});
    testing::ScopedLanguage french(AppLanguage::fr);
    EXPECT_TRUE(UpdateError::toolMissing("unzip", "unzip").message.contains(QString::fromUtf8("installez le paquet « unzip »")));
}

TEST(UpdateErrorTest, AReadOnlyFileSystemIsCalledSo)
{
    testing::ScopedLanguage english(AppLanguage::en);
    EXPECT_EQ(UpdateError::folderNotWritableText("/opt", true), "The folder /opt is on a read-only file system.");
    EXPECT_EQ(UpdateError::folderNotWritableText("/opt", false), "The folder /opt is not writable.");
    // A writable temporary folder, and a path not made yet below it.
    QTemporaryDir folder;
    EXPECT_FALSE(UpdateError::isOnReadOnlyFileSystem(folder.path()));
    EXPECT_FALSE(UpdateError::isOnReadOnlyFileSystem(folder.filePath("not/yet")));
    EXPECT_EQ(UpdateError::folderNotWritableText(folder.path()), "The folder " + folder.path() + " is not writable.");
    testing::ScopedLanguage french(AppLanguage::fr);
    EXPECT_EQ(UpdateError::folderNotWritableText("/opt", true),
              QString::fromUtf8("Le dossier /opt est sur un système de fichiers en lecture seule."));
}

TEST(InstallationLayoutTest, FindsOnlyMarkedInstallations)
{
    testing::ScopedLanguage english(AppLanguage::en);
    QTemporaryDir dir;
    writeFakeInstallation(dir.filePath("zelvane"), "1.0");
    const auto found = InstallationLayout::runningInstallation(dir.filePath("zelvane/bin/zelvane"),
                                                               testing::kTestBundleID);
    ASSERT_TRUE(found.ok());
    EXPECT_EQ(*found, QFileInfo(dir.filePath("zelvane")).canonicalFilePath());

    // A build tree: the program is not in a marked installation.
    testing::writeFile(dir.filePath("build/src/app/zelvane"), "#!/bin/sh\n", true);
    const auto buildTree = InstallationLayout::runningInstallation(dir.filePath("build/src/app/zelvane"),
                                                                   testing::kTestBundleID);
    ASSERT_FALSE(buildTree.ok());
    EXPECT_EQ(buildTree.error().code, 17);
    EXPECT_TRUE(buildTree.error().message.contains("cannot be replaced"));

    testing::writeFile(dir.filePath("unmarked/bin/zelvane"), "#!/bin/sh\n", true);
    EXPECT_EQ(InstallationLayout::runningInstallation(dir.filePath("unmarked/bin/zelvane"), testing::kTestBundleID)
                  .error()
                  .code,
              17);
    EXPECT_EQ(InstallationLayout::runningInstallation(dir.filePath("zelvane/bin/zelvane"), "org.example.other")
                  .error()
                  .code,
              17);

    // A distribution's program under /usr is never replaced.
    const auto system = InstallationLayout::runningInstallation("/usr/bin/env", testing::kTestBundleID);
    ASSERT_FALSE(system.ok());
    EXPECT_TRUE(system.error().message.contains("package manager"));
}

TEST(InstallationLayoutTest, NeverTakesTheHomeFolderOrAFolderHoldingItForAnInstallation)
{
    testing::ScopedLanguage english(AppLanguage::en);
    QTemporaryDir dir;
    const QString root = QFileInfo(dir.path()).canonicalFilePath() + "/users";
    writeFakeInstallation(root, "1.0");
    writeFakeInstallation(root + "/me", "1.0");
    const QByteArray previousHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(root + "/me"));
    const auto holdingHome = InstallationLayout::runningInstallation(root + "/bin/zelvane", testing::kTestBundleID);
    const auto home = InstallationLayout::runningInstallation(root + "/me/bin/zelvane", testing::kTestBundleID);
    qputenv("HOME", previousHome);
    ASSERT_FALSE(holdingHome.ok());
    EXPECT_EQ(holdingHome.error().code, 17);
    ASSERT_FALSE(home.ok());
    EXPECT_EQ(home.error().code, 17);
    // Beside the home folder, a marked installation is found.
    EXPECT_TRUE(InstallationLayout::runningInstallation(root + "/bin/zelvane", testing::kTestBundleID).ok());
}

class RelaunchScriptTest : public ::testing::Test {
protected:
    QTemporaryDir home;
    // Every character the shell would read specially, in the path.
    QString parent = home.filePath(QStringLiteral("my apps \"$HOME\" `id`; x"));
    QString destination = parent + "/zelvane";
    QString work = parent + "/.zelvane-update-test";
    QString extracted = work + "/extracted/zelvane";
    QProcess waitedFor;

    void SetUp() override
    {
        writeFakeInstallation(destination, "1.0");
        QDir().mkpath(work + "/extracted");
        waitedFor.start("sleep", {"60"});
        ASSERT_TRUE(waitedFor.waitForStarted());
    }
    void TearDown() override
    {
        waitedFor.kill();
        waitedFor.waitForFinished();
    }
    // Runs the script until it has relaunched and cleaned up.
    void runScript()
    {
        QProcess script;
        script.start("/bin/sh", RelaunchScript::arguments(waitedFor.processId(), destination, work));
        ASSERT_TRUE(script.waitForStarted());
        // It waits for the process to end before touching anything.
        EXPECT_FALSE(script.waitForFinished(300));
        EXPECT_TRUE(QFileInfo::exists(work));
        EXPECT_FALSE(QFileInfo::exists(destination + "/relaunched"));
        waitedFor.kill();
        waitedFor.waitForFinished();
        ASSERT_TRUE(script.waitForFinished(20'000));
        EXPECT_EQ(script.exitCode(), 0) << script.readAllStandardError().toStdString();
    }
    QString versionOf(const QString& folder)
    {
        QProcess program;
        program.start(folder + "/bin/zelvane", {"--version"});
        program.waitForFinished(20'000);
        return QString::fromUtf8(program.readAllStandardOutput()).trimmed();
    }
    QStringList beside() const
    {
        return QDir(parent).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }
};

TEST_F(RelaunchScriptTest, TakesEveryPathAsAnArgument)
{
    EXPECT_FALSE(RelaunchScript::text().contains(parent));
    EXPECT_FALSE(RelaunchScript::text().contains("zelvane-update-test"));
}

TEST_F(RelaunchScriptTest, SwapsInTheNewInstallationThenStartsItOnceTheProgramHasEnded)
{
    writeFakeInstallation(extracted, "9.9.9");
    ASSERT_TRUE(InstallationSwap::swapIn(extracted, destination, testing::kTestBundleID).ok());
    EXPECT_EQ(versionOf(destination), "Zelvane 9.9.9");
    // The replaced installation waits in the work folder.
    EXPECT_EQ(versionOf(extracted), "Zelvane 1.0");
    runScript();
    EXPECT_EQ(waitForFile(destination + "/relaunched"), "9.9.9");
    EXPECT_FALSE(QFileInfo::exists(work));
    EXPECT_EQ(beside(), QStringList{"zelvane"});
    // Nothing outside the folder was touched by the special characters.
    EXPECT_EQ(QDir(home.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).size(), 1);
}

TEST_F(RelaunchScriptTest, KeepsTheOldInstallationWhenTheNewOneIsIncompleteOrMissing)
{
    writeFakeInstallation(extracted, "9.9.9");
    QFile::remove(extracted + "/bin/zelvane");
    EXPECT_EQ(InstallationSwap::swapIn(extracted, destination, testing::kTestBundleID).error().code, 11);
    EXPECT_EQ(versionOf(destination), "Zelvane 1.0");
    EXPECT_TRUE(QFileInfo::exists(destination + "/.zelvane-installation"));
    EXPECT_FALSE(QFileInfo::exists(extracted + "/bin/zelvane"));

    EXPECT_FALSE(InstallationSwap::swapIn(work + "/extracted/nothing-here", destination, testing::kTestBundleID).ok());
    EXPECT_EQ(versionOf(destination), "Zelvane 1.0");
}

// The installation is stopped after each of its steps, as a kill or a power
// cut would: the installation path always holds a program that runs, and
// the next check leaves only the installation.
TEST_F(RelaunchScriptTest, AnInstallationStoppedAfterAnyStepLeavesARunnableProgramAndIsCleanedAtTheNextCheck)
{
    const QList<std::function<void()>> steps{
        // Unpacked and verified beside the installation.
        [&] { writeFakeInstallation(extracted, "9.9.9"); },
        // The two installations traded places.
        [&] { ASSERT_TRUE(InstallationSwap::exchange(extracted, destination).ok()); },
        // The program ended and the script started the new installation.
        [&] {
            waitedFor.kill();
            waitedFor.waitForFinished();
            ASSERT_EQ(versionOf(destination), "Zelvane 9.9.9");
        },
    };
    for (qsizetype stoppedAfter = 0; stoppedAfter < steps.size(); ++stoppedAfter) {
        SCOPED_TRACE(stoppedAfter);
        QDir(parent).removeRecursively();
        writeFakeInstallation(destination, "1.0");
        QDir().mkpath(work + "/extracted");
        // A lock file left by the ended process.
        testing::writeFile(parent + "/" + InstallationSwap::kLockFile, "999999999\nzelvane\n\n");
        for (qsizetype step = 0; step <= stoppedAfter; ++step)
            steps[step]();
        const QString expected = stoppedAfter == 0 ? "Zelvane 1.0" : "Zelvane 9.9.9";
        EXPECT_EQ(versionOf(destination), expected);
        EXPECT_TRUE(InstallationSwap::removeLeftovers(destination));
        EXPECT_EQ(beside(), QStringList{"zelvane"});
        EXPECT_EQ(versionOf(destination), expected);
    }
}

TEST_F(RelaunchScriptTest, NothingIsRemovedWhileAnotherProcessInstalls)
{
    const QString lockPath = parent + "/" + InstallationSwap::kLockFile;
    QLockFile installing(lockPath);
    ASSERT_TRUE(installing.tryLock(0));
    EXPECT_FALSE(InstallationSwap::removeLeftovers(destination));
    EXPECT_TRUE(QFileInfo::exists(work));

    // A lock of a live process that has been installing for an hour, as a
    // file system without native locks keeps it: its age makes it no less
    // held.
    const auto contentOf = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    const QByteArray held = contentOf(lockPath);
    ASSERT_FALSE(held.isEmpty());
    installing.unlock();
    testing::writeFile(lockPath, held);
    {
        QFile aged(lockPath);
        ASSERT_TRUE(aged.open(QIODevice::ReadWrite));
        ASSERT_TRUE(aged.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
    }
    EXPECT_FALSE(InstallationSwap::removeLeftovers(destination));
    EXPECT_TRUE(QFileInfo::exists(work));
    EXPECT_EQ(contentOf(lockPath), held);
}

}  // namespace
}  // namespace zelvane
