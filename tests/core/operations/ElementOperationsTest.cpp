#include "operations/VectorOperations.h"

#include "operations/ElementFrames.h"

#include <gtest/gtest.h>

using namespace zelvane;

namespace {

VectorElement named(const QString& name, const VectorRect& frame = VectorRect(10, 10, 20, 20))
{
    VectorElement element;
    element.id = QUuid::createUuid();
    element.name = name;
    element.kind = ShapePayload::make(VectorShapeType::ellipse, 0, false, false);
    element.frame = frame;
    return element;
}

VectorElement pdfText(const QString& name, const VectorRect& printed)
{
    VectorElement element = named(name, printed);
    TextPayload text;
    text.text = name;
    text.fontSize = 11;
    text.isPDFExtracted = true;
    text.originalPDFText = name;
    text.originalPDFRect = printed;
    text.originalFontSize = 11;
    text.originalTextColorHex = QStringLiteral("#333333");
    text.maskColorHex = QStringLiteral("#FFFFFF");
    element.kind = text;
    element.style.fillColorHex = QStringLiteral("#333333");
    return element;
}

struct Fixture {
    VectorDocument document;
    VectorElement a = named("A"), b = named("B"), c = named("C");

    Fixture()
    {
        VectorPage page = VectorPage::make(QUuid::createUuid(), QStringLiteral("P"), 600, 800, QStringLiteral("#FFFFFF"));
        page.elements = {a, b, c};
        VectorPage other = VectorPage::make(QUuid::createUuid(), QStringLiteral("Q"), 600, 800, QStringLiteral("#FFFFFF"));
        document = VectorDocument::make(QUuid::createUuid(), QStringLiteral("D"), DocumentSourceFormat::svg, std::nullopt,
                                        {page, other}, 1);
    }

    QStringList names(qsizetype page = 0) const
    {
        QStringList result;
        for (const VectorElement& e : document.pages[page].elements) {
            result.append(e.name);
        }
        return result;
    }
};

}  // namespace

TEST(ElementOperationsTest, AddAppendsOnTopOfAValidPage)
{
    Fixture f;
    const VectorElement d = named("D");
    EXPECT_EQ(VectorOperations::addElement(d, 0, f.document), d.id);
    EXPECT_EQ(f.names(), (QStringList{"A", "B", "C", "D"}));
    EXPECT_EQ(f.document.revision, 2);
    EXPECT_EQ(VectorOperations::addElement(d, 2, f.document), d.id);
    EXPECT_EQ(VectorOperations::addElement(d, -1, f.document), d.id);
    EXPECT_EQ(f.document.revision, 2);
}

TEST(ElementOperationsTest, UpdateChangesTheFirstMatchOnly)
{
    Fixture f;
    VectorOperations::updateElement(f.b.id, 0, f.document, [](VectorElement& e) {
        e.frame.width = 0;  // stored without clamping
        e.locked = true;
    });
    EXPECT_EQ(f.document.pages[0].elements[1].frame.width, 0);
    EXPECT_EQ(f.document.revision, 2);
    bool ran = false;
    VectorOperations::updateElement(QUuid::createUuid(), 0, f.document, [&](VectorElement&) { ran = true; });
    VectorOperations::updateElement(f.b.id, 1, f.document, [&](VectorElement&) { ran = true; });
    VectorOperations::updateElement(f.b.id, 5, f.document, [&](VectorElement&) { ran = true; });
    EXPECT_FALSE(ran);
    EXPECT_EQ(f.document.revision, 2);
    // Locked elements can still be updated.
    VectorOperations::updateElement(f.b.id, 0, f.document, [](VectorElement& e) { e.name = "B2"; });
    EXPECT_EQ(f.names(), (QStringList{"A", "B2", "C"}));
}

TEST(ElementOperationsTest, SettingFramesEqualsOneUpdatePerElement)
{
    Fixture one;
    Fixture many;
    // A duplicate id after B: only the first of an id changes, as updateElement.
    VectorElement twin = one.b;
    twin.name = "B twin";
    for (Fixture* f : {&one, &many})
        f->document.pages[0].elements.append(twin);
    many.document = one.document;
    const QHash<QUuid, VectorRect> frames{{one.a.id, VectorRect(1, 2, 3, 4)},
                                          {one.b.id, VectorRect(-5, 6, 7, 8)},
                                          {QUuid::createUuid(), VectorRect(9, 9, 9, 9)}};
    for (auto it = frames.cbegin(); it != frames.cend(); ++it)
        VectorOperations::updateElement(it.key(), 0, one.document, [&](VectorElement& e) { e.frame = *it; });
    VectorOperations::setElementFrames(frames, 0, many.document);
    EXPECT_EQ(many.document, one.document);
    EXPECT_EQ(many.document.revision, 3);
    EXPECT_EQ(many.document.pages[0].elements[1].frame, VectorRect(-5, 6, 7, 8));
    EXPECT_EQ(many.document.pages[0].elements[3].frame, one.b.frame);
    // Another page, a page out of range or nothing to set change nothing.
    const VectorDocument before = many.document;
    VectorOperations::setElementFrames(frames, 1, many.document);
    VectorOperations::setElementFrames(frames, 7, many.document);
    VectorOperations::setElementFrames({}, 0, many.document);
    EXPECT_EQ(many.document, before);
}

TEST(ElementOperationsTest, DeleteSparesLockedElementsAndRedactsDeletedPDFText)
{
    Fixture f;
    const VectorElement printed = pdfText("Total", VectorRect(50, 60, 200, 14));
    VectorElement locked = named("L");
    locked.locked = true;
    VectorOperations::addElement(printed, 0, f.document);
    VectorOperations::addElement(locked, 0, f.document);
    const qint64 revision = f.document.revision;

    VectorOperations::deleteElements({f.a.id, printed.id, locked.id}, 0, f.document);
    EXPECT_EQ(f.names(), (QStringList{"B", "C", "L"}));
    EXPECT_EQ(f.document.pages[0].redactedPDFRects, (QList<VectorRect>{VectorRect(50, 60, 200, 14)}));
    EXPECT_EQ(f.document.modifiedPDFTextCount(), 1);
    EXPECT_EQ(f.document.revision, revision + 1);

    // A text the user typed leaves nothing behind.
    VectorElement typed = VectorOperations::makeTextElement("mine", {10, 10}, 12, "#111317", false);
    VectorOperations::addElement(typed, 0, f.document);
    VectorOperations::deleteElements({typed.id}, 0, f.document);
    EXPECT_EQ(f.document.pages[0].redactedPDFRects.size(), 1);

    const qint64 before = f.document.revision;
    VectorOperations::deleteElements({QUuid::createUuid()}, 0, f.document);
    EXPECT_EQ(f.document.revision, before + 1);
    VectorOperations::deleteElements({}, 0, f.document);
    VectorOperations::deleteElements({f.b.id}, 9, f.document);
    EXPECT_EQ(f.document.revision, before + 1);
}

TEST(ElementOperationsTest, DuplicateAppendsOffsetCopiesThatForgetThePDF)
{
    Fixture f;
    const QSet<QUuid> copies = VectorOperations::duplicateElements({f.c.id, f.a.id}, 0, f.document);
    EXPECT_EQ(f.names(), (QStringList{"A", "B", "C", "A", "C"}));
    const auto& elements = f.document.pages[0].elements;
    EXPECT_EQ(copies, (QSet<QUuid>{elements[3].id, elements[4].id}));
    EXPECT_FALSE(copies.contains(f.a.id));
    EXPECT_EQ(elements[3].frame, VectorRect(26, 26, 20, 20));
    EXPECT_EQ(f.document.revision, 2);

    VectorDocument pdf = f.document;
    VectorElement line = pdfText("Line", VectorRect(10, 10, 100, 12));
    line.visible = false;
    line.locked = true;
    VectorOperations::addElement(line, 1, pdf);
    const QSet<QUuid> lineCopies = VectorOperations::duplicateElements({line.id}, 1, pdf);
    ASSERT_EQ(lineCopies.size(), 1);
    const VectorElement& copy = pdf.pages[1].elements.back();
    EXPECT_TRUE(copy.locked);
    EXPECT_FALSE(copy.text()->isPDFExtracted);
    EXPECT_FALSE(copy.text()->originalPDFRect.has_value());
    EXPECT_EQ(copy.text()->originalTextColorHex, QStringLiteral("#333333"));
    EXPECT_FALSE(copy.hasModifiedPDFText());
    // Only the hidden original masks its print.
    EXPECT_EQ(pdf.pages[1].activeMaskRects().size(), 1);

    const qint64 revision = f.document.revision;
    EXPECT_TRUE(VectorOperations::duplicateElements({QUuid::createUuid()}, 0, f.document).isEmpty());
    EXPECT_TRUE(VectorOperations::duplicateElements({f.a.id}, 7, f.document).isEmpty());
    EXPECT_EQ(f.document.revision, revision);
}

TEST(ElementOperationsTest, MoveShiftsUnlockedElementsWithoutClamping)
{
    Fixture f;
    VectorOperations::updateElement(f.b.id, 0, f.document, [](VectorElement& e) { e.locked = true; });
    VectorOperations::moveElements({f.a.id, f.b.id}, {-1000, 5}, 0, f.document);
    EXPECT_EQ(f.document.pages[0].elements[0].frame, VectorRect(-990, 15, 20, 20));
    EXPECT_EQ(f.document.pages[0].elements[1].frame, VectorRect(10, 10, 20, 20));
    EXPECT_EQ(f.document.revision, 3);
    VectorOperations::moveElements({}, {1, 1}, 0, f.document);
    VectorOperations::moveElements({f.a.id}, {1, 1}, 2, f.document);
    EXPECT_EQ(f.document.revision, 3);
}

TEST(ElementOperationsTest, RestackingKeepsTheOrderOfEachGroup)
{
    Fixture f;
    VectorOperations::bringToFront({f.a.id}, 0, f.document);
    EXPECT_EQ(f.names(), (QStringList{"B", "C", "A"}));
    Fixture g;
    VectorOperations::sendToBack({g.c.id}, 0, g.document);
    EXPECT_EQ(g.names(), (QStringList{"C", "A", "B"}));
    Fixture h;
    VectorOperations::bringToFront({h.b.id, h.a.id}, 0, h.document);
    EXPECT_EQ(h.names(), (QStringList{"C", "A", "B"}));
    EXPECT_EQ(h.document.revision, 2);
    VectorOperations::bringToFront({h.b.id}, 0, h.document);
    EXPECT_EQ(h.document.revision, 3);
    VectorOperations::sendToBack({}, 0, h.document);
    VectorOperations::sendToBack({h.a.id}, -1, h.document);
    EXPECT_EQ(h.document.revision, 3);
}

TEST(ElementOperationsTest, EditingOnePageLeavesTheOthersShared)
{
    Fixture f;
    VectorOperations::addElement(named("X"), 1, f.document);
    const VectorDocument snapshot = f.document;
    VectorOperations::moveElements({f.a.id}, {1, 0}, 0, f.document);
    EXPECT_EQ(snapshot.pages[0].elements[0].frame.x, 10);
    EXPECT_EQ(f.document.pages[0].elements[0].frame.x, 11);
    // The untouched page's element list is still the snapshot's.
    EXPECT_TRUE(f.document.pages[1].elements.isSharedWith(snapshot.pages[1].elements));
}
