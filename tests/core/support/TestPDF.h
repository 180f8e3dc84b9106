#pragma once

#include <QByteArray>
#include <QList>
#include <QColor>
#include <QPointF>
#include <QRectF>

#include <optional>
#include <string>
#include <vector>

namespace zelvane::testing {

// A rectangle of user space (x, y at the bottom left, y up) filled with an
// opaque colour.
struct TestPDFFill {
    QRectF rect;
    QColor color;
};

// A line of text in a standard font (not embedded), its baseline starting at
// `origin` in user space. The text is Latin-1 (WinAnsi).
struct TestPDFText {
    QPointF origin;
    double size = 12;
    QByteArray text;
    QColor color = Qt::black;
    QByteArray baseFont = "Helvetica";
};

struct TestPDFPage {
    // Absent boxes and rotation are not written on the page, so it inherits
    // them from the page tree (see TestPDFTree).
    std::optional<QRectF> mediaBox = QRectF(0, 0, 200, 100);
    std::optional<QRectF> cropBox;
    // Written as given, so odd values such as -90 or 450 can be tried.
    std::optional<int> rotate;
    std::vector<TestPDFFill> fills;
    // Drawn after the fills.
    std::vector<TestPDFText> texts;
};

// Attributes placed on the root of the page tree for pages to inherit.
struct TestPDFTree {
    std::optional<QRectF> mediaBox;
    std::optional<QRectF> cropBox;
    std::optional<int> rotate;
    // Put the pages below an intermediate node, one level away from the root.
    bool nested = false;
};

// A small uncompressed PDF with a correct cross-reference table. Boxes are
// written with their corners as (x, y, x + width, y + height).
QByteArray makeTestPDF(const std::vector<TestPDFPage>& pages, const TestPDFTree& tree = {});

// The same PDF encrypted with AES-256. An empty user password makes a file
// that opens without asking, restricted only by the owner password.
QByteArray encryptTestPDF(const QByteArray& pdf, const std::string& userPassword,
                          const std::string& ownerPassword);

// One page of `width` x `height` points filled entirely with `color`.
QByteArray makeFilledTestPDF(double width, double height, const QColor& color = Qt::red);

// A PDF of the given object bodies, numbered from 1 in order, with a correct
// cross-reference table; object 1 must be the catalog. `trailerKeys` are
// written into the trailer dictionary as they are.
QByteArray makeRawTestPDF(const QList<QByteArray>& objects, const QByteArray& trailerKeys = {});

// A manual of `pageCount` A4 pages full of text: headings, body lines in a
// serif face, code lines, coloured notes on tinted boxes and two-column
// passages. The same bytes for the same count.
QByteArray makeManualTestPDF(int pageCount);

// One page of text set in a TrueType font whose program is garbage: the
// renderer cannot load it and poppler says so on standard error.
QByteArray makeBrokenFontTestPDF();

}  // namespace zelvane::testing
