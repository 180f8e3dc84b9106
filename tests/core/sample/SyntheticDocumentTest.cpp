#include "core/fonts/TestFonts.h"
#include "pdf/PDFDocument.h"
#include "sample/SyntheticDocument.h"
#include "support/LanguageFixture.h"

#include <gtest/gtest.h>

using namespace zelvane;
using zelvane::testing::ScopedLanguage;

namespace {

class SyntheticDocumentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!zelvane::testing::ensureGuiApplication())
            GTEST_SKIP() << "another kind of application object exists";
    }
};

QList<const VectorElement*> elementsOfKind(const VectorPage& page, std::size_t kindIndex)
{
    QList<const VectorElement*> found;
    for (const VectorElement& element : page.elements) {
        if (element.kind.index() == kindIndex)
            found.append(&element);
    }
    return found;
}

constexpr std::size_t kText = 0;
constexpr std::size_t kSignature = 1;
constexpr std::size_t kShape = 3;
constexpr std::size_t kStamp = 4;

const VectorElement* findText(const VectorPage& page, const QString& text)
{
    for (const VectorElement& element : page.elements) {
        if (element.text() && element.text()->text == text)
            return &element;
    }
    return nullptr;
}

}  // namespace

TEST_F(SyntheticDocumentTest, RawBytesAreATwoPageA4PDF)
{
    ScopedLanguage language(AppLanguage::en);
    const QByteArray data = SyntheticDocument::generateSampleRawPDFData();
    const auto pdf = PDFDocument::open(data);
    ASSERT_NE(pdf, nullptr);
    ASSERT_EQ(pdf->pageCount(), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_NEAR(pdf->mediaBox(i).width(), 595.28, 0.01);
        EXPECT_NEAR(pdf->mediaBox(i).height(), 841.89, 0.01);
    }
    EXPECT_TRUE(pdf->pageText(0).text.contains(QStringLiteral("Status: Awaiting technical review and signature")));
    EXPECT_TRUE(pdf->pageText(1).text.contains(QStringLiteral("APPENDIX")));
}

TEST_F(SyntheticDocumentTest, SampleHasContractPatchSheetAndStagePlot)
{
    ScopedLanguage language(AppLanguage::en);
    const VectorDocument document = SyntheticDocument::makeStageContractAndPlot();
    ASSERT_EQ(document.pages.size(), 3);
    EXPECT_EQ(document.sourceFormat, DocumentSourceFormat::pdf);
    EXPECT_EQ(document.revision, 1);
    EXPECT_EQ(document.pages[0].title, QStringLiteral("1 · Contract & Approval (PDF)"));
    EXPECT_EQ(document.pages[1].title, QStringLiteral("2 · Patch & Stage Cue Sheet (PDF)"));
    EXPECT_EQ(document.pages[2].title, QStringLiteral("3 · Stage Lighting & Video Plot (SVG)"));
    EXPECT_TRUE(document.pages[0].pdfPageData.has_value());
    EXPECT_TRUE(document.pages[1].pdfPageData.has_value());
    EXPECT_FALSE(document.pages[2].pdfPageData.has_value());
    EXPECT_DOUBLE_EQ(document.pages[2].width, 841.89);
    EXPECT_DOUBLE_EQ(document.pages[2].height, 595.28);
    EXPECT_GT(document.pdfTextElementCount(), 10);
}

TEST_F(SyntheticDocumentTest, StatusLineIsEditedInBoldGreen)
{
    for (const auto& [language, expected] :
         {std::pair{AppLanguage::en, QStringLiteral("Status: APPROVED & SIGNED FOR STAGE EXECUTION")},
          std::pair{AppLanguage::fr, QStringLiteral("Statut : VALIDÉ & SIGNÉ POUR EXÉCUTION PLATEAU")}}) {
        ScopedLanguage scoped(language);
        const VectorDocument document = SyntheticDocument::makeStageContractAndPlot();
        const VectorElement* edited = findText(document.pages[0], expected);
        ASSERT_NE(edited, nullptr) << expected.toStdString();
        ASSERT_TRUE(edited->text()->originalPDFText.has_value());
        EXPECT_TRUE(edited->text()->originalPDFText->contains(QStringLiteral("Stat")));
        EXPECT_TRUE(edited->text()->isBold);
        EXPECT_EQ(edited->style.fillColorHex, QStringLiteral("#0F766E"));
        EXPECT_TRUE(edited->hasModifiedPDFText());
        EXPECT_FALSE(document.pages[0].activeMaskRects().isEmpty());
        EXPECT_EQ(document.modifiedPDFTextCount(), 1);
    }
}

TEST_F(SyntheticDocumentTest, PagesAreSignedAndStamped)
{
    ScopedLanguage language(AppLanguage::en);
    const VectorDocument document = SyntheticDocument::makeStageContractAndPlot();
    ASSERT_EQ(document.pages.size(), 3);

    const auto firstSignatures = elementsOfKind(document.pages[0], kSignature);
    ASSERT_EQ(firstSignatures.size(), 1);
    const auto& director = std::get<SignaturePayload>(firstSignatures[0]->kind);
    EXPECT_EQ(director.signerName, QStringLiteral("Direction Technique"));
    EXPECT_TRUE(director.dateLabel.has_value());
    EXPECT_EQ(firstSignatures[0]->style.strokeColorHex, QStringLiteral("#1E3A8A"));
    EXPECT_DOUBLE_EQ(firstSignatures[0]->frame.x + firstSignatures[0]->frame.width / 2, 420);
    EXPECT_DOUBLE_EQ(firstSignatures[0]->frame.y + firstSignatures[0]->frame.height / 2, 695);
    const auto firstStamps = elementsOfKind(document.pages[0], kStamp);
    ASSERT_EQ(firstStamps.size(), 1);
    EXPECT_EQ(std::get<StampPayload>(firstStamps[0]->kind).stampKind, VectorStampKind::approved);

    const auto secondSignatures = elementsOfKind(document.pages[1], kSignature);
    ASSERT_EQ(secondSignatures.size(), 1);
    EXPECT_EQ(std::get<SignaturePayload>(secondSignatures[0]->kind).signerName, QStringLiteral("R. G."));
    EXPECT_EQ(secondSignatures[0]->style.strokeColorHex, QStringLiteral("#111317"));
    EXPECT_TRUE(elementsOfKind(document.pages[1], kStamp).isEmpty());

    const auto plotStamps = elementsOfKind(document.pages[2], kStamp);
    ASSERT_EQ(plotStamps.size(), 1);
    EXPECT_EQ(std::get<StampPayload>(plotStamps[0]->kind).stampKind, VectorStampKind::stagePlot);
    EXPECT_EQ(document.signatureCount(), 2);
}

TEST_F(SyntheticDocumentTest, StagePlotHasItsFrameStageProjectorsAndBooth)
{
    ScopedLanguage language(AppLanguage::en);
    const VectorPage page = SyntheticDocument::makeStagePlotPage();
    ASSERT_EQ(page.elements.size(), 15);
    EXPECT_EQ(page.backgroundColorHex, QStringLiteral("#FFFFFF"));
    EXPECT_FALSE(page.pdfPageData.has_value());

    EXPECT_EQ(page.elements[0].name, QStringLiteral("A4 Landscape Title Block"));
    EXPECT_EQ(page.elements[0].frame, VectorRect(28, 28, 785.89, 539.28));
    EXPECT_EQ(page.elements[1].name, QStringLiteral("Stage / Marley Floor"));
    EXPECT_EQ(std::get<ShapePayload>(page.elements[1].kind).shapeType, VectorShapeType::rectangle);
    EXPECT_EQ(page.elements[2].name, QStringLiteral("Upstage Cyclorama"));

    const QList<double> xs{210, 396, 582};
    const QStringList labels{QStringLiteral("VP 1 — Stage Left"), QStringLiteral("VP 2 — Center"),
                             QStringLiteral("VP 3 — Stage Right")};
    for (qsizetype i = 0; i < 3; ++i) {
        const VectorElement& body = page.elements[3 + 3 * i];
        const VectorElement& tag = page.elements[4 + 3 * i];
        const VectorElement& beam = page.elements[5 + 3 * i];
        EXPECT_EQ(body.name, labels[i]);
        EXPECT_EQ(body.frame, VectorRect(xs[i], 374, 50, 30));
        ASSERT_NE(tag.text(), nullptr);
        EXPECT_EQ(tag.text()->text, QStringLiteral("VP %1").arg(i + 1));
        EXPECT_DOUBLE_EQ(tag.frame.x, xs[i] + 11);
        EXPECT_EQ(beam.name, labels[i] + QStringLiteral(" — Faisceau"));
        const auto& arrow = std::get<ShapePayload>(beam.kind);
        EXPECT_EQ(arrow.shapeType, VectorShapeType::arrow);
        EXPECT_TRUE(arrow.endArrow);
        EXPECT_FALSE(arrow.startArrow);
        EXPECT_FALSE(beam.style.fillColorHex.has_value());
        EXPECT_TRUE(beam.style.dashed);
        EXPECT_EQ(beam.frame, VectorRect(xs[i] + 22, 140, 12, 228));
    }
    EXPECT_EQ(page.elements[12].name, QStringLiteral("FOH Control Booth"));
    ASSERT_NE(page.elements[13].text(), nullptr);
    EXPECT_TRUE(page.elements[13].text()->text.startsWith(QStringLiteral("FOH CONTROL — ")));
    EXPECT_TRUE(page.elements[13].text()->text.endsWith(QStringLiteral("(OSC :9160 · PJLink :4352)")));
    EXPECT_EQ(elementsOfKind(page, kShape).size(), 10);
    EXPECT_EQ(elementsOfKind(page, kText).size(), 4);
}

TEST_F(SyntheticDocumentTest, StagePlotNamesFollowTheLanguage)
{
    ScopedLanguage language(AppLanguage::fr);
    const VectorPage page = SyntheticDocument::makeStagePlotPage();
    EXPECT_EQ(page.title, QStringLiteral("3 · Plan de Feu Plateau (SVG)"));
    EXPECT_EQ(page.elements[3].name, QStringLiteral("VP 1 — Jardin (Panasonic PT-RQ25K)"));
    EXPECT_TRUE(page.elements[13].text()->text.startsWith(QStringLiteral("RÉGIE PLATEAU — ")));
}

TEST_F(SyntheticDocumentTest, EveryCallMakesNewIds)
{
    ScopedLanguage language(AppLanguage::en);
    const VectorPage first = SyntheticDocument::makeStagePlotPage();
    const VectorPage second = SyntheticDocument::makeStagePlotPage();
    EXPECT_NE(first.id, second.id);
    EXPECT_NE(first.elements[0].id, second.elements[0].id);
}
