#pragma once

#include "osc/OSCCodec.h"
#include "osc/OSCMessageQueue.h"

#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class QObject;

namespace zelvane {

// Receives OSC datagrams on a UDP port of every interface, on a thread of
// its own, and hands each decoded message to a handler. It never answers.
//
// One object per started receiver: start() binds and starts the receive
// thread, stop() (or destruction) wakes that thread, joins it and only then
// closes the socket. A receive error that leaves the socket usable is
// waited out and the loop goes on; one that does not ends the loop, clears
// isRunning() and is reported by lastError().
class OSCUDPServer {
public:
    using Handler = std::function<void(const OSCCodec::Message&)>;

    // `handler` is called on the receive thread, once per message, in order.
    OSCUDPServer(quint16 port, Handler handler);
    // `handler` is called on the thread of `context` (the main thread for an
    // object living there), in the order the messages were decoded, through
    // a bounded queue (OSCMessageQueue: a flood is dropped and counted, opens
    // and exports do not pile up); calls still queued when `context` is
    // destroyed are dropped. `context` must outlive the running receiver.
    OSCUDPServer(quint16 port, QObject* context, Handler handler);
    ~OSCUDPServer();
    OSCUDPServer(const OSCUDPServer&) = delete;
    OSCUDPServer& operator=(const OSCUDPServer&) = delete;

    // Binds 0.0.0.0 and port() (SO_REUSEADDR on) and starts receiving. True
    // when the receiver runs, also when it ran already; false with
    // lastError() set when the socket could not be made or bound.
    bool start();
    // Safe at any time and more than once, from any thread (from the
    // receive thread itself too: the socket is then closed when the loop
    // ends).
    void stop();

    // The port asked for at creation, then the one actually bound (so port 0
    // shows the port the system chose). Kept after stop().
    quint16 port() const { return m_port.load(); }
    bool isRunning() const;
    // Why the last start failed or the loop ended; empty when neither.
    QString lastError() const;
    // The bound socket while running, else -1.
    int socketDescriptor() const;
    // Messages dropped by the queue to the context's thread (none without a
    // context).
    quint64 droppedMessages() const;

    // Sends one message as one datagram from a new socket to a dotted IPv4
    // address; false when the address does not convert or the send fails.
    static bool send(const OSCCodec::Message& message, const QString& host, quint16 port);

    // Datagrams are received into a buffer of this size; the rest of a longer
    // one is discarded.
    static constexpr int kReceiveBufferSize = 4096;

private:
    struct Loop;
    static void receive(const std::shared_ptr<Loop>& loop);
    OSCUDPServer(quint16 port, std::shared_ptr<OSCMessageQueue> queue);

    std::atomic<quint16> m_port;
    const std::shared_ptr<OSCMessageQueue> m_queue;
    const std::shared_ptr<const Handler> m_deliver;
    mutable std::mutex m_mutex;
    std::shared_ptr<Loop> m_loop;
    std::thread m_thread;
    QString m_lastError;
};

}  // namespace zelvane
