#include "model/VectorDocumentHistory.h"

#include <gtest/gtest.h>

using namespace zelvane;

namespace {

VectorDocument numbered(qint64 n)
{
    VectorDocument document;
    document.revision = n;
    return document;
}

QList<qint64> revisions(const QList<VectorDocument>& stack)
{
    QList<qint64> result;
    for (const VectorDocument& d : stack) {
        result.append(d.revision);
    }
    return result;
}

}  // namespace

TEST(VectorDocumentHistoryTest, FreshHistoryHasNothingToUndoOrRedo)
{
    VectorDocumentHistory history(60);
    EXPECT_FALSE(history.undo(numbered(1)).has_value());
    EXPECT_FALSE(history.redo(numbered(1)).has_value());
    EXPECT_TRUE(history.undoStack().isEmpty());
    EXPECT_TRUE(history.redoStack().isEmpty());
    EXPECT_FALSE(history.canUndo());
    EXPECT_FALSE(history.canRedo());
}

TEST(VectorDocumentHistoryTest, UndoAndRedoSwapWholeDocuments)
{
    VectorDocumentHistory history(60);
    history.record(numbered(1));  // A
    history.record(numbered(2));  // B
    const auto undone = history.undo(numbered(3));  // current C
    ASSERT_TRUE(undone);
    EXPECT_EQ(undone->revision, 2);
    EXPECT_EQ(revisions(history.undoStack()), (QList<qint64>{1}));
    EXPECT_EQ(revisions(history.redoStack()), (QList<qint64>{3}));
    const auto redone = history.redo(numbered(2));
    ASSERT_TRUE(redone);
    EXPECT_EQ(redone->revision, 3);
    EXPECT_EQ(revisions(history.undoStack()), (QList<qint64>{1, 2}));
    EXPECT_TRUE(history.redoStack().isEmpty());

    history.undo(numbered(3));
    EXPECT_TRUE(history.canRedo());
    history.record(numbered(9));
    EXPECT_FALSE(history.canRedo());
    history.clear();
    EXPECT_FALSE(history.canUndo());
}

TEST(VectorDocumentHistoryTest, DepthDropsTheOldestSnapshots)
{
    VectorDocumentHistory history(60);
    for (int i = 1; i <= 61; ++i) {
        history.record(numbered(i));
    }
    ASSERT_EQ(history.undoStack().size(), 60);
    EXPECT_EQ(history.undoStack().front().revision, 2);
    EXPECT_EQ(history.undoStack().back().revision, 61);

    VectorDocumentHistory none(0);
    none.record(numbered(1));
    EXPECT_TRUE(none.undoStack().isEmpty());
    VectorDocumentHistory negative(-3);
    negative.record(numbered(1));
    EXPECT_TRUE(negative.undoStack().isEmpty());
}

TEST(VectorDocumentHistoryTest, SnapshotsShareThePDFBytesInsteadOfCopyingThem)
{
    QByteArray pdf(50 * 1024 * 1024, 'x');
    VectorDocument document;
    for (int i = 0; i < 20; ++i) {
        document.pages.append(VectorPage::make(QUuid::createUuid(), QStringLiteral("P"), 600, 800,
                                               QStringLiteral("#FFFFFF"), pdf, i));
    }
    pdf = QByteArray();  // only the pages hold the bytes now
    const char* bytes = document.pages[0].pdfPageData->constData();

    VectorDocumentHistory history(60);
    for (int i = 0; i < 60; ++i) {
        history.record(document);
        // Edit the live document the way an edit does: copy, change, store back.
        VectorDocument copy = document;
        copy.pages[i % 20].title = QString::number(i);
        copy.revision += 1;
        document = copy;
    }
    for (const VectorDocument& snapshot : history.undoStack()) {
        for (const VectorPage& page : snapshot.pages) {
            EXPECT_EQ(page.pdfPageData->constData(), bytes);
        }
    }
    EXPECT_EQ(document.pages[19].pdfPageData->constData(), bytes);
}
