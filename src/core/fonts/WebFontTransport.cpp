#include "fonts/WebFontTransport.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace zelvane {

bool NetworkWebFontTransport::downloadsDisabled()
{
    const QByteArray value = qgetenv("ZELVANE_DISABLE_WEB_FONTS");
    return !value.isEmpty() && value != "0";
}

std::vector<std::optional<WebFontResponse>> NetworkWebFontTransport::fetch(const std::vector<WebFontRequest>& requests,
                                                                           std::chrono::milliseconds wait)
{
    std::vector<std::optional<WebFontResponse>> answers(requests.size());
    if (requests.empty() || downloadsDisabled() || !QCoreApplication::instance())
        return answers;

    QEventLoop loop;
    QNetworkAccessManager manager;
    manager.setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    std::vector<QNetworkReply*> replies(requests.size(), nullptr);
    std::size_t pending = requests.size();

    for (std::size_t i = 0; i < requests.size(); ++i) {
        const WebFontRequest& request = requests[i];
        QNetworkRequest networkRequest(request.url);
        for (const auto& [name, value] : request.headers)
            networkRequest.setRawHeader(name, value);
        networkRequest.setTransferTimeout(int(request.idleTimeout.count()));
        networkRequest.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
        QNetworkReply* reply = manager.get(networkRequest);
        replies[i] = reply;
        QTimer::singleShot(request.totalTimeout, reply, &QNetworkReply::abort);
        QObject::connect(reply, &QNetworkReply::finished, &loop, [&, i, reply] {
            const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
            answers[i] = WebFontResponse{status.isValid() ? status.toInt() : 0, reply->readAll()};
            replies[i] = nullptr;
            reply->deleteLater();
            if (--pending == 0)
                loop.quit();
        });
    }

    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    deadline.start(wait);
    if (pending > 0)
        loop.exec();

    // Whatever is still running is abandoned.
    for (QNetworkReply* reply : replies) {
        if (!reply)
            continue;
        QObject::disconnect(reply, nullptr, &loop, nullptr);
        reply->abort();
    }
    return answers;
}

}  // namespace zelvane
