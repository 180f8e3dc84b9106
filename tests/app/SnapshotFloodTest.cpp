// A flood of snapshot requests neither freezes the main thread nor gets
// "snapshot failed" for renders that were merely busy.

#include "Snapshot.h"
#include "VectorController.h"
#include "remote/RemoteControl.h"
#include "remote/SnapshotQueue.h"
#include "support/EventLoopStallProbe.h"
#include "support/TestWidgetApplication.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>

using namespace zelvane;

namespace {

struct Reply {
    int status = 0;
    QByteArray body;
};

// One request on a connection of its own; status 0 when nothing answered.
Reply fetch(quint16 port, const QByteArray& path)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(10000))
        return {};
    socket.write("GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) + "\r\n\r\n");
    QByteArray raw;
    while (socket.waitForReadyRead(60000))
        raw += socket.readAll();
    raw += socket.readAll();
    const qsizetype head = raw.indexOf("\r\n\r\n");
    if (!raw.startsWith("HTTP/1.1 ") || head < 0)
        return {};
    return {raw.mid(9, 3).toInt(), raw.mid(head + 4)};
}

}  // namespace

TEST(SnapshotFloodTest, FiftySnapshotsAtOnceKeepTheMainThreadAnsweringAndEachGetsAPNGOrBusy)
{
    ASSERT_TRUE(zelvane::testing::ensureTestWidgetApplication());
    VectorController controller(false, false);
    controller.addTextBlock(QStringLiteral("Flood"));
    RemoteControl remote(controller);
    remote.setSnapshotRenderer(Snapshot::renderForRemoteControl);
    ASSERT_TRUE(remote.startHTTPServer(0));
    const quint16 port = remote.httpPort();

    // What one snapshot alone costs here and now.
    QElapsedTimer single;
    single.start();
    std::atomic<bool> aloneDone{false};
    std::thread alone([&] {
        EXPECT_EQ(fetch(port, "/v1/snapshot.png").status, 200);
        aloneDone = true;
    });
    const QDeadlineTimer aloneDeadline(std::chrono::minutes(1));
    while (!aloneDone.load() && !aloneDeadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    alone.join();
    const qint64 oneSnapshot = single.elapsed();

    constexpr int kRequests = 50;
    std::vector<Reply> snapshots(kRequests);
    std::atomic<int> finished{0};
    std::atomic<qint64> slowestPages{0};
    std::atomic<int> pagesAnswered{0};
    std::atomic<int> pagesFailed{0};
    std::atomic<bool> pagesDone{false};

    zelvane::testing::EventLoopStallProbe probe;
    probe.start();
    std::vector<std::thread> clients;
    for (int i = 0; i < kRequests; ++i) {
        clients.emplace_back([&, i] {
            snapshots[i] = fetch(port, "/v1/snapshot.png");
            ++finished;
        });
    }
    // Meanwhile a request the main thread answers, again and again.
    std::thread pages([&] {
        while (finished.load() < kRequests) {
            QElapsedTimer timer;
            timer.start();
            const Reply reply = fetch(port, "/v1/pages");
            const qint64 took = timer.elapsed();
            if (reply.status == 200 && reply.body.contains("\"pages\""))
                ++pagesAnswered;
            else
                ++pagesFailed;
            slowestPages = std::max(slowestPages.load(), took);
        }
        pagesDone = true;
    });
    const QDeadlineTimer deadline(std::chrono::minutes(3));
    while ((finished.load() < kRequests || !pagesDone.load()) && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    probe.stop();
    EXPECT_EQ(finished.load(), kRequests) << "the flood was not answered in time";
    for (std::thread& client : clients)
        client.join();
    pages.join();

    int rendered = 0;
    int busy = 0;
    for (const Reply& reply : snapshots) {
        if (reply.status == 200) {
            EXPECT_TRUE(reply.body.startsWith("\x89PNG")) << "a 200 without a PNG";
            ++rendered;
        } else {
            EXPECT_EQ(reply.status, 503) << reply.body.constData();
            EXPECT_EQ(QJsonDocument::fromJson(reply.body).object().value("error").toString(),
                      QString::fromLatin1(SnapshotQueue::kBusyMessage));
            ++busy;
        }
    }
    EXPECT_GE(rendered, 1);
    EXPECT_LE(rendered, kRequests);
    EXPECT_GT(pagesAnswered.load(), 0);
    EXPECT_EQ(pagesFailed.load(), 0);
    // The loop's longest pause, time spent waiting for a processor taken
    // off: one render's drawing (about 100 ms on an idle machine, up to a
    // few times that on a busy one, which slows the snapshot taken alone
    // above as much), never the whole flood (seconds).
    EXPECT_LT(probe.longestStallMs(), std::max<qint64>(1000 * zelvane::testing::kSlowBuildFactor, oneSnapshot * 4))
        << "one snapshot alone takes " << oneSnapshot << " ms";
    std::printf("[ figures ] %d rendered, %d busy; longest main-thread stall %lld ms; slowest GET /v1/pages %lld ms\n",
                rendered, busy, qint64(probe.longestStallMs()), qint64(slowestPages.load()));
}
