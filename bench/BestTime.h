#pragma once

// The best of a few timed runs, the figure the file benchmarks print.

#include <algorithm>
#include <chrono>
#include <functional>

namespace zelvane::bench {

// The shortest of `runs` runs in seconds, or -1 when a run fails.
inline double bestSeconds(const std::function<bool()>& run, int runs = 3)
{
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        if (!run())
            return -1;
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

}  // namespace zelvane::bench
