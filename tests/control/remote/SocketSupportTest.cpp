#include "remote/SocketSupport.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

namespace zelvane::remote {
namespace {

using namespace std::chrono_literals;

struct SocketPair {
    UniqueFd a;
    UniqueFd b;
    SocketPair()
    {
        int fds[2] = {-1, -1};
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds), 0);
        a.reset(fds[0]);
        b.reset(fds[1]);
    }
};

TEST(SocketSupportTest, AWakeSignalStaysRaised)
{
    WakeSignal wake;
    ASSERT_TRUE(wake.valid());
    EXPECT_FALSE(wake.isRaised());
    EXPECT_FALSE(wake.waitRaised(10ms));
    wake.raise();
    wake.raise();
    EXPECT_TRUE(wake.isRaised());
    EXPECT_TRUE(wake.waitRaised(0ms));
    EXPECT_TRUE(wake.isRaised());
}

TEST(SocketSupportTest, WaitingEndsOnDataOnTheSignalOrAtTheDeadline)
{
    SocketPair pair;
    WakeSignal wake;
    EXPECT_EQ(waitFor(pair.a.get(), POLLIN, wake, Clock::now() + 20ms), WaitResult::timedOut);
    EXPECT_EQ(waitFor(pair.a.get(), POLLOUT, wake, std::nullopt), WaitResult::ready);
    ASSERT_EQ(::write(pair.b.get(), "x", 1), 1);
    EXPECT_EQ(waitFor(pair.a.get(), POLLIN, wake, std::nullopt), WaitResult::ready);

    // A thread blocked without a deadline is woken from another thread.
    SocketPair idle;
    std::thread raiser([&] {
        std::this_thread::sleep_for(20ms);
        wake.raise();
    });
    EXPECT_EQ(waitFor(idle.a.get(), POLLIN, wake, std::nullopt), WaitResult::woken);
    raiser.join();
    // Raised wins over ready.
    EXPECT_EQ(waitFor(pair.a.get(), POLLIN, wake, std::nullopt), WaitResult::woken);
}

TEST(SocketSupportTest, SendAllWritesEverythingInPieces)
{
    SocketPair pair;
    WakeSignal wake;
    QByteArray bytes(8 * 1024 * 1024, '\0');
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i % 251);
    QByteArray received;
    std::thread reader([&] {
        char chunk[4096];
        while (received.size() < bytes.size()) {
            if (waitFor(pair.b.get(), POLLIN, wake, Clock::now() + 30s) != WaitResult::ready)
                return;
            const ssize_t count = ::read(pair.b.get(), chunk, sizeof chunk);
            if (count > 0)
                received.append(chunk, count);
        }
    });
    EXPECT_EQ(sendAll(pair.a.get(), bytes, wake, Clock::now() + 30s), SendResult::sent);
    reader.join();
    EXPECT_TRUE(received == bytes);
}

TEST(SocketSupportTest, SendAllGivesUpAtTheDeadlineOnTheSignalOrWhenThePeerIsGone)
{
    const QByteArray bytes(8 * 1024 * 1024, 'x');
    {
        SocketPair pair;  // nobody reads
        WakeSignal wake;
        EXPECT_EQ(sendAll(pair.a.get(), bytes, wake, Clock::now() + 50ms), SendResult::timedOut);
        wake.raise();
        EXPECT_EQ(sendAll(pair.a.get(), bytes, wake, Clock::now() + 30s), SendResult::woken);
    }
    {
        SocketPair pair;
        WakeSignal wake;
        pair.b.reset();
        // No SIGPIPE: this process goes on.
        EXPECT_EQ(sendAll(pair.a.get(), bytes, wake, Clock::now() + 30s), SendResult::failed);
    }
}

TEST(SocketSupportTest, UniqueFdClosesAndMoves)
{
    int fds[2] = {-1, -1};
    ASSERT_EQ(::pipe(fds), 0);
    UniqueFd first(fds[0]);
    UniqueFd second(std::move(first));
    EXPECT_FALSE(first.valid());
    EXPECT_EQ(second.get(), fds[0]);
    second.reset();
    EXPECT_EQ(::close(fds[0]), -1);  // closed already
    ::close(fds[1]);
    EXPECT_FALSE(errorText(EPIPE).isEmpty());
}

}  // namespace
}  // namespace zelvane::remote
