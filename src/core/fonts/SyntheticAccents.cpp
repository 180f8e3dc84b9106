#include "fonts/SyntheticAccents.h"

#include "fonts/FontLookup.h"
#include "fonts/PDFTextOverlay.h"

#include <QFontMetricsF>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QRawFont>
#include <QTextBoundaryFinder>
#include <QGlyphRun>
#include <QPaintEngine>
#include <QRawFont>
#include <QTextLayout>
#include <QVarLengthArray>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <memory>
#include <vector>

namespace zelvane::PDFCodec {

namespace {

using Kind = SyntheticAccentKind;

const QHash<QString, std::pair<QString, Kind>>& accentTable()
{
    static const QHash<QString, std::pair<QString, Kind>> table = [] {
        struct Row {
            const char16_t* letter;
            const char16_t* base;
            Kind kind;
        };
        static const Row rows[] = {
            {u"É", u"E", Kind::acute},     {u"È", u"E", Kind::grave},     {u"Ê", u"E", Kind::circumflex},
            {u"Ë", u"E", Kind::diaeresis}, {u"À", u"A", Kind::grave},     {u"Â", u"A", Kind::circumflex},
            {u"Ä", u"A", Kind::diaeresis}, {u"Ù", u"U", Kind::grave},     {u"Û", u"U", Kind::circumflex},
            {u"Ü", u"U", Kind::diaeresis}, {u"Î", u"I", Kind::circumflex}, {u"Ï", u"I", Kind::diaeresis},
            {u"Ô", u"O", Kind::circumflex}, {u"Ö", u"O", Kind::diaeresis}, {u"Ç", u"C", Kind::cedilla},
            {u"é", u"e", Kind::acute},     {u"è", u"e", Kind::grave},     {u"ê", u"e", Kind::circumflex},
            {u"ë", u"e", Kind::diaeresis}, {u"à", u"a", Kind::grave},     {u"â", u"a", Kind::circumflex},
            {u"ä", u"a", Kind::diaeresis}, {u"ù", u"u", Kind::grave},     {u"û", u"u", Kind::circumflex},
            {u"ü", u"u", Kind::diaeresis}, {u"î", u"i", Kind::circumflex}, {u"ï", u"i", Kind::diaeresis},
            {u"ô", u"o", Kind::circumflex}, {u"ö", u"o", Kind::diaeresis}, {u"ç", u"c", Kind::cedilla},
        };
        QHash<QString, std::pair<QString, Kind>> t;
        for (const Row& row : rows)
            t.insert(QString::fromUtf16(row.letter), {QString::fromUtf16(row.base), row.kind});
        return t;
    }();
    return table;
}

QString firstCharacter(const QString& text)
{
    if (text.isEmpty())
        return {};
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    const qsizetype end = finder.toNextBoundary();
    return end > 0 ? text.left(end) : text;
}

// The ends of the characters (graphemes) of `text` one after another, each
// after the last. Below U+0300 every unit is a character of its own but a
// carriage return and the line feed after it; such text is cut without
// Qt's boundary finder, which looks every unit's properties up first.
class CharacterEnds {
public:
    explicit CharacterEnds(const QString& text)
        : m_text(text)
    {
        m_simple = std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x300; });
        if (!m_simple)
            m_finder.emplace(QTextBoundaryFinder::Grapheme, text);
    }

    // The end of the character starting at `start` (where the last ended);
    // -1 after the last.
    qsizetype next(qsizetype start)
    {
        if (!m_simple) {
            qsizetype end = m_finder->toNextBoundary();
            while (end >= 0 && end <= start)
                end = m_finder->toNextBoundary();
            return end;
        }
        if (start >= m_text.size())
            return -1;
        const bool pair = m_text[start] == QLatin1Char('\r') && start + 1 < m_text.size()
                          && m_text[start + 1] == QLatin1Char('\n');
        return start + (pair ? 2 : 1);
    }

private:
    const QString& m_text;
    bool m_simple = true;
    std::optional<QTextBoundaryFinder> m_finder;
};

// The source unit of drawn unit `k`: an empty `sourceOf` stands for every
// unit standing for itself.
inline qsizetype sourceUnit(const QList<qsizetype>& sourceOf, qsizetype k)
{
    return sourceOf.isEmpty() ? k : sourceOf[k];
}

std::atomic<bool> printedTextLaidOutAlone{false};
std::atomic<bool> everyLigatureCutMade{false};

struct PendingAccent {
    qsizetype position;
    qsizetype length;
    Kind kind;
    bool capital;
};

// Whether `c` is one of the accented letters of the accent table.
inline bool isAccentedLetter(QChar c)
{
    const char16_t u = c.unicode();
    return u >= 0xC0 && u <= 0xFF && accentTable().contains(QString(c));
}

// What one question (named by `Tag`) answered for the faces a thread asked
// it of, by their font engine; each face held, so that no other engine takes its place under
// the same address. A few faces at a time (a held face's engine stays
// loaded), and never destroyed: engines must not be let go after Qt's font
// data at exit.
template <typename Tag, typename Ask>
bool askedOfFace(const QRawFont& face, Ask ask)
{
    thread_local auto* const known = new std::vector<std::pair<QRawFont, bool>>();
    for (const auto& [raw, answer] : *known) {
        if (raw == face)
            return answer;
    }
    const bool answer = ask();
    if (known->size() >= 32)
        known->clear();
    known->emplace_back(face, answer);
    return answer;
}

// Whether `face` is a subset of capitals: some capital vowel and no
// lower-case one. Kept per thread.
bool capitalsOnlyFace(const QRawFont& face)
{
    if (!face.isValid())
        return false;
    return askedOfFace<struct CapitalsOnly>(face, [&] {
        const QList<quint32> vowels = face.glyphIndexesForString(QStringLiteral("aeioAEIO"));
        const auto anyOf = [&](qsizetype from) {
            return vowels.size() == 8 && std::any_of(vowels.begin() + from, vowels.begin() + from + 4,
                                                     [](quint32 glyph) { return glyph != 0; });
        };
        return !anyOf(0) && anyOf(4);
    });
}

// Whether every unit of `text` is shaped into the same glyphs at the same
// distances from one another wherever the text stands in a line laid out
// without ligatures: Latin letters, digits, punctuation, currency signs and
// the minus sign (which troff writes for an option's dashes), which all fall
// into one script run with what stands before them, none of
// them joins or reorders with its neighbours, and a font's pair kerning only
// changes the advance of the first glyph of a pair.
bool shapedAlikeInAnyLine(QStringView text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool alike = (u >= 0x20 && u < 0x7F) || (u >= 0xA0 && u < 0x0300 && u != 0xAD)
                           || (u >= 0x1E00 && u < 0x1F00) || (u >= 0x2010 && u < 0x2028)
                           || (u >= 0x2030 && u < 0x205F) || (u >= 0x20A0 && u < 0x20C0) || u == 0x2212;
        if (!alike)
            return false;
    }
    return true;
}

// Whether shaping with `face` gives every character the glyph of its
// character map and the face's advance whatever stands beside it: a face
// without tables of substitutions, positioning, glyph classes or kerning,
// OpenType's or Apple's. Kept per thread.
bool shapesEachCharacterAlone(const QRawFont& face)
{
    if (!face.isValid())
        return false;
    return askedOfFace<struct EachAlone>(face, [&] {
        static const char* const kTables[] = {"GSUB", "GPOS", "GDEF", "kern", "morx",
                                              "mort", "kerx", "trak", "ankr", "feat"};
        return std::all_of(std::begin(kTables), std::end(kTables),
                           [&](const char* tag) { return face.fontTable(tag).isEmpty(); });
    });
}

}  // namespace

namespace {

// Whether `c` is the lower-case ASCII letter `lower` or its capital: the
// only characters whose lower case is "f", "s" or "t".
inline bool isLetter(QChar c, char16_t lower)
{
    return c.unicode() == lower || c.unicode() == lower - 0x20;
}

// Without ligatures the text is shaped in pieces cut after every "f" and
// between "s" and "t", the letters ligatures join, so that each character
// keeps a glyph of its own (a PDF reader would read a ligature glyph back as
// its ligature character, "oﬀice" for "office"). As layOutLine, with every
// cut made when `everyCut`; `ownGlyphs` is given the glyphs of the line's own
// face for the text when they were read.
std::unique_ptr<QTextLayout> layOutLineCut(const QString& text, const QFont& font, double kern, bool withoutLigatures,
                                           bool everyCut, QList<quint32>* ownGlyphs = nullptr,
                                           QRawFont* ownFace = nullptr)
{
    auto layout = std::make_unique<QTextLayout>(text, fonts::layoutFont(font, kern));
    // The glyphs shaped for the layout are kept with it: reading its glyphs,
    // cursor positions or drawing it then shapes the text no second time.
    layout->setCacheEnabled(true);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setUseDesignMetrics(true);
    layout->setTextOption(option);
    if (withoutLigatures) {
        // Alternating marks make neighbouring pieces differ, so they are
        // shaped apart. Made once: each new format makes Qt take its default
        // font under a lock the whole program shares.
        thread_local const std::array<QTextCharFormat, 2> marks = [] {
            std::array<QTextCharFormat, 2> made;
            for (int k = 0; k < 2; ++k)
                made[size_t(k)].setProperty(QTextFormat::UserProperty, k);
            return made;
        }();
        // A cut between two letters the line's own face draws changes
        // nothing when that face shapes every character alone, nor does one
        // beside a letter another font fills in, which is shaped apart from
        // the face's anyway: such cuts are left out, and fewer pieces shaped.
        // Only in lines of Latin letters, digits and punctuation, which make
        // one script run whose characters each keep a glyph of their own.
        QList<quint32> own;
        if (!everyCut && shapedAlikeInAnyLine(text)) {
            const QRawFont face = fonts::rawFontOf(layout->font());
            if (shapesEachCharacterAlone(face))
                own = face.glyphIndexesForString(text);
            if (own.size() != text.size())
                own.clear();
            if (ownFace)
                *ownFace = face;
        }
        QList<QTextLayout::FormatRange> pieces;
        qsizetype start = 0;
        for (qsizetype i = 1; i <= text.size(); ++i) {
            const bool cut = i == text.size()
                             || ((isLetter(text[i - 1], u'f')
                                  || (isLetter(text[i - 1], u's') && isLetter(text[i], u't')))
                                 && (own.isEmpty() || (own[i - 1] == 0 && own[i] == 0)));
            if (!cut)
                continue;
            QTextLayout::FormatRange piece;
            piece.start = int(start);
            piece.length = int(i - start);
            piece.format = marks[size_t(pieces.size() % 2)];
            pieces.append(piece);
            start = i;
        }
        // A text without cuts is shaped whole either way.
        if (pieces.size() > 1)
            layout->setFormats(pieces);
        if (ownGlyphs)
            *ownGlyphs = std::move(own);
    }
    layout->beginLayout();
    layout->createLine();
    layout->endLayout();
    return layout;
}

}  // namespace

std::unique_ptr<QTextLayout> layOutLine(const QString& text, const QFont& font, double kern, bool withoutLigatures)
{
    return layOutLineCut(text, font, kern, withoutLigatures, everyLigatureCutMade);
}

QList<QGlyphRun> lineGlyphRuns(const QTextLayout& layout)
{
    if (layout.lineCount() != 1)
        return layout.glyphRuns();
    const QList<QGlyphRun> pieces = layout.lineAt(0).glyphRuns();
    if (pieces.size() <= 1)
        return pieces;
    // The pieces of one font and flags joined in their order, each list
    // made once at its full size rather than copied for every piece.
    struct Joined {
        QGlyphRun run;
        QRawFont raw;
        QGlyphRun::GlyphRunFlags flags;
        qsizetype firstPiece = 0;
        qsizetype glyphCount = 0;
        QList<quint32> glyphs;
        QList<QPointF> positions;
        QRectF box;
    };
    std::vector<Joined> joined;
    joined.reserve(2);
    QVarLengthArray<qsizetype, 16> joinedInto(pieces.size());
    for (qsizetype p = 0; p < pieces.size(); ++p) {
        const QGlyphRun& piece = pieces[p];
        const QRawFont raw = piece.rawFont();
        const QGlyphRun::GlyphRunFlags flags = piece.flags();
        auto found = std::find_if(joined.begin(), joined.end(),
                                  [&](const Joined& j) { return j.flags == flags && j.raw == raw; });
        if (found == joined.end())
            found = joined.insert(joined.end(), {piece, raw, flags, p, 0, {}, {}, {}});
        found->glyphCount += piece.glyphIndexes().size();
        joinedInto[p] = found - joined.begin();
    }
    for (qsizetype p = 0; p < pieces.size(); ++p) {
        Joined* const found = &joined[size_t(joinedInto[p])];
        if (found->firstPiece == p)
            continue;
        const QGlyphRun& piece = pieces[p];
        if (found->run.isEmpty()) {
            found->run = piece;
            continue;
        }
        if (found->glyphs.isEmpty()) {
            found->glyphs.reserve(found->glyphCount);
            found->positions.reserve(found->glyphCount);
            found->glyphs.append(found->run.glyphIndexes());
            found->positions.append(found->run.positions());
            found->box = found->run.boundingRect();
        }
        found->glyphs += piece.glyphIndexes();
        found->positions += piece.positions();
        found->box = found->box.united(piece.boundingRect());
    }
    QList<QGlyphRun> runs;
    runs.reserve(qsizetype(joined.size()));
    for (Joined& j : joined) {
        if (!j.glyphs.isEmpty()) {
            j.run.setGlyphIndexes(j.glyphs);
            j.run.setPositions(j.positions);
            j.run.setBoundingRect(j.box);
        }
        runs.append(j.run);
    }
    return runs;
}

namespace {

// Type 1 and CFF programs carry no ligature rules, and a subset often holds
// "ffi" only as the ligature glyph it printed, without a plain "f" or "i".
// On pixels such a sequence is drawn with the program's own ligature glyph
// rather than with letters of another font. `sourceOf` is left empty when
// every unit stands for itself.
QString withSubsetLigatures(const QString& text, const QFont& font, QList<qsizetype>* sourceOf = nullptr)
{
    static const std::pair<const char*, char16_t> kLigatures[] = {
        {"ffi", u'\uFB03'}, {"ffl", u'\uFB04'}, {"ff", u'\uFB00'}, {"fi", u'\uFB01'}, {"fl", u'\uFB02'}};
    const auto identity = [&] {
        if (sourceOf)
            sourceOf->clear();
        return text;
    };
    if (!text.contains(QLatin1Char('f')))
        return identity();
    const QRawFont face = fonts::rawFontOf(font);
    if (!face.isValid() || fonts::hasCharacters(face, QStringLiteral("fil")))
        return identity();
    QList<std::pair<QString, QChar>> wanted;
    for (const auto& [letters, ligature] : kLigatures) {
        const QString sequence = QLatin1String(letters);
        if (!fonts::hasCharacters(face, sequence) && fonts::hasCharacters(face, QString(QChar(ligature))))
            wanted.append({sequence, QChar(ligature)});
    }
    if (wanted.isEmpty())
        return identity();
    // Longest sequences first, as the table lists them.
    QString out;
    if (sourceOf)
        sourceOf->clear();
    qsizetype i = 0;
    while (i < text.size()) {
        qsizetype taken = 1;
        QChar emitted = text[i];
        for (const auto& [sequence, ligature] : wanted) {
            if (QStringView(text).mid(i, sequence.size()) == sequence) {
                taken = sequence.size();
                emitted = ligature;
                break;
            }
        }
        out += emitted;
        if (sourceOf)
            sourceOf->append(i);
        i += taken;
    }
    return out;
}

}  // namespace

std::optional<std::pair<QString, SyntheticAccentKind>> syntheticAccentFor(const QString& letter)
{
    const auto found = accentTable().constFind(letter);
    if (found == accentTable().constEnd())
        return std::nullopt;
    return *found;
}

AdaptedSubsetText adaptStringForSubsetFont(const QString& text, const QFont& font, double kern)
{
    if (text.isEmpty() || !fonts::hasFontSupport())
        return {text, {}};
    const QRawFont face = fonts::rawFontOf(font);
    // Without surrogates the face gives one glyph per unit, and a face that
    // is no subset of capitals only changes a missing letter of the accent
    // table: a text without such letters stays as it is, whichever glyphs
    // the face lacks, and its glyphs need not be read.
    if (face.isValid()
        && std::none_of(text.begin(), text.end(), [](QChar c) { return c.isSurrogate() || isAccentedLetter(c); })
        && !capitalsOnlyFace(face))
        return {text, {}};
    auto has = [&face](const QString& x) { return fonts::hasCharacters(face, x); };
    // The text's glyphs, read once: with one per unit (no surrogate pairs),
    // whether the face has a character of the text is read from them.
    const QList<quint32> glyphs = face.isValid() ? face.glyphIndexesForString(text) : QList<quint32>();
    if (!glyphs.isEmpty() && std::find(glyphs.begin(), glyphs.end(), 0u) == glyphs.end())
        return {text, {}};
    const bool oneGlyphPerUnit = glyphs.size() == text.size();
    // A face that is no subset of capitals only draws another letter for a
    // missing one of the accent table: when no such letter is missing, the
    // text stays as it is.
    if (oneGlyphPerUnit && !capitalsOnlyFace(face)) {
        bool replaced = false;
        for (qsizetype k = 0; k < text.size() && !replaced; ++k)
            replaced = glyphs[k] == 0 && isAccentedLetter(text[k]);
        if (!replaced)
            return {text, {}};
    }
    const auto hasAt = [&](qsizetype position, QStringView c) {
        if (!oneGlyphPerUnit)
            return has(c.toString());
        for (qsizetype k = position; k < position + c.size(); ++k) {
            if (glyphs[k] == 0)
                return false;
        }
        return true;
    };

    std::optional<bool> askedCapitals;
    const auto capitalsOnlyAsked = [&] {
        if (!askedCapitals)
            askedCapitals = capitalsOnlyFace(face);
        return *askedCapitals;
    };

    QString adapted;
    adapted.reserve(text.size());
    QList<PendingAccent> pending;
    CharacterEnds ends(text);
    for (qsizetype position = 0, end = ends.next(0); end > position; position = end, end = ends.next(end)) {
        const QStringView unit = QStringView(text).mid(position, end - position);
        if (oneGlyphPerUnit && hasAt(position, unit)) {
            adapted += unit;
            continue;
        }
        const QString c = unit.toString();
        QString emitted;
        if (hasAt(position, c)) {
            emitted = c;
        } else {
            const bool capitalsOnly = capitalsOnlyAsked();
            if (capitalsOnly) {
                const QString u = firstCharacter(c.toUpper());
                if (!u.isEmpty() && u != c) {
                    if (has(u)) {
                        emitted = u;
                    } else if (const auto accent = syntheticAccentFor(u); accent && has(accent->first)) {
                        pending.append({adapted.size(), accent->first.size(), accent->second, true});
                        emitted = accent->first;
                    }
                }
            }
            if (emitted.isEmpty()) {
                if (const auto accent = syntheticAccentFor(c)) {
                    const QString base = capitalsOnly ? firstCharacter(accent->first.toUpper()) : accent->first;
                    if (has(base)) {
                        pending.append({adapted.size(), base.size(), accent->second, base.at(0).isUpper()});
                        emitted = base;
                    }
                }
            }
            if (emitted.isEmpty())
                emitted = c;
        }
        adapted += emitted;
    }
    if (pending.isEmpty())
        return {adapted, {}};

    const auto layout = layOutLine(adapted, font, kern);
    const QTextLine line = layout->lineAt(0);
    if (!line.isValid())
        return {adapted, {}};
    const QFontMetricsF metrics(fonts::layoutFont(font, 0));
    const double capHeight = fonts::capHeightOf(font);
    const double xHeight = metrics.xHeight();
    const double lowerTop = xHeight > 2.0 ? xHeight : capHeight * 0.72;

    AdaptedSubsetText result{adapted, {}};
    for (const PendingAccent& accent : pending) {
        const double x0 = line.cursorToX(int(accent.position));
        const double x1 = line.cursorToX(int(accent.position + accent.length));
        result.accents.append({(x0 + x1) * 0.5, accent.capital ? -capHeight : -lowerTop, 0.0, capHeight, accent.kind});
    }
    return result;
}

void layOutPrintedTextAlone(bool alone)
{
    printedTextLaidOutAlone = alone;
}

void makeEveryLigatureCut(bool every)
{
    everyLigatureCutMade = every;
}

double alignedLineStart(double x, double width, TextAlignmentMode alignment, double boxWidth)
{
    switch (alignment) {
    case TextAlignmentMode::left:
        return x;
    case TextAlignmentMode::right:
        return x + std::max(boxWidth - width, 0.0);
    case TextAlignmentMode::center:
        return x + std::max((boxWidth - width) * 0.5, 0.0);
    }
    return x;
}

namespace {

// One stretch of the drawn text moved by `shift` from its plain place.
struct ShiftedPiece {
    int start = 0;
    int length = 0;
    double shift = 0;
};

// Whether shaping gives every unit of `text` one glyph of its own, in the
// order of the text: left-to-right alphabets without combining marks.
bool shapedOneGlyphPerUnit(const QString& text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool simple = (u >= 0x20 && u < 0x7F) || (u >= 0xA0 && u < 0x0300) || (u >= 0x0370 && u < 0x0483)
                            || (u >= 0x048A && u < 0x0530) || (u >= 0x1E00 && u < 0x2000)
                            || (u >= 0x2010 && u < 0x2028) || (u >= 0x2030 && u < 0x2060)
                            || (u >= 0x20A0 && u < 0x20C0) || (u >= 0x2100 && u < 0x2C00);
        // No mark lies below U+0300.
        if (!simple || (u >= 0x0300 && c.isMark()))
            return false;
    }
    return true;
}

// The glyphs of a line laid out without ligatures, one per unit of the
// text: the runs (one per font: the line's own, and those filling in for
// characters it lacks), and for every unit the run and glyph that draw it.
struct UnitGlyphs {
    QList<QGlyphRun> runs;
    QList<qsizetype> runOf;
    QList<qsizetype> glyphOf;
    QList<double> x;  // the glyph's x: the unit's cursor position
};

// The glyphs of `drawn` one per unit in `layout`; nothing when the line is
// not made that way (clusters, other alphabets) or its glyphs do not sit at
// the layout's own cursor positions. `ownFace`, when given, is the face of
// the layout's font.
std::optional<UnitGlyphs> glyphPerUnit(const QTextLayout& layout, const QString& drawn,
                                       const QList<quint32>& ownGlyphs = {}, const QRawFont* ownFace = nullptr)
{
    if (drawn.isEmpty() || !shapedOneGlyphPerUnit(drawn))
        return std::nullopt;
    UnitGlyphs out;
    out.runs = lineGlyphRuns(layout);
    if (out.runs.isEmpty())
        return std::nullopt;
    // With several runs, the line's own font draws every unit it has a glyph for.
    const QRawFont face = ownFace && ownFace->isValid() ? *ownFace : fonts::rawFontOf(layout.font());
    const qsizetype runCount = out.runs.size();
    qsizetype own = 0;
    if (runCount > 1) {
        own = -1;
        for (qsizetype r = 0; r < runCount && own < 0; ++r) {
            if (out.runs[r].rawFont() == face)
                own = r;
        }
        if (own < 0)
            return std::nullopt;
    }
    std::vector<QList<QPointF>> positions(static_cast<size_t>(runCount));
    for (qsizetype r = 0; r < runCount; ++r)
        positions[size_t(r)] = out.runs[r].positions();
    // With several runs, the face's glyphs for the units tell which units its
    // run draws; with more than two, the glyphs each other run's face has for
    // them, matched with that run's next glyph, tell which of those draws the rest.
    const QList<quint32> faceGlyphs = runCount == 1                        ? QList<quint32>()
                                      : ownGlyphs.size() == drawn.size() ? ownGlyphs
                                                                         : face.glyphIndexesForString(drawn);
    if (runCount > 1 && faceGlyphs.size() != drawn.size())
        return std::nullopt;
    std::vector<QList<quint32>> runGlyphs;
    std::vector<QList<quint32>> runFaceGlyphs;
    if (runCount > 2) {
        for (qsizetype r = 0; r < runCount; ++r) {
            runGlyphs.push_back(out.runs[r].glyphIndexes());
            runFaceGlyphs.push_back(r == own ? QList<quint32>() : out.runs[r].rawFont().glyphIndexesForString(drawn));
            if (r != own && runFaceGlyphs.back().size() != drawn.size())
                return std::nullopt;
        }
    }
    std::vector<qsizetype> next(size_t(runCount), 0);
    out.runOf.resize(drawn.size());
    out.glyphOf.resize(drawn.size());
    out.x.resize(drawn.size());
    qsizetype* const runOf = out.runOf.data();
    qsizetype* const glyphOf = out.glyphOf.data();
    double* const x = out.x.data();
    for (qsizetype k = 0; k < drawn.size(); ++k) {
        qsizetype r = runCount == 1 || faceGlyphs[k] != 0 ? own : 1 - own;
        if (runCount > 2 && r != own) {
            // The one other run whose next glyph is its face's for the unit.
            r = -1;
            for (qsizetype other = 0; other < runCount; ++other) {
                const size_t o = size_t(other);
                if (other == own || next[o] >= runGlyphs[o].size() || runFaceGlyphs[o][k] == 0
                    || runGlyphs[o][next[o]] != runFaceGlyphs[o][k])
                    continue;
                if (r >= 0)
                    return std::nullopt;
                r = other;
            }
            if (r < 0)
                return std::nullopt;
        }
        const QList<QPointF>& places = positions[size_t(r)];
        if (next[size_t(r)] >= places.size())
            return std::nullopt;
        runOf[k] = r;
        glyphOf[k] = next[size_t(r)]++;
        x[k] = places[glyphOf[k]].x();
        if (k > 0 && x[k] < x[k - 1])
            return std::nullopt;
    }
    for (qsizetype r = 0; r < runCount; ++r) {
        if (next[size_t(r)] != positions[size_t(r)].size()
            || out.runs[r].glyphIndexes().size() != positions[size_t(r)].size())
            return std::nullopt;
    }
    // Checked against the layout's own cursor positions midway and at the end.
    const QTextLine line = layout.lineAt(0);
    const qsizetype last = drawn.size() - 1;
    if (std::abs(line.cursorToX(int(last)) - out.x[last]) > 1e-6
        || std::abs(line.cursorToX(int(last / 2)) - out.x[last / 2]) > 1e-6)
        return std::nullopt;
    return out;
}

// The x of every cursor position of `drawn` in `line` (size + 1 entries),
// read from its glyphs when there is one per unit.
QList<double> cursorPositions(const QTextLine& line, const QString& drawn, const std::optional<UnitGlyphs>& glyphs)
{
    if (glyphs && glyphs->x.size() == drawn.size()) {
        QList<double> x;
        x.reserve(drawn.size() + 1);
        x.append(glyphs->x);
        x.append(line.isValid() ? line.horizontalAdvance() : 0.0);
        return x;
    }
    QList<double> x(drawn.size() + 1, line.isValid() ? line.horizontalAdvance() : 0.0);
    for (qsizetype k = 0; k < drawn.size(); ++k)
        x[k] = glyphs ? glyphs->x[k] : line.isValid() ? line.cursorToX(int(k)) : 0.0;
    return x;
}

// Where a line laid out from `drawn` puts every cursor position of the
// source text it was drawn for, from the x of the drawn cursor positions;
// `sourceOf` tells the source index of every drawn unit (empty: the same).
QList<double> sourcePositions(const QList<double>& cursorX, const QString& drawn, const QList<qsizetype>& sourceOf,
                              qsizetype sourceSize)
{
    if (sourceOf.isEmpty() && sourceSize == drawn.size())
        return cursorX;
    QList<double> natural(sourceSize + 1, cursorX[drawn.size()]);
    for (qsizetype k = drawn.size() - 1; k >= 0; --k) {
        for (qsizetype i = sourceUnit(sourceOf, k); i < (k + 1 < drawn.size() ? sourceUnit(sourceOf, k + 1) : sourceSize);
             ++i)
            natural[i] = cursorX[k];
    }
    return natural;
}

// Where a plain layout of `end` alone puts each of its cursor positions,
// read from `cursorX` (those of `drawn`) when `drawn` ends with `end`: the
// cuts that keep letters apart fall alike in both, so the glyphs of `end`
// and their advances are the same and only their start differs. Nothing
// when `drawn` does not end so.
std::optional<QList<double>> naturalPositionsOfEnd(const QList<double>& cursorX, const QString& drawn,
                                                   const QString& end)
{
    const qsizetype start = drawn.size() - end.size();
    if (start < 0 || QStringView(drawn).mid(start) != end || !shapedAlikeInAnyLine(drawn))
        return std::nullopt;
    QList<double> natural(end.size() + 1);
    for (qsizetype j = 0; j <= end.size(); ++j)
        natural[j] = cursorX[start + j] - cursorX[start];
    return natural;
}

// `printed` with the origin of every glyph: where only the ink's start is
// known, the glyph's origin lies its left bearing before it.
PrintedLine printedOrigins(const PrintedLine& printed, const QFont& font)
{
    if (!printed.inkStarts)
        return printed;
    PrintedLine origins = printed;
    const QRawFont raw = fonts::rawFontOf(fonts::layoutFont(font, 0));
    if (!raw.isValid())
        return origins;
    for (qsizetype i = 0; i < origins.x.size() && i < origins.text.size(); ++i) {
        if (!std::isfinite(origins.x[i]) || origins.text[i].isSurrogate())
            continue;
        const QList<quint32> glyphs = raw.glyphIndexesForString(QString(origins.text[i]));
        if (glyphs.size() == 1 && glyphs.front() != 0)
            origins.x[i] -= raw.pathForGlyph(glyphs.front()).boundingRect().left();
    }
    return origins;
}

// The drawn text cut where the printed placement moves its characters by
// different amounts (at character boundaries only); one piece without shift
// when there is no printed line.
QList<ShiftedPiece> shiftedPieces(const QTextLayout& layout, const QString& drawn, const QList<qsizetype>& sourceOf,
                                  const QString& source, const QFont& font, double kern, bool subsetLigatures,
                                  const PrintedLine* printed, const std::optional<UnitGlyphs>& glyphs)
{
    if (!printed || drawn.isEmpty())
        return {{0, int(drawn.size()), 0.0}};
    const QList<double> cursorX = cursorPositions(layout.lineAt(0), drawn, glyphs);
    // Drawn unit for source unit, the drawn places are the source's.
    const QList<double> natural =
        subsetLigatures || drawn.size() != source.size() ? sourcePositions(cursorX, drawn, sourceOf, source.size())
                                                         : cursorX;
    QList<qsizetype> printedSourceOf;
    const QString printedDrawn =
        subsetLigatures ? withSubsetLigatures(printed->text, font, &printedSourceOf) : printed->text;
    std::optional<QList<double>> naturalPrinted;
    if (!printedTextLaidOutAlone && drawn.size() == source.size() && printedDrawn.size() == printed->text.size())
        naturalPrinted = naturalPositionsOfEnd(cursorX, drawn, printedDrawn);
    if (!naturalPrinted) {
        // The printed text laid out plainly the same way.
        const auto printedLayout = layOutLine(printedDrawn, font, kern, true);
        naturalPrinted = sourcePositions(
            cursorPositions(printedLayout->lineAt(0), printedDrawn, glyphPerUnit(*printedLayout, printedDrawn)),
            printedDrawn, printedSourceOf, printed->text.size());
    }
    const QList<double> shifts = printedShifts(printedOrigins(*printed, font), *naturalPrinted, source, natural);

    // At most one piece per unit, written in place. Below U+0300 the only
    // unit that starts no character is a line feed after a carriage return,
    // a space, which stays in its piece anyway: the layout is not asked.
    QList<ShiftedPiece> pieces(drawn.size());
    ShiftedPiece* const piece = pieces.data();
    qsizetype count = 0;
    const QChar* const units = drawn.constData();
    const bool everyUnitStarts =
        std::all_of(drawn.begin(), drawn.end(), [](QChar c) { return c.unicode() < 0x300; });
    for (qsizetype k = 0; k < drawn.size(); ++k) {
        const double shift = shifts.value(sourceUnit(sourceOf, k));
        if (count > 0 && (std::abs(piece[count - 1].shift - shift) < 1e-3 || units[k].isSpace()
                          || (!everyUnitStarts && !layout.isValidCursorPosition(int(k))))) {
            ++piece[count - 1].length;
            continue;
        }
        piece[count++] = {int(k), 1, shift};
    }
    pieces.resize(count);
    return pieces;
}

}  // namespace

void drawTextLine(QPainter& painter, const QString& text, const QPointF& at, const QFont& font, double kern,
                  const QColor& color, TextAlignmentMode alignment, double boxWidth, const PrintedLine* printed)
{
    if (text.isEmpty() || !fonts::hasFontSupport())
        return;
    AdaptedSubsetText adapted = adaptStringForSubsetFont(text, font, kern);
    const QPaintEngine* engine = painter.paintEngine();
    const bool toPDF = engine && engine->type() == QPaintEngine::Pdf;
    if (adapted.adapted.size() != text.size() || alignment != TextAlignmentMode::left)
        printed = nullptr;
    QList<qsizetype> sourceOf;
    const bool subsetLigatures = !toPDF && adapted.accents.isEmpty();
    if (subsetLigatures)
        adapted.adapted = withSubsetLigatures(adapted.adapted, font, &sourceOf);

    // One point of font size is one user unit, whatever the device's
    // resolution. A line placed over its print keeps Qt from joining letters
    // the print set apart. The glyphs of the line's own face, when read to
    // lay it out, later tell which font draws each unit.
    QList<quint32> ownGlyphs;
    QRawFont ownFace;
    const auto layout =
        layOutLineCut(adapted.adapted, font, kern, toPDF || printed, everyLigatureCutMade, &ownGlyphs, &ownFace);
    const QTextLine line = layout->lineAt(0);
    if (!line.isValid())
        return;
    const double x = alignedLineStart(at.x(), line.horizontalAdvance(), alignment, boxWidth);
    const double y = at.y();
    // Over a printed line (laid out without ligatures) the glyphs are read
    // once, for their places and to draw them.
    const std::optional<UnitGlyphs> lineGlyphs =
        printed ? glyphPerUnit(*layout, adapted.adapted, ownGlyphs, &ownFace) : std::nullopt;
    const QList<ShiftedPiece> pieces =
        shiftedPieces(*layout, adapted.adapted, sourceOf, text, font, kern, subsetLigatures, printed, lineGlyphs);
    const QPointF origin(x, y - line.ascent());
    // An accent moves with the letter under it.
    const auto accentShift = [&](const SyntheticAccentPlacement& accent) {
        const int under = line.xToCursor(accent.centerX, QTextLine::CursorOnCharacter);
        for (const ShiftedPiece& piece : pieces) {
            if (under >= piece.start && under < piece.start + piece.length)
                return piece.shift;
        }
        return 0.0;
    };

    if (PDFTextOverlay* overlay = toPDF ? PDFTextOverlay::active() : nullptr) {
        // Written as PDF text by the overlay when its glyphs are known one
        // per unit (what each glyph stands for) and no accent is drawn.
        const std::optional<UnitGlyphs> glyphs =
            !adapted.accents.isEmpty() ? std::nullopt
            : lineGlyphs               ? lineGlyphs
                                       : glyphPerUnit(*layout, adapted.adapted, ownGlyphs, &ownFace);
        if (glyphs) {
            // Each run's places and characters written in place.
            const qsizetype runCount = glyphs->runs.size();
            QList<PDFTextOverlay::HeldRun> runs;
            runs.reserve(runCount);
            std::vector<QList<QPointF>> positions(static_cast<size_t>(runCount));
            for (qsizetype r = 0; r < runCount; ++r) {
                const QGlyphRun& run = glyphs->runs[r];
                positions[size_t(r)] = run.positions();
                runs.append({run, QString(positions[size_t(r)].size(), QChar())});
            }
            std::vector<QPointF*> places(size_t(runCount), nullptr);
            std::vector<QChar*> characters(size_t(runCount), nullptr);
            for (qsizetype r = 0; r < runCount; ++r) {
                places[size_t(r)] = positions[size_t(r)].data();
                characters[size_t(r)] = runs[r].characters.data();
            }
            const QChar* const drawnUnits = adapted.adapted.constData();
            const qsizetype* const runOf = glyphs->runOf.constData();
            const qsizetype* const glyphOf = glyphs->glyphOf.constData();
            for (const ShiftedPiece& piece : pieces) {
                for (qsizetype k = piece.start; k < piece.start + piece.length; ++k) {
                    const size_t r = size_t(runOf[k]);
                    places[r][glyphOf[k]].rx() += piece.shift;
                    characters[r][glyphOf[k]] = drawnUnits[k];
                }
            }
            for (qsizetype r = 0; r < runCount; ++r)
                runs[r].run.setPositions(positions[size_t(r)]);
            if (overlay->hold(painter, origin, runs, color))
                return;
        }
        // The held lines this line's ink may touch: its glyphs' ink when
        // known, else the line's box with room for accents and swashes.
        QRectF ink;
        if (glyphs) {
            QList<PDFTextOverlay::HeldRun> runs;
            for (const QGlyphRun& run : glyphs->runs)
                runs.append({run, {}});
            double before = 0;
            double after = 0;
            for (const ShiftedPiece& piece : pieces) {
                before = std::min(before, piece.shift);
                after = std::max(after, piece.shift);
            }
            ink = PDFTextOverlay::inkOf(origin, runs).adjusted(before, 0, after, 0);
        } else {
            const double room = line.height();
            ink = QRectF(x - room, y - line.ascent() - room, line.horizontalAdvance() + 2 * room, line.height() + 2 * room);
            for (const ShiftedPiece& piece : pieces)
                ink.adjust(std::min(piece.shift, 0.0), 0, std::max(piece.shift, 0.0), 0);
        }
        overlay->drawHeldWith(painter, painter.deviceTransform().mapRect(ink));
    }

    painter.save();
    if (toPDF && pieces.size() == 1 && pieces.front().shift == 0) {
        // Text stays text in PDF output, so it can be searched and copied.
        painter.setPen(color);
        layout->draw(&painter, origin);
    } else if (toPDF && lineGlyphs) {
        // Each glyph moved by the shift of its piece, one run per font.
        painter.setPen(color);
        QList<QList<QPointF>> positions;
        for (const QGlyphRun& run : lineGlyphs->runs)
            positions.append(run.positions());
        for (const ShiftedPiece& piece : pieces) {
            for (qsizetype k = piece.start; k < piece.start + piece.length; ++k)
                positions[lineGlyphs->runOf[k]][lineGlyphs->glyphOf[k]].rx() += piece.shift;
        }
        for (qsizetype r = 0; r < lineGlyphs->runs.size(); ++r) {
            QGlyphRun run = lineGlyphs->runs[r];
            run.setPositions(positions[r]);
            painter.drawGlyphRun(origin, run);
        }
    } else if (toPDF) {
        painter.setPen(color);
        for (const ShiftedPiece& piece : pieces) {
            for (const QGlyphRun& run : layout->glyphRuns(piece.start, piece.length))
                painter.drawGlyphRun(origin + QPointF(piece.shift, 0), run);
        }
    } else {
        // On pixels the glyphs are filled as outlines: coverage then follows
        // the shapes as a PDF renderer's does, where the glyph cache would
        // darken and snap them.
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        for (const ShiftedPiece& piece : pieces) {
            const QPointF start = origin + QPointF(piece.shift, 0);
            for (const QGlyphRun& run : layout->glyphRuns(piece.start, piece.length)) {
                const QRawFont raw = run.rawFont();
                const QList<quint32> glyphs = run.glyphIndexes();
                const QList<QPointF> positions = run.positions();
                QPainterPath path;
                for (qsizetype i = 0; i < glyphs.size() && i < positions.size(); ++i)
                    path.addPath(raw.pathForGlyph(glyphs[i]).translated(start + positions[i]));
                painter.drawPath(path);
            }
        }
    }
    painter.restore();

    if (adapted.accents.isEmpty())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    for (const SyntheticAccentPlacement& accent : adapted.accents) {
        const double h = accent.capHeight;
        const double cx = x + accent.centerX + accentShift(accent);
        const double top = y + accent.capTopY;
        const double base = y;
        const double w = std::max(h * 0.125, 1.1);
        painter.setPen(QPen(color, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(Qt::NoBrush);
        QPainterPath path;
        switch (accent.kind) {
        case Kind::acute:
            path.moveTo(cx - 0.05 * h, top - 0.08 * h);
            path.lineTo(cx + 0.12 * h, top - 0.23 * h);
            break;
        case Kind::grave:
            path.moveTo(cx + 0.05 * h, top - 0.08 * h);
            path.lineTo(cx - 0.12 * h, top - 0.23 * h);
            break;
        case Kind::circumflex:
            path.moveTo(cx - 0.13 * h, top - 0.08 * h);
            path.lineTo(cx, top - 0.22 * h);
            path.lineTo(cx + 0.13 * h, top - 0.08 * h);
            break;
        case Kind::cedilla:
            path.moveTo(cx, base);
            path.lineTo(cx - 0.03 * h, base + 0.12 * h);
            path.lineTo(cx + 0.06 * h, base + 0.2 * h);
            break;
        case Kind::diaeresis: {
            const double r = 0.65 * w;
            painter.setPen(Qt::NoPen);
            painter.setBrush(color);
            painter.drawEllipse(QRectF(cx - 0.11 * h - r, top - 0.16 * h - r, 2 * r, 2 * r));
            painter.drawEllipse(QRectF(cx + 0.11 * h - r, top - 0.16 * h - r, 2 * r, 2 * r));
            continue;
        }
        }
        painter.drawPath(path);
    }
    painter.restore();
}

}  // namespace zelvane::PDFCodec
