#include "operations/VectorOperations.h"
#include "support/LanguageFixture.h"

#include <gtest/gtest.h>
#include <QBuffer>
#include <QDate>
#include <QImage>

using namespace zelvane;
using zelvane::testing::ScopedLanguage;

namespace {

QString today()
{
    return QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy"));
}

QByteArray pngOfSize(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

SignaturePreset inkPreset()
{
    return SignaturePreset{QUuid::createUuid(), QStringLiteral("Moi"), QStringLiteral("Jo"), QStringLiteral("CEO"),
                           QStringLiteral("#1E3A8A"), SignaturePreset::calligraphicStrokes(2), std::nullopt,
                           std::nullopt, false, std::nullopt};
}

void expectFresh(const VectorElement& element)
{
    EXPECT_FALSE(element.id.isNull());
    EXPECT_TRUE(element.visible);
    EXPECT_FALSE(element.locked);
}

}  // namespace

TEST(ElementFactoriesTest, StampsAreCentredAndKeptOffTheEdge)
{
    ScopedLanguage french(AppLanguage::fr);
    const VectorElement corner = VectorOperations::makeStampElement(VectorStampKind::approved, {10, 10});
    expectFresh(corner);
    EXPECT_EQ(corner.frame, VectorRect(12, 12, 176, 52));
    EXPECT_EQ(corner.rotationDegrees, -4);
    EXPECT_EQ(corner.name, QStringLiteral("BON POUR ACCORD"));
    EXPECT_EQ(corner.style, VectorStyle("#16A34A", "#16A34A", 2.2, 0.94, false));
    const auto& payload = std::get<StampPayload>(corner.kind);
    EXPECT_EQ(payload.subtitle, today());
    EXPECT_TRUE(payload.removeWhiteBackground);

    const VectorElement middle = VectorOperations::makeStampElement(VectorStampKind::stagePlot, {300, 400});
    EXPECT_EQ(middle.frame, VectorRect(212, 374, 176, 52));
    EXPECT_EQ(middle.style.strokeColorHex, QStringLiteral("#D97706"));
}

TEST(ElementFactoriesTest, CustomStampsTakeTheirSizeFromTheImage)
{
    const StampPreset wide{QUuid::createUuid(), QStringLiteral("Logo"), pngOfSize(200, 100), QStringLiteral("png"),
                           true, std::nullopt};
    const VectorElement element = VectorOperations::makeCustomStampElement(wide, {300, 300}, 7);
    expectFresh(element);
    EXPECT_EQ(element.frame.width, 165);
    EXPECT_EQ(element.frame.height, 83);
    EXPECT_EQ(element.frame.x, 300 - 82.5);
    EXPECT_EQ(element.rotationDegrees, 7);
    EXPECT_EQ(element.name, QStringLiteral("Logo"));
    EXPECT_EQ(element.style, VectorStyle("#1E3A8A", std::nullopt, 0, 0.96, false));
    const auto& payload = std::get<StampPayload>(element.kind);
    EXPECT_EQ(payload.stampKind, VectorStampKind::approved);
    EXPECT_EQ(payload.title, QStringLiteral("Logo"));
    EXPECT_TRUE(payload.subtitle.isEmpty());
    EXPECT_TRUE(payload.removeWhiteBackground);
    EXPECT_EQ(payload.assetData, wide.assetData);

    StampPreset tall = wide;
    tall.assetData = pngOfSize(100, 400);
    const VectorElement narrow = VectorOperations::makeCustomStampElement(tall, {0, 0}, 0);
    EXPECT_EQ(narrow.frame, VectorRect(12, 12, 44, 140));

    StampPreset junk = wide;
    junk.assetData = QByteArray("not an image");
    const VectorElement fallback = VectorOperations::makeCustomStampElement(junk, {500, 500}, 0);
    EXPECT_EQ(fallback.frame.width, 165);
    EXPECT_EQ(fallback.frame.height, 69);  // 165 / 2.4 = 68.75
}

TEST(ElementFactoriesTest, SignaturesFromPresets)
{
    const VectorElement ink = VectorOperations::makeSignatureElement(inkPreset(), {300, 400}, true);
    expectFresh(ink);
    EXPECT_EQ(ink.frame, VectorRect(205, 363, 190, 74));
    EXPECT_EQ(ink.name, QStringLiteral("Signature Jo"));
    EXPECT_EQ(ink.style, VectorStyle("#1E3A8A", std::nullopt, 2.2, 1.0, false));
    const auto& payload = std::get<SignaturePayload>(ink.kind);
    EXPECT_EQ(payload.dateLabel, today());
    EXPECT_EQ(payload.caption, QStringLiteral("CEO"));
    EXPECT_EQ(payload.strokes, SignaturePreset::calligraphicStrokes(2));
    EXPECT_FALSE(std::get<SignaturePayload>(VectorOperations::makeSignatureElement(inkPreset(), {0, 0}, false).kind)
                     .dateLabel.has_value());

    SignaturePreset scanned = inkPreset();
    scanned.assetData = pngOfSize(400, 100);
    scanned.assetExtension = QStringLiteral("png");
    const VectorElement image = VectorOperations::makeSignatureElement(scanned, {300, 400}, true);
    EXPECT_EQ(image.frame.width, 185);
    EXPECT_EQ(image.frame.height, 46);  // 185 / 4 = 46.25
    const auto& imagePayload = std::get<SignaturePayload>(image.kind);
    EXPECT_FALSE(imagePayload.dateLabel.has_value());
    EXPECT_FALSE(imagePayload.caption.has_value());
    EXPECT_EQ(imagePayload.assetExtension, QStringLiteral("png"));

    scanned.assetData = pngOfSize(100, 1000);
    const VectorElement thin = VectorOperations::makeSignatureElement(scanned, {0, 0}, false);
    EXPECT_EQ(thin.frame, VectorRect(12, 12, 42, 110));
}

TEST(ElementFactoriesTest, FreehandSignatures)
{
    const VectorElement dot = VectorOperations::makeFreehandSignatureElement({{{40, 50}}}, "  \n ", "#000000");
    expectFresh(dot);
    EXPECT_EQ(dot.name, QStringLiteral("Signature"));
    EXPECT_EQ(dot.frame, VectorRect(40, 50, 90, 42));
    const auto& payload = std::get<SignaturePayload>(dot.kind);
    EXPECT_TRUE(payload.signerName.isEmpty());
    EXPECT_EQ(payload.dateLabel, today());
    EXPECT_FALSE(payload.caption.has_value());
    EXPECT_TRUE(payload.removeWhiteBackground);
    EXPECT_EQ(dot.style.strokeColorHex, QStringLiteral("#000000"));

    const QList<VectorStroke> ink{{{100, 100}, {150, 180}, {300, 120}}, {{120, 200}, {280, 200}}};
    const VectorElement signed_ = VectorOperations::makeFreehandSignatureElement(ink, " Ana Lee ", "#1E3A8A");
    EXPECT_EQ(signed_.name, QStringLiteral("Signature Ana Lee"));
    EXPECT_EQ(signed_.frame, VectorRect(100, 100, 200, 100));
    for (const VectorStroke& stroke : std::get<SignaturePayload>(signed_.kind).strokes) {
        for (const VectorPoint& p : stroke) {
            EXPECT_GE(p.x, 0);
            EXPECT_LE(p.x, 1);
            EXPECT_GE(p.y, 0);
            EXPECT_LE(p.y, 1);
        }
    }
    // Smoothed with two passes: three kept points become twelve.
    EXPECT_EQ(std::get<SignaturePayload>(signed_.kind).strokes[0].size(), 12);
}

TEST(ElementFactoriesTest, TextBlocksAreSizedFromTheirLines)
{
    VectorElement one;
    {
        ScopedLanguage french(AppLanguage::fr);
        one = VectorOperations::makeTextElement("Bonjour", {30, 40}, 18, "#111317", true);
    }
    expectFresh(one);
    EXPECT_EQ(one.name, QStringLiteral("Bloc de texte"));
    EXPECT_EQ(one.frame.x, 30);
    EXPECT_EQ(one.frame.width, 90);
    EXPECT_NEAR(one.frame.height, 24.84, 1e-9);
    const TextPayload* text = one.text();
    ASSERT_TRUE(text);
    // An installed sans-serif face (fonts-liberation2), metric-compatible with Arial.
    EXPECT_EQ(text->fontFamily, QStringLiteral("Liberation Sans"));
    EXPECT_TRUE(text->isBold);
    EXPECT_FALSE(text->isPDFExtracted);
    EXPECT_EQ(text->maskColorHex, QStringLiteral("#FFFFFF"));
    EXPECT_EQ(one.style, VectorStyle(std::nullopt, "#111317", 0, 1.0, false));

    ScopedLanguage english(AppLanguage::en);
    const VectorElement three =
        VectorOperations::makeTextElement("short\n" + QString(20, QLatin1Char('w')) + "\nmid", {0, 0}, 12, "#000", false);
    EXPECT_EQ(three.name, QStringLiteral("Text Block"));
    EXPECT_NEAR(three.frame.width, 139.2, 1e-9);
    EXPECT_NEAR(three.frame.height, 49.68, 1e-9);
    // A trailing line feed counts as an empty last line; accents count once.
    const VectorElement trailing = VectorOperations::makeTextElement(
        QString(20, QLatin1Char('e')).replace(0, 1, "e\u0301") + "\n", {0, 0}, 12, "#000", false);
    EXPECT_NEAR(trailing.frame.width, 139.2, 1e-9);
    EXPECT_NEAR(trailing.frame.height, 33.12, 1e-9);
    EXPECT_EQ(VectorOperations::makeTextElement("", {0, 0}, 2, "#000", false).text()->fontSize, 5);
}
