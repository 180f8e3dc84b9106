#pragma once

#include "model/VectorGeometry.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace zelvane {

// A signature: ink strokes (points relative to the element frame, 0...1) and
// optionally the bytes of a signature image, with signer, date and caption.
struct SignaturePayload {
    QString signerName;
    std::optional<QString> dateLabel;
    std::optional<QString> caption;
    QList<QList<VectorPoint>> strokes;
    // Implicitly shared: copies of a document do not copy the bytes.
    std::optional<QByteArray> assetData;
    std::optional<QString> assetExtension;
    bool removeWhiteBackground = false;

    bool operator==(const SignaturePayload&) const = default;
};

}  // namespace zelvane
