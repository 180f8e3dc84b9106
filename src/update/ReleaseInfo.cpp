#include "ReleaseInfo.h"

#include "Localization.h"

namespace zelvane {

namespace {

bool hasText(const std::optional<QString>& text) { return text && !text->isEmpty(); }

}  // namespace

QString ReleaseInfo::localizedNotes() const
{
    const bool english = Localization::isEnglish();
    const auto& first = english ? notesEN : notesFR;
    const auto& second = english ? notesFR : notesEN;
    if (hasText(first))
        return *first;
    if (hasText(second))
        return *second;
    return L("Mise à jour de maintenance et d'améliorations.", "Maintenance and feature update.");
}

QJsonObject ReleaseInfo::toJson() const
{
    QJsonObject object{{QStringLiteral("version"), version},
                       {QStringLiteral("downloadURL"), downloadURL.toString(QUrl::FullyEncoded)}};
    if (build)
        object.insert(QStringLiteral("build"), *build);
    if (sha256)
        object.insert(QStringLiteral("sha256"), *sha256);
    if (notesFR)
        object.insert(QStringLiteral("notesFR"), *notesFR);
    if (notesEN)
        object.insert(QStringLiteral("notesEN"), *notesEN);
    if (htmlURL)
        object.insert(QStringLiteral("htmlURL"), htmlURL->toString(QUrl::FullyEncoded));
    return object;
}

std::optional<ReleaseInfo> ReleaseInfo::fromJson(const QJsonObject& object)
{
    const QJsonValue version = object.value(QStringLiteral("version"));
    const QJsonValue download = object.value(QStringLiteral("downloadURL"));
    if (!version.isString() || !download.isString())
        return std::nullopt;
    const QUrl downloadURL(download.toString(), QUrl::StrictMode);
    if (!downloadURL.isValid() || downloadURL.isEmpty())
        return std::nullopt;
    ReleaseInfo release{version.toString(), std::nullopt, downloadURL};
    if (const QJsonValue build = object.value(QStringLiteral("build")); build.isDouble())
        release.build = build.toInt();
    const auto text = [&](const char* key) -> std::optional<QString> {
        const QJsonValue value = object.value(QLatin1String(key));
        return value.isString() ? std::optional(value.toString()) : std::nullopt;
    };
    release.sha256 = text("sha256");
    release.notesFR = text("notesFR");
    release.notesEN = text("notesEN");
    if (const auto html = text("htmlURL"))
        release.htmlURL = QUrl(*html);
    return release;
}

}  // namespace zelvane
