// Files in other encodings than UTF-8 read with their own characters.

#include "CodecError.h"
#include "SVGTestSupport.h"
#include "support/LanguageFixture.h"

#include <gtest/gtest.h>
#include <QStringEncoder>

using namespace zelvane;
using namespace zelvane::testing;

namespace {

const QString kCafe = QStringLiteral("Caf\u00e9 cr\u00e8me \u00e0 l'\u00e9t\u00e9");

QString sample(const QString& declaration)
{
    return declaration +
           QStringLiteral(
               "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"200\" height=\"100\">"
               "<text x=\"10\" y=\"30\">") +
           kCafe + QStringLiteral("</text></svg>");
}

QString textOf(const VectorDocument& document)
{
    if (document.pages.isEmpty() || document.pages[0].elements.isEmpty()) {
        return QString();
    }
    return std::get<TextPayload>(document.pages[0].elements[0].kind).text;
}

VectorDocument importBytes(const QByteArray& bytes)
{
    return SVGCodec::importSVG(bytes, QStringLiteral("Enc"), std::nullopt);
}

QByteArray encoded(const QString& text, QStringConverter::Encoding encoding, bool byteOrderMark)
{
    QStringEncoder encoder(encoding,
                           byteOrderMark ? QStringConverter::Flag::WriteBom : QStringConverter::Flag::Default);
    return encoder.encode(text);
}

}  // namespace

TEST(SVGEncodings, Utf8WithAndWithoutByteOrderMark)
{
    const QString svg = sample(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
    EXPECT_EQ(textOf(importBytes(svg.toUtf8())), kCafe);
    EXPECT_EQ(textOf(importBytes(encoded(svg, QStringConverter::Utf8, true))), kCafe);
    EXPECT_EQ(textOf(importBytes(sample(QString()).toUtf8())), kCafe);
}

TEST(SVGEncodings, Latin1ByDeclarationOrAsFallback)
{
    const QByteArray declared = sample(QStringLiteral("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>")).toLatin1();
    EXPECT_EQ(textOf(importBytes(declared)), kCafe);
    // Without a declaration, bytes that are not UTF-8 are read as Latin-1.
    EXPECT_EQ(textOf(importBytes(sample(QString()).toLatin1())), kCafe);
    // The same when the declaration wrongly claims UTF-8.
    EXPECT_EQ(textOf(importBytes(sample(QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>")).toLatin1())),
              kCafe);
}

TEST(SVGEncodings, LongFilesAreJudgedWholeWhereverTheirCharactersFall)
{
    // Long texts of two-, three- and four-byte characters, each shifted by
    // one byte so that characters straddle every place a long file is cut.
    for (const QString& unit : {QStringLiteral("\u00e9"), QStringLiteral("\u20ac"), QStringLiteral("\U0001F600")}) {
        for (int shift = 0; shift < 4; ++shift) {
            const QString text = QString(shift, u'x') + unit.repeated(100000);
            const QByteArray utf8 = (QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\"><text x=\"1\" y=\"2\">") +
                                     text + QStringLiteral("</text></svg>"))
                                        .toUtf8();
            EXPECT_EQ(textOf(importBytes(utf8)), text) << shift;
            // One byte that is not UTF-8 far into the file makes all of it Latin-1.
            QByteArray broken = utf8;
            broken[broken.size() - 20] = '\xFF';
            EXPECT_EQ(textOf(importBytes(broken)), QString::fromLatin1(broken.mid(broken.indexOf("y=\"2\">") + 6)
                                                                           .chopped(13)))
                << shift;
        }
    }
}

TEST(SVGEncodings, Windows1252Declaration)
{
    QByteArray bytes = sample(QStringLiteral("<?xml version='1.0' encoding='windows-1252'?>")).toLatin1();
    bytes.replace("Caf", "\x80 Caf");
    EXPECT_EQ(textOf(importBytes(bytes)), QStringLiteral("\u20ac ") + kCafe);
}

TEST(SVGEncodings, Utf16WithByteOrderMark)
{
    const QString svg = sample(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?>"));
    EXPECT_EQ(textOf(importBytes(encoded(svg, QStringConverter::Utf16LE, true))), kCafe);
    EXPECT_EQ(textOf(importBytes(encoded(svg, QStringConverter::Utf16BE, true))), kCafe);
}

TEST(SVGEncodings, Utf16WithoutByteOrderMark)
{
    const QString svg = sample(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?>"));
    EXPECT_EQ(textOf(importBytes(encoded(svg, QStringConverter::Utf16LE, false))), kCafe);
    EXPECT_EQ(textOf(importBytes(encoded(svg, QStringConverter::Utf16BE, false))), kCafe);
}

TEST(SVGEncodings, EightBitFileClaimingUtf16)
{
    const QString svg = sample(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?>"));
    EXPECT_EQ(textOf(importBytes(svg.toUtf8())), kCafe);
}

TEST(SVGEncodings, UnknownEncodingIsTheImportError)
{
    const QByteArray bytes = sample(QStringLiteral("<?xml version=\"1.0\" encoding=\"x-unheard-of\"?>")).toUtf8();
    {
        ScopedLanguage english(AppLanguage::en);
        try {
            importBytes(bytes);
            FAIL() << "no error";
        } catch (const CodecError& error) {
            EXPECT_EQ(error.domain(), "SVGCodec");
            EXPECT_EQ(error.code(), 1);
            EXPECT_EQ(error.message(), "Unrecognized SVG encoding.");
        }
    }
    ScopedLanguage french(AppLanguage::fr);
    try {
        importBytes(bytes);
        FAIL() << "no error";
    } catch (const CodecError& error) {
        EXPECT_EQ(error.message(), QStringLiteral("Encodage SVG non reconnu."));
    }
}

TEST(SVGEncodings, DecodedTextIgnoresItsDeclaration)
{
    const QString svg = sample(QStringLiteral("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"));
    EXPECT_EQ(textOf(SVGCodec::importSVG(svg, QStringLiteral("S"), std::nullopt)), kCafe);
}
