#include "core/fonts/TestFonts.h"
#include "operations/VectorOperations.h"
#include "render/ElementRenderer.h"
#include "render/PageRenderer.h"

#include <gtest/gtest.h>
#include <QBuffer>
#include <QImage>
#include <QPainter>

using namespace zelvane;

namespace {

// Colours within a small tolerance, as antialiasing and rounding allow.
::testing::AssertionResult near(QRgb actual, QColor expected, int tolerance = 12)
{
    const int dr = std::abs(qRed(actual) - expected.red());
    const int dg = std::abs(qGreen(actual) - expected.green());
    const int db = std::abs(qBlue(actual) - expected.blue());
    const int da = std::abs(qAlpha(actual) - expected.alpha());
    if (std::max({dr, dg, db, da}) <= tolerance) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "pixel " << QColor::fromRgba(actual).name(QColor::HexArgb).toStdString()
                                         << " is not " << expected.name(QColor::HexArgb).toStdString();
}

class ElementRendererTest : public zelvane::testing::FontTestBase {
protected:
    // A 200 x 100 point page drawn at 2 pixels per point on white.
    QImage draw(const VectorElement& element)
    {
        QImage image(400, 200, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.scale(2, 2);
        PDFCodec::renderElement(element, painter);
        return image;
    }

    static QRgb at(const QImage& image, double x, double y) { return image.pixel(int(x * 2), int(y * 2)); }

    static VectorElement shape(VectorShapeType type, VectorStyle style, VectorRect frame = VectorRect(20, 20, 100, 50))
    {
        VectorElement element;
        element.id = QUuid::createUuid();
        element.kind = ShapePayload::make(type, 30, false, false);
        element.frame = frame;
        element.style = style;
        return element;
    }

    static int countNear(const QImage& image, QColor color, const QRect& area, int tolerance = 40)
    {
        int count = 0;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                if (near(image.pixel(x, y), color, tolerance)) {
                    ++count;
                }
            }
        }
        return count;
    }
};

}  // namespace

TEST_F(ElementRendererTest, ShapesFillAndStroke)
{
    const VectorStyle style(QStringLiteral("#0000FF"), QStringLiteral("#FF0000"), 4, 1, false);
    const QImage rectangle = draw(shape(VectorShapeType::rectangle, style));
    EXPECT_TRUE(near(at(rectangle, 70, 45), Qt::red));
    EXPECT_TRUE(near(at(rectangle, 20.5, 45), Qt::blue));
    EXPECT_TRUE(near(at(rectangle, 10, 45), Qt::white));

    // A stroke colour with width 0 is not drawn.
    const QImage filledOnly = draw(shape(VectorShapeType::rectangle, VectorStyle("#0000FF", "#FF0000", 0, 1, false)));
    EXPECT_TRUE(near(at(filledOnly, 20.5, 45), Qt::red));

    const QImage ellipse = draw(shape(VectorShapeType::ellipse, style));
    EXPECT_TRUE(near(at(ellipse, 70, 45), Qt::red));
    EXPECT_TRUE(near(at(ellipse, 23, 23), Qt::white));  // outside the ellipse's curve

    const QImage diamond = draw(shape(VectorShapeType::diamond, style));
    EXPECT_TRUE(near(at(diamond, 70, 45), Qt::red));
    EXPECT_TRUE(near(at(diamond, 25, 25), Qt::white));

    // The radius is limited to half the shorter side: 40 x 20 with radius 30
    // draws radius 10, so the corner's very tip stays white.
    const QImage rounded = draw(shape(VectorShapeType::roundedRectangle, VectorStyle(std::nullopt, "#FF0000", 0, 1, false),
                                      VectorRect(20, 20, 40, 20)));
    EXPECT_TRUE(near(at(rounded, 20.5, 20.5), Qt::white));
    EXPECT_TRUE(near(at(rounded, 30, 30), Qt::red));
    EXPECT_TRUE(near(at(rounded, 23, 21), Qt::white));
    EXPECT_TRUE(near(at(rounded, 30.5, 20.5), Qt::red));
}

TEST_F(ElementRendererTest, LinesArrowsAndDefaultInk)
{
    // No colours: default ink at 0.5 pt, from the bottom left to the top right.
    const QImage line = draw(shape(VectorShapeType::line, VectorStyle(std::nullopt, std::nullopt, 0, 1, false),
                                   VectorRect(20, 20, 100, 50)));
    EXPECT_GT(countNear(line, QColor::fromRgbF(0.07f, 0.07f, 0.09f), QRect(130, 80, 20, 20), 120), 0);

    // An arrow gets its end head at the top right even with endArrow false.
    VectorElement arrow = shape(VectorShapeType::arrow, VectorStyle("#00AA00", std::nullopt, 1, 1, false));
    std::get<ShapePayload>(arrow.kind).endArrow = false;
    const QImage arrowImage = draw(arrow);
    // The head (size 8) fills a triangle just below-left of the tip.
    EXPECT_GT(countNear(arrowImage, QColor(0, 0xAA, 0), QRect(2 * 113, 2 * 20, 14, 14)), 20);
    // Just above the bottom-left corner, beside the line: only a start head
    // reaches there.
    const QRect besideStart(48, 139, 4, 1);
    EXPECT_EQ(countNear(arrowImage, QColor(0, 0xAA, 0), besideStart), 0);

    VectorElement both = arrow;
    std::get<ShapePayload>(both.kind).startArrow = true;
    EXPECT_GT(countNear(draw(both), QColor(0, 0xAA, 0), besideStart), 2);
}

TEST_F(ElementRendererTest, PathsSignaturesAndRotation)
{
    VectorElement triangle;
    triangle.kind = PathPayload{{VectorSubpath{{{0, 1}, {0.5, 0}, {1, 1}}, true}}, false, false, false};
    triangle.frame = VectorRect(20, 20, 100, 60);
    triangle.style = VectorStyle("#000000", "#FF00FF", 1, 1, false);
    const QImage path = draw(triangle);
    EXPECT_TRUE(near(at(path, 70, 60), Qt::magenta));
    EXPECT_TRUE(near(at(path, 25, 25), Qt::white));

    SignaturePayload ink;
    ink.signerName = QStringLiteral("Ann");
    ink.caption = QStringLiteral("Director");
    ink.dateLabel = QString();
    ink.strokes = {{{0, 0.5}, {1, 0.5}}};
    VectorElement signature;
    signature.kind = ink;
    signature.frame = VectorRect(20, 20, 150, 60);
    signature.style = VectorStyle("#1E3A8A", std::nullopt, 3, 1, false);
    const QImage signed_ = draw(signature);
    EXPECT_TRUE(near(at(signed_, 90, 50), QColor(0x1E, 0x3A, 0x8A)));
    // The label sits on the frame's bottom edge.
    EXPECT_GT(countNear(signed_, QColor(0x1E, 0x3A, 0x8A), QRect(2 * 22, 2 * 70, 2 * 60, 2 * 8), 90), 10);

    VectorElement bar = shape(VectorShapeType::rectangle, VectorStyle(std::nullopt, "#FF0000", 0, 1, false),
                              VectorRect(50, 40, 100, 10));
    bar.rotationDegrees = 90;
    const QImage turned = draw(bar);
    EXPECT_TRUE(near(at(turned, 100, 10), Qt::red));  // the bar now stands upright about its centre
    EXPECT_TRUE(near(at(turned, 60, 45), Qt::white));

    VectorElement faint = bar;
    faint.rotationDegrees = 0.005;
    faint.style.opacity = 0.5;
    EXPECT_TRUE(near(at(draw(faint), 60, 45), QColor(255, 128, 128)));
}

TEST_F(ElementRendererTest, TextAndStamps)
{
    VectorElement text = VectorOperations::makeTextElement("HHHH", {20, 20}, 24, "#CC0000", true);
    const QImage written = draw(text);
    EXPECT_GT(countNear(written, QColor(0xCC, 0, 0), QRect(40, 40, 200, 60)), 50);
    text.visible = false;  // hidden elements are the page's business, not the element drawing's
    EXPECT_GT(countNear(draw(text), QColor(0xCC, 0, 0), QRect(40, 40, 200, 60)), 50);

    const VectorElement stamp = VectorOperations::makeStampElement(VectorStampKind::confidential, {100, 50});
    VectorElement upright = stamp;
    upright.rotationDegrees = 0;
    const QImage stamped = draw(upright);
    // The tinted inside and the red border.
    EXPECT_TRUE(near(at(stamped, 12, 45), QColor(0xDC, 0x26, 0x26), 60));
    const QRgb inside = at(stamped, 20, 55);
    EXPECT_GT(qRed(inside), qGreen(inside));
    EXPECT_GT(qGreen(inside), 200);
}

TEST_F(ElementRendererTest, ImageArtwork)
{
    QImage artwork(40, 20, QImage::Format_RGB32);
    artwork.fill(QColor(0, 128, 255));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    artwork.save(&buffer, "PNG");

    StampPreset preset{QUuid::createUuid(), QStringLiteral("Logo"), png, QStringLiteral("png"), false, std::nullopt};
    const VectorElement stamp = VectorOperations::makeCustomStampElement(preset, {100, 50}, 0);
    const QImage drawn = draw(stamp);
    EXPECT_TRUE(near(at(drawn, stamp.frame.midX(), stamp.frame.midY()), QColor(0, 128, 255), 20));

    preset.assetData = QByteArray("junk");
    const VectorElement broken = VectorOperations::makeCustomStampElement(preset, {100, 50}, 0);
    EXPECT_TRUE(near(at(draw(broken), 100, 50), Qt::white));
}
