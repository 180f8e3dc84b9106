#include "fonts/CompactFontProgram.h"

#include <algorithm>
#include <cmath>

namespace zelvane::fonts {

namespace {

// The first string id after the 391 standard strings.
constexpr int kFirstCustomString = 391;

// An integer operand of a charstring or of a DICT (both share these forms
// up to 16 bits).
void appendOperand(QByteArray& out, int v)
{
    if (v >= -107 && v <= 107) {
        out += char(v + 139);
    } else if (v >= 108 && v <= 1131) {
        v -= 108;
        out += char((v >> 8) + 247);
        out += char(v & 0xFF);
    } else if (v >= -1131 && v <= -108) {
        v = -v - 108;
        out += char((v >> 8) + 251);
        out += char(v & 0xFF);
    } else {
        v = std::clamp(v, -32768, 32767);
        out += char(28);
        out += char((v >> 8) & 0xFF);
        out += char(v & 0xFF);
    }
}

// A DICT integer of fixed size, for offsets known only later.
void appendFixedDictInteger(QByteArray& out, qint32 v)
{
    out += char(29);
    for (int shift = 24; shift >= 0; shift -= 8)
        out += char((v >> shift) & 0xFF);
}

QByteArray index(const QList<QByteArray>& items)
{
    QByteArray out;
    out += char((items.size() >> 8) & 0xFF);
    out += char(items.size() & 0xFF);
    if (items.isEmpty())
        return out;
    out += char(4);
    quint32 offset = 1;
    const auto appendOffset = [&out](quint32 v) {
        for (int shift = 24; shift >= 0; shift -= 8)
            out += char((v >> shift) & 0xFF);
    };
    appendOffset(offset);
    for (const QByteArray& item : items) {
        offset += quint32(item.size());
        appendOffset(offset);
    }
    for (const QByteArray& item : items)
        out += item;
    return out;
}

QByteArray charString(const CompactFontGlyph& glyph)
{
    QByteArray out;
    appendOperand(out, int(std::lround(glyph.advance)));  // the width, with nominal width 0
    int x = 0;
    int y = 0;
    bool widthGiven = false;
    const auto delta = [&](const QPointF& p) {
        const int px = int(std::lround(p.x()));
        const int py = int(std::lround(p.y()));
        appendOperand(out, px - x);
        appendOperand(out, py - y);
        x = px;
        y = py;
    };
    const QPainterPath& path = glyph.outline;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.type == QPainterPath::MoveToElement) {
            delta(e);
            out += char(21);  // rmoveto
            widthGiven = true;
        } else if (!widthGiven) {
            continue;  // a drawing operator before any move: skipped
        } else if (e.type == QPainterPath::LineToElement) {
            delta(e);
            out += char(5);  // rlineto
        } else if (e.type == QPainterPath::CurveToElement && i + 2 < path.elementCount()) {
            delta(e);
            delta(path.elementAt(i + 1));
            delta(path.elementAt(i + 2));
            out += char(8);  // rrcurveto
            i += 2;
        }
    }
    out += char(14);  // endchar
    return out;
}

}  // namespace

QByteArray compactFontProgram(const QByteArray& fontName, const QList<CompactFontGlyph>& glyphs)
{
    QList<QByteArray> strings;
    QList<QByteArray> charStrings{QByteArray(1, char(139)) + char(14)};  // .notdef: width 0, nothing drawn
    QByteArray charset(1, char(0));                                        // format 0
    QRectF box;
    for (qsizetype k = 0; k < glyphs.size(); ++k) {
        strings.append(glyphs[k].name);
        const int sid = kFirstCustomString + int(k);
        charset += char((sid >> 8) & 0xFF);
        charset += char(sid & 0xFF);
        charStrings.append(charString(glyphs[k]));
        box |= glyphs[k].outline.boundingRect();
    }
    QByteArray privateDict;
    appendOperand(privateDict, 0);
    privateDict += char(20);  // defaultWidthX
    appendOperand(privateDict, 0);
    privateDict += char(21);  // nominalWidthX

    const QByteArray header("\x01\x00\x04\x04", 4);
    const QByteArray names = index({fontName});
    const QByteArray stringIndex = index(strings);
    const QByteArray globalSubrs = index({});
    const QByteArray charStringIndex = index(charStrings);

    // The top DICT has a fixed size: its offsets are 5-byte integers.
    const auto topDict = [&](qint32 charsetAt, qint32 charStringsAt, qint32 privateAt) {
        QByteArray dict;
        for (const double v : {std::floor(box.left()), std::floor(box.top()), std::ceil(box.right()),
                               std::ceil(box.bottom())})
            appendOperand(dict, int(v));
        dict += char(5);  // FontBBox
        appendFixedDictInteger(dict, charsetAt);
        dict += char(15);  // charset
        appendFixedDictInteger(dict, charStringsAt);
        dict += char(17);  // CharStrings
        appendFixedDictInteger(dict, qint32(privateDict.size()));
        appendFixedDictInteger(dict, privateAt);
        dict += char(18);  // Private
        return dict;
    };
    const qsizetype topSize = index({topDict(0, 0, 0)}).size();
    const qint32 charsetAt = qint32(header.size() + names.size() + topSize + stringIndex.size() + globalSubrs.size());
    const qint32 charStringsAt = charsetAt + qint32(charset.size());
    const qint32 privateAt = charStringsAt + qint32(charStringIndex.size());
    return header + names + index({topDict(charsetAt, charStringsAt, privateAt)}) + stringIndex + globalSubrs + charset
           + charStringIndex + privateDict;
}

}  // namespace zelvane::fonts
