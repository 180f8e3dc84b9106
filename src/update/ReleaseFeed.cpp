#include "ReleaseFeed.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <cmath>
#include <limits>

namespace zelvane::ReleaseFeed {

namespace {

std::optional<QString> textAt(const QJsonObject& object, const char* key)
{
    const QJsonValue value = object.value(QLatin1String(key));
    return value.isString() ? std::optional(value.toString()) : std::nullopt;
}

std::optional<QUrl> parsedURL(const std::optional<QString>& text)
{
    if (!text)
        return std::nullopt;
    const QUrl url(*text, QUrl::StrictMode);
    if (!url.isValid() || url.isEmpty())
        return std::nullopt;
    return url;
}

QString withoutLeadingV(const QString& text)
{
    return text.startsWith(QLatin1Char('v')) || text.startsWith(QLatin1Char('V')) ? text.mid(1) : text;
}

std::optional<int> integerText(const QString& text)
{
    static const QRegularExpression integer(QStringLiteral("^[+-]?[0-9]+$"));
    if (!integer.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok ? std::optional(value) : std::nullopt;
}

std::optional<int> buildValue(const QJsonValue& value)
{
    if (value.isString())
        return integerText(value.toString());
    if (value.isDouble()) {
        const double number = value.toDouble();
        if (std::floor(number) == number && number >= std::numeric_limits<int>::min() &&
            number <= std::numeric_limits<int>::max())
            return int(number);
    }
    return std::nullopt;
}

std::optional<QJsonObject> pickZipAsset(const QJsonArray& assets, const QString& appName)
{
    const QString app = appName.toLower();
    for (const bool requireAppName : {true, false}) {
        for (const QJsonValue& asset : assets) {
            const std::optional<QString> name = textAt(asset.toObject(), "name");
            if (!name)
                continue;
            const QString lower = name->toLower();
            if (lower.endsWith(QLatin1String(".zip")) && (!requireAppName || lower.contains(app)))
                return asset.toObject();
        }
    }
    return std::nullopt;
}

UpdateResult<ReleaseInfo> parseGitHubRelease(const QJsonObject& document, const QString& tag, const QString& appName)
{
    const std::optional<QString> notes = textAt(document, "body");
    const std::optional<QUrl> html = parsedURL(textAt(document, "html_url"));
    const std::optional<QJsonObject> asset = pickZipAsset(document.value(QStringLiteral("assets")).toArray(), appName);
    const std::optional<QUrl> download = asset ? parsedURL(textAt(*asset, "browser_download_url")) : std::nullopt;
    if (!download)
        return UpdateError::noArchiveInFeed();

    std::optional<QString> sha256;
    if (notes) {
        static const QRegularExpression label(QStringLiteral("sha256\\s*[:=]\\s*([0-9a-f]{64})"),
                                              QRegularExpression::CaseInsensitiveOption);
        if (const QRegularExpressionMatch match = label.match(*notes); match.hasMatch())
            sha256 = match.captured(1).toLower();
    }
    return ReleaseInfo{withoutLeadingV(tag), std::nullopt, *download, sha256, notes, notes, html};
}

}  // namespace

UpdateResult<ReleaseInfo> parseManifest(const QJsonObject& manifest)
{
    const std::optional<QString> version = textAt(manifest, "version");
    std::optional<QString> address = textAt(manifest, "url");
    if (!address)
        address = textAt(manifest, "download_url");
    const std::optional<QUrl> download = parsedURL(address);
    if (!version || !download)
        return UpdateError::incompleteManifest();

    ReleaseInfo release{withoutLeadingV(*version), buildValue(manifest.value(QStringLiteral("build"))), *download};
    if (const std::optional<QString> sha = textAt(manifest, "sha256"); sha && !sha->trimmed().isEmpty())
        release.sha256 = sha->trimmed();
    const std::optional<QString> notes = textAt(manifest, "notes");
    const std::optional<QString> notesFR = textAt(manifest, "notes_fr");
    const std::optional<QString> notesEN = textAt(manifest, "notes_en");
    release.notesFR = notesFR ? notesFR : notes;
    release.notesEN = notesEN ? notesEN : notes;
    release.htmlURL = parsedURL(textAt(manifest, "html_url"));
    return release;
}

UpdateResult<ReleaseInfo> parseRelease(const QByteArray& data, const QString& bundleID, const QString& appName)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(data, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return UpdateError::feedNotJSON(int(parseError.error), parseError.errorString());
    if (!document.isObject())
        return UpdateError::invalidFeedJSON();
    const QJsonObject object = document.object();

    if (const QJsonValue inner = object.value(bundleID); inner.isObject())
        return parseManifest(inner.toObject());
    if (const QJsonValue inner = object.value(appName); inner.isObject())
        return parseManifest(inner.toObject());
    if (object.contains(QStringLiteral("version")) &&
        (object.contains(QStringLiteral("url")) || object.contains(QStringLiteral("download_url"))))
        return parseManifest(object);
    if (const std::optional<QString> tag = textAt(object, "tag_name"))
        return parseGitHubRelease(object, *tag, appName);
    return UpdateError::noArchiveInFeed();
}

QList<int> normalizeVersion(const QString& version)
{
    QString text = withoutLeadingV(version.trimmed());
    const QStringList pieces = text.split(QLatin1Char('-'), Qt::SkipEmptyParts);
    if (!pieces.isEmpty())
        text = pieces.first();
    QList<int> numbers;
    for (const QString& piece : text.split(QLatin1Char('.'), Qt::SkipEmptyParts))
        numbers.append(integerText(piece).value_or(0));
    return numbers;
}

bool isNewer(const QString& candidateVersion, std::optional<int> candidateBuild, const QString& currentVersion,
             std::optional<int> currentBuild)
{
    const QList<int> candidate = normalizeVersion(candidateVersion);
    const QList<int> current = normalizeVersion(currentVersion);
    for (qsizetype i = 0; i < std::max(candidate.size(), current.size()); ++i) {
        const int a = candidate.value(i, 0);
        const int b = current.value(i, 0);
        if (a != b)
            return a > b;
    }
    return candidateBuild && currentBuild && *candidateBuild > *currentBuild;
}

}  // namespace zelvane::ReleaseFeed
