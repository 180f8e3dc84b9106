#pragma once

#include "osc/OSCCodec.h"

#include <QString>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

class QObject;

namespace zelvane {

// Carries decoded OSC messages from the receive thread to the thread of a
// context object, where a handler runs them in order. The queue is bounded:
// messages that find it full are dropped and counted, so a flood of
// datagrams costs a bounded amount of memory and of main-thread work. Files
// cannot pile up either: a newer "/zelvane/open" replaces one still waiting,
// a newer "/zelvane/export" replaces one to the same path still waiting, and
// at most kMaxPendingExports exports wait at once.
class OSCMessageQueue : public std::enable_shared_from_this<OSCMessageQueue> {
public:
    using Handler = std::function<void(const OSCCodec::Message&)>;

    static constexpr qsizetype kCapacity = 256;
    static constexpr qsizetype kMaxPendingExports = 4;
    // Messages run per visit to the context's thread, so that other work
    // there (HTTP requests, the window) comes between the batches.
    static constexpr qsizetype kBatch = 64;

    // `context` must outlive the queue's use; calls still queued when it is
    // destroyed are dropped.
    static std::shared_ptr<OSCMessageQueue> create(QObject* context, Handler handler);

    // From any thread.
    void push(OSCCodec::Message message);
    quint64 droppedCount() const;
    qsizetype pendingCount() const;

private:
    OSCMessageQueue(QObject* context, Handler handler);
    void scheduleLocked();
    void drain();

    QObject* const m_context;
    const Handler m_handler;
    mutable std::mutex m_mutex;
    std::deque<OSCCodec::Message> m_messages;
    bool m_scheduled = false;
    quint64 m_dropped = 0;
};

}  // namespace zelvane
