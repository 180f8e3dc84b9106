#pragma once

#include "canvas/render/PageCanvasGeometry.h"
#include "model/VectorPage.h"
#include "support/TestApplication.h"

#include <gtest/gtest.h>
#include <QColor>
#include <QImage>
#include <QRect>
#include <QUuid>

namespace zelvane::testing {

// Colours within a tolerance, as antialiasing and rounding allow.
inline ::testing::AssertionResult colorNear(QRgb actual, const QColor& expected, int tolerance = 24)
{
    const int d = std::max({std::abs(qRed(actual) - expected.red()), std::abs(qGreen(actual) - expected.green()),
                            std::abs(qBlue(actual) - expected.blue())});
    if (d <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "pixel " << QColor(actual).name().toStdString() << " is not "
                                         << expected.name().toStdString();
}

// How many pixels of `area` are near `color`.
inline int countNear(const QImage& image, const QColor& color, const QRect& area, int tolerance = 40)
{
    int count = 0;
    const QRect inside = area.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            if (colorNear(image.pixel(x, y), color, tolerance))
                ++count;
        }
    }
    return count;
}

inline VectorPage blankPage(double width = 200, double height = 100)
{
    return VectorPage::make(QUuid::createUuid(), QStringLiteral("Page 1"), width, height, QStringLiteral("#FFFFFF"));
}

// A pane whose page fills it exactly at one pane point per page point.
inline PageCanvasGeometry unitGeometry(const VectorPage& page, double zoom = 1, QSizeF pan = QSizeF(0, 0))
{
    return {QSizeF(page.width, page.height), page.width, page.height, zoom, pan, 0};
}

inline QImage blankImage(const QSize& size, const QColor& color = QColor(0x11, 0x13, 0x17))
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(color);
    return image;
}

class CanvasTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!ensureTestGuiApplication())
            GTEST_SKIP() << "another kind of application object exists";
    }
};

}  // namespace zelvane::testing
