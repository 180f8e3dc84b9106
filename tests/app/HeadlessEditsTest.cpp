#include "HeadlessEdits.h"
#include "HeadlessRuntime.h"
#include "Localization.h"
#include "operations/VectorOperations.h"
#include "support/LanguageFixture.h"

#include <gtest/gtest.h>

#include <QUuid>

using namespace zelvane;

namespace {

class HeadlessEditsTest : public ::testing::Test {
protected:
    void SetUp() override { HeadlessRuntime::ensureGuiApplication(); }
    zelvane::testing::ScopedLanguage language{AppLanguage::en};
};

VectorElement textElement(const QString& text)
{
    return VectorOperations::makeTextElement(text, VectorPoint(40, 40), 12, QStringLiteral("#111317"), false);
}

VectorDocument documentWithTexts(const QList<QStringList>& pages)
{
    QList<VectorPage> list;
    for (const QStringList& texts : pages) {
        VectorPage page = VectorPage::make(QUuid::createUuid(), QStringLiteral("Page"), 600, 800, QStringLiteral("#FFFFFF"));
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

TEST_F(HeadlessEditsTest, ExactPassChangesEveryTrimmedMatchOnly)
{
    VectorDocument document = documentWithTexts(
        {{QStringLiteral(" Total "), QStringLiteral("the total is due")}, {QStringLiteral("Total\n")}});
    EXPECT_EQ(HeadlessEdits::replaceText(document, QStringLiteral("Total"), QStringLiteral("Sum")), 2);
    EXPECT_EQ(textAt(document, 0, 0), QStringLiteral("Sum"));
    EXPECT_EQ(textAt(document, 0, 1), QStringLiteral("the total is due"));
    EXPECT_EQ(textAt(document, 1, 0), QStringLiteral("Sum"));
}

TEST_F(HeadlessEditsTest, ContainsPassReplacesWholeTextsInAnyCase)
{
    VectorDocument document =
        documentWithTexts({{QStringLiteral("Invoice for MARCH 2026"), QStringLiteral("Other")},
                           {QStringLiteral("see march figures")}});
    EXPECT_EQ(HeadlessEdits::replaceText(document, QStringLiteral("March"), QStringLiteral("April")), 2);
    EXPECT_EQ(textAt(document, 0, 0), QStringLiteral("April"));
    EXPECT_EQ(textAt(document, 0, 1), QStringLiteral("Other"));
    EXPECT_EQ(textAt(document, 1, 0), QStringLiteral("April"));
}

TEST_F(HeadlessEditsTest, ReplacedTextKeepsItsStyleAndGetsANewFrame)
{
    VectorDocument document = documentWithTexts({{QStringLiteral("Short")}});
    VectorElement& element = document.pages[0].elements[0];
    element.text()->isBold = true;
    element.text()->fontSize = 20;
    const double widthBefore = element.frame.width;
    HeadlessEdits::replaceText(document, QStringLiteral("Short"),
                               QStringLiteral("A much longer line of text than before, really"));
    const VectorElement& changed = document.pages[0].elements[0];
    EXPECT_TRUE(changed.text()->isBold);
    EXPECT_DOUBLE_EQ(changed.text()->fontSize, 20);
    EXPECT_GT(changed.frame.width, widthBefore);
}

TEST_F(HeadlessEditsTest, NoMatchChangesNothing)
{
    VectorDocument document = documentWithTexts({{QStringLiteral("Alpha")}});
    const VectorDocument before = document;
    EXPECT_EQ(HeadlessEdits::replaceText(document, QStringLiteral("Zeta"), QStringLiteral("Omega")), 0);
    EXPECT_EQ(document, before);
}

TEST_F(HeadlessEditsTest, EmptyOldTextReplacesNothing)
{
    // Every text would contain the empty text; nothing is meant to change.
    VectorDocument document = documentWithTexts({{QStringLiteral("Alpha"), QString()}, {QStringLiteral("Beta")}});
    const VectorDocument before = document;
    EXPECT_EQ(HeadlessEdits::replaceText(document, QString(), QStringLiteral("X")), 0);
    EXPECT_EQ(document, before);
}

TEST_F(HeadlessEditsTest, SignatureIsCentredAt68And82PercentInBlueInk)
{
    const VectorPage page = VectorPage::make(QUuid::createUuid(), QStringLiteral("Page"), 600, 800,
                                             QStringLiteral("#FFFFFF"));
    const VectorElement signature = HeadlessEdits::signatureElement(page, QStringLiteral("J"));
    const auto* payload = std::get_if<SignaturePayload>(&signature.kind);
    ASSERT_NE(payload, nullptr);
    EXPECT_EQ(payload->signerName, QStringLiteral("J"));
    EXPECT_TRUE(payload->dateLabel.has_value());
    EXPECT_EQ(payload->strokes, SignaturePreset::calligraphicStrokes(1));
    EXPECT_EQ(signature.style.strokeColorHex, QStringLiteral("#1E3A8A"));
    EXPECT_NEAR(signature.frame.x + signature.frame.width / 2, 600 * 0.68, 1e-9);
    EXPECT_NEAR(signature.frame.y + signature.frame.height / 2, 800 * 0.82, 1e-9);
}

TEST_F(HeadlessEditsTest, SignaturePresetIsBuiltFromTheName)
{
    const SignaturePreset preset = HeadlessEdits::signaturePreset(QStringLiteral("Zoë"));
    EXPECT_EQ(preset.title, QStringLiteral("Zoë"));
    EXPECT_EQ(preset.signerName, QStringLiteral("Zoë"));
    EXPECT_TRUE(preset.caption.isEmpty());
    EXPECT_EQ(preset.colorHex, QStringLiteral("#1E3A8A"));
    EXPECT_EQ(preset.strokes, SignaturePreset::calligraphicStrokes(3));
    EXPECT_TRUE(preset.removeWhiteBackground);
    EXPECT_FALSE(preset.assetData.has_value());
    EXPECT_FALSE(preset.fileURL.has_value());
}
