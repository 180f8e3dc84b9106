#pragma once

#include <QByteArray>
#include <QList>
#include <QUrl>

#include <chrono>
#include <optional>
#include <utility>
#include <vector>

namespace zelvane {

struct WebFontRequest {
    QUrl url;
    QList<std::pair<QByteArray, QByteArray>> headers;
    // Longest silence of the connection before the request is given up.
    std::chrono::milliseconds idleTimeout{2000};
    // Longest time the whole transfer may take.
    std::chrono::milliseconds totalTimeout{3500};
};

struct WebFontResponse {
    // The HTTP status, 0 when no HTTP response came back.
    int status = 0;
    QByteArray body;
};

// How the web-font download reaches the network. Tests give the registry a
// fake one.
class WebFontTransport {
public:
    virtual ~WebFontTransport() = default;

    // Starts every request at once and waits at most `wait` for them on the
    // calling thread. One answer per request, in order; nothing for a request
    // that has not ended when the wait is over (it is abandoned, and what it
    // delivers afterwards is never read).
    virtual std::vector<std::optional<WebFontResponse>> fetch(const std::vector<WebFontRequest>& requests,
                                                              std::chrono::milliseconds wait) = 0;
};

// The transport over QNetworkAccessManager, run in a local event loop on the
// calling thread (any thread; needs a QCoreApplication). No disk cache and
// no cookies are kept between calls. Nothing leaves the machine while the
// environment variable ZELVANE_DISABLE_WEB_FONTS is set (to anything but "0"):
// every request then goes unanswered at once.
class NetworkWebFontTransport : public WebFontTransport {
public:
    static bool downloadsDisabled();

    std::vector<std::optional<WebFontResponse>> fetch(const std::vector<WebFontRequest>& requests,
                                                      std::chrono::milliseconds wait) override;
};

}  // namespace zelvane
