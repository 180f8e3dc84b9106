#include "remote/SocketSupport.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

namespace zelvane::remote {

void UniqueFd::reset(int fd)
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
}

WakeSignal::WakeSignal()
{
    int fds[2] = {-1, -1};
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
        m_read.reset(fds[0]);
        m_write.reset(fds[1]);
    }
}

void WakeSignal::raise()
{
    // One byte is enough and is never read back: the pipe stays readable.
    // A full pipe (EAGAIN) is raised already.
    const char byte = 1;
    while (::write(m_write.get(), &byte, 1) < 0 && errno == EINTR) {
    }
}

bool WakeSignal::isRaised() const
{
    return waitRaised(std::chrono::milliseconds(0));
}

bool WakeSignal::waitRaised(std::chrono::milliseconds timeout) const
{
    const Clock::time_point deadline = Clock::now() + timeout;
    for (;;) {
        pollfd entry{m_read.get(), POLLIN, 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        const int ready = ::poll(&entry, 1, int(std::clamp<qint64>(left.count(), 0, 60'000)));
        if (ready > 0)
            return true;
        if (ready < 0 && errno != EINTR)
            return false;
        if (ready == 0 && Clock::now() >= deadline)
            return false;
    }
}

WaitResult waitFor(int fd, short events, const WakeSignal& wake, std::optional<Clock::time_point> deadline)
{
    for (;;) {
        int timeoutMs = -1;
        if (deadline) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now());
            if (left.count() <= 0)
                return wake.isRaised() ? WaitResult::woken : WaitResult::timedOut;
            timeoutMs = int(std::min<qint64>(left.count(), 60'000));
        }
        pollfd entries[2] = {{wake.fd(), POLLIN, 0}, {fd, events, 0}};
        const int ready = ::poll(entries, 2, timeoutMs);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            return WaitResult::failed;
        }
        if (entries[0].revents != 0)
            return WaitResult::woken;
        // Errors and hang-ups count as ready: the next call reports them.
        if (entries[1].revents != 0)
            return WaitResult::ready;
    }
}

SendResult sendAll(int fd, QByteArrayView bytes, const WakeSignal& wake, Clock::time_point deadline)
{
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t written = ::send(fd, bytes.data() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (written > 0) {
            sent += written;
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            switch (waitFor(fd, POLLOUT, wake, deadline)) {
            case WaitResult::ready:
                continue;
            case WaitResult::woken:
                return SendResult::woken;
            case WaitResult::timedOut:
                return SendResult::timedOut;
            case WaitResult::failed:
                return SendResult::failed;
            }
        }
        return SendResult::failed;
    }
    return SendResult::sent;
}

bool setNonBlocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

QString errorText(int error)
{
    char buffer[256] = {};
    // The GNU strerror_r returns the text, which may or may not be `buffer`.
    return QString::fromLocal8Bit(::strerror_r(error, buffer, sizeof buffer));
}

void joinUnlessCurrent(std::thread& thread)
{
    if (!thread.joinable())
        return;
    if (thread.get_id() == std::this_thread::get_id())
        thread.detach();
    else
        thread.join();
}

}  // namespace zelvane::remote
