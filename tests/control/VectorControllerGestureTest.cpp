// The content revision, the detail of documentChanged and gestures.

#include "ControllerTestSupport.h"

#include "operations/VectorOperations.h"
#include "remote/ApiRoutes.h"

#include <QSet>

using namespace zelvane;
using namespace zelvane::testing;

namespace {

VectorElement boxElement(const QString& name, double x = 10)
{
    VectorElement element;
    element.id = QUuid::createUuid();
    element.name = name;
    element.kind = ShapePayload{VectorShapeType::rectangle, 0, false, false};
    element.frame = VectorRect(x, 10, 20, 20);
    return element;
}

void addBox(VectorController& controller, const QString& name, qsizetype page = 0)
{
    controller.perform(name, [&](VectorDocument& document) {
        VectorOperations::addElement(boxElement(name), page, document);
    });
}

void moveElement(VectorDocument& document, const QUuid& id, double x)
{
    VectorOperations::updateElement(id, 0, document, [x](VectorElement& element) { element.frame.x = x; });
}

// Records every documentChanged with its detail.
struct ChangeLog {
    explicit ChangeLog(VectorController& controller)
    {
        QObject::connect(&controller, &VectorController::documentChanged,
                         [this](const DocumentChange& change) { changes.append(change); });
    }
    QList<DocumentChange> changes;
};

}  // namespace

using VectorControllerGestureTest = ControllerTest;

TEST_F(VectorControllerGestureTest, TheContentRevisionNeverRepeatsAcrossUndoRedoAndEdits)
{
    const auto controller = makeController();
    QSet<quint64> seen{controller->contentRevision()};
    quint64 last = controller->contentRevision();
    auto step = [&](const char* what) {
        const quint64 now = controller->contentRevision();
        EXPECT_GT(now, last) << what;
        EXPECT_FALSE(seen.contains(now)) << what;
        seen.insert(now);
        last = now;
    };

    addBox(*controller, QStringLiteral("a"));
    step("edit");
    controller->undo();
    step("undo");
    // A different edit after the undo: VectorDocument::revision comes back to
    // the same number, the content revision does not.
    const qint64 documentRevision = controller->document().revision;
    addBox(*controller, QStringLiteral("b"));
    step("another edit");
    EXPECT_EQ(controller->document().revision, documentRevision + 1);
    controller->undo();
    step("undo again");
    controller->redo();
    step("redo");
    controller->setDocument(controller->document());
    step("setDocument");
    const QString path = scratchPath(QStringLiteral("saved.svg"));
    controller->saveFile(path);
    step("save");
    controller->openFile(path);
    step("open");
    controller->createNewDocument(PageFormatPreset::a4Portrait);
    step("new");
    const quint64 gesture = controller->beginGesture();
    controller->updateGesture(gesture, [](VectorDocument& document) { document.title = QStringLiteral("g"); });
    step("gesture step");
    controller->cancelGesture(gesture);
    step("gesture cancelled");
}

TEST_F(VectorControllerGestureTest, DocumentChangedTellsWhichPagesChanged)
{
    const auto controller = makeController();
    controller->addBlankPage(PageFormatPreset::a4Portrait);
    controller->addBlankPage(PageFormatPreset::a4Portrait);
    const QUuid first = controller->document().pages[0].id;
    const QUuid second = controller->document().pages[1].id;
    const QUuid third = controller->document().pages[2].id;
    const quint64 firstRevision = controller->pageRevision(0);
    const quint64 thirdRevision = controller->pageRevision(2);
    ChangeLog log(*controller);

    addBox(*controller, QStringLiteral("on two"), 1);
    ASSERT_EQ(log.changes.size(), 1);
    EXPECT_EQ(log.changes[0].revision, controller->contentRevision());
    EXPECT_FALSE(log.changes[0].pageListChanged);
    EXPECT_EQ(log.changes[0].changedPageIDs, QList<QUuid>{second});
    EXPECT_EQ(controller->pageRevision(0), firstRevision);
    EXPECT_EQ(controller->pageRevision(1), controller->contentRevision());
    EXPECT_EQ(controller->pageRevision(2), thirdRevision);
    EXPECT_EQ(controller->pageRevision(3), 0u);
    EXPECT_EQ(controller->pageRevision(-1), 0u);

    // A move changes the page list but no page's content: the moved page
    // keeps its revision at its new place.
    controller->setCurrentPageIndex(2);
    controller->moveCurrentPage(-2);
    ASSERT_EQ(log.changes.size(), 2);
    EXPECT_TRUE(log.changes[1].pageListChanged);
    EXPECT_TRUE(log.changes[1].changedPageIDs.isEmpty());
    EXPECT_EQ(controller->document().pages[0].id, third);
    EXPECT_EQ(controller->pageRevision(0), thirdRevision);
    EXPECT_EQ(controller->pageRevision(1), firstRevision);

    // Only the document's own fields.
    controller->perform(QString(), [](VectorDocument& document) { document.title = QStringLiteral("T"); });
    EXPECT_FALSE(log.changes.last().pageListChanged);
    EXPECT_TRUE(log.changes.last().changedPageIDs.isEmpty());

    // Undo brings back the older page content under a new revision.
    controller->undo();
    controller->undo();
    controller->undo();
    const DocumentChange& undone = log.changes.last();
    EXPECT_FALSE(undone.pageListChanged);
    EXPECT_EQ(undone.changedPageIDs, QList<QUuid>{second});
    EXPECT_EQ(controller->pageRevision(1), controller->contentRevision());

    // A new page is a changed page and a changed list.
    controller->addBlankPage(PageFormatPreset::letter);
    EXPECT_TRUE(log.changes.last().pageListChanged);
    ASSERT_EQ(log.changes.last().changedPageIDs.size(), 1);
    EXPECT_TRUE(log.changes.last().pageChanged(controller->currentPage().id));

    // An opened or new document changes every page.
    controller->createNewDocument(PageFormatPreset::a4Portrait);
    EXPECT_TRUE(log.changes.last().pageListChanged);
    EXPECT_EQ(log.changes.last().changedPageIDs, QList<QUuid>{controller->document().pages[0].id});
    EXPECT_FALSE(log.changes.last().pageChanged(first));
}

TEST_F(VectorControllerGestureTest, ListenersSeeTheCurrentPageAlreadyInRange)
{
    const auto controller = makeController();
    controller->addBlankPage(PageFormatPreset::a4Portrait);
    controller->addBlankPage(PageFormatPreset::a4Portrait);
    ASSERT_EQ(controller->currentPageIndex(), 2);
    QList<qsizetype> seen;
    QObject::connect(controller.get(), &VectorController::documentChanged, [&](const DocumentChange&) {
        seen.append(controller->currentPageIndex());
        EXPECT_TRUE(controller->hasValidCurrentPage());
    });
    controller->perform(QStringLiteral("Trim"), [](VectorDocument& document) {
        VectorOperations::deletePage(document, 2);
        VectorOperations::deletePage(document, 1);
    });
    controller->undo();
    controller->setCurrentPageIndex(2);
    controller->undo();  // back to two pages
    EXPECT_EQ(seen, (QList<qsizetype>{0, 0, 1}));
}

TEST_F(VectorControllerGestureTest, PagesSharingPDFBytesDoNotCompareThem)
{
    const auto controller = makeController();
    VectorDocument document = controller->document();
    const QByteArray bytes(1 << 20, 'x');
    document.pages[0].pdfPageData = bytes;
    document.pages.append(document.pages[0]);
    document.pages[1].id = QUuid::createUuid();
    controller->setDocument(document);
    ChangeLog log(*controller);
    addBox(*controller, QStringLiteral("box"), 1);
    EXPECT_EQ(log.changes.last().changedPageIDs, QList<QUuid>{document.pages[1].id});

    // Equal bytes in a different buffer count as a change (no byte compare).
    VectorDocument copied = controller->document();
    copied.pages[0].pdfPageData = QByteArray(bytes.constData(), bytes.size());
    controller->setDocument(copied);
    EXPECT_EQ(log.changes.last().changedPageIDs, QList<QUuid>{document.pages[0].id});
}

TEST_F(VectorControllerGestureTest, AGestureIsOneUndoStep)
{
    const auto controller = makeController();
    addBox(*controller, QStringLiteral("box"));
    const VectorDocument before = controller->document();
    const QUuid id = before.pages[0].elements[0].id;
    const int undoDepth = int(controller->history().undoStack().size());

    const quint64 gesture = controller->beginGesture(QStringLiteral("Moved"));
    EXPECT_EQ(controller->activeGesture(), gesture);
    EXPECT_TRUE(controller->canUndo());
    for (double x : {20.0, 30.0, 40.0})
        EXPECT_TRUE(controller->updateGesture(gesture, [&](VectorDocument& document) { moveElement(document, id, x); }));
    ASSERT_NE(controller->gestureStartDocument(), nullptr);
    EXPECT_EQ(*controller->gestureStartDocument(), before);
    EXPECT_EQ(controller->history().undoStack().size(), undoDepth + 1);
    EXPECT_TRUE(controller->commitGesture(gesture));
    EXPECT_EQ(controller->activeGesture(), 0u);
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("Moved"));
    EXPECT_DOUBLE_EQ(controller->document().pages[0].elements[0].frame.x, 40);
    EXPECT_FALSE(controller->updateGesture(gesture, [](VectorDocument&) {}));

    controller->undo();
    EXPECT_EQ(controller->document(), before);
    controller->redo();
    EXPECT_DOUBLE_EQ(controller->document().pages[0].elements[0].frame.x, 40);

    // A gesture that never moved leaves no step (and keeps the redo stack).
    controller->undo();
    const quint64 click = controller->beginGesture();
    EXPECT_TRUE(controller->commitGesture(click));
    EXPECT_EQ(controller->history().undoStack().size(), undoDepth);
    EXPECT_TRUE(controller->canRedo());
}

TEST_F(VectorControllerGestureTest, CancellingAGesturePutsEverythingBack)
{
    const auto controller = makeController();
    addBox(*controller, QStringLiteral("box"));
    controller->undo();
    const VectorDocument before = controller->document();
    ASSERT_TRUE(controller->canRedo());
    QList<quint64> cancelled;
    QObject::connect(controller.get(), &VectorController::gestureCancelled,
                     [&](quint64 gesture) { cancelled.append(gesture); });

    const quint64 gesture = controller->beginGesture();
    EXPECT_FALSE(controller->canRedo());
    controller->updateGesture(gesture, [](VectorDocument& document) { document.title = QStringLiteral("Moved"); });
    EXPECT_FALSE(controller->cancelGesture(gesture + 1));
    EXPECT_TRUE(controller->cancelGesture(gesture));
    EXPECT_EQ(controller->document(), before);
    EXPECT_TRUE(controller->canRedo());
    EXPECT_FALSE(controller->canUndo());
    EXPECT_EQ(cancelled, QList<quint64>{gesture});
    EXPECT_FALSE(controller->commitGesture(gesture));
}

TEST_F(VectorControllerGestureTest, AnEditDuringAGestureSurvivesIt)
{
    const auto controller = makeController();
    addBox(*controller, QStringLiteral("box"));
    const VectorDocument before = controller->document();
    const QUuid id = before.pages[0].elements[0].id;
    QList<quint64> cancelled;
    QObject::connect(controller.get(), &VectorController::gestureCancelled,
                     [&](quint64 gesture) { cancelled.append(gesture); });

    const quint64 gesture = controller->beginGesture();
    controller->updateGesture(gesture, [&](VectorDocument& document) { moveElement(document, id, 50); });
    // A remote command arrives mid-drag.
    HttpRequest request;
    request.method = QStringLiteral("POST");
    request.path = QStringLiteral("/v1/text");
    request.args = QJsonObject{{"text", "remote"}};
    EXPECT_EQ(dispatchHTTPRequest(*controller, request, ApiContext{}).status, 200);
    EXPECT_EQ(cancelled, QList<quint64>{gesture});
    EXPECT_EQ(controller->activeGesture(), 0u);
    // The next drag steps are refused, so the remote text stays.
    EXPECT_FALSE(
        controller->updateGesture(gesture, [&](VectorDocument& document) { moveElement(document, id, 60); }));
    EXPECT_FALSE(controller->commitGesture(gesture));
    const ElementList& elements = controller->document().pages[0].elements;
    ASSERT_EQ(elements.size(), 2);
    EXPECT_DOUBLE_EQ(elements[0].frame.x, 10);
    EXPECT_EQ(elements[1].text()->text, QStringLiteral("remote"));
    // One undo takes back the remote edit, the drag left no step.
    controller->undo();
    EXPECT_EQ(controller->document(), before);
}

TEST_F(VectorControllerGestureTest, ReplacingTheDocumentCancelsTheGesture)
{
    const auto controller = makeController();
    const QString path = scratchPath(QStringLiteral("other.svg"));
    controller->saveFile(path);

    for (int how = 0; how < 4; ++how) {
        addBox(*controller, QStringLiteral("box"));
        const quint64 gesture = controller->beginGesture();
        controller->updateGesture(gesture, [](VectorDocument& document) { document.title = QStringLiteral("Drag"); });
        switch (how) {
        case 0: controller->openFile(path); break;
        case 1: controller->createNewDocument(PageFormatPreset::letter); break;
        case 2: controller->undo(); break;
        default: controller->setDocument(VectorDocument::make(QUuid::createUuid(), QStringLiteral("Handed"),
                                                              DocumentSourceFormat::svg, std::nullopt, {}, 1));
        }
        EXPECT_EQ(controller->activeGesture(), 0u) << how;
        EXPECT_FALSE(controller->updateGesture(gesture, [](VectorDocument& document) {
            document.title = QStringLiteral("Drag");
        })) << how;
        EXPECT_NE(controller->document().title, QStringLiteral("Drag")) << how;
    }
}

TEST_F(VectorControllerGestureTest, ASaveDuringAGestureIsNotForgottenByACancel)
{
    const auto controller = makeController();
    const quint64 gesture = controller->beginGesture();
    controller->updateGesture(gesture, [](VectorDocument& document) { document.title = QStringLiteral("Drag"); });
    const QString path = scratchPath(QStringLiteral("during.svg"));
    controller->saveFile(path);
    EXPECT_EQ(controller->activeGesture(), gesture);
    controller->cancelGesture(gesture);
    ASSERT_TRUE(controller->document().fileURL.has_value());
    EXPECT_EQ(controller->document().fileURL->toLocalFile(), QFileInfo(path).absoluteFilePath());
    EXPECT_NE(controller->document().title, QStringLiteral("Drag"));
}

TEST_F(VectorControllerGestureTest, ANewGestureCommitsTheRunningOne)
{
    const auto controller = makeController();
    const quint64 first = controller->beginGesture();
    controller->updateGesture(first, [](VectorDocument& document) { document.title = QStringLiteral("One"); });
    const quint64 second = controller->beginGesture();
    EXPECT_NE(first, second);
    controller->updateGesture(second, [](VectorDocument& document) { document.title = QStringLiteral("Two"); });
    controller->commitGesture(second);
    EXPECT_EQ(controller->history().undoStack().size(), 2);
    controller->undo();
    EXPECT_EQ(controller->document().title, QStringLiteral("One"));
}
