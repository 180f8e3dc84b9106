#include "osc/OSCMessageQueue.h"

#include "control/remote/RemoteTestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QObject>

namespace zelvane {
namespace {

using OSCCodec::Message;
using OSCCodec::Value;

Message message(const char* address, const QString& argument = {})
{
    Message made{QString::fromLatin1(address), {}};
    if (!argument.isNull())
        made.arguments.append(Value::string(argument));
    return made;
}

class OSCMessageQueueTest : public ::testing::Test {
protected:
    void SetUp() override { remotetest::ensureApplication(); }
    void runQueued()
    {
        for (int i = 0; i < 100 && queue->pendingCount() > 0; ++i)
            QCoreApplication::processEvents();
    }

    QObject context;
    QList<Message> handled;
    std::shared_ptr<OSCMessageQueue> queue =
        OSCMessageQueue::create(&context, [this](const Message& received) { handled.append(received); });
};

TEST_F(OSCMessageQueueTest, MessagesBeyondTheCapacityAreDroppedAndCounted)
{
    for (int i = 0; i < 1000; ++i)
        queue->push(message("/zelvane/page", QString::number(i)));
    EXPECT_EQ(queue->pendingCount(), OSCMessageQueue::kCapacity);
    EXPECT_EQ(queue->droppedCount(), quint64(1000 - OSCMessageQueue::kCapacity));
    runQueued();
    ASSERT_EQ(handled.size(), OSCMessageQueue::kCapacity);
    EXPECT_EQ(handled.front(), message("/zelvane/page", QStringLiteral("0")));
    EXPECT_EQ(handled.back(), message("/zelvane/page", QString::number(OSCMessageQueue::kCapacity - 1)));
    // Room again once drained.
    queue->push(message("/zelvane/undo"));
    runQueued();
    EXPECT_EQ(handled.back(), message("/zelvane/undo"));
}

TEST_F(OSCMessageQueueTest, ANewerOpenReplacesAWaitingOne)
{
    for (int i = 0; i < 855; ++i)
        queue->push(message("/ZELVANE/open", QStringLiteral("/tmp/%1.pdf").arg(i)));
    queue->push(message("/zelvane/page/next"));
    queue->push(message("/zelvane/open", QStringLiteral("/tmp/last.pdf")));
    runQueued();
    EXPECT_EQ(handled, (QList<Message>{message("/zelvane/page/next"), message("/zelvane/open", "/tmp/last.pdf")}));
}

TEST_F(OSCMessageQueueTest, ExportsDoNotPileUp)
{
    for (int round = 0; round < 100; ++round) {
        queue->push(message("/zelvane/export", QStringLiteral("/tmp/a.pdf")));
        queue->push(message("/zelvane/export", QStringLiteral("/tmp/b.svg")));
    }
    for (int i = 0; i < 10; ++i)
        queue->push(message("/zelvane/export", QStringLiteral("/tmp/%1.png").arg(i)));
    EXPECT_EQ(queue->pendingCount(), OSCMessageQueue::kMaxPendingExports);
    runQueued();
    ASSERT_EQ(handled.size(), OSCMessageQueue::kMaxPendingExports);
    EXPECT_EQ(handled[0], message("/zelvane/export", "/tmp/a.pdf"));
    EXPECT_EQ(handled[1], message("/zelvane/export", "/tmp/b.svg"));
}

TEST_F(OSCMessageQueueTest, OtherWorkComesBetweenBatches)
{
    for (int i = 0; i < 200; ++i)
        queue->push(message("/zelvane/page/next"));
    bool otherRan = false;
    QMetaObject::invokeMethod(&context, [&] { otherRan = true; }, Qt::QueuedConnection);
    // The first visit runs one batch; the other call is next in line.
    QCoreApplication::processEvents();
    EXPECT_TRUE(otherRan);
    EXPECT_LT(handled.size(), 200);
    runQueued();
    EXPECT_EQ(handled.size(), 200);
}

}  // namespace
}  // namespace zelvane
