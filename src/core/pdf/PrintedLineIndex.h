#pragma once

#include "pdf/PDFDocument.h"

#include <QRectF>
#include <vector>

namespace zelvane::PDFCodec {

// What finding the printed lines of a page's text looks up, made once for
// the page: its characters by the band of rows their centre lies in, and the
// font of every character. Holds nothing of the text itself; it is asked
// only about the text it was made from, as that text was then.
class PrintedLineIndex {
public:
    explicit PrintedLineIndex(const PDFPageText& page);

    // The places in the text, ascending, of every laid-out `character` whose
    // centre lies in `box` (page points, y down), and maybe of a few more
    // near it. Every place of the text when `box` is not a finite rectangle.
    std::vector<qsizetype> charactersNear(QChar character, const QRectF& box) const;
    // The same for laid-out characters of any kind.
    std::vector<qsizetype> charactersNear(const QRectF& box) const;

    // The font the character at `place` is printed in, as a number: the same
    // for two characters exactly when the first runs holding them name the
    // same font (a character of no run as one of an unnamed font).
    int fontAt(qsizetype place) const { return m_fonts[size_t(place)]; }

private:
    struct Member {
        qsizetype place;
        double x;
        double y;
        char16_t character;
    };

    template <typename Wanted>
    std::vector<qsizetype> membersNear(const QRectF& box, Wanted wanted) const;

    qsizetype m_size = 0;
    double m_top = 0;
    double m_band = 1;
    // Members of band b are m_members[m_bandStarts[b] .. m_bandStarts[b + 1]),
    // by ascending place.
    std::vector<qsizetype> m_bandStarts;
    std::vector<Member> m_members;
    std::vector<int> m_fonts;
};

}  // namespace zelvane::PDFCodec
