#pragma once

#include "UpdateError.h"

#include <QByteArray>
#include <QNetworkRequest>
#include <QObject>
#include <QPointer>
#include <functional>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;

namespace zelvane {

// What one GET brought back: the HTTP status and body, or the error that
// stopped it before an answer was whole.
struct FetchResult {
    int status = 0;
    QByteArray body;
    std::optional<UpdateError> error;
};

// One GET that follows redirects only to allowed addresses (https, or http
// to the loopback interface), stops once the body grows past a limit, and
// gives up when nothing arrives for the request's transfer time-out.
class BoundedFetch : public QObject {
    Q_OBJECT
public:
    struct Limit {
        qint64 maxBytes;
        QString whatFr;  // named in the "too large" message
        QString whatEn;
    };
    using Completion = std::function<void(const FetchResult&)>;

    // Starts the request; `done` runs once on the calling thread, unless
    // `context` is destroyed first. The fetch deletes itself afterwards.
    static void start(QNetworkAccessManager& network, const QNetworkRequest& request, const Limit& limit,
                      QObject* context, Completion done);

private:
    BoundedFetch(QNetworkReply* reply, Limit limit, QObject* context, Completion done);
    void refuse(const UpdateError& error);
    void finish();

    QNetworkReply* m_reply;
    Limit m_limit;
    QPointer<QObject> m_context;
    Completion m_done;
    QByteArray m_body;
    std::optional<UpdateError> m_refusal;
};

}  // namespace zelvane
