#pragma once

#include "model/VectorGeometry.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>
#include <QUuid>
#include <optional>

namespace zelvane {

// A saved signature of the library: ink strokes (unit coordinates) or an image.
struct SignaturePreset {
    QUuid id;
    QString title;
    QString signerName;
    QString caption;
    QString colorHex;
    QList<QList<VectorPoint>> strokes;
    std::optional<QByteArray> assetData;
    std::optional<QString> assetExtension;
    bool removeWhiteBackground = false;
    std::optional<QUrl> fileURL;

    // The built-in signatures: none.
    static QList<SignaturePreset> defaults() { return {}; }

    // A handwritten-looking line and an underline flourish, in unit
    // coordinates. Pure: the seed only shifts the phase of the line.
    static QList<QList<VectorPoint>> calligraphicStrokes(qint64 seed);

    bool operator==(const SignaturePreset&) const = default;
};

// A saved image stamp of the library.
struct StampPreset {
    QUuid id;
    QString title;
    QByteArray assetData;
    QString assetExtension;
    bool removeWhiteBackground = false;
    std::optional<QUrl> fileURL;

    bool operator==(const StampPreset&) const = default;
};

}  // namespace zelvane
