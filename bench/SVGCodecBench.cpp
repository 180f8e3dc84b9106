// SVG export and import of a 200-page document with 50 elements per page
// (texts, shapes, paths, signatures and stamps), about 12 MB of SVG.
//
// References, measured in the same run on the same file:
// - export: QXmlStreamReader reading the exported file and QXmlStreamWriter
//   writing every element, attribute and text of it again as UTF-8 bytes,
//   i.e. the cost of copying that much markup with Qt's own XML classes;
// - import: a bare QXmlStreamReader pass over the exported bytes, reading
//   every token and looking at every attribute's value in place.
// The size of the file written is compared with the file read when the
// file read is the program's own output (opening and saving again), and
// with the plain SVG of the same drawing alone (the data the program adds
// to read its file back without loss taken out).
// Each figure is the shortest of seven rounds in which the cases take turns.

#include "operations/VectorOperations.h"
#include "export/SVGExport.h"
#include "svg/SVGCodec.h"

#include <QFile>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

using namespace zelvane;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kPages = 200;
constexpr int kElementsPerPage = 50;
constexpr int kRuns = 15;

VectorElement shapeElement(int index)
{
    static constexpr VectorShapeType kTypes[] = {VectorShapeType::rectangle, VectorShapeType::roundedRectangle,
                                                 VectorShapeType::ellipse,   VectorShapeType::line,
                                                 VectorShapeType::arrow,     VectorShapeType::diamond};
    VectorElement element;
    element.id = QUuid::createUuid();
    element.name = QStringLiteral("Shape %1").arg(index);
    element.kind = ShapePayload::make(kTypes[index % 6], 6, false, index % 2 == 0);
    element.frame = VectorRect(30 + index * 3.25, 400 + index * 1.5, 120.5, 60.25);
    element.style = VectorStyle(QStringLiteral("#111317"), QStringLiteral("#FFB454"), 1.8, 0.9, index % 3 == 0);
    element.rotationDegrees = index % 4 == 0 ? 12.5 : 0;
    return element;
}

VectorElement pathElement(int index)
{
    PathPayload path;
    VectorSubpath subpath;
    for (int k = 0; k < 24; ++k) {
        subpath.points.append({k / 23.0, 0.5 + 0.5 * std::sin(k * 0.7 + index)});
    }
    path.subpaths = {subpath};
    path.smoothCurves = true;
    VectorElement element;
    element.id = QUuid::createUuid();
    element.name = QStringLiteral("Pen %1").arg(index);
    element.kind = path;
    element.frame = VectorRect(60, 600 + index * 8, 300, 40);
    element.style = VectorStyle::defaultInk();
    return element;
}

VectorElement signatureElement(int index)
{
    QList<VectorStroke> strokes;
    for (int s = 0; s < 2; ++s) {
        VectorStroke stroke;
        for (int k = 0; k < 30; ++k) {
            stroke.append({300.0 + k * 6, 700.0 + s * 12 + 10 * std::sin(k * 0.5 + index)});
        }
        strokes.append(stroke);
    }
    return VectorOperations::makeFreehandSignatureElement(strokes, QStringLiteral("Signer %1").arg(index),
                                                          QStringLiteral("#1E3A8A"));
}

VectorDocument makeDocument()
{
    QList<VectorPage> pages;
    for (int p = 0; p < kPages; ++p) {
        VectorPage page = VectorPage::make(QUuid::createUuid(), QStringLiteral("Page %1").arg(p + 1), 595.28, 841.89,
                                           QStringLiteral("#FFFFFF"));
        for (int e = 0; e < kElementsPerPage; ++e) {
            const int kind = e % 10;
            if (kind < 5) {
                page.elements.append(
                    VectorOperations::makeTextElement(QStringLiteral("Line %1 of page %2 & more text").arg(e).arg(p),
                                                      {40, 40 + 14.0 * e}, 11, QStringLiteral("#111317"), e % 7 == 0));
            } else if (kind < 7) {
                page.elements.append(shapeElement(e));
            } else if (kind < 9) {
                page.elements.append(pathElement(e));
            } else if (e % 20 == 9) {
                page.elements.append(signatureElement(e));
            } else {
                page.elements.append(VectorOperations::makeStampElement(VectorStampKind::approved, {400, 120}));
            }
        }
        pages.append(page);
    }
    return VectorDocument::make(QUuid::createUuid(), QStringLiteral("Bench"), DocumentSourceFormat::native,
                                std::nullopt, pages, 1);
}

// Wall time of one call, in milliseconds.
double timeMs(const std::function<void()>& work)
{
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The shortest of kRuns rounds of every case, the cases taking turns so
// that a change in the machine's load falls on all of them alike.
std::vector<double> bestOfRounds(const std::vector<std::function<void()>>& cases)
{
    std::vector<double> best(cases.size(), 1e300);
    for (int run = 0; run < kRuns; ++run) {
        for (size_t i = 0; i < cases.size(); ++i) {
            best[i] = std::min(best[i], timeMs(cases[i]));
        }
    }
    return best;
}

// The file without the program's own data- attributes: the plain SVG that
// draws the same.
QByteArray plainMarkup(const QByteArray& svg)
{
    static const QList<QByteArray> kept = {"data-multipage", "data-page-index", "data-page-title", "data-page-width",
                                           "data-page-height", "data-role", "data-signer", "data-kind"};
    QByteArray out;
    out.reserve(svg.size());
    QXmlStreamReader reader(svg);
    QXmlStreamWriter writer(&out);
    writer.writeStartDocument();
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement: {
            writer.writeStartElement(reader.qualifiedName().toString());
            for (const QXmlStreamAttribute& attribute : reader.attributes()) {
                const QString name = attribute.qualifiedName().toString();
                if (name.startsWith(QLatin1String("data-")) && !kept.contains(name.toLatin1())) {
                    continue;
                }
                if (name == QLatin1String("display")) {
                    continue;
                }
                writer.writeAttribute(name, attribute.value().toString());
            }
            break;
        }
        case QXmlStreamReader::EndElement: writer.writeEndElement(); break;
        case QXmlStreamReader::Characters: writer.writeCharacters(reader.text().toString()); break;
        default: break;
        }
    }
    writer.writeEndDocument();
    return out;
}

}  // namespace

int main()
{
    const VectorDocument document = makeDocument();
    const QByteArray bytes = SVGCodec::exportSVGUtf8(document);
    // The file measured, kept for comparing builds when asked for.
    if (const QString keep = qEnvironmentVariable("ZELVANE_SVG_BENCH_FILE"); !keep.isEmpty()) {
        QFile file(keep);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
            return 2;
        }
    }

    VectorDocument imported;
    qsizetype copiedElements = 0;
    qsizetype tokens = 0;
    const auto exportCase = [&] {
        if (SVGCodec::exportSVGUtf8(document).size() != bytes.size()) {
            std::abort();
        }
    };
    const auto copyCase = [&] {
        QByteArray out;
        QXmlStreamReader reader(bytes);
        reader.setNamespaceProcessing(false);
        QXmlStreamWriter writer(&out);
        writer.writeStartDocument();
        copiedElements = 0;
        while (!reader.atEnd()) {
            switch (reader.readNext()) {
            case QXmlStreamReader::StartElement:
                writer.writeStartElement(reader.qualifiedName().toString());
                writer.writeAttributes(reader.attributes());
                ++copiedElements;
                break;
            case QXmlStreamReader::EndElement: writer.writeEndElement(); break;
            case QXmlStreamReader::Characters: writer.writeCharacters(reader.text().toString()); break;
            default: break;
            }
        }
        writer.writeEndDocument();
    };
    // The document of the round before is let go before the import is
    // timed: freeing it is not part of reading the file.
    const auto releaseCase = [&] { imported = VectorDocument(); };
    const auto importCase = [&] { imported = SVGCodec::importSVG(bytes, QStringLiteral("Bench"), std::nullopt); };
    const auto readerCase = [&] {
        QXmlStreamReader reader(bytes);
        reader.setNamespaceProcessing(false);
        tokens = 0;
        while (!reader.atEnd()) {
            const QXmlStreamReader::TokenType type = reader.readNext();
            if (type == QXmlStreamReader::StartElement) {
                for (const QXmlStreamAttribute& attribute : reader.attributes()) {
                    tokens += attribute.value().isEmpty() ? 0 : 1;
                }
            } else if (type == QXmlStreamReader::Characters) {
                tokens += reader.text().isEmpty() ? 0 : 1;
            }
        }
    };
    const std::vector<double> best = bestOfRounds({exportCase, copyCase, releaseCase, importCase, readerCase});
    const double exportMs = best[0];
    const double copyMs = best[1];
    const double importMs = best[3];
    const double readerMs = best[4];
    qsizetype importedElements = 0;
    for (const VectorPage& page : imported.pages) {
        importedElements += page.elements.size();
    }
    const QByteArray again = SVGCodec::exportSVGUtf8(imported);
    const QByteArray plain = plainMarkup(bytes);

    std::printf("SVG codec: %d pages x %d elements, %.1f MB of SVG (%lld XML elements), best of %d rounds\n", kPages,
                kElementsPerPage, bytes.size() / 1048576.0, static_cast<long long>(copiedElements), kRuns);
    std::printf("  export   %8.1f ms   reference QXmlStreamReader+Writer copy   %8.1f ms   ratio %.2f (target 1.5)\n",
                exportMs, copyMs, exportMs / copyMs);
    std::printf("  import   %8.1f ms   reference bare QXmlStreamReader pass     %8.1f ms   ratio %.2f (target 1.5)\n",
                importMs, readerMs, importMs / readerMs);
    std::printf("  size     opened and saved again %.2f MB, %.2f x the file read (target 1.3); "
                "%.2f x its plain SVG (%.2f MB)\n",
                again.size() / 1048576.0, double(again.size()) / bytes.size(), double(again.size()) / plain.size(),
                plain.size() / 1048576.0);
    std::printf("  imported %lld pages, %lld elements (%lld written)\n", static_cast<long long>(imported.pages.size()),
                static_cast<long long>(importedElements), static_cast<long long>(document.totalElementsCount()));
    return importedElements == document.totalElementsCount() ? 0 : 1;
}
