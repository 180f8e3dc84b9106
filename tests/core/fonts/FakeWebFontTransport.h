#pragma once

#include "fonts/WebFontTransport.h"

#include <functional>
#include <mutex>

namespace zelvane::testing {

// Answers web-font requests from a function instead of the network and
// records what was asked.
class FakeWebFontTransport : public WebFontTransport {
public:
    // Nothing means the request did not end in time.
    std::function<std::optional<WebFontResponse>(const WebFontRequest&)> answer;

    std::vector<std::optional<WebFontResponse>> fetch(const std::vector<WebFontRequest>& requests,
                                                      std::chrono::milliseconds wait) override
    {
        std::lock_guard<std::mutex> guard(mutex);
        calls.push_back(requests);
        waits.push_back(wait);
        std::vector<std::optional<WebFontResponse>> answers;
        for (const WebFontRequest& request : requests)
            answers.push_back(answer ? answer(request) : std::nullopt);
        return answers;
    }

    std::mutex mutex;
    std::vector<std::vector<WebFontRequest>> calls;
    std::vector<std::chrono::milliseconds> waits;
};

}  // namespace zelvane::testing
