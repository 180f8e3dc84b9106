// Broken, hostile and strange input gives a document or the import error,
// never a crash or a hang.

#include "CodecError.h"
#include "SVGTestSupport.h"
#include "svg/SVGInputLimits.h"
#include "support/LanguageFixture.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <cmath>
#include <ctime>
#include <functional>
#include <limits>

using namespace zelvane;
using namespace zelvane::testing;

namespace {

VectorDocument importBytes(const QByteArray& bytes)
{
    return SVGCodec::importSVG(bytes, QStringLiteral("Bad"), std::nullopt);
}

// Either a document with at least one page, or the import error.
::testing::AssertionResult documentOrImportError(const QByteArray& bytes)
{
    try {
        const VectorDocument document = importBytes(bytes);
        if (document.pages.isEmpty()) {
            return ::testing::AssertionFailure() << "a document without pages";
        }
        return ::testing::AssertionSuccess();
    } catch (const CodecError& error) {
        if (error.domain() != QLatin1String("SVGCodec") || error.code() != 1) {
            return ::testing::AssertionFailure() << "another error: " << error.what();
        }
        return ::testing::AssertionSuccess();
    }
}

}  // namespace

TEST(SVGNotSVG, FilesWithoutAnSVGElementAreTheImportError)
{
    ScopedLanguage english(AppLanguage::en);
    const QList<QByteArray> inputs{
        QByteArray(),
        QByteArray("hello, world"),
        QByteArray("<?xml version=\"1.0\"?><html><body/></html>"),
        QByteArray("<svg"),
        QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16),
        QByteArray("%PDF-1.4\n%\xe2\xe3\xcf\xd3\n1 0 obj"),
    };
    for (const QByteArray& input : inputs) {
        try {
            importBytes(input);
            ADD_FAILURE() << "opened: " << input.toStdString();
        } catch (const CodecError& error) {
            EXPECT_EQ(error.domain(), "SVGCodec");
            EXPECT_EQ(error.code(), 1);
            EXPECT_EQ(error.message(), "This file holds no SVG element.");
        }
    }
    EXPECT_THROW(SVGCodec::importSVG(QStringLiteral("plain text"), QStringLiteral("T"), std::nullopt), CodecError);
}

TEST(SVGNotSVG, MessageFollowsTheLanguage)
{
    ScopedLanguage french(AppLanguage::fr);
    try {
        importBytes("<html/>");
        FAIL() << "no error";
    } catch (const CodecError& error) {
        EXPECT_EQ(error.message(), QStringLiteral("Ce fichier ne contient aucun élément SVG."));
    }
}

TEST(SVGBrokenFiles, EveryTruncationOfAFileReadsOrFailsCleanly)
{
    const VectorDocument document = makeDocument(
        QStringLiteral("Cut"),
        {makePage(1, QStringLiteral("A"), 300, 200,
                  {makeElement(2, QStringLiteral("r"), ShapePayload::make(VectorShapeType::arrow, 0, false, true),
                               VectorRect(1, 2, 30, 40), VectorStyle())}),
         makePage(3, QStringLiteral("B"), 300, 200)});
    const QByteArray full = SVGCodec::exportSVG(document).toUtf8();
    for (qsizetype length = 0; length <= full.size(); ++length) {
        EXPECT_TRUE(documentOrImportError(full.left(length))) << "length " << length;
    }
    // A file cut inside its first page keeps what was read of it.
    const VectorDocument cut = importBytes(full.left(full.indexOf("</g>")));
    ASSERT_EQ(cut.pages.size(), 1);
    EXPECT_EQ(cut.pages[0].elements.size(), 1);
}

TEST(SVGBrokenFiles, MissingAttributesAndBrokenPathDataTakeDefaults)
{
    const VectorDocument document = importBytes(
        "<svg width=\"abc\" height=\"-5\" viewBox=\"1 2 3\"><g transform=\"translate(\" stroke-width=\"x\">"
        "<rect x=\"\" width=\"\"/><line x1=\"a\"/><path d=\"M 1 1 L\"/><path d=\"Q C S\"/>"
        "<polygon points=\",,,\"/><text font-size=\"big\">T</text><g data-page-title>x</g>"
        "<path d=\"M0 0 L 10,\u00a010\"/><ellipse rx=\"-4\" ry=\"nan\"/></g></svg>");
    ASSERT_FALSE(document.pages.isEmpty());
    for (const VectorPage& page : document.pages) {
        EXPECT_GE(page.width, 64);
        EXPECT_GE(page.height, 64);
    }
}

TEST(SVGBrokenFiles, OwnDataThatDoesNotParseFallsBackToTheDrawing)
{
    const VectorDocument document = importBytes(
        "<svg><rect x=\"1\" y=\"2\" width=\"3\" height=\"4\" data-id=\"not-a-uuid\" data-frame=\"1 2 3 4\"/>"
        "<rect x=\"1\" y=\"2\" width=\"3\" height=\"4\" data-id=\"00000000-0000-0000-0000-000000000001\" "
        "data-frame=\"1 2 three 4\"/>"
        "<path d=\"M0 0 L5 5\" data-id=\"00000000-0000-0000-0000-000000000002\" data-frame=\"0 0 5 5\" "
        "data-subpaths=\"M 1,x 2 Z Z M 0,0 0.5,nan 1,1\" data-opacity=\"huge\" data-shape=\"blob\"/>"
        "<rect data-role=\"page-background\" data-page-id=\"00000000-0000-0000-0000-000000000003\" "
        "data-page-size=\"1e999 20\"/></svg>");
    const ElementList& elements = document.pages[0].elements;
    ASSERT_EQ(elements.size(), 3);
    EXPECT_NE(elements[0].id, fixedId(1));
    EXPECT_NE(elements[1].id, fixedId(1));
    EXPECT_EQ(elements[2].id, fixedId(2));
    EXPECT_EQ(std::get<PathPayload>(elements[2].kind).subpaths,
              (QList<VectorSubpath>{VectorSubpath{{}, true}, VectorSubpath{{{0, 0}, {1, 1}}, false}}));
    EXPECT_EQ(elements[2].style.opacity, 1);
    EXPECT_EQ(document.pages[0].id, fixedId(3));
    EXPECT_EQ(document.pages[0].width, 595.28);
}

TEST(SVGHostileFiles, DeeplyNestedGroupsAreBounded)
{
    const int depth = 200000;
    QByteArray bytes("<svg>");
    bytes.reserve(depth * 30);
    for (int i = 0; i < depth; ++i) {
        bytes += "<g transform=\"scale(1.0001)\"><rect width=\"1\" height=\"1\"/>";
    }
    for (int i = 0; i < depth; ++i) {
        bytes += "</g>";
    }
    bytes += "<rect x=\"7\" width=\"2\" height=\"2\"/></svg>";
    // Processor time of this thread, so a busy machine cannot fail the bound.
    const auto cpuSeconds = [] {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
    };
    const double started = cpuSeconds();
    const VectorDocument document = importBytes(bytes);
    EXPECT_LT(cpuSeconds() - started, 10.0);
    const ElementList& elements = document.pages[0].elements;
    ASSERT_FALSE(elements.isEmpty());
    EXPECT_LT(elements.size(), 300);
    EXPECT_EQ(elements.back().frame.x, 7);  // the content after the deep groups is read
}

TEST(SVGHostileFiles, EntityExpansionIsLimited)
{
    QByteArray bytes("<?xml version=\"1.0\"?><!DOCTYPE svg [<!ENTITY a \"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\">");
    char previous = 'a';
    for (char name = 'b'; name <= 'k'; ++name) {
        bytes += QByteArray("<!ENTITY ") + name + " \"" + QByteArray("&") + previous + ";" + QByteArray("&") +
                 previous + ";" + QByteArray("&") + previous + ";" + QByteArray("&") + previous + ";" +
                 QByteArray("&") + previous + ";" + QByteArray("&") + previous + ";" + QByteArray("&") + previous +
                 ";" + QByteArray("&") + previous + ";" + QByteArray("&") + previous + ";" + QByteArray("&") +
                 previous + ";\">";
        previous = name;
    }
    bytes += "]><svg><rect width=\"5\" height=\"5\"/><text x=\"1\" y=\"20\">&k;</text></svg>";
    // What reading the same file with its entities used once costs here and
    // now.
    QByteArray once = bytes;
    once.replace("&k;", "&a;");
    QElapsedTimer timer;
    timer.start();
    importBytes(once);
    const qint64 reference = std::max<qint64>(timer.elapsed(), 1);
    timer.restart();
    const VectorDocument document = importBytes(bytes);
    EXPECT_LT(timer.elapsed(), reference * 50) << "the file read with one entity takes " << reference << " ms";
    ASSERT_EQ(document.pages.size(), 1);
    EXPECT_EQ(document.pages[0].elements.size(), 1);  // the text was never finished
}

TEST(SVGHostileFiles, ExternalEntitiesAreNotFetched)
{
    const VectorDocument document = importBytes(
        "<?xml version=\"1.0\"?><!DOCTYPE svg [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"
        "<svg><text x=\"1\" y=\"20\">[&x;]</text></svg>");
    for (const VectorElement& element : document.pages[0].elements) {
        EXPECT_FALSE(std::get<TextPayload>(element.kind).text.contains(QLatin1String("root:")));
    }
}

TEST(SVGHostileFiles, HugeNumbersGiveADocument)
{
    const VectorDocument document = importBytes(
        "<svg width=\"1e308\" height=\"1e400\" viewBox=\"0 0 1e999 5\"><g transform=\"scale(1e300)\">"
        "<g transform=\"scale(1e300)\"><rect width=\"1e300\" height=\"1\"/><circle r=\"1e308\"/>"
        "<polyline points=\"0,0 1e308,1e308 -1e308,5\"/><path d=\"M0 0 L 1e308 1e308 C 1e308 0 0 1e308 -1e308 "
        "-1e308\"/>"
        "<text font-size=\"1e308\" x=\"1e308\">Big</text></g></g></svg>");
    ASSERT_EQ(document.pages.size(), 1);
    EXPECT_EQ(document.pages[0].width, 1e308);
    EXPECT_EQ(document.pages[0].height, 841.89);
    // Writing such a document again keeps the file free of non-numbers.
    const QString svg = SVGCodec::exportSVG(document);
    EXPECT_FALSE(svg.contains(QLatin1String("nan")));
    EXPECT_FALSE(svg.contains(QLatin1String("inf")));
}

TEST(SVGHostileFiles, NonFiniteModelValuesNeverReachTheOutput)
{
    const double nan = std::nan("");
    const double inf = std::numeric_limits<double>::infinity();
    QList<VectorElement> elements;
    VectorRect frame;
    frame.x = nan;
    frame.y = inf;
    frame.width = -inf;
    frame.height = nan;
    TextPayload text;
    text.text = QStringLiteral("x\ny");
    text.fontSize = inf;
    text.baselineOffset = nan;
    text.originalPDFRect = frame;
    VectorStyle style;
    style.strokeWidth = inf;
    style.opacity = nan;
    elements.append(makeElement(1, QStringLiteral("t"), text, frame, style));
    for (const VectorShapeType type : EnumCases<VectorShapeType>::all) {
        ShapePayload shape;
        shape.shapeType = type;
        shape.cornerRadius = nan;
        elements.append(makeElement(2, QStringLiteral("s"), shape, frame, style));
    }
    PathPayload path;
    path.subpaths = {VectorSubpath{{{nan, inf}, {-inf, 0.5}}, true}};
    elements.append(makeElement(3, QStringLiteral("p"), path, frame, style));
    SignaturePayload signature;
    signature.strokes = {{{nan, nan}, {inf, 1}}};
    elements.append(makeElement(4, QStringLiteral("g"), signature, frame, style));
    elements.append(makeElement(5, QStringLiteral("st"), StampPayload{}, frame, style));
    for (VectorElement& element : elements) {
        element.rotationDegrees = inf;
    }
    VectorPage page = makePage(9, QStringLiteral("P"), 100, 100, elements);
    page.width = nan;
    page.height = inf;
    for (const VectorDocument& document :
         {makeDocument(QStringLiteral("D"), {page}), makeDocument(QStringLiteral("D"), {page, page})}) {
        const QString svg = SVGCodec::exportSVG(document);
        EXPECT_FALSE(svg.contains(QLatin1String("nan"), Qt::CaseInsensitive));
        EXPECT_FALSE(svg.contains(QLatin1String("inf"), Qt::CaseInsensitive));
        EXPECT_TRUE(documentOrImportError(svg.toUtf8()));
    }
}

TEST(SVGHostileFiles, MalformedColourTextsStillMakeWellFormedFiles)
{
    VectorStyle style(QStringLiteral("\"/><script>"), QStringLiteral("<&>"), 1, 1, false);
    const VectorElement element = makeElement(1, QStringLiteral("r"), ShapePayload{}, VectorRect(0, 0, 10, 10), style);
    const VectorPage page = makePage(2, QStringLiteral("P"), 100, 100, {element}, QStringLiteral("\"bad\""));
    const VectorDocument document = makeDocument(QStringLiteral("D"), {page});
    const VectorDocument back = importBytes(SVGCodec::exportSVG(document).toUtf8());
    ASSERT_EQ(back.pages[0].elements.size(), 1);
    EXPECT_EQ(back.pages[0].elements[0].style, style);
    EXPECT_EQ(back.pages[0].backgroundColorHex, "\"bad\"");
}

namespace {

QByteArray svgWithAttributes(qsizetype count)
{
    QByteArray attributes;
    for (qsizetype i = 0; i < count; ++i)
        attributes += " a" + QByteArray::number(i) + "=\"1\"";
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"100\" height=\"100\"><rect x=\"1\" y=\"1\" width=\"5\" "
           "height=\"5\"" +
           attributes + "/></svg>";
}

::testing::AssertionResult refusedAsTooLarge(const std::function<void()>& import)
{
    try {
        import();
        return ::testing::AssertionFailure() << "imported";
    } catch (const CodecError& error) {
        if (error.domain() != QLatin1String("SVGCodec") || error.code() != 2 ||
            !error.message().contains(QStringLiteral("too large to open")))
            return ::testing::AssertionFailure() << "another error: " << error.what();
        return ::testing::AssertionSuccess();
    }
}

}  // namespace

TEST(SVGHostileFiles, AnElementWithTooManyAttributesIsRefusedAtOnce)
{
    const ScopedLanguage english(AppLanguage::en);
    const QByteArray hostile = svgWithAttributes(100000);
    // Reading a hundredth of them costs a hundredth as much when reading is
    // linear.
    QElapsedTimer timer;
    timer.start();
    importBytes(svgWithAttributes(1000));
    const qint64 hundredth = std::max<qint64>(timer.elapsed(), 1);
    timer.restart();
    EXPECT_TRUE(refusedAsTooLarge([&] { importBytes(hostile); }));
    EXPECT_TRUE(refusedAsTooLarge([&] { SVGCodec::importSVG(QString::fromUtf8(hostile), "Bad", std::nullopt); }));
    // The same in UTF-16, whose bytes the reader decodes itself.
    const QString text = QString::fromUtf8(hostile);
    QByteArray wide("\xFF\xFE", 2);
    wide += QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    EXPECT_TRUE(refusedAsTooLarge([&] { importBytes(wide); }));
    // Three readings of a hundred times as many: linear, or refused sooner.
    EXPECT_LT(timer.elapsed(), hundredth * 100 * 3 * 4) << "a hundredth takes " << hundredth << " ms";

    // Up to the limit the file reads, and what merely looks like attributes
    // outside a start tag does not count.
    EXPECT_EQ(importBytes(svgWithAttributes(SVGCodec::kMaxAttributesPerElement - 4)).pages.size(), 1);
    QByteArray lookalikes = "<svg xmlns=\"http://www.w3.org/2000/svg\"><!--";
    lookalikes += QByteArray(" a=1").repeated(5000) + "--><text x=\"1\" y=\"2\">" +
                  QByteArray("b=2 ").repeated(5000) + "</text><rect title=\"" + QByteArray("=").repeated(5000) +
                  "\"/></svg>";
    EXPECT_EQ(importBytes(lookalikes).pages.size(), 1);
}

TEST(SVGHostileFiles, TheAttributeLimitHoldsAtExactlyItsValueInEveryEncoding)
{
    const ScopedLanguage english(AppLanguage::en);
    const qsizetype limit = SVGCodec::kMaxAttributesPerElement;
    // svgWithAttributes() adds four attributes of its own to the rectangle.
    EXPECT_EQ(importBytes(svgWithAttributes(limit - 4)).pages.size(), 1);
    EXPECT_TRUE(refusedAsTooLarge([&] { importBytes(svgWithAttributes(limit - 3)); }));
    EXPECT_TRUE(refusedAsTooLarge(
        [&] { SVGCodec::importSVG(QString::fromUtf8(svgWithAttributes(limit - 3)), "Bad", std::nullopt); }));

    // UTF-16 without a byte-order mark, either byte order. The element's
    // name holds U+3E00, one of whose bytes is ">": read as bytes, the tag
    // would seem to end there and its attributes would go uncounted.
    const auto element = [](qsizetype count) {
        QString text = QStringLiteral("<g") + QChar(0x3E00);
        for (qsizetype i = 0; i < count; ++i)
            text += QStringLiteral(" a%1=\"1\"").arg(i);
        return text + QStringLiteral("/>");
    };
    const auto utf16 = [](const QString& text, bool bigEndian) {
        QByteArray bytes;
        for (const QChar c : text) {
            const char high = char(c.unicode() >> 8);
            const char low = char(c.unicode() & 0xFF);
            bytes += bigEndian ? QByteArray{&high, 1} + QByteArray{&low, 1} : QByteArray{&low, 1} + QByteArray{&high, 1};
        }
        return bytes;
    };
    for (const bool bigEndian : {false, true}) {
        SCOPED_TRACE(bigEndian ? "UTF-16BE" : "UTF-16LE");
        EXPECT_NO_THROW(SVGCodec::checkInputLimits(utf16(element(limit), bigEndian)));
        EXPECT_TRUE(refusedAsTooLarge([&] { SVGCodec::checkInputLimits(utf16(element(limit + 1), bigEndian)); }));
    }
}

TEST(SVGHostileFiles, AFileOverTheSizeLimitIsRefused)
{
    const ScopedLanguage english(AppLanguage::en);
    QByteArray huge;
    huge.reserve(SVGCodec::kMaxSVGBytes + 64);
    huge.append("<svg xmlns=\"http://www.w3.org/2000/svg\">").append(SVGCodec::kMaxSVGBytes, ' ').append("</svg>");
    EXPECT_TRUE(refusedAsTooLarge([&] { importBytes(huge); }));
}
