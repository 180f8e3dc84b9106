#pragma once

#include "model/VectorElementKind.h"
#include "model/VectorGeometry.h"
#include "model/VectorStyle.h"

#include <QString>
#include <QUuid>

namespace zelvane {

// One object on a page.
struct VectorElement {
    QUuid id;
    QString name;
    VectorElementKind kind;
    VectorRect frame;
    double rotationDegrees = 0;
    VectorStyle style;
    bool visible = true;
    // Protects the element from moves and deletion.
    bool locked = false;

    // A new element: a fresh random id, visible and unlocked.
    static VectorElement make(QString name, VectorElementKind kind, const VectorRect& frame, double rotationDegrees,
                              VectorStyle style);

    const TextPayload* text() const { return std::get_if<TextPayload>(&kind); }
    TextPayload* text() { return std::get_if<TextPayload>(&kind); }
    bool isPDFText() const;

    QString typeSymbol() const;
    // Short upper-case tag of the kind ("TEXTE", "SIGN", ...).
    QString typeBadge() const;
    QString displayTitle() const;
    // True when a text taken from the PDF page was changed by the user in a
    // way that shows: content, position, size, weight, slant or colour.
    bool hasModifiedPDFText() const;
    // Maps a point relative to the frame (0...1 across) into page space,
    // without applying the rotation.
    VectorPoint denormalize(const VectorPoint& p) const;

    bool operator==(const VectorElement&) const = default;
};

}  // namespace zelvane
