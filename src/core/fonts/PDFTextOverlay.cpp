#include "fonts/PDFTextOverlay.h"

#include "fonts/CompactFontProgram.h"

#include <QPainter>
#include <QFontDatabase>
#include <QHash>
#include <QPainterPath>

#include <algorithm>
#include <set>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace zelvane::PDFCodec {

struct PDFTextOverlay::FaceData {
    QRawFont raw;
    QRawFont design;  // at one pixel per font unit
    bool writable = false;
    bool emboldened = false;  // drawn by Qt twice
    double unitsPerEm = 0;
    // By glyph: its advance in font units (NaN until asked), its ink at the
    // face's size and its outline in glyph space (each set once known).
    std::vector<double> advances;
    std::vector<QRectF> boxes;
    std::vector<bool> boxKnown;
    std::vector<QPainterPath> outlines;
    std::vector<bool> outlineKnown;
};

class PDFTextOverlay::Writing {
public:
    // Appends to `bytes`, which holds what it holds until done().
    explicit Writing(QByteArray& bytes)
        : m_bytes(bytes)
        , m_used(bytes.size())
    {
        grow(16384);
    }

    // Where `size` more bytes may be written; advance() past those written.
    char* room(size_t size)
    {
        if (size_t(m_end - m_at) < size)
            grow(size);
        return m_at;
    }
    void advance(char* to) { m_at = to; }

    // The bytes hold exactly what was written.
    void done() { m_bytes.resize(m_at - m_bytes.data()); }

private:
    void grow(size_t size)
    {
        const qsizetype used = m_at ? m_at - m_bytes.data() : m_used;
        m_bytes.resize(std::max(2 * m_bytes.size(), used + qsizetype(size)));
        m_at = m_bytes.data() + used;
        m_end = m_bytes.data() + m_bytes.size();
    }

    QByteArray& m_bytes;
    qsizetype m_used;
    char* m_at = nullptr;
    char* m_end = nullptr;
};

namespace {

thread_local PDFTextOverlay* t_active = nullptr;

// Faces a thread keeps at most; more start the list afresh.
constexpr size_t kThreadFaces = 64;

// 128 bits wide enough for a 53-bit mantissa times a power of ten.
__extension__ typedef unsigned __int128 Wide;

// |value| times 10^Decimals rounded to a whole number exactly, half to even
// (as std::to_chars rounds), for a finite value whose product is below 2^63.
quint64 roundedExactly(double value, quint64 unit)
{
    // |value| = mantissa * 2^exponent exactly.
    const quint64 bits = std::bit_cast<quint64>(value);
    const int biased = int((bits >> 52) & 0x7FF);
    const quint64 mantissa = (bits & ((quint64(1) << 52) - 1)) | (biased ? quint64(1) << 52 : 0);
    const int exponent = (biased ? biased : 1) - 1075;
    const Wide product = static_cast<Wide>(mantissa) * unit;
    if (exponent >= 0)
        return quint64(product << exponent);
    if (exponent <= -127)
        return 0;
    const int shift = -exponent;
    const Wide whole = product >> shift;
    const Wide rest = product - (whole << shift);
    const Wide half = static_cast<Wide>(1) << (shift - 1);
    return quint64(whole) + ((rest > half || (rest == half && (whole & 1))) ? 1 : 0);
}

// The largest magnitude written: about the largest real PDF readers take.
constexpr double kLargestWritten = 1e38;

// The digits of a number as PDF writes it, at `p` (at most 60 bytes),
// returning where they end: at most `Decimals` decimals (0 to 6), no
// trailing zeros. Rounded as std::to_chars rounds the exact value; a value
// too close to halfway for its scaled product to tell is left to it. A
// larger value than PDF readers take is written as the largest they take,
// with its sign, so that what lies far off the page stays off it.
template <int Decimals>
char* putDigits(char* p, double value)
{
    static_assert(Decimals >= 0 && Decimals <= 6);
    constexpr double kScale = Decimals == 0   ? 1
                              : Decimals == 1 ? 1e1
                              : Decimals == 2 ? 1e2
                              : Decimals == 3 ? 1e3
                              : Decimals == 4 ? 1e4
                              : Decimals == 5 ? 1e5
                                              : 1e6;
    constexpr quint64 kUnit = quint64(kScale);
    if (std::isnan(value) || std::abs(value) < 0.5 / kScale)
        value = 0;
    else if (std::abs(value) > kLargestWritten)
        value = std::copysign(kLargestWritten, value);
    const double scaled = std::abs(value) * kScale;
    const double whole = std::floor(scaled);
    const double fraction = scaled - whole;
    // The product is within half a unit in the last place of the exact one:
    // near halfway, the exact value decides.
    quint64 n;
    if (scaled < 1e15 && std::abs(fraction - 0.5) > scaled * 0x1p-50) [[likely]]
        n = quint64(whole) + (fraction > 0.5 ? 1 : 0);
    else if (scaled < 1e15)
        n = roundedExactly(value, kUnit);
    else {
        char text[64];
        const auto [end, error] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, Decimals);
        if (error != std::errc()) {
            *p++ = '0';
            return p;
        }
        const char* last = end;
        if (std::find(text, end, '.') != end) {
            while (last > text && last[-1] == '0')
                --last;
            if (last > text && last[-1] == '.')
                --last;
        }
        if (last - text == 2 && text[0] == '-' && text[1] == '0') {
            *p++ = '0';
            return p;
        }
        std::memcpy(p, text, size_t(last - text));
        return p + (last - text);
    }
    if (n == 0) {
        *p++ = '0';
        return p;
    }
    // At most 16 digits, a point and a sign: written backwards.
    char text[24];
    char* const end = text + sizeof text;
    char* first = end;
    if constexpr (Decimals > 0) {
        quint64 part = n % kUnit;
        int digits = Decimals;
        while (digits > 0 && part % 10 == 0) {  // trailing zeros dropped
            part /= 10;
            --digits;
        }
        if (digits > 0) {
            for (int k = 0; k < digits; ++k, part /= 10)
                *--first = char('0' + part % 10);
            *--first = '.';
        }
    }
    quint64 integer = n / kUnit;
    do {
        *--first = char('0' + integer % 10);
        integer /= 10;
    } while (integer > 0);
    if (value < 0)
        *--first = '-';
    std::memcpy(p, first, size_t(end - first));
    return p + (end - first);
}

// A number as PDF writes it, at `p` (at most 63 bytes), returning where it
// ends: its digits, as a real when beyond the integers PDF readers take.
template <int Decimals>
char* putNumber(char* p, double value)
{
    char* const end = putDigits<Decimals>(p, value);
    if (std::abs(value) > 2147483647.0 && !std::memchr(p, '.', size_t(end - p))) [[unlikely]] {
        end[0] = '.';
        end[1] = '0';
        return end + 2;
    }
    return end;
}

char* putNumber(char* p, double value, int decimals)
{
    switch (decimals) {
    case 0:
        return putNumber<0>(p, value);
    case 1:
        return putNumber<1>(p, value);
    case 2:
        return putNumber<2>(p, value);
    case 3:
        return putNumber<3>(p, value);
    case 5:
        return putNumber<5>(p, value);
    case 6:
        return putNumber<6>(p, value);
    default:
        return putNumber<4>(p, value);
    }
}

void appendNumber(QByteArray& out, double value, int decimals = 4)
{
    char text[64];
    out.append(text, putNumber(text, value, decimals) - text);
}

template <size_t N>
char* put(char* p, const char (&text)[N])
{
    std::memcpy(p, text, N - 1);
    return p + (N - 1);
}

void appendHex(QByteArray& out, quint32 value, int digits)
{
    static const char kDigits[] = "0123456789ABCDEF";
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
        out += kDigits[(value >> shift) & 0xF];
}

quint16 bigEndian16(const QByteArray& table, qsizetype at)
{
    return quint16((quint8(table[at]) << 8) | quint8(table[at + 1]));
}

// Whether the face says it is bold as FreeType reads it: the OS/2 table's
// selection flags, else the header's style, else (no such tables) what the
// font database says of its weight.
bool faceSaysBold(const QRawFont& raw)
{
    if (const QByteArray os2 = raw.fontTable("OS/2"); os2.size() >= 64)
        return bigEndian16(os2, 62) & 0x20;
    if (const QByteArray head = raw.fontTable("head"); head.size() >= 46)
        return bigEndian16(head, 44) & 0x01;
    return QFontDatabase::weight(raw.familyName(), raw.styleName()) >= QFont::Bold;
}

bool faceHasFixedPitch(const QRawFont& raw)
{
    if (const QByteArray post = raw.fontTable("post"); post.size() >= 16)
        return bigEndian16(post, 12) != 0 || bigEndian16(post, 14) != 0;
    return QFontDatabase::isFixedPitch(raw.familyName(), raw.styleName());
}

// Qt draws a face asked for bold that does not say it is bold (letters of
// proportional width) twice, the second time half a line thickness back and
// for the eye alone.
bool emboldenedByQt(const QRawFont& raw)
{
    return raw.weight() >= QFont::Bold && !faceSaysBold(raw) && !faceHasFixedPitch(raw);
}

// Faces Qt slants itself, or whose weight the database does not know, are
// left to Qt. A face the database knows as slanted is drawn as it is, even
// when its style's name does not say so (a symbol program with an italic
// angle, such as the one of TeX's bullets).
bool writable(const QRawFont& raw)
{
    if (QFontDatabase::weight(raw.familyName(), raw.styleName()) < 0)
        return false;
    const QString style = raw.styleName().toLower();
    return raw.style() == QFont::StyleNormal || style.contains(QLatin1String("italic"))
           || style.contains(QLatin1String("oblique")) || QFontDatabase::italic(raw.familyName(), raw.styleName());
}

// A font name made of the letters and digits of `family`.
QByteArray fontNameOf(const QString& family)
{
    QByteArray name;
    for (const QChar c : family) {
        if (c.unicode() < 0x80 && c.isLetterOrNumber())
            name += char(c.unicode());
    }
    return name.isEmpty() ? QByteArray("Text") : name;
}

// Six capitals naming a subset, from what it holds: subsets of other
// glyphs or faces (of other overlays of the document too) get other tags.
QByteArray subsetTag(const QString& family, const std::vector<std::pair<quint32, QString>>& glyphs)
{
    size_t seed = qHash(family);
    for (const auto& [glyph, text] : glyphs)
        seed = seed * 1000003u ^ glyph;
    QByteArray tag(6, 'A');
    for (int k = 5; k >= 0; --k, seed /= 26)
        tag[k] = char('A' + seed % 26);
    return tag;
}

QByteArray toUnicodeMap(const std::vector<std::pair<quint32, QString>>& glyphs)
{
    QByteArray out = "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                     "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
                     "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
                     "1 begincodespacerange\n<00> <FF>\nendcodespacerange\n";
    for (size_t start = 0; start < glyphs.size(); start += 100) {
        const size_t end = std::min(glyphs.size(), start + 100);
        QByteArray block;
        int count = 0;
        for (size_t code = start; code < end; ++code) {
            const QString& text = glyphs[code].second;
            if (text.isEmpty())
                continue;
            block += '<';
            appendHex(block, quint32(code), 2);
            block += "> <";
            for (const QChar c : text)
                appendHex(block, c.unicode(), 4);
            block += ">\n";
            ++count;
        }
        if (count > 0)
            out += QByteArray::number(count) + " beginbfchar\n" + block + "endbfchar\n";
    }
    out += "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
    return out;
}


// The name of the glyph at `code` standing for `text`: "uni" and the
// character's four hexadecimal digits ("u" and five or six beyond the
// basic plane), as readers and font engines turn glyph names back into
// characters, so that a reader without the character map, and this program
// reading the font again, still know the character; "g" and the code plus
// one for a glyph of no single character or a name already taken.
QByteArray glyphName(const QString& text, size_t code, std::set<QByteArray>& taken)
{
    QByteArray name;
    const QList<uint> characters = text.toUcs4();
    if (characters.size() == 1 && characters.front() >= 0x20 && characters.front() != 0x7F) {
        const uint c = characters.front();
        name = c <= 0xFFFF ? "uni" + QByteArray::number(c, 16).toUpper().rightJustified(4, '0')
                           : "u" + QByteArray::number(c, 16).toUpper().rightJustified(5, '0');
    }
    if (name.isEmpty() || !taken.insert(name).second)
        name = 'g' + QByteArray::number(qsizetype(code) + 1);
    return name;
}
}  // namespace

// Each holding its font engine, so that no other engine takes its place
// under the same address. Never destroyed: engines must not be let go after
// Qt's font data at exit.
std::vector<std::shared_ptr<PDFTextOverlay::FaceData>>& PDFTextOverlay::threadFaces()
{
    thread_local auto* const faces = new std::vector<std::shared_ptr<FaceData>>();
    return *faces;
}

QRectF PDFTextOverlay::inkOf(const QPointF& origin, const QList<HeldRun>& runs)
{
    QRectF ink;
    for (const HeldRun& held : runs) {
        const QRawFont raw = held.run.rawFont();
        const QList<quint32> glyphs = held.run.glyphIndexes();
        const QList<QPointF> positions = held.run.positions();
        for (qsizetype i = 0; i < glyphs.size() && i < positions.size(); ++i)
            ink |= raw.boundingRect(glyphs[i]).translated(origin + positions[i]);
    }
    return ink.adjusted(-1, -1, 1, 1);
}

QRectF PDFTextOverlay::heldInkOf(const QPointF& origin, const QList<HeldRun>& runs)
{
    QRectF ink;
    for (const HeldRun& held : runs) {
        FaceData& face = *faceOf(held.run.rawFont())->data;
        const QList<quint32> glyphs = held.run.glyphIndexes();
        const QList<QPointF> positions = held.run.positions();
        for (qsizetype i = 0; i < glyphs.size() && i < positions.size(); ++i)
            ink |= boxOf(face, glyphs[i]).translated(origin + positions[i]);
    }
    return ink.adjusted(-1, -1, 1, 1);
}

PDFTextOverlay* PDFTextOverlay::active()
{
    return t_active;
}

PDFTextOverlay::Scope::Scope(PDFTextOverlay& overlay)
    : m_previous(t_active)
{
    t_active = &overlay;
}

PDFTextOverlay::Scope::~Scope()
{
    t_active = m_previous;
}

void PDFTextOverlay::startPage(qsizetype index)
{
    if (m_page >= 0 && !m_held.empty()) {
        Page& page = m_pages[m_page];
        Writing out(page.content);
        for (const HeldLine& line : m_held)
            writeLine(line, page, out);
        out.done();
    }
    m_held.clear();
    m_page = index;
}

bool PDFTextOverlay::hold(const QPainter& painter, const QPointF& origin, const QList<HeldRun>& runs,
                          const QColor& color)
{
    if (m_page < 0 || runs.isEmpty() || color.alpha() != 255 || painter.opacity() < 1.0 || painter.hasClipping()
        || painter.compositionMode() != QPainter::CompositionMode_SourceOver)
        return false;
    const QTransform transform = painter.deviceTransform();
    if (!transform.isInvertible() || !transform.isAffine())
        return false;
    for (const HeldRun& held : runs) {
        const QRawFont raw = held.run.rawFont();
        const QList<quint32> glyphs = held.run.glyphIndexes();
        if (!raw.isValid() || raw.pixelSize() <= 0 || raw.unitsPerEm() <= 0
            || held.run.positions().size() != glyphs.size() || held.characters.size() != glyphs.size()
            || held.run.overline() || held.run.underline() || held.run.strikeOut())
            return false;
        if (const Face* face = faceOf(raw); !face || !face->data->writable)
            return false;
        // Glyph ids of TrueType and compact font programs are 16-bit.
        if (std::any_of(glyphs.cbegin(), glyphs.cend(), [](quint32 glyph) { return glyph > 0xFFFF; }))
            return false;
    }
    m_held.push_back({transform, painter.worldTransform(), transform.mapRect(heldInkOf(origin, runs)), origin, color, runs});
    return true;
}

void PDFTextOverlay::drawHeldWith(QPainter& painter, const std::optional<QRectF>& area)
{
    std::vector<HeldLine> drawn;
    std::vector<HeldLine> kept;
    for (HeldLine& line : m_held)
        (!area || line.bounds.intersects(*area) ? drawn : kept).push_back(std::move(line));
    m_held = std::move(kept);
    if (drawn.empty())
        return;
    painter.save();
    for (const HeldLine& line : drawn) {
        painter.setWorldTransform(line.world);
        painter.setPen(line.color);
        for (const HeldRun& run : line.runs)
            painter.drawGlyphRun(line.origin, run.run);
    }
    painter.restore();
}

PDFTextOverlay::Face* PDFTextOverlay::faceOf(const QRawFont& raw)
{
    for (Face& face : m_faces) {
        if (face.data->raw == raw)
            return &face;
    }
    std::vector<std::shared_ptr<FaceData>>& known = threadFaces();
    auto found = std::find_if(known.begin(), known.end(), [&](const auto& data) { return data->raw == raw; });
    if (found == known.end()) {
        auto data = std::make_shared<FaceData>();
        data->raw = raw;
        data->design = raw;
        data->unitsPerEm = raw.unitsPerEm();
        data->design.setPixelSize(data->unitsPerEm);
        if (!data->design.isValid())
            return nullptr;
        data->writable = writable(raw);
        data->emboldened = emboldenedByQt(raw);
        if (known.size() >= kThreadFaces)
            known.clear();
        known.push_back(std::move(data));
        found = known.end() - 1;
    }
    Face face;
    face.data = *found;
    m_faces.push_back(std::move(face));
    return &m_faces.back();
}

std::pair<size_t, int> PDFTextOverlay::codeOf(Face& face, quint32 glyph, QChar character)
{
    if (glyph < face.codes.size() && face.codes[glyph].second >= 0)
        return face.codes[glyph];
    if (glyph >= face.codes.size())
        face.codes.resize(size_t(glyph) + 1, {0, -1});
    if (face.glyphsOf.empty() || face.glyphsOf.back().size() >= 256) {
        face.glyphsOf.emplace_back();
        face.fonts.push_back(m_fonts.size());
        Font font;
        font.name = "/ZT" + QByteArray::number(qsizetype(m_fonts.size()));
        m_fonts.push_back(font);
    }
    const std::pair<size_t, int> code{face.fonts.size() - 1, int(face.glyphsOf.back().size())};
    face.glyphsOf.back().emplace_back(glyph, character.isNull() ? QString() : QString(character));
    face.codes[glyph] = code;
    return code;
}

double PDFTextOverlay::advanceOf(FaceData& face, quint32 glyph)
{
    if (glyph < face.advances.size() && !std::isnan(face.advances[glyph]))
        return face.advances[glyph];
    const QList<QPointF> advances = face.design.advancesForGlyphIndexes({glyph}, QRawFont::UseDesignMetrics);
    const double advance = advances.isEmpty() ? 0.0 : advances.front().x();
    if (glyph >= face.advances.size())
        face.advances.resize(size_t(glyph) + 1, std::numeric_limits<double>::quiet_NaN());
    face.advances[glyph] = advance;
    return advance;
}

const QRectF& PDFTextOverlay::boxOf(FaceData& face, quint32 glyph)
{
    if (glyph >= face.boxes.size()) {
        face.boxes.resize(size_t(glyph) + 1);
        face.boxKnown.resize(size_t(glyph) + 1, false);
    }
    if (!face.boxKnown[glyph]) {
        face.boxes[glyph] = face.raw.boundingRect(glyph);
        face.boxKnown[glyph] = true;
    }
    return face.boxes[glyph];
}

const QPainterPath& PDFTextOverlay::outlineOf(FaceData& face, quint32 glyph)
{
    if (glyph >= face.outlines.size()) {
        face.outlines.resize(size_t(glyph) + 1);
        face.outlineKnown.resize(size_t(glyph) + 1, false);
    }
    if (!face.outlineKnown[glyph]) {
        // Glyph space: 1000 units to the em, y up.
        const double scale = 1000.0 / face.unitsPerEm;
        face.outlines[glyph] = QTransform(scale, 0, 0, -scale, 0, 0).map(face.design.pathForGlyph(glyph));
        face.outlineKnown[glyph] = true;
    }
    return face.outlines[glyph];
}

void PDFTextOverlay::writeRun(const HeldRun& held, Face& face, const QPointF& origin, Page& page, Writing& out)
{
    static const char kDigits[] = "0123456789ABCDEF";
    FaceData& data = *face.data;
    const double size = held.run.rawFont().pixelSize();
    const QList<quint32> glyphs = held.run.glyphIndexes();
    const QList<QPointF> positions = held.run.positions();
    size_t currentFont = size_t(-1);
    bool open = false;  // a TJ array is open
    double expectedX = 0;
    double y = 0;
    for (qsizetype i = 0; i < glyphs.size(); ++i) {
        const quint32 glyph = glyphs[i];
        const auto [slot, code] = glyph < face.codes.size() && face.codes[glyph].second >= 0
                                      ? face.codes[glyph]
                                      : codeOf(face, glyph, held.characters[i]);
        const size_t font = face.fonts[slot];
        const QPointF at = origin + positions[i];
        const bool sameLine = open && font == currentFont && std::abs(at.y() - y) < 1e-6;
        char* p;
        if (!sameLine) {
            const QByteArray& name = m_fonts[font].name;
            p = out.room(size_t(name.size()) + 256);
            if (open)
                p = put(p, "] TJ\n");
            if (font != currentFont) {
                std::memcpy(p, name.constData(), size_t(name.size()));
                p += name.size();
                *p++ = ' ';
                p = putNumber<4>(p, size);
                p = put(p, " Tf ");
                currentFont = font;
                if (std::find(page.fonts.begin(), page.fonts.end(), font) == page.fonts.end())
                    page.fonts.push_back(font);
            }
            p = put(p, "1 0 0 -1 ");
            p = putNumber<4>(p, at.x());
            *p++ = ' ';
            p = putNumber<4>(p, at.y());
            p = put(p, " Tm [");
            open = true;
            y = at.y();
        } else {
            p = out.room(80);
            // The distance from where the last glyph's width leaves the
            // pen, in thousandths of the size, against the text's way.
            const double adjustment = (expectedX - at.x()) / size * 1000.0;
            if (std::abs(adjustment) >= 0.0005) {
                *p++ = ' ';
                p = putNumber<3>(p, adjustment);
                *p++ = ' ';
            }
        }
        p[0] = '<';
        p[1] = kDigits[(code >> 4) & 0xF];
        p[2] = kDigits[code & 0xF];
        p[3] = '>';
        out.advance(p + 4);
        const double advance = glyph < data.advances.size() && !std::isnan(data.advances[glyph])
                                   ? data.advances[glyph]
                                   : advanceOf(data, glyph);
        expectedX = at.x() + advance / data.unitsPerEm * size;
    }
    if (open)
        out.advance(put(out.room(8), "] TJ\n"));
}

void PDFTextOverlay::writeLine(const HeldLine& line, Page& page, Writing& out)
{
    char* p = put(out.room(1024), "q ");
    for (const double v : {line.transform.m11(), line.transform.m12(), line.transform.m21(), line.transform.m22(),
                           line.transform.dx(), line.transform.dy()}) {
        p = putNumber<6>(p, v);
        *p++ = ' ';
    }
    p = put(p, "cm ");
    for (const double v : {line.color.redF(), line.color.greenF(), line.color.blueF()}) {
        p = putNumber<4>(p, v);
        *p++ = ' ';
    }
    out.advance(put(p, "rg\nBT\n"));
    for (const HeldRun& held : line.runs) {
        const QRawFont raw = held.run.rawFont();
        Face& face = *faceOf(raw);
        if (face.data->emboldened) {
            writeRun(held, face, line.origin, page, out);
            out.advance(put(out.room(64), "/Span << /ActualText () >> BDC\n"));
            writeRun(held, face, line.origin - QPointF(0.5 * raw.lineThickness(), 0), page, out);
            out.advance(put(out.room(8), "EMC\n"));
        } else {
            writeRun(held, face, line.origin, page, out);
        }
    }
    out.advance(put(out.room(8), "ET Q\n"));
}

void PDFTextOverlay::finish()
{
    startPage(-1);
    for (Face& face : m_faces) {
        FaceData& data = *face.data;
        // Glyph space: 1000 units to the em, y up.
        const double scale = 1000.0 / data.unitsPerEm;
        for (size_t slot = 0; slot < face.fonts.size(); ++slot) {
            Font& font = m_fonts[face.fonts[slot]];
            const std::vector<std::pair<quint32, QString>>& glyphs = face.glyphsOf[slot];
            QList<fonts::CompactFontGlyph> outlines;
            QByteArray widths = "[";
            QByteArray differences = "[0";
            QRectF box;
            std::set<QByteArray> taken;
            for (size_t code = 0; code < glyphs.size(); ++code) {
                const double advance = advanceOf(data, glyphs[code].first) * scale;
                const QByteArray name = glyphName(glyphs[code].second, code, taken);
                fonts::CompactFontGlyph glyph{name, outlineOf(data, glyphs[code].first), advance};
                box |= glyph.outline.boundingRect();
                outlines.append(glyph);
                appendNumber(widths, advance, 3);
                widths += ' ';
                differences += " /" + name;
            }
            widths += ']';
            differences += ']';
            const QByteArray baseFont = subsetTag(data.raw.familyName(), glyphs) + '+' + fontNameOf(data.raw.familyName());
            font.program = fonts::compactFontProgram(baseFont, outlines);
            QByteArray bbox = "[";
            for (const double v : {std::floor(box.left()), std::floor(box.top()), std::ceil(box.right()),
                                   std::ceil(box.bottom())}) {
                appendNumber(bbox, v, 0);
                bbox += ' ';
            }
            bbox += ']';
            QByteArray metrics;
            for (const auto& [key, value] : {std::pair{"/Ascent ", data.design.ascent()},
                                             std::pair{"/Descent ", -data.design.descent()},
                                             std::pair{"/CapHeight ", data.design.capHeight()}}) {
                metrics += key;
                appendNumber(metrics, value * scale, 0);
                metrics += ' ';
            }
            font.dictionary = "<< /Type /Font /Subtype /Type1 /BaseFont /" + baseFont + " /FirstChar 0 /LastChar "
                              + QByteArray::number(qsizetype(glyphs.size()) - 1) + " /Widths " + widths
                              + " /Encoding << /Type /Encoding /Differences " + differences + " >> >>";
            font.descriptor = "<< /Type /FontDescriptor /FontName /" + baseFont + " /Flags 4 /FontBBox " + bbox
                              + " /ItalicAngle 0 " + metrics + "/StemV 80 >>";
            font.toUnicode = toUnicodeMap(glyphs);
        }
    }
}

}  // namespace zelvane::PDFCodec
