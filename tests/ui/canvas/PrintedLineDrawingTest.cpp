#include "CanvasTestSupport.h"
#include "canvas/render/PageThumbnailDrawing.h"
#include "canvas/render/SceneDrawing.h"
#include "canvas/render/VectorSceneRenderCache.h"
#include "core/fonts/TestFonts.h"
#include "core/support/PagePictures.h"
#include "export/PDFExport.h"
#include "export/SVGExport.h"
#include "pdf/PDFDocument.h"
#include "fonts/TextFonts.h"
#include "pdf/PDFImport.h"
#include "svg/SVGCodec.h"

#include <QPainter>
#include <algorithm>
#include <functional>

using namespace zelvane;
using namespace zelvane::testing;

namespace {

// Pixels per page point for every picture compared here (144 dpi).
constexpr double kScale = 2.0;

class PrintedLineDrawingTest : public FontTestBase {
protected:
    static VectorPage importedPage(const char* name)
    {
        const QByteArray data = readBinaryFile(QStringLiteral(ZELVANE_TEST_PDF_DIR "/") + QLatin1String(name));
        return PDFCodec::importPDF(data, QString::fromLatin1(name), std::nullopt).pages.front();
    }

    static QImage exported(const VectorPage& page) { return exportedPicture(page, kScale); }

    // The page as the canvas shows it, filling a pane of the same size.
    QImage onCanvas(const VectorPage& page)
    {
        const PageCanvasGeometry geom = geometry(page);
        QImage image = blankImage(geom.paneSize.toSize(), Qt::white);
        QPainter painter(&image);
        const auto tiles = cache.backdropImages(page, geom.scale(), geom.visiblePageRect().toQRectF(),
                                                VectorSceneRenderCache::BackdropWait::exact);
        drawSinglePageScene(painter, page, geom, cache.geometries(page, ++revision), tiles, {}, cache);
        return image;
    }

    static PageCanvasGeometry geometry(const VectorPage& page)
    {
        return {QSizeF(page.width * kScale, page.height * kScale), page.width, page.height, 1, QSizeF(0, 0), 0};
    }

    static double strongShare(const QImage& a, const QImage& b, const QRectF& area)
    {
        return zelvane::testing::strongShare(a, b, area, kScale);
    }

    // The line that starts "The ef…" with "staff" replaced by "crew".
    static VectorElement* editLine(VectorPage& page)
    {
        for (VectorElement& element : page.elements) {
            TextPayload* text = element.text();
            if (!text || !text->text.startsWith(QStringLiteral("The ef")))
                continue;
            const qsizetype staff = text->text.indexOf(QStringLiteral("staff"));
            if (staff < 0)
                return nullptr;
            text->originalPDFText = text->text;
            text->text.replace(staff, 5, QStringLiteral("crew"));
            return &element;
        }
        return nullptr;
    }

    VectorSceneRenderCache cache;
    quint64 revision = 0;
};

}  // namespace

TEST_F(PrintedLineDrawingTest, AnEditedLineLooksOnTheCanvasAsItExports)
{
    for (const char* name : {"pdftex-paper.pdf", "groff-memo.pdf"}) {
        const VectorPage page = importedPage(name);
        VectorPage edited = page;
        const VectorElement* line = editLine(edited);
        ASSERT_TRUE(line) << name;
        const QRectF area = line->text()->originalPDFRect->toQRectF();
        ASSERT_GT(area.width(), 100) << name;

        const QImage canvas = onCanvas(edited);
        const QImage exportedPicture = exported(edited);
        if (qEnvironmentVariableIsSet("ZELVANE_DUMP_PICTURES")) {
            canvas.save(QStringLiteral("/tmp/i19-canvas-%1.png").arg(QLatin1String(name)));
            exportedPicture.save(QStringLiteral("/tmp/i19-export-%1.png").arg(QLatin1String(name)));
        }
        EXPECT_LT(strongShare(canvas, exportedPicture, area.adjusted(-2, -2, 2, 2)), 0.01) << name;

        // The words before the change stay where they were printed.
        const QRectF before(area.left(), area.top(), area.width() * 0.12, area.height());
        EXPECT_LT(strongShare(exported(page), canvas, before), 0.03) << name;

        // So does the page's thumbnail.
        QImage thumbnail = blankImage(geometry(page).paneSize.toSize(), Qt::white);
        {
            QPainter painter(&thumbnail);
            const auto tiles = cache.backdropImages(edited, kScale, QRectF(0, 0, page.width, page.height),
                                                    VectorSceneRenderCache::BackdropWait::exact);
            drawPageThumbnail(painter, edited, geometry(page).paneSize, tiles, cache);
        }
        EXPECT_LT(strongShare(thumbnail, exportedPicture, area.adjusted(-2, -2, 2, 2)), 0.01) << name;
    }
}

TEST_F(PrintedLineDrawingTest, ThePrintedLineIsLookedUpOncePerText)
{
    VectorPage page = importedPage("groff-memo.pdf");
    VectorElement* line = editLine(page);
    ASSERT_TRUE(line);
    const PDFCodec::PrintedLine* printed = cache.printedLine(page, *line);
    ASSERT_TRUE(printed);
    EXPECT_TRUE(printed->text.startsWith(QStringLiteral("The ef")));
    // Moved: the same entry.
    line->frame.x += 30;
    EXPECT_EQ(cache.printedLine(page, *line), printed);
    // Typed again: looked up anew, and an unchanged line has none.
    line->frame.x -= 30;
    line->text()->text = *line->text()->originalPDFText;
    EXPECT_EQ(cache.printedLine(page, *line), nullptr);
    line->text()->text += QStringLiteral(" more");
    ASSERT_TRUE(cache.printedLine(page, *line));
    // Without its PDF the page has nothing printed under the line.
    page.pdfPageData.reset();
    EXPECT_EQ(cache.printedLine(page, *line), nullptr);
}

TEST_F(PrintedLineDrawingTest, ATurnedResizedOrRefontedLineShowsAlikeEverywhere)
{
    const VectorPage page = importedPage("groff-memo.pdf");
    const QImage printed = exported(page);
    qsizetype index = -1;
    for (qsizetype i = 0; i < page.elements.size() && index < 0; ++i) {
        if (page.elements[i].text() && page.elements[i].text()->text.startsWith(QStringLiteral("The ef")))
            index = i;
    }
    ASSERT_GE(index, 0);

    const auto changed = [&](const std::function<void(VectorElement&)>& change) {
        VectorPage copy = page;
        change(copy.elements[index]);
        return copy;
    };
    const VectorPage turned = changed([](VectorElement& e) { e.rotationDegrees = 60; });
    const VectorPage resized = changed([](VectorElement& e) {
        e.frame.width += 30;
        e.frame.height *= 2.5;
    });
    const VectorPage refonted = changed([](VectorElement& e) {
        e.text()->fontFamily = QStringLiteral("DejaVu Sans Mono");
        e.text()->postScriptFontName.reset();
    });
    for (const VectorPage* variant : {&turned, &resized, &refonted}) {
        const bool looksChanged = variant != &resized;  // the same text in a taller box
        const VectorElement& line = variant->elements[index];
        ASSERT_TRUE(line.hasModifiedPDFText());
        const QRectF printedArea = line.text()->printedPDFBounds()->toQRectF();
        const QRectF area = QTransform()
                                .translate(line.frame.toQRectF().center().x(), line.frame.toQRectF().center().y())
                                .rotate(line.rotationDegrees)
                                .translate(-line.frame.toQRectF().center().x(), -line.frame.toQRectF().center().y())
                                .mapRect(line.frame.toQRectF())
                                .united(printedArea)
                                .adjusted(-2, -2, 2, 2)
                                .intersected(QRectF(0, 0, page.width, page.height));

        // The change shows: the page no longer looks printed there.
        const QImage picture = exported(*variant);
        if (looksChanged) {
            EXPECT_GT(strongShare(picture, printed, printedArea), 0.02);
        }
        // The canvas, the PNG and the PDF draw it alike.
        EXPECT_LT(strongShare(onCanvas(*variant), picture, area), 0.01);
        VectorDocument document;
        document.title = QStringLiteral("changed");
        document.pages = {*variant};
        const QImage png = QImage::fromData(*PDFCodec::renderPagePNG(*variant, kScale), "PNG");
        EXPECT_LT(strongShare(png.convertToFormat(QImage::Format_RGB32), picture, area), 0.01);
        const auto pdf = PDFDocument::open(PDFCodec::exportPDF(document));
        ASSERT_TRUE(pdf);
        EXPECT_LT(strongShare(pdf->renderPage(0, kScale), picture, area), 0.03);
        // The SVG, which has no print to mask, writes the line as it is now
        // and nothing of what it was in the PDF.
        const QString svg = SVGCodec::exportSVG(document);
        EXPECT_TRUE(svg.contains(line.text()->fontFamily));
        const VectorDocument back = SVGCodec::importSVG(svg.toUtf8(), document.title, std::nullopt);
        const auto same = std::find_if(back.pages[0].elements.begin(), back.pages[0].elements.end(),
                                       [&](const VectorElement& e) { return e.id == line.id; });
        ASSERT_NE(same, back.pages[0].elements.end());
        const VectorElement& now =
            *std::find_if(variant->elements.begin(), variant->elements.end(),
                          [&](const VectorElement& e) { return e.id == line.id; });
        EXPECT_FALSE(same->isPDFText());
        EXPECT_EQ(same->text()->text, now.text()->text);
        EXPECT_EQ(same->frame, now.frame);
        EXPECT_EQ(same->rotationDegrees, now.rotationDegrees);
        EXPECT_TRUE(back.pages[0].activeMaskRects().isEmpty());
    }
}

TEST_F(PrintedLineDrawingTest, AnEditedSidewaysLineLooksOnTheCanvasAsItExports)
{
    for (const char* name : {"pdftex-turned.pdf", "ghostscript-sideways.pdf"}) {
        const VectorPage page = importedPage(name);
        for (qsizetype i = 0; i < page.elements.size(); ++i) {
            if (page.elements[i].rotationDegrees == 0)
                continue;
            VectorPage edited = page;
            VectorElement& line = edited.elements[i];
            line.text()->text += QStringLiteral(" ok");
            PDFCodec::updateTextFrameForEditedContent(line);
            const QRectF printed = line.text()->printedPDFBounds()->toQRectF();
            const QRectF area = printed.adjusted(-2, -2, 2, 20).intersected(QRectF(0, 0, page.width, page.height));
            const QImage picture = exported(edited);
            EXPECT_LT(strongShare(onCanvas(edited), picture, area), 0.01) << name << " " << i;
            // The words kept stay where they were printed, along the line.
            const QRectF start = line.rotationDegrees == 90
                                     ? QRectF(printed.left(), printed.top(), printed.width(), printed.height() * 0.3)
                                     : QRectF(printed.left(), printed.bottom() - printed.height() * 0.3,
                                              printed.width(), printed.height() * 0.3);
            EXPECT_LT(strongShare(exported(page), picture, start), 0.03) << name << " " << i;
        }
    }
}
