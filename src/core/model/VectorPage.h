#pragma once

#include "model/ElementList.h"
#include "model/VectorElement.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTransform>
#include <QUuid>
#include <optional>

namespace zelvane {

// A rectangle painted over the PDF backdrop before the elements are drawn.
struct MaskRect {
    VectorRect rect;
    QString colorHex;
    bool operator==(const MaskRect&) const = default;
};

struct PageSizeMM {
    qint64 width = 0;
    qint64 height = 0;
    bool operator==(const PageSizeMM&) const = default;
};

// A whole number of degrees brought to 0, 90, 180 or 270 (the nearest
// quarter turn, counted clockwise).
qint64 normalizedQuarterTurn(qint64 degrees);

struct VectorPage {
    QUuid id;
    QString title;
    double width = 64;
    double height = 64;
    // Also the colour of the redaction masks.
    QString backgroundColorHex;
    // Bytes of a whole PDF file whose page pdfPageIndex is this page's
    // backdrop. Implicitly shared between copies of the page.
    std::optional<QByteArray> pdfPageData;
    qint64 pdfPageIndex = 0;
    // Clockwise quarter turns of the PDF backdrop, in degrees (0, 90, 180 or
    // 270), gained when the page was rotated. Width and height are already
    // those of the turned page; documents written before pages could turn
    // read as 0.
    qint64 pdfRotation = 0;
    // Parts of the backdrop blanked out with the background colour.
    QList<VectorRect> redactedPDFRects;
    // Drawing order: the last one lies on top. Copies of the page share the
    // list's blocks; an edit copies only the blocks it changes.
    ElementList elements;

    // The initialiser: keeps each side at least 64 (a side that is not a
    // number becomes 64) and everything else as given.
    static VectorPage make(QUuid id, QString title, double width, double height, QString backgroundColorHex,
                           std::optional<QByteArray> pdfPageData = std::nullopt, qint64 pdfPageIndex = 0,
                           QList<VectorRect> redactedPDFRects = {}, ElementList elements = {});

    // Maps the unturned page (the backdrop's media box scaled to the page's
    // sides before any turn) onto the page as it stands.
    QTransform backdropTransform() const;

    PageSizeMM sizeMM() const;
    // "595×842 pt (210×297 mm)".
    QString dimensionsLabel() const;
    // Redactions first, then the printed place of every changed or hidden
    // PDF text, each grown a little so no antialiased edge shows through.
    QList<MaskRect> activeMaskRects() const;
    // The rectangles masking one changed or hidden PDF text of this page,
    // in the order activeMaskRects() lists them: its grown printed place,
    // less the printed places of untouched PDF lines lying inside it (a
    // word under a wide accent stays in sight). Empty for other elements.
    QList<VectorRect> maskRectsOf(const VectorElement& element) const;

    bool operator==(const VectorPage&) const = default;
};

}  // namespace zelvane
