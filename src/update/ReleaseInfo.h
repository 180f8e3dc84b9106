#pragma once

#include <QJsonObject>
#include <QString>
#include <QUrl>
#include <optional>

namespace zelvane {

// One release offered by the feed.
struct ReleaseInfo {
    QString version;  // without a leading "v"
    std::optional<int> build;
    QUrl downloadURL;
    std::optional<QString> sha256;
    std::optional<QString> notesFR;
    std::optional<QString> notesEN;
    std::optional<QUrl> htmlURL;

    // The notes in the interface language, else in the other one, else a
    // default text.
    QString localizedNotes() const;

    // Coding keys are the field names; "version" and "downloadURL" are
    // required when reading, the others are written only when set.
    QJsonObject toJson() const;
    static std::optional<ReleaseInfo> fromJson(const QJsonObject& object);

    bool operator==(const ReleaseInfo&) const = default;
};

}  // namespace zelvane
