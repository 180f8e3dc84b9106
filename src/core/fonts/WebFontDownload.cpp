// Complete TrueType files for families that a PDF only carries as subsets,
// fetched from a web-font CSS service and kept in the persistent font cache.

#include "fonts/PDFEmbeddedFontRegistry.h"

#include "fonts/WebFontTransport.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <QUrl>

using namespace std::chrono_literals;

namespace zelvane {

namespace {

// Waits of the importing thread.
constexpr auto kStyleSheetWait = 2200ms;
constexpr auto kFontFilesWait = 3000ms;
// Time-outs of each transfer: silence, then whole transfer; the style
// sheet's own request allows a long silence, bounded by the wait above.
constexpr auto kIdleTimeout = 2000ms;
constexpr auto kTotalTimeout = 3500ms;
constexpr auto kStyleSheetIdleTimeout = 60000ms;
constexpr qsizetype kSmallestFontBody = 101;

QString decodeUtf8(const QByteArray& bytes, bool* ok)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(bytes);
    *ok = !decoder.hasError();
    return text;
}

}  // namespace

QString PDFEmbeddedFontRegistry::webFontQuery(const QStringList& families)
{
    QStringList parts;
    for (QString family : families) {
        family.replace(QLatin1Char(' '), QLatin1Char('+'));
        parts.append(family + QStringLiteral(":300,400,500,600,700,800,400i,700i"));
    }
    // The characters a URL query allows stay as they are; "|" becomes %7C.
    const QByteArray encoded = QUrl::toPercentEncoding(parts.join(QLatin1Char('|')), "!$&'()*+,/:;=?@");
    return QStringLiteral("family=") + QString::fromLatin1(encoded);
}

void PDFEmbeddedFontRegistry::fetchAndCacheGoogleFonts(const QStringList& families)
{
    if (!m_transport)
        return;
    QStringList requested;
    {
        const std::lock_guard<std::mutex> locker(m_lock);
        for (const QString& family : families) {
            const QString key = family.toLower();
            if (m_attemptedRemoteFamilies.contains(key))
                continue;
            m_attemptedRemoteFamilies.insert(key);
            requested.append(family);
        }
    }
    if (requested.isEmpty())
        return;

    QUrl url;
    url.setScheme(QStringLiteral("https"));
    url.setHost(m_webFontHost);
    url.setPath(QStringLiteral("/css"));
    url.setQuery(webFontQuery(requested));
    if (!url.isValid())
        return;

    WebFontRequest styleSheetRequest;
    styleSheetRequest.url = url;
    styleSheetRequest.headers.append({QByteArrayLiteral("User-Agent"), QByteArrayLiteral("Mozilla/5.0")});
    styleSheetRequest.idleTimeout = kStyleSheetIdleTimeout;
    styleSheetRequest.totalTimeout = kTotalTimeout;
    const auto styleSheet = m_transport->fetch({styleSheetRequest}, kStyleSheetWait);
    if (styleSheet.empty() || !styleSheet.front() || styleSheet.front()->status != 200)
        return;
    bool ok = false;
    const QString css = decodeUtf8(styleSheet.front()->body, &ok);
    if (!ok || css.isEmpty())
        return;

    static const QRegularExpression fontURL(QStringLiteral("url\\((https://[^)]+\\.ttf)\\)"));
    std::vector<WebFontRequest> fontRequests;
    for (const QRegularExpressionMatch& match : fontURL.globalMatch(css)) {
        const QUrl fileURL(match.captured(1), QUrl::StrictMode);
        if (!fileURL.isValid())
            continue;
        WebFontRequest request;
        request.url = fileURL;
        request.idleTimeout = kIdleTimeout;
        request.totalTimeout = kTotalTimeout;
        fontRequests.push_back(request);
    }
    if (fontRequests.empty())
        return;

    const auto downloads = m_transport->fetch(fontRequests, kFontFilesWait);
    for (const auto& download : downloads) {
        if (!download || download->status != 200 || download->body.size() < kSmallestFontBody)
            continue;
        const truetype::ByteSpan bytes(reinterpret_cast<const std::uint8_t*>(download->body.constData()),
                                       std::size_t(download->body.size()));
        const QString postScriptName = QString::fromStdString(truetype::postScriptName(bytes));
        if (postScriptName.isEmpty())
            continue;
        registerFontBinary(download->body, postScriptName, QStringLiteral("ttf"), true);
    }
}

}  // namespace zelvane
