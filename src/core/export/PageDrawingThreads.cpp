#include "export/PageDrawingThreads.h"

#include <QThread>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>

namespace zelvane::PDFCodec {

namespace {

class ThreadQueue final : public PageDrawingThreads {
public:
    // Throws std::system_error when not even one thread can be made.
    explicit ThreadQueue(int wanted)
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

    int count() const override { return m_count; }

    std::future<void> run(std::function<void()> job) override
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

private:
    void work()
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

    int m_count = 0;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::packaged_task<void()>> m_jobs;
};

}  // namespace

PageDrawingThreads* PageDrawingThreads::shared()
{
    // Made once and kept to the end: the threads wait on it until the
    // program exits, so it is never destroyed under them.
    static PageDrawingThreads* const threads = []() -> PageDrawingThreads* {
        try {
            return new ThreadQueue(std::max(1, QThread::idealThreadCount() - 1));
        } catch (const std::system_error&) {
            return nullptr;
        }
    }();
    return threads;
}

}  // namespace zelvane::PDFCodec
