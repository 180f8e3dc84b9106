#pragma once

#include "model/VectorDocument.h"
#include "export/SVGExport.h"
#include "svg/SVGCodec.h"

#include <QBuffer>
#include <QImage>
#include <QRegularExpression>
#include <QStringList>
#include <QUuid>

#include <ostream>

namespace zelvane {

// Readable failure messages for the geometry values these tests compare.
inline void PrintTo(const VectorPoint& p, std::ostream* out)
{
    *out << "(" << p.x << ", " << p.y << ")";
}

inline void PrintTo(const VectorRect& r, std::ostream* out)
{
    *out << "(" << r.x << ", " << r.y << ", " << r.width << " x " << r.height << ")";
}

inline void PrintTo(const VectorSubpath& subpath, std::ostream* out)
{
    *out << "[";
    for (const VectorPoint& p : subpath.points) {
        PrintTo(p, out);
    }
    *out << (subpath.isClosed ? " closed]" : " open]");
}

}  // namespace zelvane

namespace zelvane::testing {

// A recognisable identifier: the number in the last group of digits.
inline QUuid fixedId(int n)
{
    return QUuid::fromString(QStringLiteral("00000000-0000-0000-0000-%1").arg(n, 12, 10, QLatin1Char('0')));
}

inline QString fixedIdText(int n)
{
    return fixedId(n).toString(QUuid::WithoutBraces).toUpper();
}

// The attributes the program adds to the markup of the dialect so that it
// reads its own files back exactly.
inline const QStringList& ownDataAttributeNames()
{
    static const QStringList names{
        QStringLiteral("display"),
        QStringLiteral("data-id"),
        QStringLiteral("data-name"),
        QStringLiteral("data-frame"),
        QStringLiteral("data-rotation"),
        QStringLiteral("data-stroke-color"),
        QStringLiteral("data-fill-color"),
        QStringLiteral("data-stroke-width"),
        QStringLiteral("data-opacity"),
        QStringLiteral("data-dashed"),
        QStringLiteral("data-locked"),
        QStringLiteral("data-font-size"),
        QStringLiteral("data-postscript-font"),
        QStringLiteral("data-baseline-offset"),
        QStringLiteral("data-letter-spacing"),
        QStringLiteral("data-pdf-text"),
        QStringLiteral("data-original-text"),
        QStringLiteral("data-original-rect"),
        QStringLiteral("data-original-font-size"),
        QStringLiteral("data-original-bold"),
        QStringLiteral("data-original-italic"),
        QStringLiteral("data-original-color"),
        QStringLiteral("data-mask-color"),
        QStringLiteral("data-shape"),
        QStringLiteral("data-corner-radius"),
        QStringLiteral("data-start-arrow"),
        QStringLiteral("data-end-arrow"),
        QStringLiteral("data-subpaths"),
        QStringLiteral("data-smooth-curves"),
        QStringLiteral("data-date-label"),
        QStringLiteral("data-caption"),
        QStringLiteral("data-strokes"),
        QStringLiteral("data-asset"),
        QStringLiteral("data-asset-extension"),
        QStringLiteral("data-remove-white-background"),
        QStringLiteral("data-title"),
        QStringLiteral("data-subtitle"),
        QStringLiteral("data-arrow-head"),
        QStringLiteral("data-page-id"),
        QStringLiteral("data-page-size"),
        QStringLiteral("data-document-title"),
        QStringLiteral("data-dialect"),
        QStringLiteral("data-no-fill"),
    };
    return names;
}

// A line with the program's added attributes taken out: what remains is the
// markup of the dialect as its definition gives it. Page groups keep their
// data-page-title; elsewhere (on the page-background rectangle) it is one of
// the added attributes.
inline QString withoutOwnData(QString line)
{
    QStringList names = ownDataAttributeNames();
    if (!line.trimmed().startsWith(QLatin1String("<g id=\"page-"))) {
        names.append(QStringLiteral("data-page-title"));
    }
    for (const QString& name : names) {
        const QRegularExpression pattern(QLatin1Char(' ') + QRegularExpression::escape(name) +
                                         QLatin1String("=\"[^\"]*\""));
        line.remove(pattern);
    }
    return line;
}

inline QStringList svgLines(const QString& svg)
{
    QStringList lines = svg.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.back().isEmpty()) {
        lines.removeLast();
    }
    return lines;
}

inline QStringList withoutOwnData(const QStringList& lines)
{
    QStringList result;
    for (const QString& line : lines) {
        result.append(withoutOwnData(line));
    }
    return result;
}

inline VectorElement makeElement(int id, QString name, VectorElementKind kind, VectorRect frame, VectorStyle style)
{
    VectorElement element;
    element.id = fixedId(id);
    element.name = std::move(name);
    element.kind = std::move(kind);
    element.frame = frame;
    element.style = std::move(style);
    return element;
}

inline VectorPage makePage(int id, QString title, double width, double height, QList<VectorElement> elements = {},
                           QString background = QStringLiteral("#FFFFFF"))
{
    VectorPage page = VectorPage::make(fixedId(id), std::move(title), width, height, std::move(background));
    page.elements = std::move(elements);
    return page;
}

inline VectorDocument makeDocument(QString title, QList<VectorPage> pages)
{
    return VectorDocument::make(fixedId(999), std::move(title), DocumentSourceFormat::svg, std::nullopt,
                                std::move(pages), 1);
}

inline QByteArray pngBytes(int width, int height, QColor color = Qt::darkBlue)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

}  // namespace zelvane::testing
