#include "model/ElementList.h"
#include "model/VectorDocumentHistory.h"
#include "operations/VectorOperations.h"

#include <gtest/gtest.h>

#include <random>

using namespace zelvane;

namespace {

VectorElement box(int n)
{
    return VectorElement::make(QStringLiteral("Box %1").arg(n),
                               ShapePayload::make(VectorShapeType::rectangle, 0, false, false),
                               VectorRect(n, n, 10, 10), 0, VectorStyle::defaultShape());
}

ElementList boxes(int count)
{
    ElementList list;
    list.reserve(count);
    for (int i = 0; i < count; ++i)
        list.append(box(i));
    return list;
}

// How many blocks of `a` hold the same storage as a block of `b`.
qsizetype sharedBlocks(const ElementList& a, const ElementList& b)
{
    QSet<const void*> of;
    for (qsizetype i = 0; i < b.blockCount(); ++i)
        of.insert(b.block(i).constData());
    qsizetype shared = 0;
    for (qsizetype i = 0; i < a.blockCount(); ++i)
        shared += of.contains(a.block(i).constData()) ? 1 : 0;
    return shared;
}

void expectSame(const ElementList& list, const QList<VectorElement>& reference)
{
    ASSERT_EQ(list.size(), reference.size());
    qsizetype i = 0;
    for (const VectorElement& element : list) {
        ASSERT_EQ(element.id, reference.at(i).id) << "at " << i;
        ASSERT_EQ(list.at(i).id, reference.at(i).id) << "at " << i;
        ++i;
    }
    EXPECT_EQ(i, reference.size());
    EXPECT_TRUE(list == ElementList(reference));
    EXPECT_EQ(list.toList(), reference);
}

VectorDocument documentOf(const ElementList& elements, int pages = 3)
{
    QList<VectorPage> list;
    for (int p = 0; p < pages; ++p) {
        VectorPage page = VectorPage::make(QUuid::createUuid(), QStringLiteral("Page %1").arg(p + 1), 595.28, 841.89,
                                           QStringLiteral("#FFFFFF"));
        page.elements = elements;
        list.append(page);
    }
    return VectorDocument::make(QUuid::createUuid(), QStringLiteral("Doc"), DocumentSourceFormat::svg, std::nullopt,
                                list, 1);
}

}  // namespace

TEST(ElementListTest, BehavesAsAPlainListUnderRandomEdits)
{
    std::mt19937 random(48);
    ElementList list;
    QList<VectorElement> reference;
    int next = 0;
    for (int step = 0; step < 4000; ++step) {
        const int choice = int(random() % 10);
        const qsizetype size = reference.size();
        if (choice < 4 || size == 0) {
            const VectorElement element = box(next++);
            list.append(element);
            reference.append(element);
        } else if (choice < 6) {
            const qsizetype at = qsizetype(random() % (size + 1));
            const VectorElement element = box(next++);
            list.insert(at, element);
            reference.insert(at, element);
        } else if (choice < 8) {
            const qsizetype at = qsizetype(random() % size);
            const qsizetype n = std::min<qsizetype>(qsizetype(random() % 700), size - at);
            list.remove(at, n);
            reference.remove(at, n);
        } else if (choice < 9) {
            const qsizetype at = qsizetype(random() % size);
            list[at].frame.x += 1;
            reference[at].frame.x += 1;
        } else {
            const int modulo = 2 + int(random() % 5);
            list.removeIf([modulo](const VectorElement& e) { return int(e.frame.y) % modulo == 0; });
            reference.removeIf([modulo](const VectorElement& e) { return int(e.frame.y) % modulo == 0; });
        }
    }
    expectSame(list, reference);
    // Reverse walks and slices agree too.
    qsizetype back = reference.size();
    for (auto it = list.crbegin(); it != list.crend(); ++it)
        ASSERT_EQ(it->id, reference.at(--back).id);
    expectSame(list.mid(100, 1500), reference.mid(100, 1500));
    expectSame(list.mid(reference.size() - 3), reference.mid(reference.size() - 3));
}

TEST(ElementListTest, CopiesShareBlocksAndAnEditCopiesOnlyItsBlock)
{
    const ElementList original = boxes(20000);
    ElementList edited = original;
    EXPECT_TRUE(edited.isSharedWith(original));

    edited[12345].frame.x = -1;
    EXPECT_EQ(sharedBlocks(edited, original), original.blockCount() - 1);
    EXPECT_EQ(original.at(12345).frame.x, 12345);
    EXPECT_EQ(edited.at(12345).frame.x, -1);

    ElementList grown = original;
    grown.append(box(-1));
    EXPECT_GE(sharedBlocks(grown, original), original.blockCount() - 1);
    EXPECT_EQ(original.size(), 20000);

    // What two lists share is passed over; the equal ends are found exactly.
    EXPECT_EQ(ElementList::commonPrefix(original, edited), 12345);
    EXPECT_EQ(ElementList::commonSuffix(original, edited, 20000), 20000 - 12346);
    EXPECT_EQ(ElementList::commonPrefix(original, grown), 20000);
    ElementList shorter = original;
    shorter.removeAt(7);
    EXPECT_EQ(ElementList::commonPrefix(original, shorter), 7);
    EXPECT_EQ(ElementList::commonSuffix(original, shorter, 19999 - 7), 19999 - 7);
    EXPECT_FALSE(original == shorter);
    EXPECT_FALSE(original == edited);
}

TEST(ElementListTest, ElementOperationsLeaveUntouchedBlocksShared)
{
    const ElementList elements = boxes(10000);
    const VectorDocument before = documentOf(elements);
    const QUuid middle = elements.at(5000).id;

    VectorDocument document = before;
    VectorOperations::updateElement(middle, 1, document, [](VectorElement& e) { e.name = QStringLiteral("Moved"); });
    EXPECT_EQ(sharedBlocks(document.pages[1].elements, elements), elements.blockCount() - 1);
    EXPECT_TRUE(document.pages[0].elements.isSharedWith(elements));
    EXPECT_TRUE(document.pages[2].elements.isSharedWith(elements));

    document = before;
    VectorOperations::deleteElements({middle, elements.at(9999).id}, 1, document);
    EXPECT_EQ(document.pages[1].elements.size(), 9998);
    EXPECT_GE(sharedBlocks(document.pages[1].elements, elements), elements.blockCount() - 2);

    document = before;
    VectorOperations::moveElements({middle}, {3, 4}, 1, document);
    EXPECT_EQ(sharedBlocks(document.pages[1].elements, elements), elements.blockCount() - 1);
    EXPECT_EQ(document.pages[1].elements.at(5000).frame.x, 5003);

    document = before;
    VectorOperations::bringToFront({middle}, 1, document);
    EXPECT_EQ(document.pages[1].elements.last().id, middle);
    EXPECT_EQ(document.pages[1].elements.at(5000).id, elements.at(5001).id);
    EXPECT_GE(sharedBlocks(document.pages[1].elements, elements), elements.blockCount() - 2);

    document = before;
    VectorOperations::sendToBack({middle}, 1, document);
    EXPECT_EQ(document.pages[1].elements.first().id, middle);
    EXPECT_EQ(document.pages[1].elements.at(1).id, elements.at(0).id);
    EXPECT_EQ(document.pages[1].elements.size(), 10000);

    document = before;
    VectorOperations::addElement(box(-1), 1, document);
    EXPECT_GE(sharedBlocks(document.pages[1].elements, elements), elements.blockCount() - 1);
}

TEST(ElementListTest, UndoSnapshotsShareTheUnchangedPages)
{
    VectorDocument document = documentOf(boxes(3000), 4);
    VectorDocumentHistory history(60);
    for (int step = 0; step < 10; ++step) {
        history.record(document);
        VectorDocument edited = document;
        VectorOperations::updateElement(edited.pages[2].elements.at(step * 100).id, 2, edited,
                                        [](VectorElement& e) { e.frame.y += 1; });
        document = std::move(edited);
    }
    for (const VectorDocument& snapshot : history.undoStack()) {
        for (int p : {0, 1, 3})
            EXPECT_TRUE(snapshot.pages[p].elements.isSharedWith(document.pages[p].elements));
        EXPECT_GE(sharedBlocks(snapshot.pages[2].elements, document.pages[2].elements),
                  document.pages[2].elements.blockCount() - 10);
    }
}

TEST(ElementListTest, ASliceHoldsOnlyTheElementsAskedFor)
{
    // Blocks of 512: slices inside one block, at its start or end, across
    // blocks, whole blocks, and to the end of the list.
    const ElementList list = boxes(2000);
    const QList<VectorElement> reference = list.toList();
    ASSERT_GE(list.blockCount(), 3);
    for (const auto& [pos, length] : std::initializer_list<std::pair<qsizetype, qsizetype>>{
             {0, 5}, {10, 20}, {500, 12}, {500, 30}, {512, 512}, {0, 1024}, {1000, 600}, {1990, -1}, {1536, -1},
             {0, -1}, {2000, 5}}) {
        SCOPED_TRACE(testing::Message() << "mid(" << pos << ", " << length << ")");
        expectSame(list.mid(pos, length), reference.mid(pos, length));
    }
    // Whole blocks are shared, not copied.
    EXPECT_EQ(sharedBlocks(list.mid(512, 1024), list), 2);
}
