// The export's drawing threads: a job for every thread runs once on each,
// before any job a thread takes after it was handed in.

#include "export/PageDrawingThreads.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <future>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

using namespace zelvane::PDFCodec;

namespace {

TEST(PageDrawingThreadsTest, AJobForEveryThreadRunsOnceOnEachBeforeTheJobsHandedInAfterIt)
{
    PageDrawingThreads* const threads = PageDrawingThreads::shared();
    ASSERT_NE(threads, nullptr);
    const int count = threads->count();
    ASSERT_GE(count, 1);

    // Every thread held by a job of its own until the others are handed in.
    std::mutex mutex;
    std::condition_variable changed;
    int holding = 0;
    bool released = false;
    std::vector<std::future<void>> held;
    for (int i = 0; i < count; ++i) {
        held.push_back(threads->run([&] {
            std::unique_lock<std::mutex> lock(mutex);
            ++holding;
            changed.notify_all();
            changed.wait(lock, [&] { return released; });
        }));
    }
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return holding == count; });
    }

    thread_local int readied = 0;
    std::map<std::thread::id, int> ranOn;
    const std::shared_future<void> done = threads->runOnEach([&] {
        ++readied;
        const std::lock_guard<std::mutex> lock(mutex);
        ++ranOn[std::this_thread::get_id()];
    });
    int takenUnready = 0;
    std::vector<std::future<void>> after;
    for (int i = 0; i < 4 * count; ++i) {
        after.push_back(threads->run([&] {
            if (readied == 0) {
                const std::lock_guard<std::mutex> lock(mutex);
                ++takenUnready;
            }
        }));
    }
    {
        const std::lock_guard<std::mutex> lock(mutex);
        released = true;
    }
    changed.notify_all();
    for (std::future<void>& job : held)
        job.get();
    for (std::future<void>& job : after)
        job.get();
    done.wait();

    EXPECT_EQ(takenUnready, 0);
    EXPECT_EQ(int(ranOn.size()), count);
    for (const auto& [thread, runs] : ranOn)
        EXPECT_EQ(runs, 1);

    // A second one runs again on every thread, and what it throws stays there.
    std::atomic<int> second{0};
    threads->runOnEach([&] {
        ++second;
        throw std::runtime_error("dropped");
    }).wait();
    EXPECT_EQ(second.load(), count);
    threads->run([] {}).get();
}

}  // namespace

namespace {

TEST(PageDrawingThreadsTest, EndedJobsAreHandedOnWhileAnEarlierOneStillRuns)
{
    std::vector<std::promise<void>> ends(3);
    std::vector<std::future<void>> jobs;
    for (std::promise<void>& end : ends) {
        jobs.push_back(end.get_future());
    }
    jobs.emplace_back();  // never handed to a thread: counts as ended
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<size_t> handed;
    ends[1].set_value();
    std::thread handing([&] {
        eachAsDone(jobs, [&](size_t k) {
            const std::lock_guard<std::mutex> lock(mutex);
            handed.push_back(k);
            changed.notify_all();
        });
    });
    {
        // Jobs 1 and 3 handed on while job 0 still runs.
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return handed.size() == 2; });
        EXPECT_EQ(handed, (std::vector<size_t>{1, 3}));
    }
    ends[2].set_value();
    ends[0].set_value();
    handing.join();
    EXPECT_EQ(handed, (std::vector<size_t>{1, 3, 0, 2}));
}

}  // namespace
