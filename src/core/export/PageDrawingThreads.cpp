#include "export/PageDrawingThreads.h"

#include <QThread>

#include <algorithm>
#include <chrono>
#include <optional>
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

std::shared_future<void> PageDrawingThreads::runOnEach(std::function<void()> job)
{
    auto onEach = std::make_shared<OnEach>();
    onEach->job = std::move(job);
    std::shared_future<void> done = onEach->done.get_future().share();
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        onEach->left = m_count;
        m_onEach.push_back(std::move(onEach));
    }
    m_wake.notify_all();
    return done;
}

void PageDrawingThreads::work()
{
    // The jobs for every thread this thread has run (all were handed in
    // after it started: the threads start before anything is handed in).
    size_t ranOnEach = 0;
    for (;;) {
        std::shared_ptr<OnEach> onEach;
        std::packaged_task<void()> task;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [&] { return ranOnEach < m_onEachPast + m_onEach.size() || !m_jobs.empty(); });
            if (ranOnEach < m_onEachPast + m_onEach.size()) {
                onEach = m_onEach[ranOnEach - m_onEachPast];
                ++ranOnEach;
            } else {
                task = std::move(m_jobs.front());
                m_jobs.pop_front();
            }
        }
        if (!onEach) {
            task();
            continue;
        }
        try {
            onEach->job();
        } catch (...) {
        }
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (--onEach->left == 0) {
            onEach->done.set_value();
        }
        while (!m_onEach.empty() && m_onEach.front()->left == 0) {
            m_onEach.pop_front();
            ++m_onEachPast;
        }
    }
}

void eachAsDone(std::vector<std::future<void>>& jobs, const std::function<void(size_t)>& done)
{
    std::vector<bool> handed(jobs.size(), false);
    for (size_t left = jobs.size(); left > 0;) {
        std::optional<size_t> waiting;
        for (size_t k = 0; k < jobs.size(); ++k) {
            if (handed[k]) {
                continue;
            }
            if (jobs[k].valid() && jobs[k].wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
                waiting = waiting.value_or(k);
                continue;
            }
            handed[k] = true;
            --left;
            done(k);
        }
        if (waiting && left > 0) {
            jobs[*waiting].wait();
        }
    }
}

}  // namespace zelvane::PDFCodec
