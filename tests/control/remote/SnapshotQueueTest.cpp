// The queue of snapshot renders: one at a time on the main thread, a fixed
// number waiting behind it, and the rest told at once to try again.

#include "control/ControllerTestSupport.h"
#include "remote/SnapshotQueue.h"
#include "control/remote/RemoteTestSupport.h"

#include <gtest/gtest.h>

using namespace zelvane;
using namespace std::chrono_literals;

namespace {

class SnapshotQueueTest : public zelvane::testing::ControllerTest {
protected:
    void SetUp() override
    {
        ControllerTest::SetUp();
        controller = makeController();
        queue = std::make_unique<SnapshotQueue>(*controller);
    }

    std::unique_ptr<VectorController> controller;
    std::unique_ptr<SnapshotQueue> queue;
};

}  // namespace

TEST_F(SnapshotQueueTest, WhileOneRendersExactlyItsLimitWaitsAndTheNextIsToldBusy)
{
    QList<HttpReply> asked;
    QStringList rendered;
    const SnapshotQueue::Renderer renderer = [&](const VectorController&, const QString& query) {
        rendered.append(query);
        return std::optional<QByteArray>(query.toUtf8());
    };
    // The first render holds the main thread while more requests come in.
    const SnapshotQueue::Renderer blocking = [&](const VectorController& from, const QString& query) {
        for (int i = 0; i < SnapshotQueue::kMaxWaiting + 1; ++i)
            asked.append(queue->request(renderer, QStringLiteral("w%1").arg(i)));
        EXPECT_TRUE(queue->isRendering());
        EXPECT_EQ(queue->waiting(), SnapshotQueue::kMaxWaiting);
        return renderer(from, query);
    };
    EXPECT_EQ(SnapshotQueue::kMaxWaiting, 4);
    const HttpReply first = queue->request(blocking, QStringLiteral("first"));
    ASSERT_TRUE(first.later);
    // Nothing renders inside the request itself.
    EXPECT_TRUE(rendered.isEmpty());
    ASSERT_TRUE(remotetest::processEventsUntil([&] { return rendered.size() == 1 + SnapshotQueue::kMaxWaiting; }));

    ASSERT_EQ(asked.size(), SnapshotQueue::kMaxWaiting + 1);
    for (int i = 0; i < SnapshotQueue::kMaxWaiting; ++i) {
        ASSERT_TRUE(asked[i].later) << i;
        const std::optional<HttpReply> reply = asked[i].later->waitFor(0ms);
        ASSERT_TRUE(reply) << i;
        EXPECT_EQ(reply->body, QStringLiteral("w%1").arg(i).toUtf8());
        EXPECT_EQ(reply->contentType, QByteArray("image/png"));
    }
    const HttpReply& busy = asked.last();
    EXPECT_FALSE(busy.later);
    EXPECT_EQ(busy.status, 503);
    EXPECT_TRUE(busy.body.contains(SnapshotQueue::kBusyMessage));
    EXPECT_EQ(rendered.first(), QStringLiteral("first"));
    EXPECT_EQ(queue->waiting(), 0);
    // Room again once they are done.
    EXPECT_TRUE(queue->request(renderer, QStringLiteral("again")).later);
}
