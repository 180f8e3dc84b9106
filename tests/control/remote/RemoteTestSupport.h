#pragma once

// Loopback clients and event-loop helpers for the tests of the OSC receiver
// and the HTTP server.

#include <QByteArray>
#include <QCoreApplication>
#include <QJsonObject>
#include <QList>
#include <QMetaObject>

#include "ThreadHandOver.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <type_traits>
#include <utility>

namespace zelvane::remotetest {

using namespace std::chrono_literals;

// Generous bounds: a healthy run stays far below them.
inline constexpr std::chrono::milliseconds kPatience = 30s;

// The offscreen application the tests need for queued calls, once per process.
void ensureApplication();

// Processes the main thread's events until `condition` holds or `timeout`
// passes; true when it held.
bool processEventsUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = kPatience);

// Runs `work` on a thread of its own while the calling thread (the main
// thread, where the servers' handlers run) processes events; returns what
// `work` returned once it has finished.
template <typename Work>
auto whileProcessingEvents(Work work) -> std::invoke_result_t<Work>
{
    std::atomic<bool> done{false};
    auto finished = std::async(std::launch::async, [&done, &work] {
        struct Wake {
            std::atomic<bool>& flag;
            ~Wake()
            {
                flag = true;
                QMetaObject::invokeMethod(QCoreApplication::instance(), zelvane::handedOver([] {}), Qt::QueuedConnection);
            }
        } wake{done};
        return work();
    });
    while (!done.load())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return finished.get();
}

// One TCP connection to 127.0.0.1, with blocking calls bounded in time.
class TestClient {
public:
    explicit TestClient(quint16 port);
    ~TestClient();
    TestClient(const TestClient&) = delete;
    TestClient& operator=(const TestClient&) = delete;

    bool connected() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    bool send(const QByteArray& bytes);
    void shutdownWrite();
    void close();
    // Everything the server sends until it closes the connection or the
    // time-out passes.
    QByteArray readAll(std::chrono::milliseconds timeout = kPatience);
    // Reads until the bytes read so far contain `marker`.
    QByteArray readUntil(const QByteArray& marker, std::chrono::milliseconds timeout = kPatience);
    // True when the server closed the connection (end of file or reset)
    // within the time-out, having sent nothing more.
    bool closedWithoutData(std::chrono::milliseconds timeout = kPatience);

private:
    int m_fd = -1;
    QByteArray m_pending;
};

// Connects, sends `request` whole and reads until the server closes.
QByteArray exchange(quint16 port, const QByteArray& request, std::chrono::milliseconds timeout = kPatience);

QByteArray getRequest(const QByteArray& target, quint16 port);
QByteArray postRequest(const QByteArray& target, const QByteArray& body, quint16 port);

// A reply split into its parts.
struct Reply {
    bool valid = false;
    int status = 0;
    QByteArray statusLine;
    QList<std::pair<QByteArray, QByteArray>> headers;
    QByteArray body;

    QByteArray header(const QByteArray& name) const;
    QJsonObject json() const;
};
Reply parseReply(const QByteArray& raw);

// A port on 127.0.0.1 that is free at the moment of the call.
quint16 freeTcpPort();
quint16 freeUdpPort();

}  // namespace zelvane::remotetest
