#include "model/ModelCoding.h"
#include "model/Presets.h"
#include "model/RGBAColor.h"
#include "model/VectorDocument.h"

#include <gtest/gtest.h>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <limits>

using namespace zelvane;

namespace {

QJsonObject parseObject(const char* json)
{
    return QJsonDocument::fromJson(QByteArray(json)).object();
}

TextPayload minimalText()
{
    TextPayload t;
    t.text = QStringLiteral("Bonjour\nà tous");
    t.fontFamily = QStringLiteral("Helvetica Neue");
    t.fontSize = 14;
    t.alignment = TextAlignmentMode::center;
    t.maskColorHex = QStringLiteral("#FFFFFF");
    return t;
}

TextPayload fullText()
{
    TextPayload t = minimalText();
    t.postScriptFontName = QStringLiteral("Helvetica-Bold");
    t.isBold = true;
    t.isItalic = true;
    t.baselineOffset = 9.5;
    t.letterSpacing = -0.25;
    t.isPDFExtracted = true;
    t.originalPDFText = QStringLiteral("Bonjour");
    t.originalPDFRect = VectorRect(1, 2, 3, 4);
    t.originalFontSize = 13.5;
    t.originalIsBold = false;
    t.originalIsItalic = true;
    t.originalTextColorHex = QStringLiteral("#123456");
    t.originalRotationDegrees = 270;
    t.originalFrameWidth = 3;
    t.originalFrameHeight = 4;
    t.originalFontFamily = QStringLiteral("Helvetica");
    t.originalPostScriptFontName = QStringLiteral("Helvetica-Bold");
    return t;
}

VectorElement element(VectorElementKind kind)
{
    VectorElement e;
    e.id = QUuid::createUuid();
    e.name = QStringLiteral("élément \"1\"");
    e.kind = std::move(kind);
    e.frame = VectorRect(10.25, -3, 120, 40);
    e.rotationDegrees = -4;
    e.style = VectorStyle(QStringLiteral("#1E3A8A"), std::nullopt, 2.2, 0.94, true);
    e.visible = false;
    e.locked = true;
    return e;
}

QList<VectorElement> everyKind()
{
    SignaturePayload signature;
    signature.signerName = QStringLiteral("Jo Martin");
    signature.dateLabel = QStringLiteral("09/12/2026");
    signature.caption = QStringLiteral("Directeur");
    signature.strokes = {{{0, 0}, {0.5, 0.25}}, {}, {{1, 1}}};
    signature.assetData = QByteArray("\x89PNG\r\n\x1a\n\0\xff", 10);
    signature.assetExtension = QStringLiteral("png");
    signature.removeWhiteBackground = true;

    PathPayload path;
    path.subpaths = {{{{0, 0}, {1, 0}, {1, 1}}, true}, {{{0.2, 0.2}}, false}};
    path.endArrow = true;
    path.smoothCurves = true;

    StampPayload stamp;
    stamp.stampKind = VectorStampKind::signed_;
    stamp.title = QStringLiteral("SIGNÉ & VALIDÉ");
    stamp.subtitle = QString();
    stamp.assetData = QByteArray("%PDF-1.7 ...");
    stamp.assetExtension = QStringLiteral("pdf");

    // An arrow that points down to the left of its frame.
    ShapePayload arrow = ShapePayload::make(VectorShapeType::arrow, 0, false, true);
    arrow.points = QList<VectorPoint>{{1, 0}, {0, 1}};

    return {element(minimalText()), element(fullText()), element(signature), element(path),
            element(ShapePayload::make(VectorShapeType::diamond, 6, true, false)), element(stamp), element(arrow)};
}

template <class T>
T roundTrip(const T& value)
{
    return decodeFromJsonData<T>(encodeToJsonData(value));
}

template <class T>
DecodingError decodeFailure(const QJsonValue& json)
{
    try {
        decodeFromJson<T>(json);
    } catch (const DecodingError& error) {
        return error;
    }
    ADD_FAILURE() << "decoding succeeded";
    return DecodingError(DecodingError::Kind::dataCorrupted, {}, {});
}

}  // namespace

TEST(ModelCodingTest, EveryElementKindRoundTrips)
{
    for (const VectorElement& e : everyKind()) {
        EXPECT_EQ(roundTrip(e), e) << kindName(e.kind).toStdString();
    }
}

TEST(ModelCodingTest, DocumentRoundTripsWithPagesBytesAndFile)
{
    VectorPage page = VectorPage::make(QUuid::createUuid(), QStringLiteral("Plan"), 960, 540,
                                       QStringLiteral("#F0F0F0"), QByteArray("%PDF-1.4\n%\xE2\xE3\n"), 3,
                                       {VectorRect(5, 5, 20, 8)}, everyKind());
    VectorPage blank = VectorPage::make(QUuid::createUuid(), QStringLiteral("Blank"), 595.28, 841.89,
                                        QStringLiteral("#FFFFFF"));
    const VectorDocument document =
        VectorDocument::make(QUuid::createUuid(), QStringLiteral("Contrat"), DocumentSourceFormat::pdf,
                             QUrl::fromLocalFile(QStringLiteral("/tmp/a dossier/contrat é.pdf")), {page, blank}, 42);
    EXPECT_EQ(roundTrip(document), document);

    VectorDocument untitled = document;
    untitled.fileURL.reset();
    untitled.sourceFormat = DocumentSourceFormat::native;
    EXPECT_EQ(roundTrip(untitled), untitled);
}

TEST(ModelCodingTest, WrittenKeysAreTheFieldNames)
{
    const QJsonObject text = encodeToJson(minimalText()).toObject();
    QStringList keys = text.keys();
    keys.sort();
    EXPECT_EQ(keys, (QStringList{"alignment", "fontFamily", "fontSize", "isBold", "isItalic", "isPDFExtracted",
                                 "letterSpacing", "maskColorHex", "text"}));
    EXPECT_EQ(text.value("alignment").toString(), QStringLiteral("center"));
    EXPECT_EQ(encodeToJson(fullText()).toObject().size(), 22);

    const VectorElement e = everyKind()[4];
    const QJsonObject coded = encodeToJson(e).toObject();
    EXPECT_EQ(coded.value("id").toString(), e.id.toString(QUuid::WithoutBraces).toUpper());
    const QJsonObject kind = coded.value("kind").toObject();
    ASSERT_EQ(kind.keys(), QStringList{"shape"});
    EXPECT_EQ(kind.value("shape").toObject().keys(), QStringList{"_0"});
    EXPECT_EQ(kind.value("shape").toObject().value("_0").toObject().value("shapeType").toString(),
              QStringLiteral("diamond"));
    EXPECT_FALSE(coded.value("style").toObject().contains("fillColorHex"));

    const QJsonObject signature = encodeToJson(everyKind()[2]).toObject()["kind"].toObject()["signature"].toObject()["_0"].toObject();
    EXPECT_EQ(signature.value("assetData").toString(), QStringLiteral("iVBORw0KGgoA/w=="));
    EXPECT_EQ(encodeToJson(DocumentSourceFormat::native).toString(), QStringLiteral("Zelvane"));
}

TEST(ModelCodingTest, ReadingKeepsValuesOutsideTheInitialiserLimits)
{
    const VectorRect rect = decodeFromJson<VectorRect>(parseObject(R"({"x":1,"y":2,"width":0,"height":-5})"));
    EXPECT_EQ(rect.width, 0);
    EXPECT_EQ(rect.height, -5);
    QJsonObject text = encodeToJson(minimalText()).toObject();
    text["fontSize"] = 2;
    text["unknownKey"] = "ignored";
    EXPECT_EQ(decodeFromJson<TextPayload>(text).fontSize, 2);
    const VectorStyle style = decodeFromJson<VectorStyle>(parseObject(R"({"strokeWidth":-1,"opacity":0,"dashed":false})"));
    EXPECT_EQ(style.opacity, 0);
    EXPECT_FALSE(style.strokeColorHex.has_value());
    const RGBAColor color = decodeFromJson<RGBAColor>(parseObject(R"({"r":3,"g":0,"b":0,"a":1})"));
    EXPECT_EQ(color.r, 3);
}

TEST(ModelCodingTest, OptionalKeysMayBeMissingOrNullButNotOfAnotherType)
{
    QJsonObject text = encodeToJson(minimalText()).toObject();
    text["baselineOffset"] = QJsonValue::Null;
    EXPECT_FALSE(decodeFromJson<TextPayload>(text).baselineOffset.has_value());
    text["baselineOffset"] = "high";
    EXPECT_EQ(decodeFailure<TextPayload>(text).kind(), DecodingError::Kind::typeMismatch);

    QJsonObject withoutSpacing = encodeToJson(minimalText()).toObject();
    withoutSpacing.remove("letterSpacing");
    const DecodingError missing = decodeFailure<TextPayload>(withoutSpacing);
    EXPECT_EQ(missing.kind(), DecodingError::Kind::keyNotFound);
    EXPECT_NE(QString::fromStdString(missing.what()).indexOf("letterSpacing"), -1);

    EXPECT_EQ(decodeFailure<VectorStyle>(parseObject(R"({"strokeWidth":1,"opacity":1})")).kind(),
              DecodingError::Kind::keyNotFound);
    QJsonObject nullSize = encodeToJson(minimalText()).toObject();
    nullSize["fontSize"] = QJsonValue::Null;
    EXPECT_EQ(decodeFailure<TextPayload>(nullSize).kind(), DecodingError::Kind::valueNotFound);
}

TEST(ModelCodingTest, OlderTextsWithoutTheFullOriginalLineReadUnchanged)
{
    QJsonObject text = encodeToJson(fullText()).toObject();
    for (const char* key : {"originalRotationDegrees", "originalFrameWidth", "originalFrameHeight",
                            "originalFontFamily", "originalPostScriptFontName"}) {
        text.remove(QLatin1String(key));
    }
    const TextPayload older = decodeFromJson<TextPayload>(text);
    TextPayload expected = fullText();
    expected.originalRotationDegrees.reset();
    expected.originalFrameWidth.reset();
    expected.originalFrameHeight.reset();
    expected.originalFontFamily.reset();
    expected.originalPostScriptFontName.reset();
    EXPECT_EQ(older, expected);

    // Such a line, as it was left, is as modified as it was before.
    VectorElement line = element(older);
    line.text()->text = *older.originalPDFText;
    line.frame = *older.originalPDFRect;
    line.frame.width = 90;
    line.rotationDegrees = 0;
    line.text()->fontSize = *older.originalFontSize;
    line.text()->isBold = false;
    line.style.fillColorHex = older.originalTextColorHex;
    EXPECT_FALSE(line.hasModifiedPDFText());
    line.rotationDegrees = 5;
    EXPECT_TRUE(line.hasModifiedPDFText());
}

TEST(ModelCodingTest, ElementKindNeedsExactlyOneCaseKeyAndAPayloadUnderUnderscoreZero)
{
    const QJsonObject textPayload = encodeToJson(minimalText()).toObject();
    const QJsonObject textAndStray{{"text", QJsonObject{{"_0", textPayload}}}, {"colour", 1}};
    EXPECT_EQ(decodeFromJson<VectorElementKind>(textAndStray).index(), 0u);

    const QJsonObject shape = encodeToJson(ShapePayload::make(VectorShapeType::line, 0, false, false)).toObject();
    const QJsonObject twoCases{{"text", QJsonObject{{"_0", textPayload}}}, {"shape", QJsonObject{{"_0", shape}}}};
    for (const QJsonObject& bad : {twoCases, QJsonObject{}}) {
        const DecodingError error = decodeFailure<VectorElementKind>(bad);
        EXPECT_EQ(error.kind(), DecodingError::Kind::typeMismatch);
        EXPECT_EQ(error.description(), QStringLiteral("Invalid number of keys found, expected one."));
    }
    EXPECT_EQ(decodeFailure<VectorElementKind>(QJsonObject{{"text", textPayload}}).kind(),
              DecodingError::Kind::keyNotFound);
}

TEST(ModelCodingTest, EnumerationsAcceptOnlyTheirRawValues)
{
    QJsonObject text = encodeToJson(minimalText()).toObject();
    text["alignment"] = "Center";
    EXPECT_EQ(decodeFailure<TextPayload>(text).kind(), DecodingError::Kind::dataCorrupted);
    text["alignment"] = "center";
    EXPECT_EQ(decodeFromJson<TextPayload>(text).alignment, TextAlignmentMode::center);
    QJsonObject shape = encodeToJson(ShapePayload{}).toObject();
    shape["shapeType"] = "hexagon";
    EXPECT_EQ(decodeFailure<ShapePayload>(shape).kind(), DecodingError::Kind::dataCorrupted);
}

TEST(ModelCodingTest, BadValuesAreReportedWithTheirPath)
{
    QJsonObject document = encodeToJson(VectorDocument::make(QUuid::createUuid(), QStringLiteral("D"),
                                                             DocumentSourceFormat::svg, std::nullopt, {}, 1))
                               .toObject();
    QJsonArray pages = document["pages"].toArray();
    QJsonObject page = pages[0].toObject();
    page["elements"] = QJsonArray{encodeToJson(everyKind()[0])};
    QJsonObject brokenElement = page["elements"].toArray()[0].toObject();
    QJsonObject frame = brokenElement["frame"].toObject();
    frame["width"] = "wide";
    brokenElement["frame"] = frame;
    page["elements"] = QJsonArray{brokenElement};
    pages[0] = page;
    document["pages"] = pages;
    const DecodingError error = decodeFailure<VectorDocument>(document);
    EXPECT_EQ(error.codingPath(), QStringLiteral("pages[0].elements[0].frame.width"));

    const auto corruptField = [&](const char* key, QJsonValue value) {
        QJsonObject copy = encodeToJson(everyKind()[0]).toObject();
        copy[QLatin1String(key)] = value;
        return decodeFailure<VectorElement>(copy).kind();
    };
    EXPECT_EQ(corruptField("id", "not-a-uuid"), DecodingError::Kind::dataCorrupted);
    EXPECT_EQ(corruptField("id", "{6F9619FF-8B86-D011-B42D-00C04FC964FF}"), DecodingError::Kind::dataCorrupted);
    EXPECT_EQ(corruptField("visible", 1), DecodingError::Kind::typeMismatch);
    EXPECT_EQ(corruptField("name", 5), DecodingError::Kind::typeMismatch);
    EXPECT_EQ(corruptField("frame", QJsonArray{1, 2, 3, 4}), DecodingError::Kind::typeMismatch);

    QJsonObject docCopy = encodeToJson(VectorDocument::make(QUuid::createUuid(), {}, DocumentSourceFormat::svg,
                                                            std::nullopt, {}, 1))
                              .toObject();
    docCopy["revision"] = 1.5;
    EXPECT_EQ(decodeFailure<VectorDocument>(docCopy).kind(), DecodingError::Kind::dataCorrupted);
    docCopy["revision"] = 1e30;
    EXPECT_EQ(decodeFailure<VectorDocument>(docCopy).kind(), DecodingError::Kind::dataCorrupted);
    docCopy["revision"] = 12;
    docCopy["sourceFormat"] = "pdf";
    EXPECT_EQ(decodeFailure<VectorDocument>(docCopy).kind(), DecodingError::Kind::dataCorrupted);

    QJsonObject stamp = encodeToJson(StampPayload{}).toObject();
    stamp["assetData"] = "not base64!";
    EXPECT_EQ(decodeFailure<StampPayload>(stamp).kind(), DecodingError::Kind::dataCorrupted);
    QJsonObject signature = encodeToJson(SignaturePayload{}).toObject();
    signature["strokes"] = QJsonArray{QJsonArray{QJsonValue::Null}};
    EXPECT_EQ(decodeFailure<SignaturePayload>(signature).kind(), DecodingError::Kind::valueNotFound);
}

TEST(ModelCodingTest, MalformedJsonTextThrowsInsteadOfCrashing)
{
    for (const QByteArray& junk : {QByteArray(), QByteArray("{"), QByteArray("[1,2"), QByteArray("\xff\xfe"),
                                   QByteArray(100000, '[') , QByteArray("null")}) {
        EXPECT_THROW(decodeFromJsonData<VectorDocument>(junk), DecodingError);
    }
}

TEST(ModelCodingTest, NumbersThatAreNotFiniteCannotBeWritten)
{
    VectorElement e = everyKind()[3];
    e.frame.width = std::numeric_limits<double>::infinity();
    try {
        encodeToJson(e);
        FAIL() << "encoding succeeded";
    } catch (const EncodingError& error) {
        EXPECT_EQ(error.codingPath(), QStringLiteral("frame.width"));
    }
    SignaturePayload signature;
    signature.strokes = {{{0, std::numeric_limits<double>::quiet_NaN()}}};
    EXPECT_THROW(encodeToJsonData(signature), EncodingError);
}

TEST(ModelCodingTest, PresetsRoundTripAndRequireTheirKeys)
{
    SignaturePreset ink{QUuid::createUuid(), QStringLiteral("Ma signature"), QStringLiteral("Jo"), QStringLiteral("CEO"),
                        QStringLiteral("#1E3A8A"), SignaturePreset::calligraphicStrokes(3), std::nullopt,
                        std::nullopt, false, std::nullopt};
    SignaturePreset image{QUuid::createUuid(), QStringLiteral("Scan"), QStringLiteral("Jo"), QString(),
                          QStringLiteral("#000000"), {}, QByteArray("\x89PNG"), QStringLiteral("png"), true,
                          QUrl::fromLocalFile(QStringLiteral("/home/jo/.local/share/Zelvane/Signatures/scan.png"))};
    const QList<SignaturePreset> library{ink, image};
    EXPECT_EQ(roundTrip(library), library);

    const StampPreset stamp{QUuid::createUuid(), QStringLiteral("Logo"), QByteArray("<svg/>"), QStringLiteral("svg"),
                            false, std::nullopt};
    EXPECT_EQ(roundTrip(stamp), stamp);
    QJsonObject coded = encodeToJson(stamp).toObject();
    EXPECT_FALSE(coded.contains("fileURL"));
    coded.remove("assetData");
    EXPECT_EQ(decodeFailure<StampPreset>(coded).kind(), DecodingError::Kind::keyNotFound);
}
