// The commands that the window, OSC, HTTP and the command line share.

#include "ControllerTestSupport.h"

#include "operations/VectorOperations.h"

using namespace zelvane;
using namespace zelvane::testing;

namespace {

VectorElement textElement(const QString& text)
{
    return VectorOperations::makeTextElement(text, VectorPoint(40, 40), 12, QStringLiteral("#111317"), false);
}

VectorDocument documentWithTexts(const QList<QStringList>& pages)
{
    QList<VectorPage> list;
    for (const QStringList& texts : pages) {
        VectorPage page =
            VectorPage::make(QUuid::createUuid(), QStringLiteral("Page"), 600, 800, QStringLiteral("#FFFFFF"));
        for (const QString& text : texts)
            page.elements.append(textElement(text));
        list.append(page);
    }
    return VectorDocument::make(QUuid::createUuid(), QStringLiteral("Doc"), DocumentSourceFormat::svg, std::nullopt,
                                list, 1);
}

QString textAt(const VectorDocument& document, qsizetype page, qsizetype element)
{
    return document.pages.at(page).elements.at(element).text()->text;
}

}  // namespace

class VectorControllerSharedCommandsTest : public ControllerTest {
protected:
    void SetUp() override
    {
        ControllerTest::SetUp();
        controller = makeController();
    }
    std::unique_ptr<VectorController> controller;
};

TEST_F(VectorControllerSharedCommandsTest, ReplaceEverywhereChangesEveryTrimmedMatchOnly)
{
    controller->setDocument(documentWithTexts(
        {{QStringLiteral(" Total "), QStringLiteral("the total is due")}, {QStringLiteral("Total\n")}}));
    EXPECT_EQ(controller->replaceTextEverywhere(QStringLiteral("Total"), QStringLiteral("Sum"), QString()), 2);
    const VectorDocument& document = controller->document();
    EXPECT_EQ(textAt(document, 0, 0), QStringLiteral("Sum"));
    EXPECT_EQ(textAt(document, 0, 1), QStringLiteral("the total is due"));
    EXPECT_EQ(textAt(document, 1, 0), QStringLiteral("Sum"));
    // One undo step for all of them.
    controller->undo();
    EXPECT_EQ(textAt(controller->document(), 1, 0), QStringLiteral("Total\n"));
}

TEST_F(VectorControllerSharedCommandsTest, ReplaceEverywhereFallsBackToContainsInAnyCase)
{
    controller->setDocument(documentWithTexts(
        {{QStringLiteral("Invoice for MARCH 2026"), QStringLiteral("Other")}, {QStringLiteral("see march figures")}}));
    EXPECT_EQ(controller->replaceTextEverywhere(QStringLiteral("March"), QStringLiteral("April"), QString()), 2);
    const VectorDocument& document = controller->document();
    EXPECT_EQ(textAt(document, 0, 0), QStringLiteral("April"));
    EXPECT_EQ(textAt(document, 0, 1), QStringLiteral("Other"));
    EXPECT_EQ(textAt(document, 1, 0), QStringLiteral("April"));
}

TEST_F(VectorControllerSharedCommandsTest, ReplacedTextKeepsItsStyleAndGetsANewFrame)
{
    VectorDocument document = documentWithTexts({{QStringLiteral("Short")}});
    VectorElement& element = document.pages[0].elements[0];
    element.text()->isBold = true;
    element.text()->fontSize = 20;
    const double widthBefore = element.frame.width;
    controller->setDocument(document);
    controller->replaceTextEverywhere(QStringLiteral("Short"),
                                      QStringLiteral("A much longer line of text than before, really"), QString());
    const VectorElement& changed = controller->document().pages[0].elements[0];
    EXPECT_TRUE(changed.text()->isBold);
    EXPECT_DOUBLE_EQ(changed.text()->fontSize, 20);
    EXPECT_GT(changed.frame.width, widthBefore);
}

TEST_F(VectorControllerSharedCommandsTest, ReplaceEverywhereWithoutAMatchRecordsNothing)
{
    // An empty old text would be contained in every text: nothing is meant
    // to change either.
    controller->setDocument(documentWithTexts({{QStringLiteral("Alpha"), QString()}, {QStringLiteral("Beta")}}));
    const VectorDocument before = controller->document();
    EXPECT_EQ(controller->replaceTextEverywhere(QStringLiteral("Zeta"), QStringLiteral("Omega"), QString()), 0);
    EXPECT_EQ(controller->replaceTextEverywhere(QString(), QStringLiteral("X"), QString()), 0);
    EXPECT_EQ(controller->document(), before);
    EXPECT_FALSE(controller->canUndo());
}

TEST_F(VectorControllerSharedCommandsTest, ANamedSignatureIsCentredAt68And82PercentInBlueInk)
{
    controller->setDocument(documentWithTexts({{}, {}}));
    const std::optional<QUuid> id = controller->signAsName(QStringLiteral("J"), 1, QStringLiteral("Signed"));
    ASSERT_TRUE(id.has_value());
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("Signed"));
    EXPECT_EQ(controller->currentPageIndex(), 0);
    EXPECT_TRUE(controller->selection().isEmpty());
    ASSERT_EQ(controller->document().pages[1].elements.size(), 1);
    const VectorElement& signature = controller->document().pages[1].elements[0];
    EXPECT_EQ(signature.id, *id);
    const auto* payload = std::get_if<SignaturePayload>(&signature.kind);
    ASSERT_NE(payload, nullptr);
    EXPECT_EQ(payload->signerName, QStringLiteral("J"));
    EXPECT_TRUE(payload->dateLabel.has_value());
    EXPECT_EQ(payload->strokes, SignaturePreset::calligraphicStrokes(1));
    EXPECT_EQ(signature.style.strokeColorHex, QStringLiteral("#1E3A8A"));
    EXPECT_NEAR(signature.frame.x + signature.frame.width / 2, 600 * 0.68, 1e-9);
    EXPECT_NEAR(signature.frame.y + signature.frame.height / 2, 800 * 0.82, 1e-9);

    EXPECT_FALSE(controller->signAsName(QStringLiteral("J"), 2, QStringLiteral("Signed")).has_value());
    EXPECT_FALSE(controller->signAsName(QStringLiteral("J"), -1, QStringLiteral("Signed")).has_value());
    EXPECT_EQ(controller->history().undoStack().size(), 1);
}

TEST_F(VectorControllerSharedCommandsTest, ANamedSignaturePresetIsBuiltFromTheName)
{
    const SignaturePreset preset = VectorController::namedSignaturePreset(QStringLiteral("Zoë"));
    EXPECT_EQ(preset.title, QStringLiteral("Zoë"));
    EXPECT_EQ(preset.signerName, QStringLiteral("Zoë"));
    EXPECT_TRUE(preset.caption.isEmpty());
    EXPECT_EQ(preset.colorHex, QStringLiteral("#1E3A8A"));
    EXPECT_EQ(preset.strokes, SignaturePreset::calligraphicStrokes(3));
    EXPECT_TRUE(preset.removeWhiteBackground);
    EXPECT_FALSE(preset.assetData.has_value());
    EXPECT_FALSE(preset.fileURL.has_value());

    const SignaturePreset unnamed = VectorController::namedSignaturePreset(QString());
    EXPECT_EQ(unnamed.title, QStringLiteral("Signature"));
    EXPECT_TRUE(unnamed.signerName.isEmpty());
    EXPECT_EQ(unnamed.strokes, SignaturePreset::calligraphicStrokes(1));
}

TEST_F(VectorControllerSharedCommandsTest, ASignatureWithAStampIsOneStep)
{
    const auto stampPoint = [this](double x) {
        controller->signAsName(QStringLiteral("A"), 0, QString(), VectorPoint{x, 300}, VectorStampKind::approved);
        const VectorElement stamp = controller->document().pages[0].elements.last();
        EXPECT_TRUE(std::holds_alternative<StampPayload>(stamp.kind));
        return stamp;
    };
    const VectorElement low = stampPoint(250);
    const VectorElement expectedLow = VectorOperations::makeStampElement(VectorStampKind::approved, {100, 300});
    EXPECT_EQ(low.frame, expectedLow.frame);
    const VectorElement high = stampPoint(420);
    EXPECT_EQ(high.frame, VectorOperations::makeStampElement(VectorStampKind::approved, {210, 300}).frame);
    EXPECT_EQ(controller->document().pages[0].elements.size(), 4);
    controller->undo();
    EXPECT_EQ(controller->document().pages[0].elements.size(), 2);
}

TEST_F(VectorControllerSharedCommandsTest, TextIsAddedOrReplacedOnTheNamedPage)
{
    controller->setDocument(documentWithTexts({{QStringLiteral("Statut : brouillon"), QStringLiteral("statut 2")}, {}}));
    const VectorElement first = controller->document().pages[0].elements[0];
    const std::optional<QUuid> replaced =
        controller->replaceMatchedText(0, QStringLiteral("STATUT"), QStringLiteral("Statut : validé"), QString());
    ASSERT_EQ(replaced, first.id);
    const VectorElement& edited = controller->document().pages[0].elements[0];
    EXPECT_EQ(edited.text()->text, QStringLiteral("Statut : validé"));
    EXPECT_EQ(edited.frame, first.frame);
    EXPECT_EQ(textAt(controller->document(), 0, 1), QStringLiteral("statut 2"));
    EXPECT_FALSE(controller->replaceMatchedText(1, QStringLiteral("Statut"), QStringLiteral("x"), QString()));
    EXPECT_FALSE(controller->replaceMatchedText(0, QString(), QStringLiteral("x"), QString()));

    const std::optional<QUuid> added =
        controller->addText(QStringLiteral("New"), 1, {72, 120}, 40, QStringLiteral("Added"));
    ASSERT_TRUE(added.has_value());
    const VectorElement& text = controller->document().pages[1].elements[0];
    EXPECT_EQ(text.id, *added);
    EXPECT_DOUBLE_EQ(text.frame.x, 72);
    EXPECT_DOUBLE_EQ(text.frame.y, 120);
    EXPECT_DOUBLE_EQ(text.text()->fontSize, 40);
    EXPECT_EQ(text.style.fillColorHex, QStringLiteral("#111317"));
    EXPECT_FALSE(controller->addText(QStringLiteral("New"), 2, {72, 120}, 40, QString()).has_value());
    EXPECT_TRUE(controller->selection().isEmpty());
}
