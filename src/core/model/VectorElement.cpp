#include "model/VectorElement.h"

#include "Graphemes.h"

#include <QRandomGenerator>

#include <cmath>

namespace zelvane {

QString kindName(const VectorElementKind& kind)
{
    static const char* const names[] = {"text", "signature", "path", "shape", "stamp"};
    return QString::fromLatin1(names[kind.index()]);
}

namespace {

// Strictly greater; a comparison with a value that is not a number is false.
bool exceeds(double difference, double limit)
{
    return std::fabs(difference) > limit;
}

// The smallest turn from one angle to another, in degrees (-180 to 180).
double turnBetween(double from, double to)
{
    const double turn = std::remainder(to - from, 360.0);
    return std::isfinite(turn) ? turn : 0.0;
}

// A new random (version 4) identifier. QUuid::createUuid draws its bits
// from the system's generator, which on processors with a random-number
// instruction costs about two microseconds an identifier: importing a long
// document makes one per line. The program's generator, seeded from the
// system's once, gives them for a fraction of that.
QUuid newElementId()
{
    quint64 words[2];
    QRandomGenerator::global()->fillRange(words);
    const quint64 high = words[0];
    const quint64 low = words[1];
    return QUuid(uint(high >> 32), ushort(high >> 16), ushort((high & 0x0FFF) | 0x4000),
                 uchar(((low >> 56) & 0x3F) | 0x80), uchar(low >> 48), uchar(low >> 40), uchar(low >> 32),
                 uchar(low >> 24), uchar(low >> 16), uchar(low >> 8), uchar(low));
}

}  // namespace

VectorElement VectorElement::make(QString name, VectorElementKind kind, const VectorRect& frame,
                                  double rotationDegrees, VectorStyle style)
{
    VectorElement element;
    element.id = newElementId();
    element.name = std::move(name);
    element.kind = std::move(kind);
    element.frame = frame;
    element.rotationDegrees = rotationDegrees;
    element.style = std::move(style);
    element.visible = true;
    element.locked = false;
    return element;
}

bool VectorElement::isPDFText() const
{
    const TextPayload* payload = text();
    return payload && payload->isPDFExtracted;
}

QString VectorElement::typeSymbol() const
{
    switch (kind.index()) {
    case 0: return isPDFText() ? QStringLiteral("doc.text.magnifyingglass") : QStringLiteral("textformat");
    case 1: return QStringLiteral("signature");
    case 2: return QStringLiteral("scribble.variable");
    case 3: return symbol(std::get<ShapePayload>(kind).shapeType);
    default: return QStringLiteral("seal.fill");
    }
}

QString VectorElement::typeBadge() const
{
    switch (kind.index()) {
    case 0: return isPDFText() ? QStringLiteral("PDF TXT") : QStringLiteral("TEXTE");
    case 1: return QStringLiteral("SIGN");
    case 2: return QStringLiteral("PATH");
    case 3: return label(std::get<ShapePayload>(kind).shapeType).toUpper();
    default: return QStringLiteral("TAMPON");
    }
}

QString VectorElement::displayTitle() const
{
    if (const auto* stamp = std::get_if<StampPayload>(&kind)) {
        return stamp->title;
    }
    if (const auto* signature = std::get_if<SignaturePayload>(&kind)) {
        return QStringLiteral("Signature \u2014 ") + signature->signerName;
    }
    if (const TextPayload* payload = text()) {
        const QString trimmed = payload->text.trimmed();
        return trimmed.isEmpty() ? name : leadingGraphemes(trimmed, 36);
    }
    return name;
}

bool VectorElement::hasModifiedPDFText() const
{
    const TextPayload* payload = text();
    if (!payload || !payload->isPDFExtracted) {
        return false;
    }
    // (Equal texts are equal once decomposed: only differing ones are.)
    if (payload->originalPDFText && *payload->originalPDFText != payload->text &&
        payload->originalPDFText->normalized(QString::NormalizationForm_D) !=
            payload->text.normalized(QString::NormalizationForm_D)) {
        return true;
    }
    if (const auto& rect = payload->originalPDFRect) {
        if (exceeds(rect->x - frame.x, 0.75) || exceeds(rect->y - frame.y, 0.75)) {
            return true;
        }
    }
    if (payload->originalFontSize && exceeds(*payload->originalFontSize - payload->fontSize, 0.25)) {
        return true;
    }
    if (payload->originalIsBold && *payload->originalIsBold != payload->isBold) {
        return true;
    }
    if (payload->originalIsItalic && *payload->originalIsItalic != payload->isItalic) {
        return true;
    }
    // Turned, resized or set in another font: the print no longer shows it.
    if (exceeds(turnBetween(payload->originalRotationDegrees.value_or(0), rotationDegrees), 0.01)) {
        return true;
    }
    if ((payload->originalFrameWidth && exceeds(*payload->originalFrameWidth - frame.width, 0.75))
        || (payload->originalFrameHeight && exceeds(*payload->originalFrameHeight - frame.height, 0.75))) {
        return true;
    }
    if (payload->originalFontFamily
        && (*payload->originalFontFamily != payload->fontFamily
            || payload->originalPostScriptFontName != payload->postScriptFontName)) {
        return true;
    }
    if (!style.fillColorHex) {
        return false;
    }
    const QString reference = payload->originalTextColorHex.value_or(QStringLiteral("#111317"));
    return reference.toUpper() != style.fillColorHex->toUpper();
}

VectorPoint VectorElement::denormalize(const VectorPoint& p) const
{
    return {frame.x + frame.width * p.x, frame.y + frame.height * p.y};
}

}  // namespace zelvane
