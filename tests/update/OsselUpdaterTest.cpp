#include "OsselUpdater.h"
#include "UpdateInstaller.h"
#include "fonts/WebFontTransport.h"
#include "support/FakeInstallation.h"
#include "support/LanguageFixture.h"
#include "support/TestApplication.h"
#include "support/ZipWriter.h"

#include "LoopbackHttpServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHostAddress>
#include <QJsonDocument>
#include <QDateTime>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

namespace zelvane {
namespace {

using mcp::testsupport::LoopbackHttpServer;
using mcp::testsupport::ScriptedReply;
using Kind = UpdateState::Kind;

constexpr double kNow = 1'000'000;

class OsselUpdaterTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString settingsPath = dir.filePath("settings.ini");
    LoopbackHttpServer server;
    testing::ScopedLanguage english{AppLanguage::en};
    QList<UpdateState> states;
    bool quitCalled = false;

    static void SetUpTestSuite() { testing::ensureTestGuiApplication(); }
    void SetUp() override { qputenv("OSSEL_UPDATE_URL", serverURL("/feed").toUtf8()); }
    void TearDown() override { qunsetenv("OSSEL_UPDATE_URL"); }

    QString serverURL(const QString& path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(server.port()).arg(path);
    }
    std::unique_ptr<QSettings> settings() const
    {
        return std::make_unique<QSettings>(settingsPath, QSettings::IniFormat);
    }
    UpdaterEnvironment environment()
    {
        UpdaterEnvironment environment;
        environment.openSettings = [path = settingsPath] {
            return std::make_unique<QSettings>(path, QSettings::IniFormat);
        };
        environment.now = [] { return kNow; };
        environment.launchCheckDelayMs = 0;
        environment.quit = [this] { quitCalled = true; };
        return environment;
    }
    std::unique_ptr<OsselUpdater> makeUpdater(bool startAutoCheck = false,
                                              std::optional<QString> version = QStringLiteral("1.0.0"),
                                              UpdaterEnvironment env = {})
    {
        if (!env.openSettings)
            env = environment();
        auto updater = std::make_unique<OsselUpdater>("Zelvane", testing::kTestBundleID, "tarnwick/Zelvane", version,
                                                      std::nullopt, startAutoCheck, env);
        QObject::connect(updater.get(), &OsselUpdater::stateChanged, [this, u = updater.get()] {
            states.append(u->state());
        });
        return updater;
    }
    double storedTimestamp() const
    {
        return settings()->value("net.tarnwick.zelvane.lastUpdateCheckTimestamp", -1.0).toDouble();
    }
    static bool waitFor(const std::function<bool()>& done) { return QTest::qWaitFor(done, 20'000); }
    static bool settled(const OsselUpdater& updater)
    {
        return !updater.state().is(Kind::checking) && !updater.state().isBusy();
    }
    static QByteArray manifest(const QString& version, const QString& url, const QString& sha256 = {})
    {
        QJsonObject object{{"version", version}, {"url", url}};
        if (!sha256.isEmpty())
            object.insert("sha256", sha256);
        return QJsonDocument(object).toJson();
    }
};

// However the test process was started, an updater made with nothing set up
// checks on the loopback interface, and web fonts are never fetched.
TEST(TestProcessEnvironmentTest, NothingTheSuiteStartsReachesBeyondThisMachine)
{
    testing::ensureTestGuiApplication();
    QTemporaryDir dir;
    UpdaterEnvironment environment;
    environment.openSettings = [path = dir.filePath("settings.ini")] {
        return std::make_unique<QSettings>(path, QSettings::IniFormat);
    };
    const OsselUpdater updater("Zelvane", testing::kTestBundleID, "tarnwick/Zelvane", QStringLiteral("1.0.0"),
                               std::nullopt, false, environment);
    const QUrl feed = updater.configuredFeedURL();
    EXPECT_TRUE(QHostAddress(feed.host()).isLoopback()) << feed.toString().toStdString();
    EXPECT_TRUE(NetworkWebFontTransport::downloadsDisabled());
}

TEST_F(OsselUpdaterTest, FillsInVersionAndBuild)
{
    EXPECT_EQ(makeUpdater(false, QString())->currentVersion(), "0.1.0");
    EXPECT_EQ(makeUpdater(false, QString("@VERSION@"))->currentVersion(), "0.1.0");
    const auto updater = makeUpdater(false, QString("2.3"));
    EXPECT_EQ(updater->currentVersion(), "2.3");
    EXPECT_EQ(updater->state(), UpdateState::idle());
    EXPECT_FALSE(updater->availableRelease());
    EXPECT_GE(makeUpdater(false, std::nullopt)->currentBuild(), 0);
    EXPECT_EQ(UpdaterEnvironment{}.launchCheckDelayMs, 2500);
    EXPECT_EQ(UpdaterEnvironment{}.feedTimeoutMs, 8000);
}

TEST_F(OsselUpdaterTest, PersistsTheLaunchCheckChoice)
{
    EXPECT_TRUE(makeUpdater()->autoCheckOnLaunch());
    EXPECT_FALSE(settings()->contains("net.tarnwick.zelvane.autoCheckUpdates"));
    makeUpdater()->setAutoCheckOnLaunch(false);
    EXPECT_EQ(settings()->value("net.tarnwick.zelvane.autoCheckUpdates").toBool(), false);
    const auto restarted = makeUpdater(true);
    EXPECT_FALSE(restarted->autoCheckOnLaunch());
    QCoreApplication::processEvents();
    EXPECT_EQ(storedTimestamp(), -1.0);
}

TEST_F(OsselUpdaterTest, ChecksAtLaunchAtMostDaily)
{
    // The feed address is refused at once, so no request leaves the test.
    qputenv("OSSEL_UPDATE_URL", "http://example.invalid/feed");
    const auto launchCheckRuns = [this](std::optional<double> last, bool startAutoCheck = true) {
        QFile::remove(settingsPath);
        if (last)
            settings()->setValue("net.tarnwick.zelvane.lastUpdateCheckTimestamp", *last);
        const auto updater = makeUpdater(startAutoCheck);
        // Never during construction.
        const bool early = storedTimestamp() == kNow;
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        return !early && storedTimestamp() == kNow;
    };
    EXPECT_TRUE(launchCheckRuns(std::nullopt));
    EXPECT_TRUE(launchCheckRuns(kNow - 86400));
    EXPECT_FALSE(launchCheckRuns(kNow - 86399));
    EXPECT_FALSE(launchCheckRuns(std::nullopt, false));
    // A stored time in the future counts as never checked.
    EXPECT_TRUE(launchCheckRuns(kNow + 3600));
}

TEST_F(OsselUpdaterTest, SilentChecksShowOnlyANewerRelease)
{
    server.enqueue(ScriptedReply::http(500, "oops"));
    const auto updater = makeUpdater();
    updater->checkForUpdates(true);
    ASSERT_TRUE(waitFor([&] { return server.connectionCount() == 1; }));
    QTest::qWait(50);
    EXPECT_TRUE(states.isEmpty());
    EXPECT_EQ(storedTimestamp(), kNow);

    server.enqueue(ScriptedReply::http(200, manifest("1.0.1", "https://e.org/z.zip")));
    updater->checkForUpdates(true);
    ASSERT_TRUE(waitFor([&] { return !states.isEmpty(); }));
    ASSERT_TRUE(updater->availableRelease());
    EXPECT_EQ(updater->availableRelease()->version, "1.0.1");
}

TEST_F(OsselUpdaterTest, ReportsEachFeedOutcome)
{
    const auto updater = makeUpdater();
    const auto check = [&](const ScriptedReply& reply) {
        server.enqueue(reply);
        updater->checkForUpdates(false);
        EXPECT_EQ(updater->state(), UpdateState::checking());
        EXPECT_TRUE(waitFor([&] { return settled(*updater); }));
        return updater->state();
    };
    EXPECT_EQ(check(ScriptedReply::http(200, manifest("v1.2", "https://e.org/z.zip"))).release()->version, "1.2");
    const auto requests = server.requests();
    EXPECT_EQ(requests.last().target, "/feed");
    EXPECT_EQ(requests.last().header("user-agent"), "Zelvane/1.0.0");
    EXPECT_EQ(requests.last().header("accept"), "application/vnd.github+json, application/json");

    EXPECT_EQ(check(ScriptedReply::http(200, manifest("1.0.0", "https://e.org/z.zip"))),
              UpdateState::upToDate("1.0.0"));
    EXPECT_EQ(check(ScriptedReply::http(404, "{\"message\":\"Not Found\"}")), UpdateState::upToDate("1.0.0"));
    EXPECT_EQ(check(ScriptedReply::http(403, "{\"message\":\"API rate limit exceeded\"}")),
              UpdateState::failed("No update .zip archive found."));
    EXPECT_EQ(check(ScriptedReply::http(200, "{}")), UpdateState::failed("No update .zip archive found."));
    EXPECT_EQ(check(ScriptedReply::http(200, "[]")), UpdateState::failed("Invalid update JSON response."));
    EXPECT_EQ(check(ScriptedReply::http(200, "<html>")).kind(), Kind::failed);
}

TEST_F(OsselUpdaterTest, GivesUpOnAStalledOrOversizedFeed)
{
    UpdaterEnvironment env = environment();
    env.feedTimeoutMs = 200;
    env.limits.feedBytes = 1000;
    const auto updater = makeUpdater(false, QString("1.0.0"), env);
    server.enqueue({ScriptedReply::Action::stayMute, {}, 0});
    updater->checkForUpdates(false);
    ASSERT_TRUE(waitFor([&] { return settled(*updater); }));
    EXPECT_EQ(updater->state(), UpdateState::failed("The update server does not answer (timed out)."));

    server.enqueue(ScriptedReply::http(200, QByteArray(2000, ' ') + manifest("2.0", "https://e.org/z.zip")));
    updater->checkForUpdates(false);
    ASSERT_TRUE(waitFor([&] { return settled(*updater); }));
    EXPECT_EQ(updater->state().kind(), Kind::failed);
    EXPECT_TRUE(updater->state().text().contains("exceeds the limit")) << updater->state().text().toStdString();
}

TEST_F(OsselUpdaterTest, FollowsOnlyAllowedAddresses)
{
    const auto updater = makeUpdater();
    for (const char* address : {"file:///etc/passwd", "http://example.org/feed", "data:application/json,%7B%7D"}) {
        qputenv("OSSEL_UPDATE_URL", address);
        updater->checkForUpdates(false);
        ASSERT_TRUE(waitFor([&] { return settled(*updater); }));
        EXPECT_TRUE(updater->state().text().startsWith("Update address refused")) << address;
    }
    EXPECT_EQ(server.connectionCount(), 0);

    qputenv("OSSEL_UPDATE_URL", serverURL("/feed").toUtf8());
    server.enqueue(ScriptedReply::raw("HTTP/1.1 302 Found\r\nLocation: http://example.org/feed\r\n"
                                      "Content-Length: 0\r\nConnection: close\r\n\r\n"));
    updater->checkForUpdates(false);
    ASSERT_TRUE(waitFor([&] { return settled(*updater); }));
    EXPECT_EQ(updater->state(), UpdateState::failed("Update address refused (https required): http://example.org/feed"));

    server.enqueue(ScriptedReply::raw("HTTP/1.1 302 Found\r\nLocation: " + serverURL("/moved").toUtf8() +
                                      "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"));
    server.enqueue(ScriptedReply::http(200, manifest("3.0", "https://e.org/z.zip")));
    updater->checkForUpdates(false);
    ASSERT_TRUE(waitFor([&] { return settled(*updater); }));
    EXPECT_EQ(updater->state().kind(), Kind::updateAvailable);
    EXPECT_EQ(server.requests().last().target, "/moved");
}

TEST_F(OsselUpdaterTest, RunsOneCheckAtATime)
{
    server.enqueue(ScriptedReply::http(200, manifest("1.0.0", "https://e.org/z.zip")));
    const auto updater = makeUpdater();
    updater->checkForUpdates(true);
    // The user's check joins the silent one and makes its outcome visible.
    updater->checkForUpdates(false);
    ASSERT_TRUE(waitFor([&] { return settled(*updater); }));
    EXPECT_EQ(updater->state(), UpdateState::upToDate("1.0.0"));
    EXPECT_EQ(server.connectionCount(), 1);
}

class UpdaterInstallTest : public OsselUpdaterTest {
protected:
    QString installation = dir.filePath("opt/zelvane");
    QProcess running;  // stands for the running editor the script waits for

    void SetUp() override
    {
        OsselUpdaterTest::SetUp();
        testing::writeFakeInstallation(installation, "1.0.0");
        running.start("sleep", {"60"});
        ASSERT_TRUE(running.waitForStarted());
    }
    void TearDown() override
    {
        running.kill();
        running.waitForFinished();
        OsselUpdaterTest::TearDown();
    }
    std::unique_ptr<OsselUpdater> installingUpdater(UpdaterEnvironment env = {})
    {
        if (!env.openSettings)
            env = environment();
        env.programPath = installation + "/bin/zelvane";
        env.relaunchAfterPid = running.processId();
        return makeUpdater(false, QString("1.0.0"), env);
    }
    ReleaseInfo release(const QByteArray& archive, const QString& path = "/Zelvane.zip")
    {
        return ReleaseInfo{"9.9.9", std::nullopt, QUrl(serverURL(path)), UpdateInstaller::sha256Hex(archive)};
    }
    UpdateState install(OsselUpdater& updater, const ReleaseInfo& offered)
    {
        updater.downloadAndInstall(offered);
        EXPECT_TRUE(waitFor([&] { return !updater.state().isBusy() || quitCalled; }));
        return updater.state();
    }
    QStringList besideInstallation() const
    {
        return QDir(dir.filePath("opt")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }
};

TEST_F(UpdaterInstallTest, InstallsVerifiesAndRelaunches)
{
    const QByteArray archive = testing::fakeReleaseArchive("9.9.9");
    server.enqueue(ScriptedReply::http(200, archive, "application/zip"));
    const auto updater = installingUpdater();
    updater->downloadAndInstall(release(archive));
    EXPECT_EQ(updater->state(), UpdateState::downloading(0.1));
    ASSERT_TRUE(waitFor([&] { return quitCalled || updater->state().is(Kind::failed); }))
        << updater->state().text().toStdString();
    ASSERT_TRUE(quitCalled) << updater->state().text().toStdString();
    EXPECT_EQ(states, (QList<UpdateState>{UpdateState::downloading(0.1), UpdateState::downloading(0.75),
                                          UpdateState::installing()}));
    // The installations traded places in one step; the running one's files
    // stay in the work folder until the program has ended.
    EXPECT_TRUE(testing::readAll(installation + "/bin/zelvane").contains("Zelvane 9.9.9"));
    QStringList work = besideInstallation().filter(".zelvane-update-");
    ASSERT_EQ(work.size(), 1);
    EXPECT_TRUE(testing::readAll(dir.filePath("opt/" + work[0] + "/extracted/zelvane/bin/zelvane"))
                    .contains("Zelvane 1.0.0"));
    EXPECT_FALSE(QFileInfo::exists(installation + "/relaunched"));

    running.kill();
    running.waitForFinished();
    ASSERT_TRUE(waitFor([&] { return testing::readAll(installation + "/relaunched").endsWith('\n'); }));
    EXPECT_EQ(testing::readAll(installation + "/relaunched").trimmed(), "9.9.9");
    QProcess version;
    version.start(installation + "/bin/zelvane", {"--version"});
    version.waitForFinished();
    EXPECT_EQ(version.readAllStandardOutput().trimmed(), "Zelvane 9.9.9");
    ASSERT_TRUE(waitFor([&] { return besideInstallation().size() == 2; }));
    EXPECT_EQ(besideInstallation(), (QStringList{".zelvane-update.lock", "zelvane"}));
}

TEST_F(UpdaterInstallTest, CancelledBeforeRelaunchingLeavesTheInstallationAsItWas)
{
    const QByteArray archive = testing::fakeReleaseArchive("9.9.9");
    server.enqueue(ScriptedReply::http(200, archive, "application/zip"));
    const auto updater = installingUpdater();
    int asked = 0;
    updater->setRelaunchConfirmation([&] {
        ++asked;
        // Asked with the new installation ready and the old one in place.
        EXPECT_EQ(besideInstallation().filter(".zelvane-update-").size(), 1);
        EXPECT_TRUE(testing::readAll(installation + "/bin/zelvane").contains("Zelvane 1.0.0"));
        return false;
    });
    updater->downloadAndInstall(release(archive));
    ASSERT_TRUE(waitFor([&] { return asked > 0 || updater->state().is(Kind::failed); }))
        << updater->state().text().toStdString();
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(quitCalled);
    EXPECT_EQ(updater->state(), UpdateState::updateAvailable(release(archive)));
    EXPECT_TRUE(testing::readAll(installation + "/bin/zelvane").contains("Zelvane 1.0.0"));
    EXPECT_EQ(besideInstallation(), QStringList{"zelvane"});
}

TEST_F(UpdaterInstallTest, TheNextCheckRemovesWhatEndedRunsLeftBeside)
{
    testing::writeFakeInstallation(dir.filePath("opt/.zelvane-update-1234/extracted/zelvane"), "9.9.9");
    testing::writeFile(dir.filePath("opt/.zelvane-update.lock"), "999999999\nzelvane\n\n");
    server.enqueue(ScriptedReply::http(404, "", "text/plain"));
    const auto updater = installingUpdater();
    updater->checkForUpdates(false);
    EXPECT_EQ(besideInstallation(), QStringList{"zelvane"});
    EXPECT_TRUE(waitFor([&] { return settled(*updater); }));

    // Not while another process of the installation installs.
    QDir().mkpath(dir.filePath("opt/.zelvane-update-5678"));
    QLockFile other(dir.filePath("opt/.zelvane-update.lock"));
    ASSERT_TRUE(other.tryLock(0));
    server.enqueue(ScriptedReply::http(404, "", "text/plain"));
    updater->checkForUpdates(false);
    EXPECT_TRUE(besideInstallation().contains(".zelvane-update-5678"));
    EXPECT_TRUE(waitFor([&] { return settled(*updater); }));
}

TEST_F(UpdaterInstallTest, QuittingWhileInstallingEndsAtOnceAndRemovesTheWorkFolder)
{
    // A new program that never answers its version check.
    QTemporaryDir scratch;
    testing::writeFakeInstallation(scratch.path(), "9.9.9");
    constexpr int kCheckSeconds = 60;
    testing::writeFile(scratch.filePath("bin/zelvane"),
                       "#!/bin/sh\nexec sleep " + QByteArray::number(kCheckSeconds) + "\n", true);
    testing::ZipWriter zip;
    zip.addTree(scratch.path(), "zelvane");
    const QByteArray archive = zip.finish();
    server.enqueue(ScriptedReply::http(200, archive, "application/zip"));
    auto updater = installingUpdater();
    updater->downloadAndInstall(release(archive));
    // Unpacked: the version check runs.
    ASSERT_TRUE(waitFor([&] {
        const QStringList work = besideInstallation().filter(".zelvane-update-");
        return updater->state().is(Kind::installing) && work.size() == 1 &&
               QFileInfo::exists(dir.filePath("opt/" + work[0] + "/extracted/zelvane/bin/zelvane"));
    })) << updater->state().text().toStdString();
    QElapsedTimer ending;
    ending.start();
    updater.reset();
    // Far from waiting for the check to end.
    EXPECT_LT(ending.elapsed(), kCheckSeconds * 1000 / 4);
    EXPECT_EQ(besideInstallation(), QStringList{"zelvane"});
    EXPECT_FALSE(quitCalled);
}

TEST_F(UpdaterInstallTest, RefusesBeforeDownloading)
{
    const auto updater = installingUpdater();
    ReleaseInfo offered = release("x");
    offered.sha256 = std::nullopt;
    EXPECT_EQ(install(*updater, offered).text(),
              "This release gives no SHA-256 checksum; it cannot be verified or installed.");
    offered.sha256 = "ABC123";
    EXPECT_TRUE(install(*updater, offered).text().startsWith("Malformed SHA-256 checksum"));
    offered = release("x");
    offered.downloadURL = QUrl("http://example.org/Zelvane.zip");
    EXPECT_TRUE(install(*updater, offered).text().startsWith("Update address refused"));

    // Another process of this installation is installing.
    QLockFile other(dir.filePath("opt/.zelvane-update.lock"));
    ASSERT_TRUE(other.tryLock(0));
    EXPECT_EQ(install(*updater, release("x")).text(), "Another update is already in progress.");
    // Still so when that process has been at it for an hour and the lock
    // file is all that tells it (no native lock, as on some file systems).
    QByteArray held;
    {
        QFile file(dir.filePath("opt/.zelvane-update.lock"));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        held = file.readAll();
    }
    other.unlock();
    testing::writeFile(dir.filePath("opt/.zelvane-update.lock"), held);
    {
        QFile aged(dir.filePath("opt/.zelvane-update.lock"));
        ASSERT_TRUE(aged.open(QIODevice::ReadWrite));
        ASSERT_TRUE(aged.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
    }
    EXPECT_EQ(install(*updater, release("x")).text(), "Another update is already in progress.");
    QFile::remove(dir.filePath("opt/.zelvane-update.lock"));

    // A program run from a build tree.
    UpdaterEnvironment env = environment();
    env.programPath = dir.filePath("build/src/app/zelvane");
    testing::writeFile(env.programPath, "#!/bin/sh\n", true);
    const auto fromBuildTree = makeUpdater(false, QString("1.0.0"), env);
    EXPECT_TRUE(install(*fromBuildTree, release("x")).text().contains("cannot be replaced"));
    EXPECT_EQ(server.connectionCount(), 0);
    EXPECT_FALSE(quitCalled);
}

TEST_F(UpdaterInstallTest, RefusesBadDownloads)
{
    UpdaterEnvironment env = environment();
    env.limits.archiveBytes = 100'000;
    const auto updater = installingUpdater(env);
    const QByteArray archive = testing::fakeReleaseArchive("9.9.9");

    server.enqueue(ScriptedReply::http(404, "<html>Not Found</html>", "text/html"));
    EXPECT_EQ(install(*updater, release(archive)), UpdateState::failed("The download failed (HTTP status 404)."));

    server.enqueue(ScriptedReply::http(200, archive + "tampered", "application/zip"));
    states.clear();
    const UpdateState mismatch = install(*updater, release(archive));
    EXPECT_TRUE(mismatch.text().startsWith("SHA-256 checksum mismatch")) << mismatch.text().toStdString();
    EXPECT_FALSE(states.contains(UpdateState::installing()));

    const QByteArray huge = QByteArray(200'000, 'z');
    server.enqueue(ScriptedReply::http(200, huge, "application/zip"));
    EXPECT_TRUE(install(*updater, release(huge)).text().contains("exceeds the limit"));

    const QByteArray older = testing::fakeReleaseArchive("9.9.8");
    server.enqueue(ScriptedReply::http(200, older, "application/zip"));
    EXPECT_TRUE(install(*updater, release(older)).text().startsWith("The downloaded program is not version 9.9.9"));

    EXPECT_FALSE(quitCalled);
    EXPECT_EQ(besideInstallation(), QStringList{"zelvane"});
    EXPECT_TRUE(testing::readAll(installation + "/bin/zelvane").contains("Zelvane 1.0.0"));
}

TEST_F(UpdaterInstallTest, RefusesChecksAndInstallsWhileOneRuns)
{
    server.enqueue({ScriptedReply::Action::stayMute, {}, 0});
    const auto updater = installingUpdater();
    updater->downloadAndInstall(release("x"));
    ASSERT_EQ(updater->state(), UpdateState::downloading(0.1));
    updater->checkForUpdates(false);
    updater->downloadAndInstall(release("y"));
    EXPECT_EQ(updater->state(), UpdateState::downloading(0.1));
    ASSERT_TRUE(waitFor([&] { return server.connectionCount() == 1; }));
    QTest::qWait(50);
    EXPECT_EQ(server.connectionCount(), 1);
}

}  // namespace
}  // namespace zelvane
