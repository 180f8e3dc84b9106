#include "model/TextPayload.h"

#include "Localization.h"

#include <QTransform>
#include <cmath>

namespace zelvane {

QString rawValue(TextAlignmentMode mode)
{
    switch (mode) {
    case TextAlignmentMode::left: return QStringLiteral("left");
    case TextAlignmentMode::center: return QStringLiteral("center");
    case TextAlignmentMode::right: return QStringLiteral("right");
    }
    return {};
}

QString label(TextAlignmentMode mode)
{
    switch (mode) {
    case TextAlignmentMode::left: return L("Gauche", "Left");
    case TextAlignmentMode::center: return L("Centré", "Center");
    case TextAlignmentMode::right: return L("Droite", "Right");
    }
    return {};
}

QString symbol(TextAlignmentMode mode)
{
    return QStringLiteral("text.align") + rawValue(mode);
}

std::optional<VectorRect> TextPayload::printedPDFBounds() const
{
    if (!originalPDFRect) {
        return std::nullopt;
    }
    const double turn = originalRotationDegrees.value_or(0);
    if (!std::isfinite(turn) || std::fmod(turn, 360.0) == 0) {
        return originalPDFRect;
    }
    const QRectF rect = originalPDFRect->toQRectF();
    const QPointF centre = rect.center();
    const QRectF bounds =
        QTransform().translate(centre.x(), centre.y()).rotate(turn).translate(-centre.x(), -centre.y()).mapRect(rect);
    return VectorRect(bounds.x(), bounds.y(), bounds.width(), bounds.height());
}

TextPayload TextPayload::make(TextPayload fields)
{
    fields.fontSize = atLeast(fields.fontSize, 5);
    return fields;
}

}  // namespace zelvane
