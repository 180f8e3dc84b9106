// Trimming a page's resources to the names its content uses, on contents
// written by hand: names that only look like resource names (in strings,
// arrays, comments, inline image data) keep nothing, escaped names and
// inline images name what they name, and content that cannot be read keeps
// every resource.

#include "core/support/TestPDF.h"
#include "pdf/PDFResourcePruning.h"

#include <gtest/gtest.h>

#define POINTERHOLDER_TRANSITION 4
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <set>
#include <string>

using namespace zelvane;
namespace test = zelvane::testing;

namespace {

// One page drawing `content` with fonts /F1 … /F5, images /Im1 and /Im2
// and colour spaces /CS0 and /CS1 in its resources.
QByteArray pageDrawing(const QByteArray& content)
{
    const QByteArray font = "<< /Type /Font /Subtype /Type1 /BaseFont /Courier >>";
    const QByteArray image =
        "<< /Type /XObject /Subtype /Image /Width 1 /Height 1 /ColorSpace /DeviceGray /BitsPerComponent 8 "
        "/Length 1 >>\nstream\n\x80\nendstream";
    return test::makeRawTestPDF({
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Resources << /Font << /F1 5 0 R /F2 5 0 R "
        "/F3 5 0 R /F4 5 0 R /F5 5 0 R >> /XObject << /Im1 6 0 R /Im2 6 0 R >> /ColorSpace << /CS0 /DeviceRGB "
        "/CS1 /DeviceRGB >> >> /Contents 4 0 R >>",
        "<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content + "\nendstream",
        font,
        image,
    });
}

struct Trimmed {
    bool everyNameKnown = false;
    std::set<std::string> fonts;
    std::set<std::string> objects;
    std::set<std::string> spaces;
};

std::set<std::string> keysOf(QPDFObjectHandle resources, const std::string& category)
{
    QPDFObjectHandle entries = resources.getKey(category);
    return entries.isDictionary() ? entries.getKeys() : std::set<std::string>();
}

Trimmed trimmed(const QByteArray& content)
{
    const QByteArray pdf = pageDrawing(content);
    QPDF document;
    document.setSuppressWarnings(true);
    document.processMemoryFile("test", pdf.constData(), size_t(pdf.size()));
    QPDFPageObjectHelper page = QPDFPageDocumentHelper(document).getAllPages().front();
    QPDFObjectHandle form = page.getFormXObjectForPage(false);
    Trimmed result;
    result.everyNameKnown = dropUnnamedResources(form);
    QPDFObjectHandle resources = form.getDict().getKey("/Resources");
    result.fonts = keysOf(resources, "/Font");
    result.objects = keysOf(resources, "/XObject");
    result.spaces = keysOf(resources, "/ColorSpace");
    return result;
}

const std::set<std::string> kAllFonts = {"/F1", "/F2", "/F3", "/F4", "/F5"};

}  // namespace

TEST(PDFResourcePruningTest, OnlyNamesUsedAsOperandsOfTheirOperatorsKeepTheirResources)
{
    // Look-alikes: a name in a string (with escaped parentheses, and with a
    // nested pair), in a hex string (/F3), in an array, in a comment, and a
    // name that is a marked-content tag.
    const Trimmed plain = trimmed("BT /F1 12 Tf 10 20 Td (x\\) Tj /F2 12 Tf \\() Tj (a (b) /F2 Tf) Tj <2F4633> Tj "
                                  "[(x) /F4 -250 (y)] TJ ET\n"
                                  "% /F5 1 Tf /Im2 Do\n/Im2 BMC q 1 0 0 1 .5 -3. cm /Im1 Do Q EMC\n"
                                  "/CS1 cs 0.2 0.4 0.6 sc\n");
    EXPECT_TRUE(plain.everyNameKnown);
    EXPECT_EQ(plain.fonts, std::set<std::string>({"/F1"}));
    EXPECT_EQ(plain.objects, std::set<std::string>({"/Im1"}));
    EXPECT_EQ(plain.spaces, std::set<std::string>({"/CS1"}));

    // An escaped name names what it spells.
    const Trimmed escaped = trimmed("BT /F#32 12 Tf (x) Tj ET /Im#32 Do");
    EXPECT_TRUE(escaped.everyNameKnown);
    EXPECT_EQ(escaped.fonts, std::set<std::string>({"/F2"}));
    EXPECT_EQ(escaped.objects, std::set<std::string>({"/Im2"}));

    // An inline image names its colour space; what its data looks like
    // names nothing, and what follows it counts again.
    const Trimmed inlineImage = trimmed("q 4 0 0 4 0 0 cm BI /W 9 /H 1 /CS /CS0 /BPC 8 ID /F3 1 Tf /Im2 Do\nEI Q "
                                        "BT /F4 10 Tf (z) Tj ET");
    EXPECT_TRUE(inlineImage.everyNameKnown);
    EXPECT_EQ(inlineImage.fonts, std::set<std::string>({"/F4"}));
    EXPECT_TRUE(inlineImage.objects.empty());
    EXPECT_EQ(inlineImage.spaces, std::set<std::string>({"/CS0"}));

    // Numbers of every form stay operands: the font is still Tf's first.
    const Trimmed numbers = trimmed("BT /F5 +12. Tf -.5 Tc 1.0e2 Tz (w) Tj ET");
    EXPECT_EQ(numbers.fonts, std::set<std::string>({"/F5"}));
}

TEST(PDFResourcePruningTest, ContentThatCannotBeReadKeepsEveryResource)
{
    for (const QByteArray& damaged : {QByteArray("BT /F1 12 Tf (never closed Tj ET"),
                                      QByteArray("BT /F1 12 Tf [(a) (b) TJ ET"),
                                      QByteArray("BT /F1 12 Tf (a) Tj ] ET"),
                                      QByteArray("BT /F1 12 Tf (a) Tj ET { /Im1 Do }"),
                                      QByteArray("BT /F1 12 Tf (a) Tj ET <4G> Tj")}) {
        SCOPED_TRACE(damaged.toStdString());
        const Trimmed result = trimmed(damaged);
        EXPECT_FALSE(result.everyNameKnown);
        EXPECT_EQ(result.fonts, kAllFonts);
        EXPECT_EQ(result.objects, std::set<std::string>({"/Im1", "/Im2"}));
    }
}
