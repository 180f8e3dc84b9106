// The real editor with its window offscreen: it opens the file named on the
// command line, answers the HTTP API and OSC while the window is open, and
// ends cleanly on SIGTERM.

#include "core/support/TestPDF.h"
#include "support/TestApplication.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QUdpSocket>
#include <gtest/gtest.h>

#include <future>

namespace {

quint16 freeTcpPort()
{
    QTcpServer server;
    EXPECT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    return server.serverPort();
}

quint16 freeUdpPort()
{
    QUdpSocket socket;
    EXPECT_TRUE(socket.bind(QHostAddress::Any, 0));
    return socket.localPort();
}

// The whole reply to one request (head and body), empty while nothing answers.
QByteArray exchange(quint16 port, const QByteArray& method, const QByteArray& path, const QByteArray& body = {})
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(2000))
        return {};
    socket.write(method + " " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) +
                 "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
    QByteArray reply;
    while (socket.waitForReadyRead(15000))
        reply += socket.readAll();
    return reply + socket.readAll();
}

QByteArray bodyOf(const QByteArray& reply)
{
    const qsizetype body = reply.indexOf("\r\n\r\n");
    return body < 0 ? QByteArray() : reply.mid(body + 4);
}

// GET /v1/state, or an empty object while nothing answers.
QJsonObject state(quint16 port)
{
    return QJsonDocument::fromJson(bodyOf(exchange(port, "GET", "/v1/state"))).object();
}

// Asks again until the state satisfies the test or the time is up.
template <class Test>
QJsonObject waitForState(quint16 port, Test test, int milliseconds = 30000)
{
    const QDeadlineTimer deadline(milliseconds);
    QJsonObject last;
    while (!deadline.hasExpired()) {
        last = state(port);
        if (!last.isEmpty() && test(last))
            return last;
        QThread::msleep(50);
    }
    return last;
}

// The environment of an editor run offscreen with its settings under
// `home`, serving remote control on `apiPort` and OSC on `oscPort`.
QProcessEnvironment editorEnvironment(const QTemporaryDir& home, quint16 apiPort, quint16 oscPort)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("ZELVANE_API_PORT"), QString::number(apiPort));
    environment.insert(QStringLiteral("ZELVANE_OSC_IN_PORT"), QString::number(oscPort));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), home.filePath(QStringLiteral("cache")));
    return environment;
}

QByteArray oscMessage(const QByteArray& address)
{
    auto padded = [](QByteArray text) {
        text.append('\0');
        while (text.size() % 4 != 0)
            text.append('\0');
        return text;
    };
    return padded(address) + padded(",");
}

}  // namespace

TEST(EditorWindowE2ETest, OpensTheFileServesRemoteControlAndEndsOnSIGTERM)
{
    // The sockets below wait on the thread's event dispatcher.
    ASSERT_TRUE(zelvane::testing::ensureTestGuiApplication());
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QString plan = home.filePath(QStringLiteral("plan.pdf"));
    {
        QFile file(plan);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(zelvane::testing::makeTestPDF({{}, {}}));
    }
    const quint16 apiPort = freeTcpPort();
    const quint16 oscPort = freeUdpPort();

    QProcessEnvironment environment = editorEnvironment(home, apiPort, oscPort);
    QProcess editor;
    editor.setProcessEnvironment(environment);
    editor.start(QStringLiteral(ZELVANE_BINARY), {QStringLiteral("--lang"), QStringLiteral("en"), plan});
    ASSERT_TRUE(editor.waitForStarted(10000));

    const QJsonObject opened = waitForState(apiPort, [](const QJsonObject& s) {
        return s.value(QStringLiteral("title")).toString() == QLatin1String("plan");
    });
    ASSERT_EQ(opened.value(QStringLiteral("title")).toString(), QStringLiteral("plan"))
        << editor.readAllStandardError().constData();
    EXPECT_EQ(opened.value(QStringLiteral("sourceFormat")).toString(), QStringLiteral("PDF"));
    EXPECT_EQ(opened.value(QStringLiteral("pageCount")).toInt(), 2);
    EXPECT_EQ(opened.value(QStringLiteral("currentPageIndex")).toInt(), 1);
    EXPECT_EQ(opened.value(QStringLiteral("oscInPort")).toInt(), oscPort);
    EXPECT_TRUE(opened.value(QStringLiteral("statusMessage")).toString().startsWith(QStringLiteral("Opened: ")));

    QUdpSocket osc;
    const QByteArray next = oscMessage("/zelvane/page/next");
    const QJsonObject turned = waitForState(apiPort, [&](const QJsonObject& s) {
        if (s.value(QStringLiteral("currentPageIndex")).toInt() == 2)
            return true;
        // Sent again until seen: a datagram may be dropped under load.
        osc.writeDatagram(next, QHostAddress::LocalHost, oscPort);
        return false;
    });
    EXPECT_EQ(turned.value(QStringLiteral("currentPageIndex")).toInt(), 2);

    // The snapshot route draws the window as it stands, at twice its size.
    const QByteArray first = exchange(apiPort, "GET", "/v1/snapshot.png");
    ASSERT_TRUE(first.startsWith("HTTP/1.1 200")) << first.left(200).constData();
    const QImage image = QImage::fromData(bodyOf(first), "PNG");
    EXPECT_EQ(image.size(), QSize(2760, 1640));
    ASSERT_TRUE(exchange(apiPort, "POST", "/v1/page", "{}").startsWith("HTTP/1.1 200"));
    const QByteArray second = exchange(apiPort, "GET", "/v1/snapshot.png?view=grid");
    ASSERT_TRUE(second.startsWith("HTTP/1.1 200"));
    EXPECT_NE(bodyOf(second), bodyOf(first));

    QElapsedTimer sinceTerm;
    sinceTerm.start();
    editor.terminate();
    ASSERT_TRUE(editor.waitForFinished(10000));
    EXPECT_LT(sinceTerm.elapsed(), 1000);
    EXPECT_EQ(editor.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(editor.exitCode(), 0) << editor.readAllStandardError().constData();

    // Both servers let go of their ports.
    QTcpServer api;
    EXPECT_TRUE(api.listen(QHostAddress::LocalHost, apiPort));
    QUdpSocket oscAgain;
    EXPECT_TRUE(oscAgain.bind(QHostAddress::Any, oscPort));
}

TEST(EditorWindowE2ETest, HeadlessModesNeedNoDisplay)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_SESSION_TYPE"})
        environment.remove(QString::fromLatin1(name));
    QProcess help;
    help.setProcessEnvironment(environment);
    help.start(QStringLiteral(ZELVANE_BINARY), {QStringLiteral("--help")});
    ASSERT_TRUE(help.waitForFinished(30000));
    EXPECT_EQ(help.exitCode(), 0);
    EXPECT_TRUE(help.readAllStandardOutput().startsWith("Zelvane "));
}

TEST(EditorWindowE2ETest, LibraryMessagesGoToTheDebugLogNotStandardError)
{
    ASSERT_TRUE(zelvane::testing::ensureTestGuiApplication());
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QString broken = home.filePath(QStringLiteral("broken-font.pdf"));
    {
        QFile file(broken);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(zelvane::testing::makeBrokenFontTestPDF());
    }
    // Opens the file, draws the window once (the page with its broken font)
    // and ends; what the editor wrote on standard error.
    auto run = [&](bool debugLog) {
        const quint16 apiPort = freeTcpPort();
        QProcessEnvironment environment = editorEnvironment(home, apiPort, freeUdpPort());
        if (debugLog)
            environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("zelvane.library.debug=true"));
        QProcess editor;
        editor.setProcessEnvironment(environment);
        editor.start(QStringLiteral(ZELVANE_BINARY), {QStringLiteral("--lang"), QStringLiteral("en"), broken});
        EXPECT_TRUE(editor.waitForStarted(10000));
        const QJsonObject opened = waitForState(apiPort, [](const QJsonObject& s) {
            return s.value(QStringLiteral("title")).toString() == QLatin1String("broken-font");
        });
        EXPECT_EQ(opened.value(QStringLiteral("title")).toString(), QStringLiteral("broken-font"));
        EXPECT_TRUE(exchange(apiPort, "GET", "/v1/snapshot.png").startsWith("HTTP/1.1 200"));
        editor.terminate();
        EXPECT_TRUE(editor.waitForFinished(10000));
        return editor.readAllStandardError();
    };
    // poppler's line is there when asked for, as a debug message...
    const QByteArray logged = run(true);
    EXPECT_TRUE(logged.contains("zelvane.library: some font thing failed")) << logged.constData();
    // ...and nowhere otherwise.
    const QByteArray quiet = run(false);
    EXPECT_FALSE(quiet.contains("font thing")) << quiet.constData();
}

namespace {

// The editor's threads by name, as the system lists them.
QStringList threadNames(qint64 pid)
{
    QStringList names;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(task + QStringLiteral("/comm")));
        if (comm.open(QIODevice::ReadOnly))
            names.append(QString::fromUtf8(comm.readAll()).trimmed());
    }
    return names;
}

}  // namespace

TEST(EditorWindowE2ETest, QuittingDuringAnOpenEndsAtOnceAndTellsTheCaller)
{
    ASSERT_TRUE(zelvane::testing::ensureTestGuiApplication());
    const QString qpdf = QStandardPaths::findExecutable(QStringLiteral("qpdf"));
    ASSERT_FALSE(qpdf.isEmpty()) << "qpdf is one of the build's dependencies";
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    // 3,000 copies of one small page of text.
    const QString page = home.filePath(QStringLiteral("page.pdf"));
    const QString large = home.filePath(QStringLiteral("large.pdf"));
    {
        QFile file(page);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(zelvane::testing::makeManualTestPDF(1));
    }
    QStringList ones;
    for (int i = 0; i < 3000; ++i)
        ones.append(QStringLiteral("1"));
    QProcess pages;
    pages.start(qpdf, {QStringLiteral("--empty"), QStringLiteral("--pages"), page, ones.join(QLatin1Char(',')),
                       QStringLiteral("--"), large});
    ASSERT_TRUE(pages.waitForFinished(120000));
    ASSERT_EQ(pages.exitCode(), 0) << pages.readAllStandardError().constData();

    const quint16 apiPort = freeTcpPort();
    QProcessEnvironment environment = editorEnvironment(home, apiPort, freeUdpPort());
    QProcess editor;
    editor.setProcessEnvironment(environment);
    editor.start(QStringLiteral(ZELVANE_BINARY), {QStringLiteral("--lang"), QStringLiteral("en")});
    ASSERT_TRUE(editor.waitForStarted(10000));
    ASSERT_FALSE(waitForState(apiPort, [](const QJsonObject&) { return true; }).isEmpty())
        << editor.readAllStandardError().constData();

    // A remote open of the large file, waiting for its answer.
    auto opening = std::async(std::launch::async, [&] {
        return exchange(apiPort, "POST", "/v1/open",
                        QJsonDocument(QJsonObject{{QStringLiteral("path"), large}}).toJson(QJsonDocument::Compact));
    });
    // Its import is running.
    const QDeadlineTimer importing(60000);
    while (!threadNames(editor.processId()).contains(QStringLiteral("zelvane-import")) && !importing.hasExpired())
        QThread::msleep(10);
    ASSERT_TRUE(threadNames(editor.processId()).contains(QStringLiteral("zelvane-import")));

    QElapsedTimer sinceTerm;
    sinceTerm.start();
    editor.terminate();
    ASSERT_TRUE(editor.waitForFinished(60000));
    const qint64 ended = sinceTerm.elapsed();
    EXPECT_LT(ended, 1000);
    EXPECT_EQ(editor.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(editor.exitCode(), 0) << editor.readAllStandardError().constData();

    // The caller got an error reply before the connection closed.
    const QByteArray reply = opening.get();
    EXPECT_TRUE(reply.startsWith("HTTP/1.1 4")) << reply.left(200).constData();
    const QJsonObject body = QJsonDocument::fromJson(bodyOf(reply)).object();
    EXPECT_EQ(body.value(QStringLiteral("ok")), QJsonValue(false));
    EXPECT_EQ(body.value(QStringLiteral("error")).toString(), QStringLiteral("open cancelled: the editor is quitting"));
}
