// The document layout of the program's SVG: single page, multi-page, numbers
// and escaping. Each expected line is the one the dialect defines; where the
// program adds its own data- attributes (to read the file back without loss),
// the full line is checked once with them in place, and withoutOwnData()
// shows that taking them out leaves the dialect's line byte for byte.

#include "core/svg/SVGTestSupport.h"
#include "core/fonts/TestFonts.h"
#include "operations/VectorOperations.h"
#include "pdf/PDFImport.h"

#include <gtest/gtest.h>
#include <QXmlStreamReader>
#include <cmath>
#include <limits>

using namespace zelvane;
using namespace zelvane::testing;
using SVGCodec::exportSVG;
using SVGCodec::formatNum;
using zelvane::testing::FontTestBase;
using zelvane::testing::readBinaryFile;

namespace {

VectorElement sampleRectangle(int id)
{
    return makeElement(id, QStringLiteral("Rectangle"), ShapePayload::make(VectorShapeType::rectangle, 0, false, false),
                       VectorRect(10, 10, 50, 20),
                       VectorStyle(QStringLiteral("#111317"), QStringLiteral("#FFB454"), 1.8, 1, false));
}

bool isWellFormed(const QString& svg)
{
    QXmlStreamReader reader(svg);
    while (!reader.atEnd()) {
        reader.readNext();
    }
    return !reader.hasError();
}

}  // namespace

TEST(SVGSinglePageLayout, MatchesTheDialectExample)
{
    const VectorDocument document =
        makeDocument(QStringLiteral("Doc"), {makePage(1, QStringLiteral("Page 1"), 200, 100, {sampleRectangle(2)})});
    const QString svg = exportSVG(document);
    const QStringList lines = svgLines(svg);

    const QStringList expected{
        QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"),
        QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"200\" height=\"100\" "
                       "viewBox=\"0 0 200 100\" data-document-title=\"Doc\" data-dialect=\"2\">"),
        QStringLiteral("  <title>Doc \u2014 Page 1</title>"),
        QStringLiteral("  <rect width=\"200\" height=\"100\" fill=\"#FFFFFF\" data-role=\"page-background\" "
                       "data-page-id=\"00000000-0000-0000-0000-000000000001\" data-page-title=\"Page 1\" "
                       "data-page-size=\"200 100\"/>"),
        QStringLiteral("  <rect x=\"10\" y=\"10\" width=\"50\" height=\"20\" fill=\"#FFB454\" stroke=\"#111317\" "
                       "stroke-width=\"1.80\" data-id=\"00000000-0000-0000-0000-000000000002\" "
                       "data-frame=\"10 10 50 20\"/>"),
        QStringLiteral("</svg>"),
    };
    EXPECT_EQ(lines, expected);

    const QStringList dialect{
        QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"),
        QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"200\" height=\"100\" "
                       "viewBox=\"0 0 200 100\">"),
        QStringLiteral("  <title>Doc \u2014 Page 1</title>"),
        QStringLiteral("  <rect width=\"200\" height=\"100\" fill=\"#FFFFFF\" data-role=\"page-background\"/>"),
        QStringLiteral("  <rect x=\"10\" y=\"10\" width=\"50\" height=\"20\" fill=\"#FFB454\" stroke=\"#111317\" "
                       "stroke-width=\"1.80\"/>"),
        QStringLiteral("</svg>"),
    };
    EXPECT_EQ(withoutOwnData(lines), dialect);
    EXPECT_TRUE(svg.endsWith(QLatin1String("</svg>\n")));
    EXPECT_FALSE(svg.endsWith(QLatin1String("\n\n")));
    EXPECT_FALSE(svg.contains(u'\r'));
}

TEST(SVGSinglePageLayout, TitleLineAlwaysHoldsBothTitles)
{
    const QString svg = exportSVG(makeDocument(QString(), {makePage(1, QString(), 100, 100)}));
    EXPECT_EQ(svgLines(svg)[2], QStringLiteral("  <title> \u2014 </title>"));
}

TEST(SVGMultiPageLayout, StacksPagesWithGapsAndNumbersThemFromOne)
{
    const VectorDocument document = makeDocument(
        QStringLiteral("Deck"), {makePage(1, QStringLiteral("Cover"), 595.28, 841.89, {}, QStringLiteral("#F0F0F0")),
                                 makePage(2, QStringLiteral("Plan"), 841.89, 595.28, {sampleRectangle(3)})});
    const QStringList lines = svgLines(exportSVG(document));
    const QStringList dialect{
        QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"),
        QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"841.89\" "
                       "height=\"1469.17\" viewBox=\"0 0 841.89 1469.17\" data-multipage=\"true\">"),
        QStringLiteral("  <title>Deck</title>"),
        QStringLiteral("  <g id=\"page-1\" data-page-index=\"1\" data-page-title=\"Cover\" data-page-width=\"595.28\" "
                       "data-page-height=\"841.89\" transform=\"translate(0, 0)\">"),
        QStringLiteral("    <rect width=\"595.28\" height=\"841.89\" fill=\"#F0F0F0\" data-role=\"page-background\"/>"),
        QStringLiteral("  </g>"),
        QStringLiteral("  <g id=\"page-2\" data-page-index=\"2\" data-page-title=\"Plan\" data-page-width=\"841.89\" "
                       "data-page-height=\"595.28\" transform=\"translate(0, 873.89)\">"),
        QStringLiteral("    <rect width=\"841.89\" height=\"595.28\" fill=\"#FFFFFF\" data-role=\"page-background\"/>"),
        QStringLiteral("    <rect x=\"10\" y=\"10\" width=\"50\" height=\"20\" fill=\"#FFB454\" stroke=\"#111317\" "
                       "stroke-width=\"1.80\"/>"),
        QStringLiteral("  </g>"),
        QStringLiteral("</svg>"),
    };
    EXPECT_EQ(withoutOwnData(lines), dialect);
    // The program's additions: the document title on the root, the page
    // identity on each background rectangle; page groups are unchanged.
    EXPECT_EQ(lines[1], dialect[1].chopped(1) + QStringLiteral(" data-document-title=\"Deck\" data-dialect=\"2\">"));
    EXPECT_EQ(lines[3], dialect[3]);
    EXPECT_EQ(lines[4], QStringLiteral("    <rect width=\"595.28\" height=\"841.89\" fill=\"#F0F0F0\" "
                                       "data-role=\"page-background\" data-page-id=\"%1\" data-page-title=\"Cover\" "
                                       "data-page-size=\"595.28 841.89\"/>")
                            .arg(fixedIdText(1)));
}

TEST(SVGMultiPageLayout, EmptyDocumentWritesRootAndTitleOnly)
{
    VectorDocument document = makeDocument(QStringLiteral("Empty"), {});
    document.pages.clear();
    const QStringList lines = withoutOwnData(svgLines(exportSVG(document)));
    EXPECT_EQ(lines, (QStringList{
                         QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"),
                         QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"595.28\" "
                                        "height=\"0\" viewBox=\"0 0 595.28 0\" data-multipage=\"true\">"),
                         QStringLiteral("  <title>Empty</title>"),
                         QStringLiteral("</svg>"),
                     }));
}

TEST(SVGLayoutChoice, PageIndexPicksOnePageOnlyWhenInRange)
{
    const VectorDocument three = makeDocument(
        QStringLiteral("D"), {makePage(1, QStringLiteral("A"), 100, 100), makePage(2, QStringLiteral("B"), 200, 100),
                              makePage(3, QStringLiteral("C"), 300, 100)});
    const QString second = exportSVG(three, 1);
    EXPECT_FALSE(second.contains(QLatin1String("data-multipage")));
    EXPECT_TRUE(second.contains(QStringLiteral("<title>D \u2014 B</title>")));
    for (const std::optional<qsizetype> index :
         {std::optional<qsizetype>(5), std::optional<qsizetype>(-1), std::optional<qsizetype>()}) {
        EXPECT_TRUE(exportSVG(three, index).contains(QLatin1String("data-multipage=\"true\"")));
    }
    const VectorDocument one = makeDocument(QStringLiteral("D"), {makePage(1, QStringLiteral("A"), 100, 100)});
    EXPECT_EQ(exportSVG(one, 7), exportSVG(one));
    EXPECT_FALSE(exportSVG(one).contains(QLatin1String("data-multipage")));
}

TEST(SVGLayoutChoice, HiddenElementsAreKeptButNotDrawn)
{
    VectorElement hidden = sampleRectangle(2);
    hidden.visible = false;
    const QStringList lines =
        svgLines(exportSVG(makeDocument(QStringLiteral("D"), {makePage(1, QStringLiteral("P"), 200, 100, {hidden})})));
    ASSERT_EQ(lines.size(), 6);
    EXPECT_TRUE(
        lines[4].startsWith(QLatin1String("  <rect x=\"10\" y=\"10\" width=\"50\" height=\"20\" "
                                          "fill=\"#FFB454\" stroke=\"#111317\" stroke-width=\"1.80\" "
                                          "display=\"none\" data-id=")));
}

TEST(SVGNumberFormat, WholeNumbersOrTwoDecimals)
{
    EXPECT_EQ(formatNum(12), "12");
    EXPECT_EQ(formatNum(12.004), "12");
    EXPECT_EQ(formatNum(2.996), "3");
    EXPECT_EQ(formatNum(12.3), "12.30");
    EXPECT_EQ(formatNum(595.28), "595.28");
    EXPECT_EQ(formatNum(0.5), "0.50");
    EXPECT_EQ(formatNum(-2.5), "-2.50");
    EXPECT_EQ(formatNum(-0.001), "0");
    EXPECT_EQ(formatNum(-0.0), "0");
    EXPECT_EQ(formatNum(595), "595");
    EXPECT_EQ(formatNum(100.004), "100");
    EXPECT_EQ(formatNum(-7), "-7");
}

TEST(SVGNumberFormat, TwoDecimalsAreQtsFixedFormatTiesIncluded)
{
    // An exact tie rounds away from zero, as Qt writes it.
    EXPECT_EQ(formatNum(0.125), "0.13");
    EXPECT_EQ(formatNum(-0.125), "-0.13");
    EXPECT_EQ(formatNum(0.375), "0.38");
    EXPECT_EQ(formatNum(1234.625), "1234.63");
    const auto qtText = [](double value) {
        const double rounded = std::round(value);
        return std::fabs(rounded - value) < 0.005 ? QString::number(qint64(rounded)) : QString::number(value, 'f', 2);
    };
    for (int k = -40000; k <= 40000; ++k) {
        for (const double value : {k / 8.0, k / 1000.0, k / 200.0, k * 1.0000001, k * 123456.789}) {
            ASSERT_EQ(formatNum(value), qtText(value)) << value;
        }
    }
}

TEST(SVGNumberFormat, NonFiniteAndHugeValuesStayWritable)
{
    EXPECT_EQ(formatNum(std::nan("")), "0");
    EXPECT_EQ(formatNum(std::numeric_limits<double>::infinity()), "0");
    EXPECT_EQ(formatNum(-std::numeric_limits<double>::infinity()), "0");
    EXPECT_EQ(formatNum(1e19), "10000000000000000000.00");
    EXPECT_EQ(formatNum(-1e19), "-10000000000000000000.00");
}

TEST(SVGNumberFormat, ExactNumbersReadBackIdentically)
{
    for (const double value : {0.1, 1.0 / 3, 595.28, 1e-9, 123456789.125, -2.5e300, 100000.0, 5e-324}) {
        const QString text = SVGCodec::formatExact(value);
        EXPECT_EQ(SVGCodec::readNumber(text), value) << text.toStdString();
    }
    EXPECT_EQ(SVGCodec::formatExact(100000), "100000");
    EXPECT_EQ(SVGCodec::formatExact(0.1), "0.1");
    EXPECT_EQ(SVGCodec::formatExact(std::nan("")), "0");
}

TEST(SVGTextEscaping, ReplacesTheMarkupCharacters)
{
    EXPECT_EQ(SVGCodec::escapeXML(QStringLiteral("R&D <beta>")), "R&amp;D &lt;beta&gt;");
    EXPECT_EQ(SVGCodec::escapeXML(QStringLiteral("say \"hi\"")), "say &quot;hi&quot;");
    EXPECT_EQ(SVGCodec::escapeXML(QStringLiteral("it's")), "it's");
    EXPECT_EQ(SVGCodec::escapeXML(QStringLiteral("&lt;")), "&amp;lt;");
    EXPECT_EQ(SVGCodec::escapeXML(QStringLiteral("a\nb\tc")), "a\nb\tc");
}

TEST(SVGTextEscaping, ControlCharactersNeverMakeTheFileInvalid)
{
    const QString pdfText = QStringLiteral("Total\x01\x02 d\x0B\x0C\x1F\x7F\u0085u") + QChar(0xD800) + QChar(0xFFFE) +
                            QStringLiteral("\r\n");
    EXPECT_EQ(SVGCodec::escapeXML(pdfText), QStringLiteral("Total d\x7F\u0085u\uFFFD\uFFFD&#13;\n"));
    EXPECT_EQ(SVGCodec::escapeAttribute(QStringLiteral("a\tb\nc\rd\x01")), "a&#9;b&#10;c&#13;d");

    TextPayload text;
    text.text = pdfText;
    text.fontFamily = QStringLiteral("Font\x01");
    text.fontSize = 12;
    VectorElement element = makeElement(2, QStringLiteral("Bad\x02name"), text, VectorRect(0, 0, 50, 20),
                                        VectorStyle(std::nullopt, QStringLiteral("#000000"), 0, 1, false));
    VectorPage page = makePage(1, QStringLiteral("Page\x03"), 100, 100, {element});
    const QString svg = exportSVG(makeDocument(QStringLiteral("Doc\x04"), {page, page}));
    EXPECT_TRUE(isWellFormed(svg));
    EXPECT_TRUE(isWellFormed(exportSVG(makeDocument(QStringLiteral("Doc\x04"), {page}))));
}

class SVGExportOfPDFLines : public FontTestBase {};

TEST_F(SVGExportOfPDFLines, ReplacedAndDeletedLinesLeaveNeitherTheirTextNorANameInTheFile)
{
    const QByteArray data = readBinaryFile(QStringLiteral(ZELVANE_TEST_PDF_DIR "/groff-memo.pdf"));
    VectorDocument document = PDFCodec::importPDF(data, QStringLiteral("memo"), std::nullopt);
    ElementList& lines = document.pages[0].elements;
    ASSERT_GE(lines.size(), 3);
    // Two lines with texts of their own, found nowhere else on the page.
    const auto unique = [&](qsizetype index) {
        const QString text = lines[index].text()->text;
        for (qsizetype other = 0; other < lines.size(); ++other) {
            if (other != index && lines[other].text()->text.contains(text)) {
                return false;
            }
        }
        return text.size() >= 6;
    };
    qsizetype replaced = -1;
    qsizetype deleted = -1;
    for (qsizetype i = 0; i < lines.size() && deleted < 0; ++i) {
        if (unique(i)) {
            (replaced < 0 ? replaced : deleted) = i;
        }
    }
    ASSERT_GE(deleted, 0);
    const QString oldText = lines[replaced].text()->text;
    const QString deletedText = lines[deleted].text()->text;
    lines[replaced].text()->text = QStringLiteral("Zq replacement");
    VectorOperations::deleteElements({lines[deleted].id}, 0, document);

    const QString svg = exportSVG(document);
    EXPECT_TRUE(svg.contains(QLatin1String("Zq replacement")));
    EXPECT_FALSE(svg.contains(SVGCodec::escapeXML(oldText))) << oldText.toStdString();
    EXPECT_FALSE(svg.contains(SVGCodec::escapeAttribute(oldText))) << oldText.toStdString();
    EXPECT_FALSE(svg.contains(SVGCodec::escapeXML(deletedText))) << deletedText.toStdString();
    EXPECT_FALSE(svg.contains(SVGCodec::escapeAttribute(deletedText))) << deletedText.toStdString();
    for (const char* field : {"data-name", "data-pdf-text", "data-original", "data-mask-color"}) {
        EXPECT_FALSE(svg.contains(QLatin1String(field))) << field;
    }
    // Read back, the replaced line is a plain text named after what it says.
    const VectorDocument back = SVGCodec::importSVG(svg.toUtf8(), QStringLiteral("memo"), std::nullopt);
    ASSERT_EQ(back.pages[0].elements.size(), lines.size());
    const VectorElement& read = back.pages[0].elements[replaced];
    EXPECT_EQ(read.text()->text, QStringLiteral("Zq replacement"));
    EXPECT_EQ(read.name, QStringLiteral("Zq replacement"));
    EXPECT_FALSE(read.isPDFText());
    EXPECT_FALSE(read.text()->originalPDFText);
}
