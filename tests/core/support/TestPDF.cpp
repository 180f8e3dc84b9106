#include "TestPDF.h"

#include "pdf/RawPDF.h"

// Use qpdf's std::shared_ptr interfaces only.
#define POINTERHOLDER_TRANSITION 4
#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFWriter.hh>

#include <memory>
#include <stdexcept>

namespace zelvane::testing {

namespace {

QByteArray number(double value)
{
    // PDF numbers have no exponent form.
    QByteArray text = QByteArray::number(value, 'f', 4);
    while (text.contains('.') && (text.endsWith('0') || text.endsWith('.')))
        text.chop(1);
    return text == "-0" ? QByteArray("0") : text;
}

QByteArray boxArray(const QRectF& box)
{
    return "[" + number(box.x()) + " " + number(box.y()) + " " + number(box.x() + box.width()) + " "
           + number(box.y() + box.height()) + "]";
}

QByteArray inheritableAttributes(const std::optional<QRectF>& mediaBox, const std::optional<QRectF>& cropBox,
                                 const std::optional<int>& rotate)
{
    QByteArray text;
    if (mediaBox)
        text += " /MediaBox " + boxArray(*mediaBox);
    if (cropBox)
        text += " /CropBox " + boxArray(*cropBox);
    if (rotate)
        text += " /Rotate " + QByteArray::number(*rotate);
    return text;
}

QByteArray contentOf(const TestPDFPage& page)
{
    QByteArray content;
    for (const TestPDFFill& fill : page.fills) {
        content += number(fill.color.redF()) + " " + number(fill.color.greenF()) + " "
                   + number(fill.color.blueF()) + " rg\n";
        content += number(fill.rect.x()) + " " + number(fill.rect.y()) + " " + number(fill.rect.width()) + " "
                   + number(fill.rect.height()) + " re f\n";
    }
    for (size_t i = 0; i < page.texts.size(); ++i) {
        const TestPDFText& text = page.texts[i];
        QByteArray literal;
        for (const char c : text.text) {
            if (c == '(' || c == ')' || c == '\\')
                literal += '\\';
            literal += c;
        }
        content += number(text.color.redF()) + " " + number(text.color.greenF()) + " " + number(text.color.blueF())
                   + " rg\nBT /F" + QByteArray::number(qsizetype(i)) + " " + number(text.size) + " Tf "
                   + number(text.origin.x()) + " " + number(text.origin.y()) + " Td (" + literal + ") Tj ET\n";
    }
    return content;
}

// Every text gets its own font resource, written in place.
QByteArray resourcesOf(const TestPDFPage& page)
{
    QByteArray fonts;
    for (size_t i = 0; i < page.texts.size(); ++i) {
        fonts += " /F" + QByteArray::number(qsizetype(i)) + " << /Type /Font /Subtype /Type1 /BaseFont /"
                 + page.texts[i].baseFont + " /Encoding /WinAnsiEncoding >>";
    }
    return fonts.isEmpty() ? QByteArray("<< >>") : "<< /Font <<" + fonts + " >> >>";
}

}  // namespace

QByteArray makeTestPDF(const std::vector<TestPDFPage>& pages, const TestPDFTree& tree)
{
    // Objects: 1 catalog, 2 root of the page tree, 3 intermediate node (only
    // when nested), then a page and its content stream for every page.
    std::vector<QByteArray> objects;
    const int root = 2;
    const int intermediate = 3;
    const int firstPage = tree.nested ? 4 : 3;
    const int parent = tree.nested ? intermediate : root;
    const auto pageObject = [&](size_t index) { return firstPage + int(index) * 2; };

    QByteArray kids;
    for (size_t i = 0; i < pages.size(); ++i)
        kids += (i ? " " : "") + QByteArray::number(pageObject(i)) + " 0 R";
    const QByteArray count = QByteArray::number(qsizetype(pages.size()));

    objects.push_back("<< /Type /Catalog /Pages 2 0 R >>");
    const QByteArray rootKids = tree.nested ? QByteArray("3 0 R") : kids;
    objects.push_back("<< /Type /Pages /Kids [" + rootKids + "] /Count " + count
                      + inheritableAttributes(tree.mediaBox, tree.cropBox, tree.rotate) + " >>");
    if (tree.nested)
        objects.push_back("<< /Type /Pages /Parent 2 0 R /Kids [" + kids + "] /Count " + count + " >>");
    for (size_t i = 0; i < pages.size(); ++i) {
        const TestPDFPage& page = pages[i];
        objects.push_back("<< /Type /Page /Parent " + QByteArray::number(parent) + " 0 R /Resources " + resourcesOf(page)
                          + inheritableAttributes(page.mediaBox, page.cropBox, page.rotate) + " /Contents "
                          + QByteArray::number(pageObject(i) + 1) + " 0 R >>");
        const QByteArray content = contentOf(page);
        objects.push_back("<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content
                          + "\nendstream");
    }

    QByteArray pdf = "%PDF-1.7\n%\xE2\xE3\xCF\xD3\n";
    std::vector<qsizetype> offsets;
    for (size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += QByteArray::number(qsizetype(i + 1)) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const qsizetype xref = pdf.size();
    pdf += "xref\n0 " + QByteArray::number(qsizetype(objects.size() + 1)) + "\n";
    pdf += "0000000000 65535 f \n";
    for (qsizetype offset : offsets)
        pdf += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    pdf += "trailer\n<< /Size " + QByteArray::number(qsizetype(objects.size() + 1)) + " /Root 1 0 R >>\n";
    pdf += "startxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
    return pdf;
}

QByteArray encryptTestPDF(const QByteArray& pdf, const std::string& userPassword, const std::string& ownerPassword)
{
    QPDF source;
    source.setSuppressWarnings(true);
    source.processMemoryFile("test", pdf.constData(), size_t(pdf.size()));
    QPDFWriter writer(source);
    writer.setOutputMemory();
    writer.setStaticID(true);
    writer.setR6EncryptionParameters(userPassword.c_str(), ownerPassword.c_str(), true, false, false, false,
                                     false, false, qpdf_r3p_none, true);
    writer.write();
    const std::shared_ptr<Buffer> buffer = writer.getBufferSharedPointer();
    return QByteArray(reinterpret_cast<const char*>(buffer->getBuffer()), qsizetype(buffer->getSize()));
}

QByteArray makeFilledTestPDF(double width, double height, const QColor& color)
{
    TestPDFPage page;
    page.mediaBox = QRectF(0, 0, width, height);
    page.fills = {{QRectF(0, 0, width, height), color}};
    return makeTestPDF({page});
}

QByteArray makeRawTestPDF(const QList<QByteArray>& objects, const QByteArray& trailerKeys)
{
    return rawPDF(objects, trailerKeys);
}

QByteArray makeManualTestPDF(int pageCount)
{
    static const char* const words[] = {"the",     "page",   "document", "signature", "export",  "layer",
                                        "vector",  "stamp",  "opens",    "text",      "margin",  "column",
                                        "printed", "editor", "shape",    "arrow",     "contract", "with",
                                        "and",     "of",     "rotated",  "backdrop",  "PDF",     "Linux"};
    quint32 seed = 20;
    const auto nextWord = [&] {
        seed = seed * 1103515245u + 12345u;
        return QByteArray(words[(seed >> 16) % (sizeof(words) / sizeof(words[0]))]);
    };
    const auto sentence = [&](int count) {
        QByteArray line;
        for (int i = 0; i < count; ++i)
            line += (i ? " " : "") + nextWord();
        return line;
    };

    std::vector<TestPDFPage> pages;
    for (int p = 0; p < pageCount; ++p) {
        TestPDFPage page;
        page.mediaBox = QRectF(0, 0, 595, 842);
        double y = 790;
        page.texts.push_back({QPointF(56, y), 16, "Chapter " + QByteArray::number(p + 1) + " " + sentence(3),
                              Qt::black, "Helvetica-Bold"});
        y -= 30;
        for (int line = 0; y > 60; ++line) {
            switch (line % 12) {
            case 5:
                page.texts.push_back({QPointF(72, y), 9, "  $ zelvane --" + sentence(2) + " file.pdf",
                                      QColor(0x20, 0x20, 0x20), "Courier"});
                break;
            case 8:
                page.fills.push_back({QRectF(50, y - 4, 495, 15), QColor(0xFF, 0xF4, 0xD6)});
                page.texts.push_back({QPointF(56, y), 10, "Note: " + sentence(9), QColor(0xA0, 0x30, 0x10),
                                      "Helvetica-Oblique"});
                break;
            case 10:
                page.texts.push_back({QPointF(56, y), 10, sentence(5), Qt::black, "Times-Roman"});
                page.texts.push_back({QPointF(320, y), 10, sentence(5), Qt::black, "Times-Roman"});
                break;
            default:
                page.texts.push_back({QPointF(56, y), 10.5, sentence(13), Qt::black, "Times-Roman"});
            }
            y -= 14;
        }
        pages.push_back(std::move(page));
    }
    return makeTestPDF(pages);
}

QByteArray makeBrokenFontTestPDF()
{
    const QByteArray content = "BT /F1 24 Tf 20 100 Td (Hello) Tj ET";
    QByteArray garbage("\x00\x01\x00\x00", 4);
    for (int i = 0; i < 64; ++i)
        garbage += "\xde\xad\xbe\xef";
    const QList<QByteArray> objects{
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Resources << /Font << /F1 5 0 R >> >> "
        "/Contents 4 0 R >>",
        "<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content + "\nendstream",
        "<< /Type /Font /Subtype /TrueType /BaseFont /Broken /FirstChar 32 /LastChar 126 /Widths [" +
            QByteArray(" 500").repeated(95) + "] /FontDescriptor 6 0 R >>",
        "<< /Type /FontDescriptor /FontName /Broken /Flags 32 /FontBBox [0 0 1000 1000] /ItalicAngle 0 "
        "/Ascent 800 /Descent -200 /CapHeight 700 /StemV 80 /FontFile2 7 0 R >>",
        "<< /Length " + QByteArray::number(garbage.size()) + " >>\nstream\n" + garbage + "\nendstream",
    };
    return zelvane::testing::makeRawTestPDF(objects);
}

}  // namespace zelvane::testing
