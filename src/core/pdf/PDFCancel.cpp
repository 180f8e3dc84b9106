#include "pdf/PDFCancel.h"

#include <gio/gio.h>

namespace {

// A memory stream whose reads fail once their cancellable is cancelled
// (glib's own memory stream reads on whatever the cancellable says).
struct ZelvaneStoppableStream {
    GMemoryInputStream parent;
};

struct ZelvaneStoppableStreamClass {
    GMemoryInputStreamClass parentClass;
};

GType zelvane_stoppable_stream_get_type();

G_DEFINE_TYPE(ZelvaneStoppableStream, zelvane_stoppable_stream, G_TYPE_MEMORY_INPUT_STREAM)

gssize readUnlessCancelled(GInputStream* stream, void* buffer, gsize count, GCancellable* cancellable,
                           GError** error)
{
    if (g_cancellable_set_error_if_cancelled(cancellable, error))
        return -1;
    return G_INPUT_STREAM_CLASS(zelvane_stoppable_stream_parent_class)
        ->read_fn(stream, buffer, count, cancellable, error);
}

void zelvane_stoppable_stream_class_init(ZelvaneStoppableStreamClass* type)
{
    G_INPUT_STREAM_CLASS(type)->read_fn = readUnlessCancelled;
}

void zelvane_stoppable_stream_init(ZelvaneStoppableStream*) {}

}  // namespace

namespace zelvane {

PDFCancel::PDFCancel() : m_cancellable(g_cancellable_new()) {}

PDFCancel::PDFCancel(std::shared_ptr<const PDFCancel> followed)
    : m_cancellable(g_cancellable_new()), m_followed(std::move(followed))
{
    if (!m_followed)
        return;
    std::lock_guard lock(m_followed->m_followersLock);
    if (m_followed->isCancelled())
        cancel();
    else
        m_followed->m_followers.push_back(this);
}

PDFCancel::~PDFCancel()
{
    if (m_followed) {
        // Waits for a cancel being made on another thread to end.
        std::lock_guard lock(m_followed->m_followersLock);
        std::erase(m_followed->m_followers, this);
    }
    g_object_unref(m_cancellable);
}

void PDFCancel::cancel()
{
    std::lock_guard lock(m_followersLock);
    m_cancelled.store(true, std::memory_order_release);
    g_cancellable_cancel(m_cancellable);
    for (PDFCancel* follower : m_followers)
        follower->cancel();
}

GInputStream* PDFCancel::newStream(GBytes* bytes) const
{
    auto* stream = G_MEMORY_INPUT_STREAM(g_object_new(zelvane_stoppable_stream_get_type(), nullptr));
    g_memory_input_stream_add_bytes(stream, bytes);
    return G_INPUT_STREAM(stream);
}

}  // namespace zelvane
