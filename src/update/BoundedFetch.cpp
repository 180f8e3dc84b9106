#include "BoundedFetch.h"

#include "Localization.h"
#include "UpdateAddress.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>

namespace zelvane {

void BoundedFetch::start(QNetworkAccessManager& network, const QNetworkRequest& request, const Limit& limit,
                         QObject* context, Completion done)
{
    QNetworkRequest verified = request;
    verified.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
    if (!UpdateAddress::isAllowed(request.url())) {
        done(FetchResult{0, {}, UpdateError::addressRefused(request.url().toDisplayString())});
        return;
    }
    new BoundedFetch(network.get(verified), limit, context, std::move(done));
}

BoundedFetch::BoundedFetch(QNetworkReply* reply, Limit limit, QObject* context, Completion done)
    : QObject(reply), m_reply(reply), m_limit(std::move(limit)), m_context(context), m_done(std::move(done))
{
    connect(reply, &QNetworkReply::redirected, this, [this](const QUrl& url) {
        if (UpdateAddress::isAllowed(url))
            emit m_reply->redirectAllowed();
        else
            refuse(UpdateError::addressRefused(url.toDisplayString()));
    });
    connect(reply, &QNetworkReply::metaDataChanged, this, [this] {
        const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > m_limit.maxBytes)
            refuse(UpdateError::tooLarge(m_limit.whatFr, m_limit.whatEn, m_limit.maxBytes));
    });
    connect(reply, &QNetworkReply::readyRead, this, [this] {
        if (m_refusal)
            return;
        m_body += m_reply->readAll();
        if (m_body.size() > m_limit.maxBytes)
            refuse(UpdateError::tooLarge(m_limit.whatFr, m_limit.whatEn, m_limit.maxBytes));
    });
    connect(reply, &QNetworkReply::finished, this, &BoundedFetch::finish);
}

void BoundedFetch::refuse(const UpdateError& error)
{
    if (m_refusal)
        return;
    m_refusal = error;
    m_body.clear();
    m_reply->abort();
}

void BoundedFetch::finish()
{
    FetchResult result;
    const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (m_refusal) {
        result.error = m_refusal;
    } else if (m_reply->error() == QNetworkReply::OperationCanceledError ||
               m_reply->error() == QNetworkReply::TimeoutError) {
        result.error = UpdateError::system(QStringLiteral("QNetworkReply"), int(m_reply->error()),
                                           L("Le serveur de mise à jour ne répond pas (délai dépassé).",
                                             "The update server does not answer (timed out)."));
    } else if (!status.isValid()) {
        result.error = UpdateError::system(QStringLiteral("QNetworkReply"), int(m_reply->error()),
                                           m_reply->errorString());
    } else {
        m_body += m_reply->readAll();
        if (m_body.size() > m_limit.maxBytes) {
            result.error = UpdateError::tooLarge(m_limit.whatFr, m_limit.whatEn, m_limit.maxBytes);
        } else {
            result.status = status.toInt();
            result.body = std::move(m_body);
        }
    }
    m_reply->deleteLater();
    if (m_context && m_done)
        m_done(result);
}

}  // namespace zelvane
