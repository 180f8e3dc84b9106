#include "pdf/PDFDrawingDeadline.h"

#include "pdf/PDFCancel.h"

#include <chrono>

namespace zelvane {

PDFDrawingDeadline::PDFDrawingDeadline(PDFCancel& cancel, int milliseconds)
{
    m_watch = std::thread([this, &cancel, milliseconds] {
        std::unique_lock lock(m_lock);
        if (m_ended.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return m_over; }))
            return;
        m_passed = true;
        cancel.cancel();
    });
}

PDFDrawingDeadline::~PDFDrawingDeadline()
{
    end();
}

bool PDFDrawingDeadline::end()
{
    {
        std::lock_guard lock(m_lock);
        m_over = true;
    }
    m_ended.notify_all();
    if (m_watch.joinable())
        m_watch.join();
    return m_passed;
}

}  // namespace zelvane
