#include "fonts/TextFonts.h"

#include <QTransform>

#include "fonts/FontLookup.h"
#include "fonts/FontMemo.h"
#include "fonts/FontSubstitutions.h"
#include "fonts/PDFEmbeddedFontRegistry.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QTransform>
#include <QTextLayout>

#include <array>
#include <bit>
#include <cmath>

namespace zelvane::PDFCodec {

namespace {

const QString kDefaultFamily = QStringLiteral("Helvetica Neue");

// The families to ask for: the installed one first, then the rest of the
// family's substitutes.
QStringList familiesFrom(const QString& family, const QString& installed)
{
    QStringList families = fonts::substituteFamilies(family);
    const qsizetype at = families.indexOf(installed);
    if (at > 0)
        families = families.mid(at);
    else if (at < 0)
        families.prepend(installed);
    return families;
}

bool traitsStillMatch(const TextPayload& payload)
{
    return (!payload.originalIsBold || *payload.originalIsBold == payload.isBold)
           && (!payload.originalIsItalic || *payload.originalIsItalic == payload.isItalic);
}

// The exact face of an installed PostScript name, or the face Qt gives for
// the name when that face's PostScript name shares the first five letters.
std::optional<QFont> systemFontByPostScriptName(const QString& name, double size)
{
    if (const auto face = fonts::findFaceByPostScriptName(name))
        return fonts::faceFont(face->family, face->styleName, size);
    const QFont created = fonts::makeFont({name}, size, false, false);
    const QString createdName = fonts::postScriptNameOf(created).toLower();
    if (createdName.isEmpty() || !createdName.startsWith(name.toLower().left(5)))
        return std::nullopt;
    const QFontInfo info(created);
    return fonts::faceFont(info.family(), info.styleName(), size);
}

QFont resolveFontAnew(const TextPayload& payload, double effective)
{
    const PDFEmbeddedFontRegistry& registry = PDFEmbeddedFontRegistry::shared();
    const bool bold = payload.isBold;
    const bool italic = payload.isItalic;

    // Without a QGuiApplication Qt has no font database: the font is only described.
    if (!fonts::hasFontSupport()) {
        const QString family = payload.fontFamily.isEmpty() ? kDefaultFamily : payload.fontFamily;
        return fonts::makeFont(fonts::substituteFamilies(family), effective, bold, italic);
    }

    const std::optional<QString>& postScriptName = payload.postScriptFontName;
    if (postScriptName && !postScriptName->isEmpty() && traitsStillMatch(payload)) {
        if (auto font = registry.makeFont(postScriptName, payload.fontFamily, effective, bold, italic))
            return *font;
        if (auto font = systemFontByPostScriptName(*postScriptName, effective))
            return PDFEmbeddedFontRegistry::withMatchingCascadeFallback(*font, effective, bold, italic);
    }

    const QString family = payload.fontFamily.isEmpty() ? kDefaultFamily : payload.fontFamily;
    if (!payload.fontFamily.isEmpty()) {
        if (auto font = registry.makeFont(postScriptName, payload.fontFamily, effective, bold, italic))
            return *font;
    }

    if (const auto installed = fonts::installedFamily(family)) {
        const QStringList families = familiesFrom(family, *installed);
        if ((bold || italic) && fonts::familyHasFace(*installed, bold, italic))
            return fonts::makeFont(families, effective, bold, italic);
        return fonts::makeFont(families, effective, false, false);
    }

    // The family is not installed: a Helvetica Neue face of the wanted weight and slant.
    const auto fallback = fonts::installedFamily(kDefaultFamily);
    return fonts::makeFont(fallback ? familiesFrom(kDefaultFamily, *fallback) : QStringList{kDefaultFamily},
                           effective, bold, italic);
}

}  // namespace

QFont resolveFont(const TextPayload& payload, double size)
{
    const double effective = std::isnan(size) ? 4.0 : std::max(size, 4.0);
    if (!fonts::FontMemo::current())
        return resolveFontAnew(payload, effective);
    // Everything the font is chosen by.
    const QChar separator(0x1f);
    const auto trait = [](const std::optional<bool>& value) {
        return value ? QLatin1Char(*value ? '1' : '0') : QLatin1Char('-');
    };
    // The size by its bits, four units that tell every size apart as its
    // shortest exact decimal would, without formatting it.
    const auto bits = std::bit_cast<std::array<char16_t, 4>>(effective);
    QString key = payload.postScriptFontName.value_or(QString()) + separator + payload.fontFamily + separator
                  + QString(reinterpret_cast<const QChar*>(bits.data()), 4) + separator;
    key += trait(payload.isBold);
    key += trait(payload.isItalic);
    key += trait(payload.originalIsBold);
    key += trait(payload.originalIsItalic);
    key += trait(payload.postScriptFontName ? std::optional<bool>(true) : std::nullopt);
    return fonts::FontMemo::remembered(&fonts::FontMemo::resolvedFonts, key,
                                       [&] { return resolveFontAnew(payload, effective); });
}

QFont withSymbolFonts(const QFont& font, const QStringList& postScriptNames)
{
    if (postScriptNames.isEmpty() || !fonts::hasFontSupport())
        return font;
    QStringList families = font.families();
    if (families.isEmpty())
        families.append(font.family());
    qsizetype at = 1;
    for (const QString& name : postScriptNames) {
        QString family;
        if (const auto registered = PDFEmbeddedFontRegistry::shared().makeFont(name, std::nullopt, font.pointSizeF(),
                                                                                false, false))
            family = registered->families().value(0, registered->family());
        else if (const auto installed = fonts::findFaceByPostScriptName(name))
            family = installed->family;
        if (family.isEmpty() || families.contains(family, Qt::CaseInsensitive))
            continue;
        families.insert(at++, family);
    }
    QFont copy = font;
    copy.setFamilies(families);
    return copy;
}

double measureSingleLineWidth(const QString& text, const QFont& font, double kern)
{
    if (text.isEmpty())
        return 0;
    if (!fonts::hasFontSupport())
        return double(text.size()) * font.pointSizeF() * 0.55;
    QTextLayout layout(text, fonts::layoutFont(font, kern));
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setUseDesignMetrics(true);
    layout.setTextOption(option);
    layout.beginLayout();
    // Laid out at the end with unlimited width: one line.
    QTextLine line = layout.createLine();
    layout.endLayout();
    const double width = line.isValid() ? line.horizontalAdvance() : NAN;
    if (!std::isfinite(width))
        return double(text.size()) * font.pointSizeF() * 0.55;
    return width;
}

double measureTextWidth(const TextPayload& payload)
{
    const QFont font = resolveFont(payload, payload.fontSize);
    double widest = 12.0;
    for (const QString& line : payload.text.split(QLatin1Char('\n'))) {
        if (!line.isEmpty())
            widest = std::max(widest, measureSingleLineWidth(line, font, payload.letterSpacing));
    }
    return widest;
}

namespace {

// Refits the frame to the text, `before` being where the frame stood: the
// width follows the text, the height grows for several lines, and a turned
// frame keeps the start of its first line where it was.
void refitFrame(VectorElement& element, const QRectF& before)
{
    const TextPayload* payload = element.text();
    element.frame.width = std::max(measureTextWidth(*payload) + 2.0, 14.0);
    const qsizetype lines = payload->text.count(QLatin1Char('\n')) + 1;
    if (lines >= 2)
        element.frame.height = std::max(element.frame.height, payload->fontSize * double(lines) * 1.25);
    // A turned frame turns about its centre: the start of its first line
    // (its turned top-left corner) stays where it was.
    const double degrees = element.rotationDegrees;
    if (std::isfinite(degrees) && std::fmod(degrees, 360.0) != 0) {
        const QTransform turn = QTransform().rotate(degrees);
        const QPointF corner = before.center() + turn.map(QPointF(-before.width() / 2, -before.height() / 2));
        const QPointF centre =
            corner - turn.map(QPointF(-element.frame.width / 2, -element.frame.height / 2));
        element.frame.x = centre.x() - element.frame.width / 2;
        element.frame.y = centre.y() - element.frame.height / 2;
    }
}

// The height the lines of a payload take when drawn: from the top of the
// capitals of the first line to the lowest descender of the last.
double inkHeight(const TextPayload& payload)
{
    const double size = std::max(payload.fontSize, 1.0);
    const double between = double(payload.text.count(QLatin1Char('\n'))) * size * 1.25;
    if (!fonts::hasFontSupport())
        return size * 0.93 + between;
    const QFont font = resolveFont(payload, size);
    return fonts::capHeightOf(font) + QFontMetricsF(font).descent() + between;
}

}  // namespace

void updateTextFrameForEditedContent(VectorElement& element)
{
    if (!element.text())
        return;
    refitFrame(element, element.frame.toQRectF());
}

void updateTextFrameForRestyledContent(VectorElement& element, const TextPayload& before)
{
    TextPayload* payload = element.text();
    if (!payload)
        return;
    const QRectF frame = element.frame.toQRectF();
    const double was = inkHeight(before);
    const double now = inkHeight(*payload);
    if (std::isfinite(was) && std::isfinite(now) && was > 0 && now > 0 && std::isfinite(element.frame.height)) {
        // The frame keeps the room it gave the text, in the new size: its
        // height, and where a printed line puts its baseline, scale alike.
        const double ratio = now / was;
        element.frame.height = std::max(element.frame.height * ratio, 1.0);
        if (payload->baselineOffset)
            payload->baselineOffset = *payload->baselineOffset * ratio;
    }
    refitFrame(element, frame);
}

}  // namespace zelvane::PDFCodec
