#include "InfoReport.h"
#include "operations/VectorOperations.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QUuid>

using namespace zelvane;

namespace {

VectorElement pdfText(const QString& text)
{
    VectorElement element = VectorOperations::makeTextElement(text, VectorPoint(10, 10), 12, QStringLiteral("#000000"),
                                                              false);
    element.text()->isPDFExtracted = true;
    element.text()->originalPDFText = text;
    return element;
}

// Two pages: a PDF page with two text lines, and a page of odd size with a
// signature.
VectorDocument sampleDocument(const QString& title = QStringLiteral("Rapport"))
{
    VectorPage first = VectorPage::make(QUuid::createUuid(), QStringLiteral("Page 1"), 595.28, 841.89,
                                        QStringLiteral("#FFFFFF"), QByteArray("%PDF-1.4"));
    first.elements = {pdfText(QStringLiteral("Alpha")), pdfText(QStringLiteral("Beta"))};
    VectorPage second =
        VectorPage::make(QUuid::createUuid(), QStringLiteral("Plan \"B\", annexe"), 100.5, 64.4, QStringLiteral("#FFFFFF"));
    SignaturePreset preset;
    preset.signerName = QStringLiteral("Ana");
    preset.colorHex = QStringLiteral("#1E3A8A");
    second.elements = {VectorOperations::makeSignatureElement(preset, VectorPoint(50, 30), false)};
    return VectorDocument::make(QUuid::createUuid(), title, DocumentSourceFormat::pdf, std::nullopt, {first, second},
                                1);
}

}  // namespace

TEST(InfoReportTest, TextReportHasASummaryAndOneLinePerPage)
{
    EXPECT_EQ(InfoReport::text(sampleDocument()),
              QStringLiteral("Rapport (PDF) — 2 pages · 3 éléments · 2 textes PDF\n"
                             "  Page 1: Page 1 — 595×842 pt (210×297 mm) — 2 éléments\n"
                             "  Page 2: Plan \"B\", annexe — 101×64 pt (35×23 mm) — 1 éléments\n"));
}

TEST(InfoReportTest, TextReportKeepsPercentSignsOfTitles)
{
    const QString report = InfoReport::text(sampleDocument(QStringLiteral("100%1 %2 sûr")));
    EXPECT_TRUE(report.startsWith(QStringLiteral("100%1 %2 sûr (PDF) — 2 pages")));
}

TEST(InfoReportTest, CsvRoundsSidesAndQuotesTitles)
{
    EXPECT_EQ(InfoReport::csv(sampleDocument()),
              QStringLiteral("page,title,width_pt,height_pt,elements,pdf_stream\n"
                             "1,\"Page 1\",595,842,2,true\n"
                             "2,\"Plan \"\"B\"\", annexe\",101,64,1,false\n"));
}

TEST(InfoReportTest, CsvWritesSidesBeyondTheIntegerRangeAsDecimals)
{
    VectorDocument document = sampleDocument();
    document.pages[0].width = 0x1p63;
    document.pages[0].height = -1e20;
    document.pages[1].width = 9223372036854774784.0;  // the largest double below 2^63
    document.pages[1].height = 1e300;
    const QStringList lines = InfoReport::csv(document).split(QLatin1Char('\n'));
    EXPECT_EQ(lines[1], QStringLiteral("1,\"Page 1\",9223372036854775808,-100000000000000000000,2,true"));
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("2,\"Plan \"\"B\"\", annexe\",9223372036854774784,1000000000000000")));
    EXPECT_FALSE(lines[2].contains(QLatin1Char('-')));
}

TEST(InfoReportTest, CsvQuotingDoublesInnerQuotes)
{
    EXPECT_EQ(InfoReport::csvQuoted(QStringLiteral("plain")), QStringLiteral("\"plain\""));
    EXPECT_EQ(InfoReport::csvQuoted(QStringLiteral("say \"hi\"")), QStringLiteral("\"say \"\"hi\"\"\""));
    EXPECT_EQ(InfoReport::csvQuoted(QString()), QStringLiteral("\"\""));
}

TEST(InfoReportTest, JsonHasSixMembersInSortedOrder)
{
    const QByteArray json = InfoReport::json(sampleDocument(QStringLiteral("a/b")));
    EXPECT_TRUE(json.endsWith("}\n"));
    EXPECT_FALSE(json.endsWith("\n\n"));
    const QJsonObject object = QJsonDocument::fromJson(json).object();
    EXPECT_EQ(object.size(), 6);
    EXPECT_EQ(object.value(QStringLiteral("title")).toString(), QStringLiteral("a/b"));
    EXPECT_EQ(object.value(QStringLiteral("sourceFormat")).toString(), QStringLiteral("PDF"));
    EXPECT_EQ(object.value(QStringLiteral("pageCount")).toInt(), 2);
    EXPECT_EQ(object.value(QStringLiteral("totalElementsCount")).toInt(), 3);
    EXPECT_EQ(object.value(QStringLiteral("pdfTextElementCount")).toInt(), 2);
    EXPECT_EQ(object.value(QStringLiteral("signatureCount")).toInt(), 1);

    const QList<QByteArray> keys{"\"pageCount\"", "\"pdfTextElementCount\"", "\"signatureCount\"",
                                 "\"sourceFormat\"", "\"title\"", "\"totalElementsCount\""};
    qsizetype previous = -1;
    for (const QByteArray& key : keys) {
        const qsizetype at = json.indexOf(key);
        EXPECT_GT(at, previous) << key.constData();
        previous = at;
    }
    // One member a line.
    EXPECT_EQ(json.count('\n'), 8);
}

TEST(InfoReportTest, FormChoosesTheReport)
{
    const VectorDocument document = sampleDocument();
    EXPECT_EQ(InfoReport::render(document, QStringLiteral("json")), InfoReport::json(document));
    EXPECT_EQ(InfoReport::render(document, QStringLiteral("csv")), InfoReport::csv(document).toUtf8());
    EXPECT_EQ(InfoReport::render(document, QStringLiteral("txt")), InfoReport::text(document).toUtf8());
    EXPECT_EQ(InfoReport::render(document, QStringLiteral("xml")), InfoReport::text(document).toUtf8());
}
