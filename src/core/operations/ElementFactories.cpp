#include "Graphemes.h"
#include "Localization.h"
#include "assets/AssetImageCodec.h"
#include "fonts/FontLookup.h"
#include "operations/VectorOperations.h"

#include <cmath>

namespace zelvane::VectorOperations {

namespace {


// A frame of the given size centred on `at`, its corner kept at least 12
// from the page's top and left edges.
VectorRect centredFrame(const VectorPoint& at, double width, double height)
{
    return VectorRect(std::max(at.x - width / 2, 12.0), std::max(at.y - height / 2, 12.0), width, height);
}

}  // namespace

VectorElement makeStampElement(VectorStampKind kind, const VectorPoint& at)
{
    StampPayload payload = StampPayload::make(kind, std::nullopt, std::nullopt, std::nullopt, std::nullopt, true);
    const QString color = defaultColorHex(kind);
    const VectorRect frame(std::max(at.x - 88, 12.0), std::max(at.y - 26, 12.0), 176, 52);
    QString name = payload.title;
    return VectorElement::make(std::move(name), std::move(payload), frame, -4, VectorStyle(color, color, 2.2, 0.94, false));
}

VectorElement makeCustomStampElement(const StampPreset& preset, const VectorPoint& at, double rotationDegrees)
{
    const double r = AssetImageCodec::aspectRatio(preset.assetData, preset.assetExtension);
    double width = 165, height = 140;
    if (r >= 1) {
        height = std::max(std::round(165 / r), 44.0);
    } else {
        width = std::max(std::round(r * 140), 44.0);
    }
    StampPayload payload;
    payload.stampKind = VectorStampKind::approved;
    payload.title = preset.title;
    payload.subtitle = QString();
    payload.assetData = preset.assetData;
    payload.assetExtension = preset.assetExtension;
    payload.removeWhiteBackground = preset.removeWhiteBackground;
    return VectorElement::make(preset.title, std::move(payload), centredFrame(at, width, height), rotationDegrees,
                      VectorStyle(VectorStyle::inkColorHex(), std::nullopt, 0, 0.96, false));
}

VectorElement makeSignatureElement(const SignaturePreset& preset, const VectorPoint& at, bool includeDate)
{
    const bool hasImage = preset.assetData.has_value();
    double width = 190, height = 74;
    if (hasImage) {
        const double r = AssetImageCodec::aspectRatio(*preset.assetData, preset.assetExtension);
        if (r >= 1) {
            width = 185;
            height = std::max(std::round(185 / r), 36.0);
        } else {
            width = std::max(std::round(r * 110), 42.0);
            height = 110;
        }
    }
    SignaturePayload payload;
    payload.signerName = preset.signerName;
    if (includeDate && !hasImage) {
        payload.dateLabel = todayDateLabel();
    }
    if (!hasImage) {
        payload.caption = preset.caption;
    }
    payload.strokes = preset.strokes;
    payload.assetData = preset.assetData;
    payload.assetExtension = preset.assetExtension;
    payload.removeWhiteBackground = preset.removeWhiteBackground;
    return VectorElement::make(QStringLiteral("Signature ") + preset.signerName, std::move(payload),
                      centredFrame(at, width, height), 0,
                      VectorStyle(preset.colorHex, std::nullopt, 2.2, 1.0, false));
}

VectorElement makeFreehandSignatureElement(const QList<VectorStroke>& pageStrokes, const QString& signerName,
                                           const QString& colorHex)
{
    QList<VectorStroke> smoothed;
    smoothed.reserve(pageStrokes.size());
    for (const VectorStroke& stroke : pageStrokes) {
        smoothed.append(StrokeSmoother::smooth(stroke, 2));
    }
    const StrokeSmoother::NormalizedStrokes normalized = StrokeSmoother::normalizeStrokes(smoothed);
    const VectorRect frame(normalized.frame.x, normalized.frame.y, std::max(normalized.frame.width, 90.0),
                           std::max(normalized.frame.height, 42.0));
    const QString signer = signerName.trimmed();

    SignaturePayload payload;
    payload.signerName = signer;
    payload.dateLabel = todayDateLabel();
    payload.strokes = normalized.strokes;
    payload.removeWhiteBackground = true;
    const QString name = signer.isEmpty() ? QStringLiteral("Signature") : QStringLiteral("Signature ") + signer;
    return VectorElement::make(name, std::move(payload), frame, 0, VectorStyle(colorHex, std::nullopt, 2.2, 1.0, false));
}

VectorElement makeTextElement(const QString& text, const VectorPoint& at, double fontSize, const QString& colorHex,
                              bool isBold)
{
    const QStringList lines = text.split(QLatin1Char('\n'));
    qsizetype longest = 0;
    for (const QString& line : lines) {
        longest = std::max(longest, graphemeCount(line));
    }
    const double width = std::max(double(std::max<qsizetype>(longest, 8)) * fontSize * 0.58, 90.0);
    const double height = std::max(double(std::max<qsizetype>(lines.size(), 1)) * fontSize * 1.38, 24.0);

    TextPayload fields;
    fields.text = text;
    fields.fontFamily = fonts::defaultTextFamily();
    fields.fontSize = fontSize;
    fields.isBold = isBold;
    fields.isItalic = false;
    fields.alignment = TextAlignmentMode::left;
    fields.letterSpacing = 0;
    fields.isPDFExtracted = false;
    fields.maskColorHex = QStringLiteral("#FFFFFF");
    return VectorElement::make(L("Bloc de texte", "Text Block"), TextPayload::make(fields), VectorRect(at.x, at.y, width, height),
                      0, VectorStyle(std::nullopt, colorHex, 0, 1.0, false));
}

}  // namespace zelvane::VectorOperations
