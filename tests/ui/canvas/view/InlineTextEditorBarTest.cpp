#include "CanvasToolsTestSupport.h"

#include "canvas/InlineTextEditorBar.h"
#include "controls/Chip.h"
#include "controls/IconButton.h"
#include "controls/TextButton.h"
#include "fonts/TextFonts.h"

#include <QLineEdit>

using namespace zelvane;
using namespace zelvane::testing;

namespace {

class EditorBarTest : public CanvasToolTest {
protected:
    InlineTextEditorBar& bar() { return *canvas().editorBar(); }
    QLineEdit& field() { return *bar().field(); }
    bool barShown() { return bar().isVisible(); }

    void edit(const QUuid& id)
    {
        model->setEditingTextElementID(id);
        QApplication::processEvents();
    }
    void setText(const QUuid& id, const QString& text)
    {
        controller().perform(QString(), [&](VectorDocument& d) {
            VectorOperations::updateElement(id, 0, d, [&](VectorElement& e) { e.text()->text = text; });
        });
    }
    QUuid addPDFText(const QString& text)
    {
        VectorElement e = VectorOperations::makeTextElement(text, {100, 200}, 12, QStringLiteral("#333333"), false);
        TextPayload* payload = e.text();
        payload->isPDFExtracted = true;
        payload->originalPDFText = text;
        payload->originalPDFRect = e.frame;
        payload->originalFontSize = 12;
        return add(e);
    }
};

}  // namespace

TEST_F(EditorBarTest, ReturnCommitsAChangedDraftAsOneStepAndRefits)
{
    const QUuid id = addText(QStringLiteral("Hello"), {100, 100});
    edit(id);
    ASSERT_TRUE(barShown());
    EXPECT_EQ(field().text(), QStringLiteral("Hello"));
    VectorElement refitted = *element(id);
    refitted.text()->text = QStringLiteral("Hello wide world");
    PDFCodec::updateTextFrameForEditedContent(refitted);
    ASSERT_NE(refitted.frame, element(id)->frame);

    // Opened from outside the text, the bar has the whole draft chosen.
    EXPECT_EQ(field().selectedText(), QStringLiteral("Hello"));
    field().setFocus();
    QTest::keyClick(&field(), Qt::Key_End);
    QTest::keyClicks(&field(), QStringLiteral(" wide world"));
    EXPECT_EQ(element(id)->text()->text, QStringLiteral("Hello"));
    QTest::keyClick(&field(), Qt::Key_Return);
    EXPECT_EQ(element(id)->text()->text, QStringLiteral("Hello wide world"));
    EXPECT_EQ(element(id)->frame, refitted.frame);
    EXPECT_EQ(undoSteps(), 1);
    EXPECT_EQ(controller().statusMessage(), QStringLiteral("Text edited"));
    EXPECT_TRUE(barShown());
    EXPECT_EQ(model->editingTextElementID(), id);

    // Unchanged: Return and Apply record nothing.
    QTest::keyClick(&field(), Qt::Key_Return);
    QTest::mouseClick(bar().applyButton(), Qt::LeftButton);
    EXPECT_EQ(undoSteps(), 1);
}

TEST_F(EditorBarTest, TheDraftFollowsTheStoredTextOnlyWhenItChanges)
{
    const QUuid id = addText(QStringLiteral("Hello"), {100, 100});
    edit(id);
    QTest::keyClick(&field(), Qt::Key_End);
    QTest::keyClicks(&field(), QStringLiteral(" there"));
    QTest::keyClick(&field(), Qt::Key_Return);
    QTest::keyClicks(&field(), QStringLiteral(" again"));
    // A change that keeps the text keeps the draft.
    controller().perform(QString(), [&](VectorDocument& d) {
        VectorOperations::updateElement(id, 0, d, [](VectorElement& e) { e.frame.x += 10; });
    });
    EXPECT_EQ(bar().draftText(), QStringLiteral("Hello there again"));
    controller().undo();
    controller().undo();
    EXPECT_EQ(bar().draftText(), QStringLiteral("Hello"));
    EXPECT_EQ(field().text(), QStringLiteral("Hello"));

    // Another element starts its own draft.
    const QUuid other = addText(QStringLiteral("Other"), {100, 300});
    edit(other);
    EXPECT_EQ(field().text(), QStringLiteral("Other"));

    // The close button ends the editing.
    QTest::mouseClick(bar().closeButton(), Qt::LeftButton);
    EXPECT_FALSE(model->editingTextElementID().has_value());
    EXPECT_FALSE(barShown());
}

TEST_F(EditorBarTest, PDFTextShowsItsChipAndCanGoBackToTheOriginal)
{
    const QUuid typed = addText(QStringLiteral("Typed"), {100, 100});
    edit(typed);
    EXPECT_EQ(bar().chip()->text(), QStringLiteral("TEXTE"));
    EXPECT_FALSE(bar().restoreButton()->isVisible());

    const QUuid pdf = addPDFText(QStringLiteral("Printed line"));
    edit(pdf);
    EXPECT_EQ(bar().chip()->text(), QStringLiteral("PDF TXT"));
    EXPECT_FALSE(bar().restoreButton()->isVisible());
    // A draft alone does not show the restore button.
    QTest::keyClicks(&field(), QStringLiteral("!"));
    EXPECT_FALSE(bar().restoreButton()->isVisible());
    QTest::keyClick(&field(), Qt::Key_Return);
    EXPECT_TRUE(bar().restoreButton()->isVisible());

    QTest::mouseClick(bar().restoreButton(), Qt::LeftButton);
    const VectorElement restored = *element(pdf);
    EXPECT_EQ(restored.text()->text, QStringLiteral("Printed line"));
    EXPECT_EQ(restored.style.fillColorHex, QStringLiteral("#111317"));
    EXPECT_EQ(controller().statusMessage(), QStringLiteral("PDF text restored"));
    EXPECT_EQ(field().text(), QStringLiteral("Printed line"));
    EXPECT_FALSE(bar().restoreButton()->isVisible());
}

TEST_F(EditorBarTest, ShownOnlyForATextElementOfTheCurrentPage)
{
    const QUuid box = addShape(VectorRect(100, 100, 50, 50));
    edit(box);
    EXPECT_FALSE(barShown());
    const QUuid text = addText(QStringLiteral("Hello"), {100, 300});
    edit(text);
    EXPECT_TRUE(barShown());
    // Another page shown ends the editing: coming back does not reopen it.
    controller().addBlankPage(PageFormatPreset::a4Portrait);
    EXPECT_FALSE(barShown());
    EXPECT_FALSE(model->editingTextElementID().has_value());
    controller().setCurrentPageIndex(0);
    EXPECT_FALSE(barShown());
    edit(text);
    EXPECT_TRUE(barShown());
    model->setDisplayMode(CanvasDisplayMode::multiPageGrid);
    EXPECT_FALSE(barShown());
    controller().deleteSelectedElements();
    controller().setSelection({text});
    controller().deleteSelectedElements();
    model->setDisplayMode(CanvasDisplayMode::singlePage);
    EXPECT_FALSE(barShown());
}

TEST_F(EditorBarTest, TheFieldKeepsItsWidthBoundsWithAHundredThousandCharacters)
{
    const QUuid id = addText(QStringLiteral("x"), {50, 100});
    edit(id);
    EXPECT_GE(field().width(), InlineTextEditorBar::kFieldMinWidth);
    setText(id, QString(100000, QLatin1Char('w')));
    QApplication::processEvents();
    EXPECT_EQ(field().text().size(), 100000);
    EXPECT_LE(field().width(), InlineTextEditorBar::kFieldMaxWidth);
    EXPECT_GE(field().width(), InlineTextEditorBar::kFieldMinWidth);
    EXPECT_LE(bar().width(), canvas().width());
    const qsizetype steps = undoSteps();
    field().setFocus();
    QTest::keyClick(&field(), Qt::Key_End);
    QTest::keyClicks(&field(), QStringLiteral("!"));
    QTest::keyClick(&field(), Qt::Key_Return);
    EXPECT_EQ(element(id)->text()->text.size(), 100001);
    EXPECT_EQ(undoSteps(), steps + 1);
    EXPECT_TRUE(std::isfinite(element(id)->frame.width));
}
