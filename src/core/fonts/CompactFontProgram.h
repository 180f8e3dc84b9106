#pragma once

// A bare Compact Font Format program (what a PDF embeds as a /Type1C font
// file) made of given glyph outlines: glyph 0 is an empty .notdef, glyph k
// (k >= 1) draws outlines[k - 1] under the name names[k - 1].

#include <QByteArray>
#include <QList>
#include <QPainterPath>

namespace zelvane::fonts {

struct CompactFontGlyph {
    QByteArray name;
    // In font units of a 1000-unit em, y up (rounded to whole units).
    QPainterPath outline;
    double advance = 0;
};

QByteArray compactFontProgram(const QByteArray& fontName, const QList<CompactFontGlyph>& glyphs);

}  // namespace zelvane::fonts
