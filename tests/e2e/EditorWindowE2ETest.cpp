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

// Starts the editor and waits until its API answers: the milliseconds
// that took here and now (what quitting is compared with), or -1.
qint64 startEditor(QProcess& editor, const QStringList& arguments, quint16 apiPort)
{
    QElapsedTimer starting;
    starting.start();
    editor.start(QStringLiteral(ZELVANE_BINARY), arguments);
    if (!editor.waitForStarted(10000))
        return -1;
    if (waitForState(apiPort, [](const QJsonObject&) { return true; }).isEmpty())
        return -1;
    return std::max<qint64>(starting.elapsed(), 1);
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
    const qint64 startedIn = startEditor(editor, {QStringLiteral("--lang"), QStringLiteral("en"), plan}, apiPort);
    ASSERT_GT(startedIn, 0) << editor.readAllStandardError().constData();

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
    const QByteArray added = exchange(apiPort, "POST", "/v1/page", "{}");
    ASSERT_TRUE(added.startsWith("HTTP/1.1 200")) << added.left(300).constData();
    const QByteArray second = exchange(apiPort, "GET", "/v1/snapshot.png?view=grid");
    ASSERT_TRUE(second.startsWith("HTTP/1.1 200"));
    EXPECT_NE(bodyOf(second), bodyOf(first));

    QElapsedTimer sinceTerm;
    sinceTerm.start();
    editor.terminate();
    ASSERT_TRUE(editor.waitForFinished(10000));
    // Ending costs about what starting does.
    EXPECT_LT(sinceTerm.elapsed(), startedIn * 5) << "started in " << startedIn << " ms";
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
    const qint64 startedIn = startEditor(editor, {QStringLiteral("--lang"), QStringLiteral("en")}, apiPort);
    ASSERT_GT(startedIn, 0) << editor.readAllStandardError().constData();

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
    // Far from the whole import (many seconds): about what starting costs.
    EXPECT_LT(ended, startedIn * 5) << "started in " << startedIn << " ms";
    EXPECT_EQ(editor.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(editor.exitCode(), 0) << editor.readAllStandardError().constData();

    // The caller got an error reply before the connection closed.
    const QByteArray reply = opening.get();
    EXPECT_TRUE(reply.startsWith("HTTP/1.1 4")) << reply.left(200).constData();
    const QJsonObject body = QJsonDocument::fromJson(bodyOf(reply)).object();
    EXPECT_EQ(body.value(QStringLiteral("ok")), QJsonValue(false));
    EXPECT_EQ(body.value(QStringLiteral("error")).toString(), QStringLiteral("open cancelled: the editor is quitting"));
}

namespace {

// Processor time the editor's threads of Qt's thread pools have spent, in
// clock ticks: the one that draws the canvas's PDF backdrops among them.
qint64 pooledThreadTicks(qint64 pid)
{
    qint64 most = 0;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(task + QStringLiteral("/comm")));
        QFile stat(tasks.filePath(task + QStringLiteral("/stat")));
        if (!comm.open(QIODevice::ReadOnly) || !stat.open(QIODevice::ReadOnly))
            continue;
        if (!comm.readAll().startsWith("Thread (pooled)"))
            continue;
        // After the name in parentheses: state, then utime and stime as the
        // 12th and 13th fields.
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 12)
            most = std::max(most, fields[11].toLongLong() + fields[12].toLongLong());
    }
    return most;
}

// One annotation whose appearance draws a form twice, which draws the next
// twice, 30 levels deep (2^30 drawings, in about 6 KB), over a line of text.
QByteArray appearanceNest()
{
    constexpr int kLevels = 30;
    const QByteArray text = "BT /H 14 Tf 20 150 Td (Forms drawing forms) Tj ET";
    QList<QByteArray> objects{"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                              "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Contents 4 0 R /Resources << "
                              "/Font << /H " + QByteArray::number(5 + kLevels) + " 0 R >> >> /Annots [<< /Type "
                              "/Annot /Subtype /Stamp /Rect [0 0 300 200] /AP << /N 5 0 R >> >>] >>",
                              "<< /Length " + QByteArray::number(text.size()) + " >>\nstream\n" + text +
                                  "\nendstream"};
    for (int level = 0; level < kLevels; ++level) {
        const QByteArray content = level + 1 < kLevels ? "0 0 1 1 re f /X Do /X Do" : "0 0 1 1 re f";
        const QByteArray resources =
            level + 1 < kLevels ? "<< /XObject << /X " + QByteArray::number(6 + level) + " 0 R >> >>" : "<< >>";
        objects.append("<< /Type /XObject /Subtype /Form /BBox [0 0 300 200] /Resources " + resources +
                       " /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content + "\nendstream");
    }
    objects.append("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
    return zelvane::testing::makeRawTestPDF(objects);
}

// A page without text that fills itself 600,000 times (within the limits of
// work a page may ask for): its text is read at once, drawing it on screen
// takes about a minute.
QByteArray slowlyDrawnPage()
{
    QByteArray fills;
    for (int i = 0; i < 600000; ++i)
        fills += "0 0 612 792 re f\n";
    const QByteArray packed = qCompress(fills, 9).mid(4);
    return zelvane::testing::makeRawTestPDF(
        {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
         "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R >>",
         "<< /Length " + QByteArray::number(packed.size()) + " /Filter /FlateDecode >>\nstream\n" + packed +
             "\nendstream"});
}

QByteArray openRequest(const QString& path)
{
    return QJsonDocument(QJsonObject{{QStringLiteral("path"), path}}).toJson(QJsonDocument::Compact);
}

}  // namespace

TEST(EditorWindowE2ETest, AFileDrawnWithoutEndNeitherHoldsUpTheNextOpenNorTheQuit)
{
    ASSERT_TRUE(zelvane::testing::ensureTestGuiApplication());
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const auto write = [&](const QString& name, const QByteArray& data) {
        QFile file(home.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
        return file.fileName();
    };
    const QString nest = write(QStringLiteral("nest.pdf"), appearanceNest());
    const QString slow = write(QStringLiteral("slow.pdf"), slowlyDrawnPage());
    const QString small = write(QStringLiteral("small.pdf"), zelvane::testing::makeFilledTestPDF(200, 100));

    const quint16 apiPort = freeTcpPort();
    QProcess editor;
    editor.setProcessEnvironment(editorEnvironment(home, apiPort, freeUdpPort()));
    const qint64 startedIn = startEditor(editor, {QStringLiteral("--lang"), QStringLiteral("en")}, apiPort);
    ASSERT_GT(startedIn, 0) << editor.readAllStandardError().constData();

    // The nest is refused at once, and the open after it is answered.
    QElapsedTimer timer;
    timer.start();
    const QByteArray refused = exchange(apiPort, "POST", "/v1/open", openRequest(nest));
    const qint64 refusedIn = timer.elapsed();
    EXPECT_TRUE(refused.startsWith("HTTP/1.1 4")) << refused.left(200).constData();
    EXPECT_TRUE(QJsonDocument::fromJson(bodyOf(refused))
                    .object()
                    .value(QStringLiteral("error"))
                    .toString()
                    .contains(QStringLiteral("too large to open")))
        << bodyOf(refused).constData();
    EXPECT_LT(refusedIn, startedIn * 5) << "started in " << startedIn << " ms";
    const QByteArray opened = exchange(apiPort, "POST", "/v1/open", openRequest(small));
    EXPECT_TRUE(opened.startsWith("HTTP/1.1 200")) << opened.left(200).constData();
    EXPECT_EQ(state(apiPort).value(QStringLiteral("title")).toString(), QStringLiteral("small"));

    // The slow page lands (its text is read at once) and its backdrop is
    // being drawn for the window: SIGTERM ends the program all the same.
    const QByteArray landed = exchange(apiPort, "POST", "/v1/open", openRequest(slow));
    ASSERT_TRUE(landed.startsWith("HTTP/1.1 200")) << landed.left(200).constData();
    const QDeadlineTimer drawing(60000);
    while (pooledThreadTicks(editor.processId()) < 100 && !drawing.hasExpired())
        QThread::msleep(20);
    ASSERT_GE(pooledThreadTicks(editor.processId()), 100) << "the backdrop was never drawn";
    timer.restart();
    editor.terminate();
    ASSERT_TRUE(editor.waitForFinished(120000));
    const qint64 ended = timer.elapsed();
    // Far from the drawing's end (about a minute): about what starting costs.
    EXPECT_LT(ended, startedIn * 5) << "started in " << startedIn << " ms";
    EXPECT_EQ(editor.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(editor.exitCode(), 0) << editor.readAllStandardError().constData();
}
