#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

// glib's types, as poppler's stream reading takes them.
struct _GBytes;
struct _GCancellable;
struct _GInputStream;

namespace zelvane {

// Gives up the reading of a PDF from any thread: an import told to stop
// checks it between its steps, and the poppler documents opened with it
// (PDFDocument::open) read nothing more of their file once it is set, so a
// page being drawn or read ends at the next object or stream it reads
// instead of running to its end.
class PDFCancel {
public:
    PDFCancel();
    // Set with `followed` as well as on its own: a document's own reading,
    // given up alone when one of its drawings runs too long, and with the
    // rest of the import when that is cancelled.
    explicit PDFCancel(std::shared_ptr<const PDFCancel> followed);
    ~PDFCancel();
    PDFCancel(const PDFCancel&) = delete;
    PDFCancel& operator=(const PDFCancel&) = delete;

    void cancel();
    bool isCancelled() const { return m_cancelled.load(std::memory_order_acquire); }

    // For poppler's reading of a file.
    _GCancellable* cancellable() const { return m_cancellable; }
    // A seekable stream over `bytes` (a new reference) whose reads fail once
    // this is set, as poppler reads a file.
    _GInputStream* newStream(_GBytes* bytes) const;

private:
    std::atomic<bool> m_cancelled{false};
    _GCancellable* const m_cancellable;
    std::shared_ptr<const PDFCancel> m_followed;
    // Those set with this one. A follower goes from the list before it is
    // destroyed, and is cancelled under the lock, so never once destroyed.
    mutable std::mutex m_followersLock;
    mutable std::vector<PDFCancel*> m_followers;
};

}  // namespace zelvane
