#include "pdf/PDFFontAttributes.h"

#include "fonts/FontLookup.h"
#include "fonts/PDFEmbeddedFontRegistry.h"
#include "model/RGBAColor.h"

#include <QFontInfo>
#include <algorithm>
#include <array>

namespace zelvane::PDFCodec {

namespace {

bool containsAny(const QString& text, std::initializer_list<const char*> words)
{
    for (const char* word : words) {
        if (text.contains(QLatin1String(word))) {
            return true;
        }
    }
    return false;
}

struct FamilyAlias {
    std::initializer_list<const char*> words;
    const char* family;
};

const std::array<FamilyAlias, 10>& familyAliases()
{
    static const std::array<FamilyAlias, 10> aliases{{
        {{"arial", "liberation sans", "liberationsans", "arimo"}, "Arial"},
        {{"verdana", "dejavu sans", "dejavusans", "tahoma"}, "Verdana"},
        {{"trebuchet"}, "Trebuchet MS"},
        {{"calibri", "carlito", "candara", "segoe", "marianne", "ubuntu", "roboto", "open sans", "opensans",
          "source sans", "sourcesans", "lato", "noto sans"},
         "Helvetica Neue"},
        {{"times", "liberation serif", "tinos", "nimbus roman"}, "Times New Roman"},
        {{"georgia", "cambria", "merriweather"}, "Georgia"},
        {{"courier", "consolas", "menlo", "mono"}, "Courier New"},
        {{"avenir"}, "Avenir Next"},
        {{"gill"}, "Gill Sans"},
        {{"helvetica"}, "Helvetica Neue"},
    }};
    return aliases;
}

// The family a PDF font belongs to: the registered face's when the PDF's own
// program was registered, else what its PostScript name says. A font the
// file holds no program of takes nothing from the registry: a face there of
// the same name came from another file.
QString familyOf(const QString& postScriptName, bool withoutProgram)
{
    if (postScriptName.isEmpty()) {
        return {};
    }
    if (withoutProgram) {
        return PDFEmbeddedFontRegistry::parsePostScriptFontName(postScriptName).family;
    }
    if (const auto family =
            PDFEmbeddedFontRegistry::shared().designFamily(PDFEmbeddedFontRegistry::stripSubsetPrefix(postScriptName))) {
        return *family;
    }
    return PDFEmbeddedFontRegistry::parsePostScriptFontName(postScriptName).family;
}

QString normalizedFamily(const QString& family, const QString& postScript, bool mayBeRegistered);

bool isLayoutSpace(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r');
}

}  // namespace

std::optional<QString> hexFromColor(const QColor& color)
{
    if (!color.isValid()) {
        return std::nullopt;
    }
    const QColor rgb = color.toRgb();
    return RGBAColor(rgb.redF(), rgb.greenF(), rgb.blueF(), 1).hexString();
}

namespace {

// The run at the first character of [start, start + length) that is not a
// space, tab or line break (the first character when all are).
const PDFTextRun* runAtFirstPrintedCharacter(const PDFPageText& page, qsizetype start, qsizetype length)
{
    start = std::clamp<qsizetype>(start, 0, page.text.size());
    const qsizetype end = std::clamp<qsizetype>(start + std::max<qsizetype>(length, 0), start, page.text.size());
    if (start == end) {
        return nullptr;
    }
    qsizetype index = start;
    while (index < end && isLayoutSpace(page.text[index])) {
        ++index;
    }
    if (index == end) {
        index = start;
    }
    for (const PDFTextRun& candidate : page.runs) {
        if (candidate.start <= index && index < candidate.end) {
            return &candidate;
        }
    }
    return nullptr;
}

double fallbackFontSize(double lineHeight)
{
    return std::max(std::min(lineHeight * 0.74, 42.0), 7.0);
}

bool isUsableFontSize(double size)
{
    return size >= 4.5 && size <= 96.0;
}

}  // namespace

double printedFontSize(const PDFPageText& page, qsizetype start, qsizetype length, double fallbackHeight)
{
    const PDFTextRun* run = runAtFirstPrintedCharacter(page, start, length);
    if (run && !run->fontName.isEmpty() && isUsableFontSize(run->fontSize)) {
        return run->fontSize;
    }
    return fallbackFontSize(fallbackHeight);
}

ExtractedFontAttributes extractAttributedFontAndColor(const PDFPageText& page, qsizetype start, qsizetype length,
                                                      double fallbackHeight)
{
    ExtractedFontAttributes attributes;
    attributes.fontSize = fallbackFontSize(fallbackHeight);
    const PDFTextRun* run = runAtFirstPrintedCharacter(page, start, length);
    if (!run) {
        return attributes;
    }
    if (!run->fontName.isEmpty()) {
        const QString psName = PDFEmbeddedFontRegistry::stripSubsetPrefix(run->fontName);
        const QString family = PDFEmbeddedFontRegistry::stripSubsetPrefix(familyOf(run->fontName, run->withoutProgram));
        const QString lower = psName.toLower();
        attributes.isBold = containsAny(lower, {"bold", "-bd", "semibold", "demi", "heavy", "black", "medium"});
        attributes.isItalic = containsAny(lower, {"italic", "oblique", "-it"});
        if (!psName.isEmpty()) {
            attributes.postScriptName = psName;
        }
        attributes.familyName = normalizedFamily(family, psName, !run->withoutProgram);
        attributes.sizeFromFont = isUsableFontSize(run->fontSize);
        attributes.fontSize = printedFontSize(page, start, length, fallbackHeight);
    }
    attributes.colorHex = hexFromColor(run->color);
    return attributes;
}

QString normalizeFontFamilyName(const QString& family, const QString& postScript)
{
    return normalizedFamily(family, postScript, true);
}

namespace {

// `mayBeRegistered`: the PDF may hold the font's program, so a registered
// face of its names is the PDF's own.
QString normalizedFamily(const QString& family, const QString& postScript, bool mayBeRegistered)
{
    const QString base = family.isEmpty() ? postScript : family;
    if (mayBeRegistered && PDFEmbeddedFontRegistry::shared().hasRegisteredFont(postScript, base)) {
        return base;
    }
    if (!postScript.isEmpty() && fonts::hasFontSupport()) {
        if (const auto face = fonts::findFaceByPostScriptName(postScript); face && !face->family.isEmpty()) {
            return fonts::withoutFoundry(face->family);
        }
    }
    const QString key = base.toLower();
    for (const FamilyAlias& alias : familyAliases()) {
        if (containsAny(key, alias.words)) {
            return QLatin1String(alias.family);
        }
    }
    return base.isEmpty() ? QStringLiteral("Helvetica Neue") : base;
}

}  // namespace

}  // namespace zelvane::PDFCodec
