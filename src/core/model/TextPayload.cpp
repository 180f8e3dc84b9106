#include "model/TextPayload.h"

#include "Localization.h"

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

TextPayload TextPayload::make(TextPayload fields)
{
    fields.fontSize = atLeast(fields.fontSize, 5);
    return fields;
}

}  // namespace zelvane
