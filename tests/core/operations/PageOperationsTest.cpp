#include "model/ModelCoding.h"
#include "operations/VectorOperations.h"

#include <gtest/gtest.h>
#include <QJsonObject>
#include <QTransform>
#include <algorithm>
#include <cmath>

using namespace zelvane;

namespace {

VectorDocument documentWithPages(const QStringList& titles)
{
    QList<VectorPage> pages;
    for (const QString& title : titles) {
        pages.append(VectorPage::make(QUuid::createUuid(), title, 595.28, 841.89, QStringLiteral("#FFFFFF")));
    }
    return VectorDocument::make(QUuid::createUuid(), QStringLiteral("Doc"), DocumentSourceFormat::svg, std::nullopt,
                                pages, 1);
}

QStringList titles(const VectorDocument& document)
{
    QStringList result;
    for (const VectorPage& page : document.pages) {
        result.append(page.title);
    }
    return result;
}

VectorElement boxAt(const VectorRect& frame)
{
    VectorElement element;
    element.id = QUuid::createUuid();
    element.kind = ShapePayload::make(VectorShapeType::rectangle, 0, false, false);
    element.frame = frame;
    return element;
}

void expectRect(const VectorRect& actual, const VectorRect& expected)
{
    EXPECT_NEAR(actual.x, expected.x, 1e-9);
    EXPECT_NEAR(actual.y, expected.y, 1e-9);
    EXPECT_NEAR(actual.width, expected.width, 1e-9);
    EXPECT_NEAR(actual.height, expected.height, 1e-9);
}

}  // namespace

TEST(PageOperationsTest, AddInsertsAfterAValidIndexOrAppends)
{
    VectorDocument document = documentWithPages({"A", "B", "C"});
    EXPECT_EQ(VectorOperations::addPage(document, 0, PageFormatPreset::letter, std::nullopt), 1);
    EXPECT_EQ(document.pages[1].title, QStringLiteral("Page 4"));
    EXPECT_EQ(document.pages[1].width, 612);
    EXPECT_EQ(document.pages[1].height, 792);
    EXPECT_FALSE(document.pages[1].pdfPageData.has_value());
    EXPECT_EQ(document.revision, 2);

    EXPECT_EQ(VectorOperations::addPage(document, 7, PageFormatPreset::stage16x9, QStringLiteral("Plot")), 4);
    EXPECT_EQ(VectorOperations::addPage(document, -1, PageFormatPreset::a4Landscape, std::nullopt), 5);
    EXPECT_EQ(VectorOperations::addPage(document, std::nullopt, PageFormatPreset::a3Landscape, std::nullopt), 6);
    EXPECT_EQ(titles(document), (QStringList{"A", "Page 4", "B", "C", "Plot", "Page 6", "Page 7"}));
    EXPECT_EQ(document.pages[6].width, 1190.55);
    EXPECT_EQ(document.revision, 5);
}

TEST(PageOperationsTest, DuplicateCopiesWithFreshIdentities)
{
    VectorDocument document = documentWithPages({"Plan", "B"});
    document.pages[0].elements = {boxAt(VectorRect(1, 2, 3, 4)), boxAt(VectorRect(5, 6, 7, 8))};
    document.pages[0].redactedPDFRects = {VectorRect(9, 9, 9, 9)};
    document.pages[0].pdfPageData = QByteArray("%PDF-1.4");
    document.pages[0].pdfPageIndex = 2;

    EXPECT_EQ(VectorOperations::duplicatePage(document, 0), 1);
    const VectorPage& source = document.pages[0];
    const VectorPage& copy = document.pages[1];
    EXPECT_EQ(copy.title, QStringLiteral("Plan (copie)"));
    EXPECT_NE(copy.id, source.id);
    ASSERT_EQ(copy.elements.size(), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_NE(copy.elements[i].id, source.elements[i].id);
        EXPECT_EQ(copy.elements[i].frame, source.elements[i].frame);
    }
    EXPECT_EQ(copy.redactedPDFRects, source.redactedPDFRects);
    EXPECT_EQ(copy.pdfPageIndex, 2);
    EXPECT_EQ(copy.pdfPageData->constData(), source.pdfPageData->constData());
    EXPECT_EQ(document.revision, 2);

    VectorDocument two = documentWithPages({"A", "B"});
    EXPECT_EQ(VectorOperations::duplicatePage(two, 5), 1);
    EXPECT_EQ(two.revision, 1);
    VectorDocument none;
    EXPECT_EQ(VectorOperations::duplicatePage(none, 0), 0);
}

TEST(PageOperationsTest, DeleteKeepsTheLastPage)
{
    VectorDocument one = documentWithPages({"A"});
    EXPECT_EQ(VectorOperations::deletePage(one, 0), 0);
    EXPECT_EQ(one.pages.size(), 1);
    EXPECT_EQ(one.revision, 1);

    VectorDocument three = documentWithPages({"A", "B", "C"});
    EXPECT_EQ(VectorOperations::deletePage(three, 2), 1);
    EXPECT_EQ(titles(three), (QStringList{"A", "B"}));
    EXPECT_EQ(VectorOperations::deletePage(three, 0), 0);
    EXPECT_EQ(titles(three), (QStringList{"B"}));
    EXPECT_EQ(three.revision, 3);

    VectorDocument other = documentWithPages({"A", "B", "C"});
    EXPECT_EQ(VectorOperations::deletePage(other, 9), 2);
    EXPECT_EQ(VectorOperations::deletePage(other, -3), 0);
    EXPECT_EQ(other.revision, 1);
}

TEST(PageOperationsTest, MoveReordersOrRefuses)
{
    VectorDocument document = documentWithPages({"A", "B", "C"});
    EXPECT_EQ(VectorOperations::movePage(document, 0, 2), 2);
    EXPECT_EQ(titles(document), (QStringList{"B", "C", "A"}));
    EXPECT_EQ(VectorOperations::movePage(document, 2, 0), 0);
    EXPECT_EQ(titles(document), (QStringList{"A", "B", "C"}));
    EXPECT_EQ(document.revision, 3);
    EXPECT_EQ(VectorOperations::movePage(document, 1, 1), 1);
    EXPECT_EQ(VectorOperations::movePage(document, 1, 3), 1);
    EXPECT_EQ(VectorOperations::movePage(document, -1, 0), -1);
    EXPECT_EQ(document.revision, 3);
}

// The corners of an element as drawn: its frame turned about its centre.
QList<QPointF> drawnCorners(const VectorElement& element)
{
    const QRectF r = element.frame.toQRectF();
    const QTransform turn = QTransform()
                                .translate(r.center().x(), r.center().y())
                                .rotate(element.rotationDegrees)
                                .translate(-r.center().x(), -r.center().y());
    return {turn.map(r.topLeft()), turn.map(r.topRight()), turn.map(r.bottomRight()), turn.map(r.bottomLeft())};
}

TEST(PageOperationsTest, ElementsTurnWithThePageKeepingTheirSides)
{
    VectorDocument document = documentWithPages({"A"});
    document.pages[0].elements = {boxAt(VectorRect(10, 20, 100, 50))};
    VectorElement thin = boxAt(VectorRect(0, 0, 5, 5));
    thin.frame.width = 0;
    thin.rotationDegrees = 12;
    document.pages[0].elements.append(thin);
    document.pages[0].redactedPDFRects = {VectorRect(1, 1, 10, 10)};

    VectorDocument counter = document;
    const VectorDocument before = document;
    VectorOperations::rotatePage(document, 0, true);
    const VectorPage& page = document.pages[0];
    EXPECT_EQ(page.width, 841.89);
    EXPECT_EQ(page.height, 595.28);
    // The centre (60, 45) goes to (841.89 - 45, 60); the sides stay.
    expectRect(page.elements[0].frame, VectorRect(746.89, 35, 100, 50));
    EXPECT_EQ(page.elements[0].rotationDegrees, 90);
    EXPECT_EQ(page.elements[1].frame.width, 0);
    EXPECT_EQ(page.elements[1].frame.height, 5);
    EXPECT_EQ(page.elements[1].rotationDegrees, 102);
    // Each element is drawn where the turned page carries it.
    for (int i = 0; i < 2; ++i) {
        const QList<QPointF> old = drawnCorners(before.pages[0].elements[i]);
        const QList<QPointF> now = drawnCorners(page.elements[i]);
        for (const QPointF& corner : old) {
            const QPointF expected(841.89 - corner.y(), corner.x());
            EXPECT_TRUE(std::any_of(now.cbegin(), now.cend(), [&](const QPointF& p) {
                return std::abs(p.x() - expected.x()) < 1e-6 && std::abs(p.y() - expected.y()) < 1e-6;
            })) << i << " " << expected.x() << "," << expected.y();
        }
    }
    // Without a backdrop the page has no print to turn.
    EXPECT_EQ(page.redactedPDFRects, (QList<VectorRect>{VectorRect(1, 1, 10, 10)}));
    EXPECT_EQ(page.pdfRotation, 0);
    EXPECT_EQ(document.revision, 2);

    VectorOperations::rotatePage(counter, 0, false);
    expectRect(counter.pages[0].elements[0].frame, VectorRect(-5, 510.28, 100, 50));
    EXPECT_EQ(counter.pages[0].elements[0].rotationDegrees, -90);
    EXPECT_EQ(counter.pages[0].elements[1].rotationDegrees, -78);

    VectorOperations::rotatePage(counter, 3, false);
    EXPECT_EQ(counter.revision, 2);
}

TEST(PageOperationsTest, FourTurnsOrATurnAndItsReverseGiveTheSameDocumentBack)
{
    VectorDocument document = documentWithPages({"A"});
    VectorPage& page = document.pages[0];
    page.pdfPageData = QByteArray("%PDF-1.7");
    page.redactedPDFRects = {VectorRect(100.37, 50.123, 200.11, 20.9), VectorRect(0.1, 0.2, 595.18, 0.3)};
    VectorElement stamp = boxAt(VectorRect(90.584, 664.3498, 176, 52));
    stamp.rotationDegrees = -4;
    VectorElement text = boxAt(VectorRect(148.82, 294.6615, 8 * 15 * 0.58, 15 * 1.38));
    VectorElement arrow = boxAt(VectorRect(0.1, 0.3, 140.7, 0.2));
    arrow.rotationDegrees = 179.99;
    // Off the micro-point grid and turned past a full turn.
    VectorElement loose = boxAt(VectorRect(300.000000123, 400.5000000007, 33.3333333333, 12.1));
    loose.rotationDegrees = 725.5;
    VectorElement line;
    line.id = QUuid::createUuid();
    TextPayload printed;
    printed.text = QStringLiteral("Total");
    printed.isPDFExtracted = true;
    printed.originalPDFText = printed.text;
    printed.originalPDFRect = VectorRect(40.12, 300.07, 120.3, 14.2);
    printed.originalRotationDegrees = 0;
    line.kind = printed;
    line.frame = *printed.originalPDFRect;
    page.elements = {stamp, text, arrow, loose, line};
    const VectorDocument original = document;

    for (const bool clockwise : {true, false}) {
        for (int turn = 1; turn <= 4; ++turn) {
            VectorOperations::rotatePage(document, 0, clockwise);
            EXPECT_FALSE(document.pages[0].elements[4].hasModifiedPDFText()) << turn;
            if (turn < 4) {
                EXPECT_NE(document.pages[0].elements, original.pages[0].elements);
            }
        }
        VectorDocument restored = document;
        restored.revision = original.revision;
        EXPECT_EQ(restored, original) << clockwise;
    }
    VectorOperations::rotatePage(document, 0, true);
    VectorOperations::rotatePage(document, 0, false);
    document.revision = original.revision;
    EXPECT_EQ(document, original);
}

TEST(PageOperationsTest, ABackdropTurnsWithThePageAndMasksFollowTheText)
{
    VectorDocument document = documentWithPages({"A"});
    VectorPage& page = document.pages[0];
    page.width = 600;
    page.height = 800;
    page.pdfPageData = QByteArray("%PDF-1.7");
    page.redactedPDFRects = {VectorRect(100, 50, 200, 20)};
    VectorElement line;
    line.id = QUuid::createUuid();
    TextPayload text;
    text.text = QStringLiteral("Total");
    text.isPDFExtracted = true;
    text.originalPDFText = QStringLiteral("Total");
    text.originalPDFRect = VectorRect(40, 300, 120, 14);
    text.maskColorHex = QStringLiteral("#FFFFFF");
    line.kind = text;
    line.frame = VectorRect(40, 300, 120, 14);
    line.visible = false;  // hidden: masked
    page.elements = {line};

    // Where the hidden areas lie on the backdrop itself, whatever the turn.
    const auto maskedAreaOnTheBackdrop = [](const VectorDocument& d) {
        QList<QRectF> areas;
        const VectorPage& p = d.pages[0];
        const QTransform toUnturned = p.backdropTransform().inverted();
        for (const VectorRect& redaction : p.redactedPDFRects) {
            areas.append(toUnturned.mapRect(redaction.toQRectF()));
        }
        areas.append(toUnturned.mapRect(p.elements[0].text()->printedPDFBounds()->toQRectF()));
        // Every mask covers its area.
        const QList<MaskRect> masks = p.activeMaskRects();
        EXPECT_EQ(masks.size(), 2);
        for (int i = 0; i < masks.size(); ++i) {
            EXPECT_TRUE(masks[i].rect.toQRectF().contains(toUnturned.inverted().mapRect(areas[i])));
        }
        return areas;
    };
    const QList<QRectF> before = maskedAreaOnTheBackdrop(document);

    for (bool clockwise : {true, true, false, true, true, true}) {
        VectorOperations::rotatePage(document, 0, clockwise);
        const QList<QRectF> after = maskedAreaOnTheBackdrop(document);
        ASSERT_EQ(after.size(), before.size());
        for (int i = 0; i < before.size(); ++i) {
            EXPECT_NEAR(after[i].x(), before[i].x(), 1e-9);
            EXPECT_NEAR(after[i].y(), before[i].y(), 1e-9);
            EXPECT_NEAR(after[i].width(), before[i].width(), 1e-9);
            EXPECT_NEAR(after[i].height(), before[i].height(), 1e-9);
        }
        EXPECT_FALSE(document.pages[0].elements[0].hasModifiedPDFText());
        // The line turns with its print: its sides stay, its rotation follows.
        const VectorElement& turned = document.pages[0].elements[0];
        EXPECT_EQ(turned.frame.width, 120);
        EXPECT_EQ(turned.frame.height, 14);
        EXPECT_EQ(std::fmod(turned.rotationDegrees - (document.pages[0].pdfRotation) + 720, 360.0), 0);
    }
    // Four clockwise turns in all: back where it started.
    EXPECT_EQ(document.pages[0].pdfRotation, 0);
    EXPECT_EQ(document.pages[0].width, 600);

    VectorOperations::rotatePage(document, 0, true);
    EXPECT_EQ(document.pages[0].pdfRotation, 90);
    // The page's unturned corner (0, 0) now lies at the top right.
    EXPECT_EQ(document.pages[0].backdropTransform().map(QPointF(0, 0)), QPointF(800, 0));
    VectorOperations::rotatePage(document, 0, false);
    VectorOperations::rotatePage(document, 0, false);
    EXPECT_EQ(document.pages[0].pdfRotation, 270);
}

TEST(PageOperationsTest, TurnsAreCodedAndOlderPagesReadAsUnturned)
{
    VectorPage page = VectorPage::make(QUuid::createUuid(), QStringLiteral("P"), 100, 200, QStringLiteral("#FFFFFF"));
    page.pdfRotation = 270;
    QJsonObject coded = encodeToJson(page).toObject();
    EXPECT_EQ(coded.value("pdfRotation").toInteger(), 270);
    EXPECT_EQ(decodeFromJson<VectorPage>(coded), page);
    coded.remove("pdfRotation");
    EXPECT_EQ(decodeFromJson<VectorPage>(coded).pdfRotation, 0);
    EXPECT_EQ(normalizedQuarterTurn(-90), 270);
    EXPECT_EQ(normalizedQuarterTurn(450), 90);
    EXPECT_EQ(normalizedQuarterTurn(100), 90);
}
