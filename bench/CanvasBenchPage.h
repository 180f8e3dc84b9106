#pragma once

// The busy page the canvas benchmarks draw and drag on, and their timing
// helpers.

#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "canvas/SinglePageCanvas.h"
#include "canvas/render/VectorSceneRenderCache.h"
#include "model/VectorDocument.h"
#include "operations/VectorOperations.h"
#include "render/PageRenderer.h"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QTransform>

#include <QByteArray>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <vector>

namespace zelvane::bench {

using Clock = std::chrono::steady_clock;

constexpr int kElements = 200;

inline VectorElement shapeElement(VectorShapeType type, const VectorRect& frame, const QString& stroke,
                           std::optional<QString> fill)
{
    return VectorElement::make(QStringLiteral("Shape"), ShapePayload::make(type, 6, false, false), frame, 0,
                               VectorStyle(stroke, std::move(fill), 1.5, 1, false));
}

inline VectorElement penPath(double x, double y)
{
    VectorSubpath subpath;
    for (int i = 0; i < 24; ++i)
        subpath.points.append({i / 23.0, 0.5 + 0.45 * std::sin(i * 0.7)});
    return VectorElement::make(QStringLiteral("Path"), PathPayload{{subpath}, false, false, true},
                               VectorRect(x, y, 90, 30), 0,
                               VectorStyle(QStringLiteral("#7A3FD0"), std::nullopt, 1.2, 1, false));
}

inline VectorElement signature(double x, double y)
{
    QList<VectorStroke> strokes;
    VectorStroke stroke;
    for (int i = 0; i < 40; ++i)
        stroke.append({x + i * 3.0, y + 20 + 12 * std::sin(i * 0.5)});
    strokes.append(stroke);
    return VectorOperations::makeFreehandSignatureElement(strokes, QStringLiteral("Ann Lee"), QStringLiteral("#1E3A8A"));
}

// A busy A4 page of `count` elements: text lines, boxes, ellipses, arrows,
// pen strokes, signatures and stamps spread over the sheet in five columns.
inline VectorPage benchPage(const QByteArray& pdf, int count = kElements)
{
    VectorPage page = VectorPage::make(QUuid::createUuid(), QStringLiteral("Bench"), 595.28, 841.89,
                                       QStringLiteral("#FFFFFF"), pdf, 0);
    const double rowStep = 780.0 / std::max(count / 5, 1);
    for (int i = 0; i < count; ++i) {
        const double x = 30 + (i % 5) * 110;
        const double y = 30 + (i / 5) * rowStep;
        switch (i % 10) {
        case 0: case 1: case 2: case 3: case 4:
            page.elements.append(VectorOperations::makeTextElement(QStringLiteral("Ligne de texte n° %1").arg(i),
                                                                   {x, y}, 9, QStringLiteral("#111317"), i % 3 == 0));
            break;
        case 5:
            page.elements.append(shapeElement(VectorShapeType::rectangle, VectorRect(x, y, 90, 16),
                                              QStringLiteral("#2563EB"), std::nullopt));
            break;
        case 6:
            page.elements.append(shapeElement(i % 20 == 6 ? VectorShapeType::ellipse : VectorShapeType::arrow,
                                              VectorRect(x, y, 80, 16), QStringLiteral("#DC2626"), std::nullopt));
            break;
        case 7:
            page.elements.append(penPath(x, y));
            break;
        case 8:
            page.elements.append(signature(x, y));
            break;
        default:
            page.elements.append(i % 20 == 9 ? VectorOperations::makeStampElement(VectorStampKind::approved, {x + 60, y})
                                             : shapeElement(VectorShapeType::roundedRectangle, VectorRect(x, y, 90, 16),
                                                            QStringLiteral("#16A34A"), QStringLiteral("#DCFCE7")));
            break;
        }
    }
    return page;
}

inline double millisecondsOf(const std::function<void()>& work)
{
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

inline VectorDocument documentOf(QList<VectorPage> pages)
{
    return VectorDocument::make(QUuid::createUuid(), QStringLiteral("Bench"), DocumentSourceFormat::pdf, std::nullopt,
                                std::move(pages), 1);
}

// The median time of the core's renderPage() drawing the page through
// `pageToPane` onto an image of `size`: the reference of the canvas
// benchmarks.
inline double referenceRenderMilliseconds(const VectorPage& page, const QTransform& pageToPane, const QSize& size,
                                          int frames)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    std::vector<double> reference;
    for (int i = 0; i < frames; ++i) {
        reference.push_back(millisecondsOf([&] {
            image.fill(QColor(0x11, 0x13, 0x17));
            QPainter painter(&image);
            painter.setTransform(pageToPane);
            PDFCodec::renderPage(page, painter);
        }));
    }
    return median(reference);
}

// The single-page canvas of a model holding `page` alone, shown offscreen
// at `size`.
struct BenchCanvas {
    BenchCanvas(const VectorPage& page, QSize size)
    {
        model.controller().setDocument(documentOf({page}));
        canvas.resize(size);
        canvas.show();
    }

    AppModel model{false, false};
    VectorSceneRenderCache cache;
    SinglePageCanvas canvas{model, cache};
};

}  // namespace zelvane::bench
