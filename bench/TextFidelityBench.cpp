// How closely edited PDF lines match the printed ones. For every page: the
// share of pixels inside the text lines that differ strongly (by more than
// half the grey range) between the page as printed (drawn by poppler, turned
// as a viewer shows it) and the page with every text line edited to its own
// text (mask plus drawn text), at 144 dpi; a turned line counts the box it
// was printed in on the page. The reference (the floor) is the
// same share for the page as the editor shows it without edits.
//
// Usage: zelvane_bench_text_fidelity [file.pdf ...]; without files, the
// project's test PDFs. ZELVANE_FIDELITY_DUMP=folder also writes both images
// of every page there.

#include "pdf/PDFDocument.h"
#include "pdf/PDFImport.h"
#include "render/PageRenderer.h"
#include "fonts/TextFonts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace zelvane;

namespace {

constexpr double kScale = 2.0;  // 144 dpi
constexpr int kStrong = 128;    // more than half of 0...255

struct Share {
    qint64 strong = 0;
    qint64 total = 0;
    double percent() const { return total > 0 ? 100.0 * double(strong) / double(total) : 0.0; }
    Share& operator+=(const Share& other)
    {
        strong += other.strong;
        total += other.total;
        return *this;
    }
};

QImage onWhite(const QImage& image, const QSize& size)
{
    QImage out(size, QImage::Format_RGB32);
    out.fill(Qt::white);
    QPainter painter(&out);
    painter.drawImage(0, 0, image);
    return out;
}

// The page as a PDF viewer shows it.
QImage printed(const PDFDocument& pdf, int index, const QSize& size)
{
    QImage image = pdf.renderPage(index, kScale);
    if (const int turn = pdf.rotation(index); turn != 0)
        image = image.transformed(QTransform().rotate(turn));
    return onWhite(image, size);
}

QImage drawn(const VectorPage& page, const QSize& size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(kScale, kScale);
    PDFCodec::renderPage(page, painter);
    return image;
}

int grey(QRgb pixel)
{
    return (299 * qRed(pixel) + 587 * qGreen(pixel) + 114 * qBlue(pixel)) / 1000;
}

Share compare(const QImage& a, const QImage& b, const std::vector<bool>& inside)
{
    Share share;
    for (int y = 0; y < a.height(); ++y) {
        const auto* rowA = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* rowB = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            if (!inside[size_t(y) * size_t(a.width()) + size_t(x)])
                continue;
            ++share.total;
            if (std::abs(grey(rowA[x]) - grey(rowB[x])) >= kStrong)
                ++share.strong;
        }
    }
    return share;
}

struct FileResult {
    Share edited;
    Share floor;
    int pages = 0;
};

FileResult measure(const QString& path)
{
    FileResult result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return result;
    const QByteArray data = file.readAll();
    const std::unique_ptr<PDFDocument> pdf = PDFDocument::open(data);
    if (!pdf)
        return result;
    VectorDocument document;
    try {
        document = PDFCodec::importPDF(data, QFileInfo(path).fileName(), std::nullopt);
    } catch (...) {
        return result;
    }
    for (const VectorPage& page : document.pages) {
        const int index = int(page.pdfPageIndex);
        const QSize size(qRound(page.width * kScale), qRound(page.height * kScale));
        std::vector<bool> inside(size_t(size.width()) * size_t(size.height()), false);
        VectorPage edited = page;
        for (VectorElement& element : edited.elements) {
            TextPayload* text = element.text();
            if (!text || !text->isPDFExtracted || !text->originalPDFRect)
                continue;
            // Same text, but counted as changed: the mask hides the print
            // and the editor draws the line.
            text->originalPDFText = text->text + QStringLiteral("\u2060");
            const QRectF r = text->printedPDFBounds()->toQRectF();
            const QRect pixels(QPoint(int(r.left() * kScale), int(r.top() * kScale)),
                               QPoint(int(r.right() * kScale), int(r.bottom() * kScale)));
            const QRect clipped = pixels.intersected(QRect(QPoint(0, 0), size));
            for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
                for (int x = clipped.left(); x <= clipped.right(); ++x)
                    inside[size_t(y) * size_t(size.width()) + size_t(x)] = true;
            }
        }
        const QImage reference = printed(*pdf, index, size);
        const QImage editedImage = drawn(edited, size);
        if (const QString dump = qEnvironmentVariable("ZELVANE_FIDELITY_DUMP"); !dump.isEmpty()) {
            const QString base = QDir(dump).filePath(QFileInfo(path).completeBaseName() + QStringLiteral("-%1").arg(index));
            reference.save(base + QStringLiteral("-printed.png"));
            editedImage.save(base + QStringLiteral("-edited.png"));
        }
        result.edited += compare(reference, editedImage, inside);
        if (qEnvironmentVariableIsSet("ZELVANE_FIDELITY_LINES")) {
            for (const VectorElement& element : edited.elements) {
                const TextPayload* text = element.text();
                if (!text || !text->originalPDFRect)
                    continue;
                const QRectF r = text->printedPDFBounds()->toQRectF();
                std::vector<bool> line(inside.size(), false);
                for (int y = std::max(0, int(r.top() * kScale)); y <= std::min(size.height() - 1, int(r.bottom() * kScale)); ++y) {
                    for (int x = std::max(0, int(r.left() * kScale)); x <= std::min(size.width() - 1, int(r.right() * kScale)); ++x)
                        line[size_t(y) * size_t(size.width()) + size_t(x)] = true;
                }
                std::printf("  %6.2f %%  %s  [y %.2f base %.2f] [%s %s %.2f%s%s ls %.3f font %s]\n", compare(reference, editedImage, line).percent(),
                            qPrintable(text->text), element.frame.y, element.frame.y + text->baselineOffset.value_or(0),
                            qPrintable(text->fontFamily),
                            qPrintable(text->postScriptFontName.value_or(QString())), text->fontSize,
                            text->isBold ? " bold" : "", text->isItalic ? " italic" : "", text->letterSpacing,
                            qPrintable(PDFCodec::resolveFont(*text, text->fontSize).toString()));
            }
        }
        result.floor += compare(reference, drawn(page, size), inside);
        ++result.pages;
    }
    return result;
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("ZELVANE_DISABLE_WEB_FONTS", "1");
    QGuiApplication app(argc, argv);
    QStringList files;
    for (int i = 1; i < argc; ++i)
        files.append(QString::fromLocal8Bit(argv[i]));
    if (files.isEmpty()) {
        const QDir dir(QStringLiteral(ZELVANE_TEST_PDF_DIR));
        for (const QString& name : dir.entryList({QStringLiteral("*.pdf")}, QDir::Files, QDir::Name))
            files.append(dir.filePath(name));
    }
    std::printf("Strong differences inside text lines at 144 dpi, edited lines against the floor (unedited page)\n");
    Share edited, floor;
    for (const QString& path : files) {
        const FileResult r = measure(path);
        std::printf("%-28s pages %2d  edited %6.2f %%  floor %6.2f %%  excess %+6.2f points\n",
                    qPrintable(QFileInfo(path).fileName()), r.pages, r.edited.percent(), r.floor.percent(),
                    r.edited.percent() - r.floor.percent());
        edited += r.edited;
        floor += r.floor;
    }
    std::printf("%-28s           edited %6.2f %%  floor %6.2f %%  excess %+6.2f points\n", "overall",
                edited.percent(), floor.percent(), edited.percent() - floor.percent());
    return 0;
}
