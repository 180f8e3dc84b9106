#include "UpdateAddress.h"

#include <QHostAddress>

namespace zelvane::UpdateAddress {

namespace {

std::optional<QUrl> usable(const std::optional<QString>& text)
{
    if (!text || text->isEmpty())
        return std::nullopt;
    const QUrl url(*text, QUrl::StrictMode);
    if (!url.isValid() || url.isEmpty())
        return std::nullopt;
    return url;
}

}  // namespace

QUrl feedURL(const std::optional<QString>& environment, const std::optional<QString>& stored,
             const std::optional<QString>& builtIn, const QString& githubRepo)
{
    for (const auto* source : {&environment, &stored, &builtIn}) {
        if (const std::optional<QUrl> url = usable(*source))
            return *url;
    }
    return QUrl(QStringLiteral("https://api.github.com/repos/") + githubRepo + QStringLiteral("/releases/latest"));
}

QString builtInFeedURL() { return QStringLiteral(ZELVANE_UPDATE_URL); }

bool isAllowed(const QUrl& url)
{
    if (!url.isValid() || url.host().isEmpty())
        return false;
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("https"))
        return true;
    if (scheme != QLatin1String("http"))
        return false;
    const QString host = url.host().toLower();
    return host == QLatin1String("localhost") || QHostAddress(host).isLoopback();
}

}  // namespace zelvane::UpdateAddress
