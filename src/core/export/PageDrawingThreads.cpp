#include "export/PageDrawingThreads.h"

#include <QThread>

#include <algorithm>
#include <system_error>
#include <thread>

namespace zelvane::PDFCodec {

PageDrawingThreads::PageDrawingThreads(int wanted)
{
    for (int i = 0; i < wanted; ++i) {
        try {
            std::thread([this] { work(); }).detach();
            ++m_count;
        } catch (const std::system_error&) {
            if (m_count == 0) {
                throw;
            }
            break;
        }
    }
}

PageDrawingThreads* PageDrawingThreads::shared()
{
    // Made once and kept to the end: the threads wait on it until the
    // program exits, so it is never destroyed under them.
    static PageDrawingThreads* const threads = []() -> PageDrawingThreads* {
        try {
            return new PageDrawingThreads(std::max(1, QThread::idealThreadCount() - 1));
        } catch (const std::system_error&) {
            return nullptr;
        }
    }();
    return threads;
}

std::future<void> PageDrawingThreads::run(std::function<void()> job)
{
    std::packaged_task<void()> task(std::move(job));
    std::future<void> done = task.get_future();
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_jobs.push_back(std::move(task));
    }
    m_wake.notify_one();
    return done;
}

void PageDrawingThreads::work()
{
    for (;;) {
        std::packaged_task<void()> task;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [this] { return !m_jobs.empty(); });
            task = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        task();
    }
}

}  // namespace zelvane::PDFCodec
