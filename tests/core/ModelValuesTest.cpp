#include "model/PageFormatPreset.h"
#include "model/VectorDocument.h"
#include "support/LanguageFixture.h"

#include <gtest/gtest.h>
#include <QDate>
#include <QSet>
#include <limits>

using namespace zelvane;
using zelvane::testing::ScopedLanguage;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TextPayload plainText(const QString& text)
{
    TextPayload payload;
    payload.text = text;
    payload.fontFamily = QStringLiteral("Helvetica Neue");
    payload.fontSize = 12;
    payload.maskColorHex = QStringLiteral("#FFFFFF");
    return payload;
}

// A text line as the PDF import makes it, unchanged.
VectorElement pdfLine(const QString& text = QStringLiteral("Total"), VectorRect rect = VectorRect(50, 60, 200, 14))
{
    TextPayload payload = plainText(text);
    payload.fontSize = 11;
    payload.isPDFExtracted = true;
    payload.originalPDFText = text;
    payload.originalPDFRect = rect;
    payload.originalFontSize = 11;
    payload.originalIsBold = false;
    payload.originalIsItalic = false;
    payload.originalTextColorHex = QStringLiteral("#222222");
    payload.maskColorHex = QStringLiteral("#FAFAFA");
    VectorElement element;
    element.id = QUuid::createUuid();
    element.name = QStringLiteral("line");
    element.kind = payload;
    element.frame = rect;
    element.style = VectorStyle(std::nullopt, QStringLiteral("#222222"), 0, 1, false);
    return element;
}

VectorElement withKind(VectorElementKind kind, const QString& name = QStringLiteral("item"))
{
    VectorElement element;
    element.id = QUuid::createUuid();
    element.name = name;
    element.kind = std::move(kind);
    element.frame = VectorRect(100, 200, 50, 20);
    return element;
}

}  // namespace

TEST(PayloadTest, InitialisersClampButDirectValuesStay)
{
    TextPayload fields = plainText(QStringLiteral("x"));
    for (double size : {2.0, 4.99, kNaN}) {
        fields.fontSize = size;
        EXPECT_EQ(TextPayload::make(fields).fontSize, 5);
    }
    fields.fontSize = 72;
    fields.letterSpacing = -2;
    fields.baselineOffset = -4;
    const TextPayload made = TextPayload::make(fields);
    EXPECT_EQ(made.fontSize, 72);
    EXPECT_EQ(made.letterSpacing, -2);
    EXPECT_EQ(made.baselineOffset, -4);
    fields.fontSize = 3;
    EXPECT_EQ(fields.fontSize, 3);

    TextPayload other = made;
    other.maskColorHex = QStringLiteral("#000000");
    EXPECT_NE(other, made);

    EXPECT_TRUE(ShapePayload::make(VectorShapeType::arrow, 0, false, false).endArrow);
    EXPECT_FALSE(ShapePayload::make(VectorShapeType::line, 0, false, false).endArrow);
    EXPECT_TRUE(ShapePayload::make(VectorShapeType::arrow, 0, true, false).startArrow);
    EXPECT_EQ(ShapePayload::make(VectorShapeType::rectangle, -5, false, false).cornerRadius, 0);
    EXPECT_EQ(ShapePayload::make(VectorShapeType::rectangle, kNaN, false, false).cornerRadius, 0);
    EXPECT_EQ(ShapePayload::make(VectorShapeType::rectangle, 12.5, false, false).cornerRadius, 12.5);
}

TEST(PayloadTest, StampTitleAndSubtitleDefaults)
{
    const QString today = QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy"));
    {
        ScopedLanguage french(AppLanguage::fr);
        const StampPayload stamp = StampPayload::make(VectorStampKind::draft, std::nullopt, std::nullopt,
                                                      std::nullopt, std::nullopt, false);
        EXPECT_EQ(stamp.title, QStringLiteral("VERSION DE TRAVAIL"));
        EXPECT_EQ(stamp.subtitle, today);
        EXPECT_EQ(StampPayload::make(VectorStampKind::draft, std::nullopt, std::nullopt, QByteArray("png"),
                                     QStringLiteral("png"), true)
                      .subtitle,
                  QString());
        EXPECT_EQ(StampPayload::make(VectorStampKind::draft, QString(), QString(), std::nullopt, std::nullopt, false)
                      .title,
                  QString());
        EXPECT_EQ(defaultTitle(VectorStampKind::cross), QStringLiteral("\u2717 À CORRIGER"));
    }
    ScopedLanguage english(AppLanguage::en);
    EXPECT_EQ(StampPayload::make(VectorStampKind::draft, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
                                 false)
                  .title,
              QStringLiteral("WORKING DRAFT"));
    EXPECT_EQ(defaultTitle(VectorStampKind::check), QStringLiteral("\u2713 VERIFIED"));
    EXPECT_EQ(defaultColorHex(VectorStampKind::check), defaultColorHex(VectorStampKind::approved));
    EXPECT_EQ(defaultColorHex(VectorStampKind::cross), QStringLiteral("#DC2626"));
    EXPECT_EQ(defaultColorHex(VectorStampKind::confidential), QStringLiteral("#DC2626"));
}

TEST(EnumTest, RawValuesMatchExactly)
{
    EXPECT_EQ(fromRawValue<VectorStampKind>(u"stagePlot"), VectorStampKind::stagePlot);
    EXPECT_EQ(fromRawValue<VectorStampKind>(u"signed"), VectorStampKind::signed_);
    EXPECT_FALSE(fromRawValue<VectorStampKind>(u"Approved"));
    EXPECT_FALSE(fromRawValue<VectorShapeType>(u"Ellipse"));
    EXPECT_EQ(fromRawValue<VectorShapeType>(u"roundedRectangle"), VectorShapeType::roundedRectangle);
    EXPECT_FALSE(fromRawValue<TextAlignmentMode>(u"Left"));
    EXPECT_FALSE(fromRawValue<TextAlignmentMode>(u"centre"));
    EXPECT_FALSE(fromRawValue<DocumentSourceFormat>(u"pdf"));
    EXPECT_EQ(fromRawValue<DocumentSourceFormat>(u"PDF"), DocumentSourceFormat::pdf);
    EXPECT_EQ(fromRawValue<DocumentSourceFormat>(u"Zelvane"), DocumentSourceFormat::native);
    EXPECT_FALSE(fromRawValue<PageFormatPreset>(u"A4 Landscape"));
    EXPECT_EQ(fromRawValue<PageFormatPreset>(u"16:9 Régie"), PageFormatPreset::stage16x9);
    EXPECT_EQ(symbol(TextAlignmentMode::center), QStringLiteral("text.aligncenter"));
}

TEST(EnumTest, LabelsFollowTheLanguage)
{
    {
        ScopedLanguage french(AppLanguage::fr);
        EXPECT_EQ(label(TextAlignmentMode::center), QStringLiteral("Centré"));
        EXPECT_EQ(label(PageFormatPreset::letter), QStringLiteral("US Letter (216 × 279 mm)"));
        EXPECT_EQ(label(AppLanguage::system), QStringLiteral("Système"));
        EXPECT_EQ(withKind(ShapePayload::make(VectorShapeType::ellipse, 0, false, false)).typeBadge(),
                  QStringLiteral("CERCLE / ELLIPSE"));
        EXPECT_EQ(withKind(ShapePayload::make(VectorShapeType::arrow, 0, false, false)).typeBadge(),
                  QStringLiteral("FLÈCHE"));
        EXPECT_EQ(withKind(ShapePayload::make(VectorShapeType::roundedRectangle, 0, false, false)).typeBadge(),
                  QStringLiteral("CADRE ARRONDI"));
    }
    ScopedLanguage english(AppLanguage::en);
    EXPECT_EQ(label(TextAlignmentMode::center), QStringLiteral("Center"));
    EXPECT_EQ(label(PageFormatPreset::stage16x9), QStringLiteral("16:9 Stage Plot (960 × 540 pt)"));
    EXPECT_EQ(label(AppLanguage::system), QStringLiteral("System"));
    EXPECT_EQ(label(AppLanguage::fr), QStringLiteral("Français"));
    EXPECT_EQ(withKind(ShapePayload::make(VectorShapeType::ellipse, 0, false, false)).typeBadge(),
              QStringLiteral("CIRCLE / ELLIPSE"));
    EXPECT_EQ(withKind(plainText(QStringLiteral("a"))).typeBadge(), QStringLiteral("TEXTE"));
    EXPECT_EQ(withKind(StampPayload{}).typeBadge(), QStringLiteral("TAMPON"));
    EXPECT_EQ(pdfLine().typeBadge(), QStringLiteral("PDF TXT"));
    EXPECT_EQ(pdfLine().typeSymbol(), QStringLiteral("doc.text.magnifyingglass"));
    EXPECT_EQ(withKind(ShapePayload::make(VectorShapeType::line, 0, false, false)).typeSymbol(),
              QStringLiteral("line.diagonal"));
}

TEST(VectorElementTest, DisplayTitles)
{
    EXPECT_EQ(withKind(plainText(QStringLiteral("   Hello world  "))).displayTitle(), QStringLiteral("Hello world"));
    const QString forty = QStringLiteral("0123456789012345678901234567890123456789");
    EXPECT_EQ(withKind(plainText(forty)).displayTitle(), forty.left(36));
    // A letter with a combining accent is one character.
    const QString accented = QString(36, QLatin1Char('a')).replace(0, 1, QStringLiteral("e\u0301")) + QStringLiteral("zz");
    EXPECT_EQ(withKind(plainText(accented)).displayTitle(), accented.left(37));
    EXPECT_EQ(withKind(plainText(QStringLiteral(" \n \t")), QStringLiteral("Layer")).displayTitle(),
              QStringLiteral("Layer"));
    SignaturePayload signature;
    signature.signerName = QStringLiteral("Jo");
    EXPECT_EQ(withKind(signature).displayTitle(), QStringLiteral("Signature — Jo"));
    signature.signerName.clear();
    EXPECT_EQ(withKind(signature).displayTitle(), QStringLiteral("Signature — "));
    EXPECT_EQ(withKind(StampPayload{}).displayTitle(), QString());
    EXPECT_EQ(withKind(PathPayload{}, QStringLiteral("Pen")).displayTitle(), QStringLiteral("Pen"));
}

TEST(VectorElementTest, NewElementsHaveDistinctRandomIdentifiers)
{
    QSet<QUuid> seen;
    for (int i = 0; i < 4000; ++i) {
        const QUuid id = VectorElement::make(QStringLiteral("x"), plainText(QStringLiteral("x")), VectorRect(0, 0, 1, 1), 0,
                                             VectorStyle()).id;
        ASSERT_FALSE(id.isNull());
        EXPECT_EQ(id.version(), QUuid::Random);
        EXPECT_EQ(id.variant(), QUuid::DCE);
        // Written and read back as the files hold it.
        EXPECT_EQ(QUuid::fromString(id.toString(QUuid::WithoutBraces)), id);
        seen.insert(id);
    }
    EXPECT_EQ(seen.size(), 4000);
}

TEST(VectorElementTest, ModifiedPDFTextThresholds)
{
    VectorElement line = pdfLine();
    EXPECT_FALSE(line.hasModifiedPDFText());

    VectorElement moved = line;
    moved.frame.x += 0.75;
    moved.frame.y += 0.5;
    EXPECT_FALSE(moved.hasModifiedPDFText());
    moved.frame.x += 0.01;
    EXPECT_TRUE(moved.hasModifiedPDFText());

    // A line kept by an older document records no frame size or font:
    // neither counts then.
    VectorElement wider = line;
    wider.frame.width += 100;
    wider.frame.height += 10;
    wider.visible = false;
    wider.text()->fontFamily = QStringLiteral("Other");
    wider.text()->alignment = TextAlignmentMode::right;
    wider.text()->letterSpacing = 1.5;
    wider.style.opacity = 0.2;
    EXPECT_FALSE(wider.hasModifiedPDFText());
    // Its missing original rotation reads as 0.
    wider.rotationDegrees = 30;
    EXPECT_TRUE(wider.hasModifiedPDFText());
    wider.rotationDegrees = 360;
    EXPECT_FALSE(wider.hasModifiedPDFText());

    VectorElement resized = line;
    resized.text()->fontSize = 11.25;
    EXPECT_FALSE(resized.hasModifiedPDFText());
    resized.text()->fontSize = 11.3;
    EXPECT_TRUE(resized.hasModifiedPDFText());
    resized.text()->fontSize = kNaN;
    EXPECT_FALSE(resized.hasModifiedPDFText());

    VectorElement bold = line;
    bold.text()->isBold = true;
    EXPECT_TRUE(bold.hasModifiedPDFText());

    VectorElement edited = line;
    edited.text()->text = QStringLiteral("Totals");
    EXPECT_TRUE(edited.hasModifiedPDFText());

    // Canonically equivalent texts are the same text.
    VectorElement composed = pdfLine(QStringLiteral("caf\u00E9"));
    composed.text()->text = QStringLiteral("cafe\u0301");
    EXPECT_FALSE(composed.hasModifiedPDFText());
}

TEST(VectorElementTest, TurnedResizedOrRefontedPDFTextIsModified)
{
    VectorElement line = pdfLine();
    TextPayload& recorded = *line.text();
    recorded.originalRotationDegrees = 90;
    recorded.originalFrameWidth = line.frame.width;
    recorded.originalFrameHeight = line.frame.height;
    recorded.originalFontFamily = recorded.fontFamily;
    recorded.originalPostScriptFontName = QStringLiteral("Serif-Bold");
    recorded.postScriptFontName = QStringLiteral("Serif-Bold");
    line.rotationDegrees = 90;
    EXPECT_FALSE(line.hasModifiedPDFText());

    VectorElement turned = line;
    turned.rotationDegrees = 150;
    EXPECT_TRUE(turned.hasModifiedPDFText());
    turned.rotationDegrees = -270;  // the same direction
    EXPECT_FALSE(turned.hasModifiedPDFText());
    turned.rotationDegrees = 90.005;
    EXPECT_FALSE(turned.hasModifiedPDFText());
    turned.rotationDegrees = kNaN;
    EXPECT_FALSE(turned.hasModifiedPDFText());

    VectorElement resized = line;
    resized.frame.width += 0.75;
    resized.frame.height -= 0.75;
    EXPECT_FALSE(resized.hasModifiedPDFText());
    resized.frame.width += 0.01;
    EXPECT_TRUE(resized.hasModifiedPDFText());
    resized = line;
    resized.frame.height += 0.76;
    EXPECT_TRUE(resized.hasModifiedPDFText());

    VectorElement refonted = line;
    refonted.text()->fontFamily = QStringLiteral("Other");
    EXPECT_TRUE(refonted.hasModifiedPDFText());
    refonted = line;
    refonted.text()->postScriptFontName.reset();
    EXPECT_TRUE(refonted.hasModifiedPDFText());
    refonted.text()->originalFontFamily.reset();  // not recorded: the font does not count
    EXPECT_FALSE(refonted.hasModifiedPDFText());

    // Alignment, spacing, baseline and opacity still do not count.
    VectorElement restyled = line;
    restyled.text()->alignment = TextAlignmentMode::center;
    restyled.text()->letterSpacing = 2;
    restyled.text()->baselineOffset = 3;
    restyled.style.opacity = 0.5;
    EXPECT_FALSE(restyled.hasModifiedPDFText());
}

TEST(VectorElementTest, ModifiedPDFTextColour)
{
    VectorElement line = pdfLine();
    line.text()->originalTextColorHex.reset();
    line.style.fillColorHex = QStringLiteral("#111317");
    EXPECT_FALSE(line.hasModifiedPDFText());
    line.style.fillColorHex = QStringLiteral("#000000");
    EXPECT_TRUE(line.hasModifiedPDFText());
    line.style.fillColorHex.reset();
    EXPECT_FALSE(line.hasModifiedPDFText());

    line.text()->originalTextColorHex = QStringLiteral("#abcdef");
    line.style.fillColorHex = QStringLiteral("#ABCDEF");
    EXPECT_FALSE(line.hasModifiedPDFText());
    line.text()->originalTextColorHex = QStringLiteral("#F00");
    line.style.fillColorHex = QStringLiteral("#FF0000");
    EXPECT_TRUE(line.hasModifiedPDFText());

    VectorElement typed = withKind(plainText(QStringLiteral("x")));
    typed.style.fillColorHex = QStringLiteral("#FF0000");
    EXPECT_FALSE(typed.hasModifiedPDFText());
}

TEST(VectorElementTest, DenormalizeIgnoresRotation)
{
    VectorElement element = withKind(PathPayload{});
    element.rotationDegrees = 45;
    EXPECT_EQ(element.denormalize({0.5, 0.5}), (VectorPoint{125, 210}));
    EXPECT_EQ(element.denormalize({2, -1}), (VectorPoint{200, 180}));
}

TEST(VectorPageTest, InitialiserAndLabels)
{
    EXPECT_EQ(VectorPage::make({}, {}, 10, 500, {}).width, 64);
    EXPECT_EQ(VectorPage::make({}, {}, 10, 500, {}).height, 500);
    EXPECT_EQ(VectorPage::make({}, {}, kNaN, 64, {}).width, 64);

    const VectorPage letter = VectorPage::make({}, {}, 612, 792, {});
    EXPECT_EQ(letter.sizeMM(), (PageSizeMM{216, 279}));
    EXPECT_EQ(letter.dimensionsLabel(), QStringLiteral("612×792 pt (216×279 mm)"));
    EXPECT_EQ(VectorPage::make({}, {}, 595.28, 841.89, {}).dimensionsLabel(),
              QStringLiteral("595×842 pt (210×297 mm)"));
    EXPECT_EQ(VectorPage::make({}, {}, 960, 540, {}).dimensionsLabel(), QStringLiteral("960×540 pt (339×191 mm)"));
    EXPECT_EQ(VectorPage::make({}, {}, 100.5, 100, {}).dimensionsLabel().left(3), QStringLiteral("101"));

    VectorPage broken = letter;
    broken.width = std::numeric_limits<double>::infinity();
    broken.height = kNaN;
    EXPECT_EQ(broken.sizeMM(), (PageSizeMM{0, 0}));
    EXPECT_FALSE(broken.dimensionsLabel().isEmpty());
}

TEST(VectorPageTest, MasksCoverRedactionsThenChangedOrHiddenPDFText)
{
    VectorPage page = VectorPage::make(QUuid::createUuid(), QStringLiteral("P"), 600, 800, QStringLiteral("#FFFFFF"));
    page.redactedPDFRects = {VectorRect(10, 20, 30, 40), VectorRect(1, 1, 0.5, 0.2)};
    page.redactedPDFRects[1].width = 0.5;
    page.redactedPDFRects[1].height = 0.2;

    VectorElement unchanged = pdfLine(QStringLiteral("a"), VectorRect(100, 100, 50, 10));
    VectorElement hidden = pdfLine(QStringLiteral("b"), VectorRect(100, 200, 50, 10));
    hidden.visible = false;
    VectorElement edited = pdfLine(QStringLiteral("c"), VectorRect(100, 300, 50, 10));
    edited.text()->text = QStringLiteral("changed");
    edited.frame.x = 400;  // moved away: the mask stays where it was printed
    VectorElement editedWithoutRect = pdfLine(QStringLiteral("d"));
    editedWithoutRect.text()->text = QStringLiteral("changed");
    editedWithoutRect.text()->originalPDFRect.reset();
    VectorElement typed = withKind(plainText(QStringLiteral("mine")));
    typed.visible = false;
    page.elements = {unchanged, hidden, edited, editedWithoutRect, typed};

    const QList<MaskRect> masks = page.activeMaskRects();
    ASSERT_EQ(masks.size(), 4);
    EXPECT_NEAR(masks[0].rect.x, 9.4, 1e-9);
    EXPECT_NEAR(masks[0].rect.y, 19.5, 1e-9);
    EXPECT_NEAR(masks[0].rect.width, 31.2, 1e-9);
    EXPECT_NEAR(masks[0].rect.height, 41.0, 1e-9);
    EXPECT_EQ(masks[0].colorHex, QStringLiteral("#FFFFFF"));
    EXPECT_EQ(masks[1].rect.width, 2);
    EXPECT_EQ(masks[1].rect.height, 2);
    EXPECT_NEAR(masks[2].rect.y, 199.5, 1e-9);
    EXPECT_EQ(masks[2].colorHex, QStringLiteral("#FAFAFA"));
    EXPECT_NEAR(masks[3].rect.x, 99.4, 1e-9);
    EXPECT_NEAR(masks[3].rect.y, 299.5, 1e-9);
}

TEST(VectorDocumentTest, EmptyPageListGetsOneBlankA4Page)
{
    const VectorDocument a = VectorDocument::make(QUuid::createUuid(), QStringLiteral("A"), DocumentSourceFormat::svg,
                                                  std::nullopt, {}, 1);
    const VectorDocument b = VectorDocument::make(QUuid::createUuid(), QStringLiteral("B"), DocumentSourceFormat::svg,
                                                  std::nullopt, {}, 1);
    ASSERT_EQ(a.pages.size(), 1);
    EXPECT_EQ(a.pages[0].title, QStringLiteral("Page 1"));
    EXPECT_EQ(a.pages[0].width, 595.28);
    EXPECT_EQ(a.pages[0].height, 841.89);
    EXPECT_EQ(a.pages[0].backgroundColorHex, QStringLiteral("#FFFFFF"));
    EXPECT_FALSE(a.pages[0].pdfPageData.has_value());
    EXPECT_NE(a.pages[0].id, b.pages[0].id);

    const VectorPage given = VectorPage::make(QUuid::createUuid(), QStringLiteral("Mine"), 100, 100, QStringLiteral("#000000"));
    const VectorDocument c = VectorDocument::make(QUuid::createUuid(), QStringLiteral("C"), DocumentSourceFormat::pdf,
                                                  std::nullopt, {given}, 7);
    ASSERT_EQ(c.pages.size(), 1);
    EXPECT_EQ(c.pages[0], given);
    EXPECT_EQ(c.revision, 7);
}

TEST(VectorDocumentTest, CountsOverAllPages)
{
    VectorDocument document;
    VectorPage first = VectorPage::make(QUuid::createUuid(), QStringLiteral("1"), 600, 800, QStringLiteral("#FFFFFF"));
    VectorElement changed = pdfLine();
    changed.text()->text = QStringLiteral("new");
    SignaturePayload signature;
    signature.signerName = QStringLiteral("Jo");
    first.elements = {changed, withKind(signature), withKind(PathPayload{})};
    VectorPage second = VectorPage::make(QUuid::createUuid(), QStringLiteral("2"), 600, 800, QStringLiteral("#FFFFFF"));
    second.redactedPDFRects = {VectorRect(0, 0, 5, 5), VectorRect(10, 10, 5, 5)};
    document.pages = {first, second};
    EXPECT_EQ(document.totalElementsCount(), 3);
    EXPECT_EQ(document.signatureCount(), 1);
    EXPECT_EQ(document.modifiedPDFTextCount(), 3);
    EXPECT_EQ(document.pdfTextElementCount(), 1);

    VectorDocument hiddenOnly;
    VectorPage page = first;
    VectorElement hidden = pdfLine();
    hidden.visible = false;
    page.elements = {hidden};
    hiddenOnly.pages = {page};
    EXPECT_EQ(hiddenOnly.pdfTextElementCount(), 1);
    EXPECT_EQ(hiddenOnly.modifiedPDFTextCount(), 0);

    const VectorDocument empty;
    EXPECT_EQ(empty.totalElementsCount() + empty.pdfTextElementCount() + empty.modifiedPDFTextCount() +
                  empty.signatureCount(),
              0);
}
