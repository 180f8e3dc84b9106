#include "osc/OSCMessageQueue.h"

#include "ThreadHandOver.h"
#include "osc/OSCAddresses.h"

#include <QMetaObject>
#include <QObject>

#include <algorithm>

namespace zelvane {

namespace {

std::optional<OSCAddresses::Command> commandOf(const OSCCodec::Message& message)
{
    return OSCAddresses::commandFor(message.address);
}

// The export's target as written by the sender, for telling repeats apart.
QString exportTarget(const OSCCodec::Message& message)
{
    const OSCCodec::Value* argument = OSCAddresses::firstArgument(message);
    return argument ? argument->stringValue() : QString();
}

}  // namespace

std::shared_ptr<OSCMessageQueue> OSCMessageQueue::create(QObject* context, Handler handler)
{
    return std::shared_ptr<OSCMessageQueue>(new OSCMessageQueue(context, std::move(handler)));
}

OSCMessageQueue::OSCMessageQueue(QObject* context, Handler handler) : m_context(context), m_handler(std::move(handler))
{
}

void OSCMessageQueue::push(OSCCodec::Message message)
{
    const std::optional<OSCAddresses::Command> command = commandOf(message);
    const std::lock_guard lock(m_mutex);
    if (command == OSCAddresses::Command::open || command == OSCAddresses::Command::exportFile) {
        const QString target = exportTarget(message);
        qsizetype exports = 0;
        for (auto it = m_messages.begin(); it != m_messages.end();) {
            const std::optional<OSCAddresses::Command> queued = commandOf(*it);
            const bool replaced = queued == command &&
                                  (command == OSCAddresses::Command::open || exportTarget(*it) == target);
            if (replaced) {
                it = m_messages.erase(it);
                ++m_dropped;
                continue;
            }
            exports += queued == OSCAddresses::Command::exportFile ? 1 : 0;
            ++it;
        }
        if (command == OSCAddresses::Command::exportFile && exports >= kMaxPendingExports) {
            ++m_dropped;
            return;
        }
    }
    if (qsizetype(m_messages.size()) >= kCapacity) {
        ++m_dropped;
        return;
    }
    m_messages.push_back(std::move(message));
    scheduleLocked();
}

void OSCMessageQueue::scheduleLocked()
{
    if (m_scheduled)
        return;
    m_scheduled = true;
    QMetaObject::invokeMethod(
        m_context,
        handedOver([weak = weak_from_this()] {
            if (const std::shared_ptr<OSCMessageQueue> queue = weak.lock())
                queue->drain();
        }),
        Qt::QueuedConnection);
}

void OSCMessageQueue::drain()
{
    for (qsizetype run = 0; run < kBatch; ++run) {
        OSCCodec::Message message;
        {
            const std::lock_guard lock(m_mutex);
            if (m_messages.empty()) {
                m_scheduled = false;
                return;
            }
            message = std::move(m_messages.front());
            m_messages.pop_front();
        }
        // Nothing is answered over OSC: a failing command is dropped.
        try {
            m_handler(message);
        } catch (...) {
        }
    }
    const std::lock_guard lock(m_mutex);
    m_scheduled = false;
    if (!m_messages.empty())
        scheduleLocked();
}

quint64 OSCMessageQueue::droppedCount() const
{
    const std::lock_guard lock(m_mutex);
    return m_dropped;
}

qsizetype OSCMessageQueue::pendingCount() const
{
    const std::lock_guard lock(m_mutex);
    return qsizetype(m_messages.size());
}

}  // namespace zelvane
