#include "pdf/PDFFontAttributes.h"

#include "fonts/FontLookup.h"
#include "fonts/PDFEmbeddedFontRegistry.h"
#include "model/RGBAColor.h"

#include <QFontInfo>
#include <algorithm>
#include <array>
#include <vector>

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

// The run that speaks for the line [start, start + length): of the fonts its
// printed characters (all but blanks) are in, the one most of them are in,
// and of that font's runs on the line the one of the size most of them
// have; the first met wins a tie. A lone symbol set in a font of its own,
// such as a list's bullet, so never gives the line its face. Runs follow the
// text one after the other. A line of blanks only is spoken for by the run
// of its first character.
const PDFTextRun* lineRun(const PDFPageText& page, qsizetype start, qsizetype length)
{
    start = std::clamp<qsizetype>(start, 0, page.text.size());
    const qsizetype end = std::clamp<qsizetype>(start + std::max<qsizetype>(length, 0), start, page.text.size());
    if (start == end) {
        return nullptr;
    }
    // The first run that may hold `start`: the last one starting at or
    // before it, else the first after it.
    auto run = std::upper_bound(page.runs.begin(), page.runs.end(), start,
                                [](qsizetype unit, const PDFTextRun& r) { return unit < r.start; });
    if (run != page.runs.begin()) {
        --run;
    }
    struct Count {
        const PDFTextRun* run;
        qsizetype characters;
    };
    std::vector<Count> counts;  // the printed characters of each run on the line
    const PDFTextRun* firstRun = nullptr;
    for (; run != page.runs.end() && run->start < end; ++run) {
        const qsizetype from = std::max(run->start, start);
        const qsizetype to = std::min(run->end, end);
        if (from >= to) {
            continue;
        }
        if (from == start) {
            firstRun = &*run;
        }
        qsizetype characters = 0;
        for (qsizetype i = from; i < to; ++i) {
            characters += page.text[i].isSpace() ? 0 : 1;
        }
        if (characters > 0) {
            counts.push_back({&*run, characters});
        }
    }
    if (counts.empty()) {
        return firstRun;
    }
    // The characters of the runs on the line that `same` accepts.
    const auto total = [&counts](const auto& same) {
        qsizetype sum = 0;
        for (const Count& count : counts) {
            sum += same(*count.run) ? count.characters : 0;
        }
        return sum;
    };
    const auto most = [&counts](const auto& eligible, const auto& characters) {
        const PDFTextRun* best = nullptr;
        qsizetype bestCount = 0;
        for (const Count& count : counts) {
            if (!eligible(*count.run)) {
                continue;
            }
            if (const qsizetype n = characters(*count.run); n > bestCount) {
                best = count.run;
                bestCount = n;
            }
        }
        return best;
    };
    const PDFTextRun* font = most([](const PDFTextRun&) { return true; }, [&](const PDFTextRun& candidate) {
        return total([&](const PDFTextRun& r) { return r.fontName == candidate.fontName; });
    });
    return most([&](const PDFTextRun& candidate) { return candidate.fontName == font->fontName; },
                [&](const PDFTextRun& candidate) {
                    return total([&](const PDFTextRun& r) {
                        return r.fontName == candidate.fontName && r.fontSize == candidate.fontSize;
                    });
                });
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
    const PDFTextRun* run = lineRun(page, start, length);
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
    const PDFTextRun* run = lineRun(page, start, length);
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
