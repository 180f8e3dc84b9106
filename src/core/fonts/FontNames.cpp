// The name rules of the embedded-font registry (subset prefixes, what a
// PostScript name says about family, weight and slant, the fallback face
// chosen for a font) and its entry points to the byte-level repairs.

#include "fonts/PDFEmbeddedFontRegistry.h"

namespace zelvane {

QString PDFEmbeddedFontRegistry::stripSubsetPrefix(const QString& name)
{
    const QString t = name.trimmed();
    if (t.size() < 8)
        return t;
    if (t.at(6) != QLatin1Char('+'))
        return t;
    for (int i = 0; i < 6; ++i) {
        const QChar c = t.at(i);
        if (c < QLatin1Char('A') || c > QLatin1Char('Z'))
            return t;
    }
    return t.mid(7);
}

namespace {

// Splits at the first "-" only; empty pieces are dropped without counting as
// the split.
QStringList splitFamilyAndStyle(const QString& name)
{
    QStringList pieces;
    qsizetype start = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (name.at(i) != QLatin1Char('-'))
            continue;
        if (i > start) {
            pieces.append(name.mid(start, i - start));
            if (i + 1 < name.size())
                pieces.append(name.mid(i + 1));
            return pieces;
        }
        start = i + 1;
    }
    if (start < name.size())
        pieces.append(name.mid(start));
    return pieces;
}

QString spacedFamily(const QString& part)
{
    QString out;
    for (qsizetype i = 0; i < part.size(); ++i) {
        const QChar c = part.at(i);
        if (i > 0 && c.isUpper()) {
            const QChar previous = part.at(i - 1);
            const bool nextIsLower = i + 1 < part.size() && part.at(i + 1).isLower();
            if (previous.isLower() || (previous.isUpper() && nextIsLower))
                out.append(QLatin1Char(' '));
        }
        out.append(c);
    }
    return out;
}

int weightOfStyle(const QString& style)
{
    struct Row {
        const char* words[2];
        int weight;
    };
    static const Row rows[] = {
        {{"thin", "hairline"}, 100},    {{"extralight", "ultralight"}, 200},
        {{"light", nullptr}, 300},      {{"medium", nullptr}, 500},
        {{"semibold", "demibold"}, 600}, {{"extrabold", "ultrabold"}, 800},
        {{"black", "heavy"}, 900},      {{"bold", nullptr}, 700},
    };
    for (const Row& row : rows) {
        for (const char* word : row.words) {
            if (word && style.contains(QLatin1String(word)))
                return row.weight;
        }
    }
    return 400;
}

}  // namespace

PDFEmbeddedFontRegistry::ParsedFontName PDFEmbeddedFontRegistry::parsePostScriptFontName(const QString& name)
{
    const QStringList pieces = splitFamilyAndStyle(stripSubsetPrefix(name));
    ParsedFontName parsed;
    // A name made only of "-" has no family part: the family stays empty.
    if (pieces.isEmpty())
        return parsed;
    const QString style = pieces.size() > 1 ? pieces.at(1).toLower() : QStringLiteral("regular");
    parsed.family = spacedFamily(pieces.at(0));
    parsed.weight = weightOfStyle(style);
    parsed.italic = style.contains(QLatin1String("italic")) || style.contains(QLatin1String("oblique"));
    return parsed;
}

QString PDFEmbeddedFontRegistry::cascadeFallbackFaceName(const QString& postScriptName, bool isBold, bool isItalic)
{
    const QString p = postScriptName.toLower();
    auto containsAny = [&p](std::initializer_list<const char*> words) {
        for (const char* word : words) {
            if (p.contains(QLatin1String(word)))
                return true;
        }
        return false;
    };
    // Columns: bold and italic, bold only, italic only, neither.
    auto pick = [isBold, isItalic](const char* both, const char* bold, const char* italic, const char* neither) {
        if (isBold && isItalic)
            return QString::fromLatin1(both);
        if (isBold)
            return QString::fromLatin1(bold);
        if (isItalic)
            return QString::fromLatin1(italic);
        return QString::fromLatin1(neither);
    };
    if (containsAny({"serif", "roman", "garamond", "baskerville"}))
        return pick("Georgia-BoldItalic", "Georgia-Bold", "Georgia-Italic", "Georgia");
    if (containsAny({"semibold", "demi"}))
        return pick("AvenirNext-DemiBoldItalic", "AvenirNext-DemiBold", "AvenirNext-DemiBoldItalic",
                    "AvenirNext-DemiBold");
    if (containsAny({"medium"}))
        return pick("AvenirNext-MediumItalic", "AvenirNext-Medium", "AvenirNext-MediumItalic", "AvenirNext-Medium");
    return pick("AvenirNext-BoldItalic", "AvenirNext-Bold", "AvenirNext-Italic", "AvenirNext-Regular");
}

namespace {

truetype::ByteSpan bytesOf(const QByteArray& data)
{
    return {reinterpret_cast<const std::uint8_t*>(data.constData()), std::size_t(data.size())};
}

QByteArray toQByteArray(const truetype::Bytes& bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

}  // namespace

QByteArray PDFEmbeddedFontRegistry::stripSubsetPrefixFromTTF(const QByteArray& font)
{
    return toQByteArray(truetype::stripSubsetPrefixFromTTF(bytesOf(font)));
}

truetype::CodeMap PDFEmbeddedFontRegistry::parseToUnicode(const QString& cmapText)
{
    const QByteArray utf8 = cmapText.toUtf8();
    return truetype::parseToUnicode(std::string_view(utf8.constData(), std::size_t(utf8.size())));
}

QByteArray PDFEmbeddedFontRegistry::patchTrueTypeCmapIfNeeded(const QByteArray& font,
                                                              const truetype::CodeMap& toUnicodeMap, bool isCIDFont)
{
    return toQByteArray(truetype::patchTrueTypeCmapIfNeeded(bytesOf(font), toUnicodeMap, isCIDFont));
}

QByteArray PDFEmbeddedFontRegistry::buildFormat4CmapTable(const truetype::CodeMap& mapping)
{
    return toQByteArray(truetype::buildFormat4CmapTable(mapping));
}

}  // namespace zelvane
