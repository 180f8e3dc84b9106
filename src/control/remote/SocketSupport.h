#pragma once

// Small POSIX socket tools shared by the OSC receiver and the HTTP server:
// an owned descriptor, a wake-up signal for threads blocked in poll(), and
// waiting and sending with deadlines.

#include <QByteArrayView>
#include <QString>
#include <chrono>
#include <optional>
#include <thread>

namespace zelvane::remote {

// Joins a server's thread, or lets it go when the thread is stopping itself
// (its own references then close its sockets when it returns).
void joinUnlessCurrent(std::thread& thread);

using Clock = std::chrono::steady_clock;

// Owns one file descriptor and closes it when destroyed or reset.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : m_fd(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    void reset(int fd = -1);

private:
    int m_fd = -1;
};

// A pipe whose reading end turns readable for good once raise() is called,
// so that a thread waiting in waitFor() is woken from another thread.
class WakeSignal {
public:
    WakeSignal();
    bool valid() const { return m_read.valid() && m_write.valid(); }
    // Safe from any thread, any number of times.
    void raise();
    bool isRaised() const;
    // Waits until raised or until `timeout` has passed; true when raised.
    bool waitRaised(std::chrono::milliseconds timeout) const;
    int fd() const { return m_read.get(); }

private:
    UniqueFd m_read;
    UniqueFd m_write;
};

enum class WaitResult { ready, woken, timedOut, failed };

// Waits until `fd` is ready for `events` (POLLIN, POLLOUT), the wake signal is
// raised or the deadline passes (no deadline: no limit). A raised signal wins
// over a ready socket.
WaitResult waitFor(int fd, short events, const WakeSignal& wake, std::optional<Clock::time_point> deadline);

enum class SendResult { sent, woken, timedOut, failed };

// Writes every byte on a non-blocking socket, however few the socket takes at
// a time, without ever raising SIGPIPE.
SendResult sendAll(int fd, QByteArrayView bytes, const WakeSignal& wake, Clock::time_point deadline);

bool setNonBlocking(int fd);

// strerror() of an errno value.
QString errorText(int error);

}  // namespace zelvane::remote
