#include "osc/OSCUDPServer.h"

#include "control/remote/RemoteTestSupport.h"

#include <gtest/gtest.h>

#include <QObject>
#include <QThread>
#include <QtEndian>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <mutex>
#include <thread>

namespace zelvane {
namespace {

using namespace remotetest;
using OSCCodec::Message;
using OSCCodec::Value;

// Messages as the handler saw them, with the thread it ran on.
struct Received {
    std::mutex mutex;
    QList<Message> messages;
    QList<QThread*> threads;

    OSCUDPServer::Handler handler()
    {
        return [this](const Message& message) {
            const std::lock_guard lock(mutex);
            messages.append(message);
            threads.append(QThread::currentThread());
        };
    }
    qsizetype count()
    {
        const std::lock_guard lock(mutex);
        return messages.size();
    }
};

bool sendDatagram(quint16 port, const QByteArray& bytes)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const ssize_t sent = ::sendto(fd, bytes.constData(), size_t(bytes.size()), 0,
                                  reinterpret_cast<const sockaddr*>(&address), sizeof address);
    ::close(fd);
    return sent == bytes.size();
}

QByteArray bundleOf(const QList<QByteArray>& elements)
{
    QByteArray out("#bundle\0\0\0\0\0\0\0\0\1", 16);
    for (const QByteArray& element : elements) {
        char size[4];
        qToBigEndian(quint32(element.size()), size);
        out += QByteArray(size, 4) + element;
    }
    return out;
}

Message plain(const char* address, QList<Value> arguments = {})
{
    return Message{QString::fromLatin1(address), std::move(arguments)};
}

class OSCUDPServerTest : public ::testing::Test {
protected:
    void SetUp() override { ensureApplication(); }
    QObject context;  // lives on the main thread
    Received received;
};

TEST_F(OSCUDPServerTest, BindsAPortTheSystemChooses)
{
    OSCUDPServer server(0, received.handler());
    EXPECT_EQ(server.port(), 0);
    EXPECT_FALSE(server.isRunning());
    ASSERT_TRUE(server.start()) << server.lastError().toStdString();
    EXPECT_NE(server.port(), 0);
    EXPECT_TRUE(server.isRunning());
    EXPECT_GE(server.socketDescriptor(), 0);
    EXPECT_TRUE(server.lastError().isEmpty());
    const quint16 port = server.port();
    EXPECT_TRUE(server.start());  // running already
    EXPECT_EQ(server.port(), port);
}

TEST_F(OSCUDPServerTest, HandsEachMessageToTheMainThreadInOrder)
{
    OSCUDPServer server(0, &context, received.handler());
    ASSERT_TRUE(server.start());
    ASSERT_TRUE(OSCUDPServer::send(plain("/zelvane/page", {Value::int32(3)}), QStringLiteral("127.0.0.1"), server.port()));
    ASSERT_TRUE(sendDatagram(server.port(), bundleOf({OSCCodec::encode(plain("/zelvane/page/next")),
                                                      OSCCodec::encode(plain("/zelvane/undo"))})));
    ASSERT_TRUE(processEventsUntil([&] { return received.count() == 3; }));
    EXPECT_EQ(received.messages,
              (QList<Message>{plain("/zelvane/page", {Value::int32(3)}), plain("/zelvane/page/next"), plain("/zelvane/undo")}));
    for (QThread* thread : received.threads)
        EXPECT_EQ(thread, QThread::currentThread());
}

TEST_F(OSCUDPServerTest, AFloodIsBoundedAndCounted)
{
    OSCUDPServer server(0, &context, received.handler());
    ASSERT_TRUE(server.start());
    // The main thread looks at no event while the datagrams arrive, as when
    // it is busy; the receiver keeps a bounded queue and drops the rest.
    // The datagrams go in batches, each taken by the receiver before the
    // next is sent, so that the system's own buffer never overflows however
    // late the receiver runs (the system may still drop datagrams of its
    // own, which only adds to the ones that never arrive).
    constexpr int kMost = 3000;
    constexpr int kBatch = 64;
    const QByteArray sign = OSCCodec::encode(plain("/zelvane/sign", {Value::string(QStringLiteral("Flood"))}));
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    const auto waiting = [&] {
        int next = 0;
        return ::ioctl(server.socketDescriptor(), FIONREAD, &next) == 0 && next > 0;
    };
    int sent = 0;
    while (server.droppedMessages() == 0 && sent < kMost && std::chrono::steady_clock::now() < deadline) {
        for (int i = 0; i < kBatch; ++i, ++sent)
            ASSERT_TRUE(sendDatagram(server.port(), sign));
        // Until the receiver has taken every datagram the system kept.
        while (waiting() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(1ms);
    }
    EXPECT_GT(server.droppedMessages(), 0u);
    ASSERT_TRUE(processEventsUntil([&] { return received.count() > 0; }));
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents();
    // The last datagram taken may have been decoded after the wait ended.
    EXPECT_LE(received.count(), OSCMessageQueue::kCapacity + 1);
    EXPECT_LE(received.count() + qsizetype(server.droppedMessages()), sent);
}

TEST_F(OSCUDPServerTest, WithoutAContextTheHandlerRunsOnTheReceiveThread)
{
    OSCUDPServer server(0, received.handler());
    ASSERT_TRUE(server.start());
    ASSERT_TRUE(OSCUDPServer::send(plain("/x"), QStringLiteral("127.0.0.1"), server.port()));
    ASSERT_TRUE(processEventsUntil([&] { return received.count() == 1; }));
    EXPECT_NE(received.threads.first(), QThread::currentThread());
}

TEST_F(OSCUDPServerTest, OnlyTheFirst4096BytesOfADatagramAreRead)
{
    OSCUDPServer server(0, &context, received.handler());
    ASSERT_TRUE(server.start());
    // "/a" and ",s" take 8 bytes; the string has no terminator within 4096.
    QByteArray datagram = QByteArray("/a\0\0,s\0\0", 8) + QByteArray(4992, 'x');
    ASSERT_EQ(datagram.size(), 5000);
    ASSERT_TRUE(sendDatagram(server.port(), datagram));
    ASSERT_TRUE(processEventsUntil([&] { return received.count() == 1; }));
    EXPECT_EQ(received.messages[0].arguments, QList<Value>{Value::string(QString(4096 - 8, u'x'))});
}

TEST_F(OSCUDPServerTest, EmptyAndMalformedDatagramsAreSkipped)
{
    OSCUDPServer server(0, &context, received.handler());
    ASSERT_TRUE(server.start());
    ASSERT_TRUE(sendDatagram(server.port(), QByteArray()));
    ASSERT_TRUE(sendDatagram(server.port(), QByteArray("garbage")));
    ASSERT_TRUE(sendDatagram(server.port(), QByteArray("#bundle\0\0\0\0\0\0\0\0\0\xff\xff\xff\xff", 20)));
    ASSERT_TRUE(OSCUDPServer::send(plain("/after"), QStringLiteral("127.0.0.1"), server.port()));
    ASSERT_TRUE(processEventsUntil([&] { return received.count() == 1; }));
    EXPECT_EQ(received.messages[0].address, QStringLiteral("/after"));
    EXPECT_TRUE(server.isRunning());
}

TEST_F(OSCUDPServerTest, StopWakesTheReceiverJoinsItAndFreesThePort)
{
    auto server = std::make_unique<OSCUDPServer>(0, &context, received.handler());
    ASSERT_TRUE(server->start());
    const quint16 port = server->port();
    const auto before = std::chrono::steady_clock::now();
    server->stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(10));
    EXPECT_FALSE(server->isRunning());
    EXPECT_EQ(server->port(), port);
    EXPECT_EQ(server->socketDescriptor(), -1);
    server->stop();  // twice is harmless

    // The port is free again, even for a socket without SO_REUSEADDR.
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    EXPECT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
    server.reset();
}

TEST_F(OSCUDPServerTest, ABindFailureIsReportedAndLeavesTheServerStopped)
{
    // A socket without SO_REUSEADDR holds the port.
    const int holder = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    ASSERT_EQ(::bind(holder, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    socklen_t length = sizeof address;
    ::getsockname(holder, reinterpret_cast<sockaddr*>(&address), &length);
    const quint16 port = ntohs(address.sin_port);

    OSCUDPServer server(port, received.handler());
    EXPECT_FALSE(server.start());
    EXPECT_FALSE(server.isRunning());
    EXPECT_TRUE(server.lastError().contains(QString::number(port))) << server.lastError().toStdString();
    ::close(holder);
}

TEST_F(OSCUDPServerTest, ANewReceiverBindsTheSamePortBeforeTheOldOneStops)
{
    Received later;
    OSCUDPServer old(0, &context, received.handler());
    ASSERT_TRUE(old.start());
    OSCUDPServer fresh(old.port(), &context, later.handler());
    ASSERT_TRUE(fresh.start()) << fresh.lastError().toStdString();
    EXPECT_EQ(fresh.port(), old.port());
    old.stop();
    ASSERT_TRUE(OSCUDPServer::send(plain("/zelvane/redo"), QStringLiteral("127.0.0.1"), fresh.port()));
    ASSERT_TRUE(processEventsUntil([&] { return later.count() == 1; }));
    EXPECT_EQ(received.count(), 0);
}

TEST_F(OSCUDPServerTest, AReceiveErrorThatEndsTheLoopClearsRunning)
{
    OSCUDPServer server(0, &context, received.handler());
    ASSERT_TRUE(server.start());
    // The socket is swapped for something that is no socket: receiving fails
    // with ENOTSOCK, the loop cannot go on, and says so.
    const int notASocket = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(::dup2(notASocket, server.socketDescriptor()), 0);
    ::close(notASocket);
    // A receiver already waiting in poll() still waits on the old socket,
    // which stays bound until then: a datagram wakes it.
    ASSERT_TRUE(OSCUDPServer::send(plain("/wake"), QStringLiteral("127.0.0.1"), server.port()));
    ASSERT_TRUE(processEventsUntil([&] { return !server.isRunning(); }));
    EXPECT_TRUE(server.lastError().startsWith(QStringLiteral("OSC receive failed"))) << server.lastError().toStdString();
    // A new start binds a fresh socket.
    ASSERT_TRUE(server.start());
    ASSERT_TRUE(OSCUDPServer::send(plain("/again"), QStringLiteral("127.0.0.1"), server.port()));
    ASSERT_TRUE(processEventsUntil([&] { return received.count() == 1; }));
}

TEST_F(OSCUDPServerTest, SendNeedsADottedAddress)
{
    EXPECT_FALSE(OSCUDPServer::send(plain("/x"), QStringLiteral("localhost"), 9));
    EXPECT_FALSE(OSCUDPServer::send(plain("/x"), QStringLiteral("300.1.1.1"), 9));
}

TEST_F(OSCUDPServerTest, QueuedMessagesAreDroppedWhenTheContextGoesAway)
{
    auto owner = std::make_unique<QObject>();
    OSCUDPServer server(0, owner.get(), received.handler());
    ASSERT_TRUE(server.start());
    ASSERT_TRUE(OSCUDPServer::send(plain("/x"), QStringLiteral("127.0.0.1"), server.port()));
    // Whether or not the call was queued before the receiver stopped, it
    // never runs once its context is gone.
    server.stop();
    owner.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(received.count(), 0);
}

}  // namespace
}  // namespace zelvane
