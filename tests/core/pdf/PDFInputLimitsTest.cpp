// Small files that ask for gigabytes of work fail at once with an error that
// names the limit; files within the limits open as before.

#include "CodecError.h"
#include "core/support/TestPDF.h"
#include "pdf/PDFDocument.h"
#include "export/PDFExport.h"
#include "pdf/PDFImport.h"
#include "pdf/PDFInputLimits.h"
#include "support/LanguageFixture.h"

#include <gtest/gtest.h>

#define POINTERHOLDER_TRANSITION 4
#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include <QElapsedTimer>

#include <functional>

using namespace zelvane;
using namespace zelvane::testing;

namespace {

// A FlateDecode stream object holding `data`.
QByteArray flateStream(const QByteArray& data, const QByteArray& extraKeys = {})
{
    const QByteArray compressed = qCompress(data, 1).mid(4);  // zlib data without Qt's length prefix
    return "<< /Length " + QByteArray::number(compressed.size()) + " /Filter /FlateDecode " + extraKeys +
           " >>\nstream\n" + compressed + "\nendstream";
}

QByteArray plainStream(const QByteArray& data, const QByteArray& extraKeys = {})
{
    return "<< /Length " + QByteArray::number(data.size()) + ' ' + extraKeys + " >>\nstream\n" + data +
           "\nendstream";
}

// `pageCount` pages that all draw the content stream (object 3) and the
// resources given.
QByteArray pagesSharing(int pageCount, const QByteArray& contentObject, const QByteArray& resources = "<< >>",
                        const QList<QByteArray>& moreObjects = {})
{
    const int firstPage = 4 + int(moreObjects.size());
    QByteArray kids;
    for (int i = 0; i < pageCount; ++i)
        kids += QByteArray::number(firstPage + i) + " 0 R ";
    QList<QByteArray> objects{"<< /Type /Catalog /Pages 2 0 R >>",
                              "<< /Type /Pages /Kids [" + kids + "] /Count " + QByteArray::number(pageCount) + " >>",
                              contentObject};
    objects += moreObjects;
    for (int i = 0; i < pageCount; ++i)
        objects.append("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents 3 0 R /Resources " +
                       resources + " >>");
    return makeRawTestPDF(objects);
}

QByteArray spaces(qint64 count)
{
    return QByteArray(qsizetype(count), ' ');
}

// The two large streams the tests use, compressed once.
const QByteArray& pageBomb()
{
    static const QByteArray stream = flateStream(spaces(PDFWorkTally::kMaxContentBytesPerPage + 1));
    return stream;
}

constexpr qint64 kFormBytes = 40LL * 1024 * 1024;

const QByteArray& formStream()
{
    static const QByteArray stream = flateStream(spaces(kFormBytes), "/Type /XObject /Subtype /Form /BBox [0 0 1 1]");
    return stream;
}

::testing::AssertionResult tooLarge(const std::function<void()>& work)
{
    try {
        work();
        return ::testing::AssertionFailure() << "no error";
    } catch (const CodecError& error) {
        if (error.domain() != QLatin1String("PDFCodec") || error.code() != 4 ||
            !error.message().contains(QStringLiteral("too large to open")))
            return ::testing::AssertionFailure() << "another error: " << error.what();
        return ::testing::AssertionSuccess() << error.what();
    }
}

// What inflating one page's worth of content (the per-page limit) costs here
// and now, in milliseconds: a refusal reads about that much.
qint64 inflatingPageLimitMs()
{
    static const qint64 measured = [] {
        const QByteArray packed = qCompress(spaces(PDFWorkTally::kMaxContentBytesPerPage), 1);
        QElapsedTimer timer;
        timer.start();
        const QByteArray inflated = qUncompress(packed);
        EXPECT_EQ(inflated.size(), PDFWorkTally::kMaxContentBytesPerPage);
        return std::max<qint64>(timer.elapsed(), 1);
    }();
    return measured;
}

VectorDocument importBytes(const QByteArray& pdf)
{
    return PDFCodec::importPDF(pdf, QStringLiteral("Bomb"), std::nullopt);
}

}  // namespace

TEST(PDFInputLimitsTest, APageWhoseContentInflatesPastTheLimitIsRefusedQuickly)
{
    const ScopedLanguage english(AppLanguage::en);
    const QByteArray bomb = pagesSharing(1, pageBomb());
    EXPECT_LT(bomb.size(), 1024 * 1024);
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(tooLarge([&] { importBytes(bomb); }));
    const qint64 refusal = timer.elapsed();
    EXPECT_LT(refusal, inflatingPageLimitMs() * 20) << "inflating the limit takes " << inflatingPageLimitMs() << " ms";

    PDFDocument::OpenError error = PDFDocument::OpenError::none;
    EXPECT_EQ(PDFDocument::open(bomb, &error), nullptr);
    EXPECT_EQ(error, PDFDocument::OpenError::tooLarge);

    // Under the limit the page opens.
    const QByteArray fits = pagesSharing(1, flateStream(spaces(1024 * 1024) + "BT ET"));
    EXPECT_EQ(importBytes(fits).pages.size(), 1);
}

TEST(PDFInputLimitsTest, FormsAndImagesCountTowardsTheirPage)
{
    const ScopedLanguage english(AppLanguage::en);
    // Two forms of 40 MB each, drawn by one page: 80 MB of content.
    const QByteArray& form = formStream();
    const QByteArray forms = pagesSharing(1, plainStream("/A Do /B Do"), "<< /XObject << /A 4 0 R /B 5 0 R >> >>",
                                          {form, form});
    EXPECT_TRUE(tooLarge([&] { importBytes(forms); }));
    // One form named twice is counted once.
    const QByteArray repeated = pagesSharing(1, plainStream("/A Do"), "<< /XObject << /A 4 0 R /B 4 0 R >> >>", {form});
    EXPECT_NE(PDFDocument::open(repeated), nullptr);

    // An image of 20000 × 20000 pixels, whatever its data holds.
    const QByteArray image = plainStream(
        "x", "/Type /XObject /Subtype /Image /Width 20000 /Height 20000 /ColorSpace /DeviceGray /BitsPerComponent 8");
    const QByteArray huge = pagesSharing(1, plainStream("q 200 0 0 200 0 0 cm /I Do Q"),
                                         "<< /XObject << /I 4 0 R >> >>", {image});
    EXPECT_TRUE(tooLarge([&] { importBytes(huge); }));
}

TEST(PDFInputLimitsTest, TheWholeDocumentIsBoundedToo)
{
    const ScopedLanguage english(AppLanguage::en);
    // Every page draws the same 40 MB form: decoded once, drawn on each page.
    const int pages = int(PDFWorkTally::kMaxContentBytesPerDocument / kFormBytes) + 1;
    const QByteArray shared =
        pagesSharing(pages, plainStream("/A Do"), "<< /XObject << /A 4 0 R >> >>", {formStream()});
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(tooLarge([&] { importBytes(shared); }));
    const qint64 refusal = timer.elapsed();
    EXPECT_LT(refusal, inflatingPageLimitMs() * 20) << "inflating the limit takes " << inflatingPageLimitMs() << " ms";
}

TEST(PDFInputLimitsTest, ExportRefusesABackdropOverTheLimit)
{
    const ScopedLanguage english(AppLanguage::en);
    const QByteArray bomb = pagesSharing(1, pageBomb());
    VectorDocument document;
    document.pages.append(VectorPage::make(QUuid::createUuid(), QStringLiteral("Page 1"), 200, 200,
                                           QStringLiteral("#FFFFFF"), bomb, 0));
    EXPECT_TRUE(tooLarge([&] { PDFCodec::exportPDF(document); }));
}

TEST(PDFInputLimitsTest, EveryGlyphShowingTextOfItsOwnIsEmptiedWhateverShowsIt)
{
    // Four Type 3 fonts on one page: three whose glyph shows itself again
    // (with Tj, ' and "), one whose glyph only paints.
    const auto font = [](int procedure) {
        return "<< /Type /Font /Subtype /Type3 /FontBBox [0 0 1000 1000] /FontMatrix [0.001 0 0 0.001 0 0] "
               "/CharProcs << /a " + QByteArray::number(procedure) + " 0 R >> /Encoding << /Type /Encoding "
               "/Differences [97 /a] >> /FirstChar 97 /LastChar 97 /Widths [1000] >>";
    };
    const QList<QByteArray> shows{"BT /A 900 Tf 0 0 Td (aa) Tj ET", "BT /B 900 Tf 0 0 Td 10 TL (aa) ' ET",
                                  "BT /C 900 Tf 0 0 Td 10 TL 0 0 (aa) \" ET", "0 0 100 100 re f"};
    QList<QByteArray> objects{"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                              "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Contents 4 0 R /Resources "
                              "<< /Font << /A 5 0 R /B 6 0 R /C 7 0 R /D 8 0 R >> >> >>",
                              plainStream("BT /A 10 Tf (a) Tj /B 10 Tf (a) Tj /C 10 Tf (a) Tj /D 10 Tf (a) Tj ET")};
    for (int f = 0; f < 4; ++f)
        objects.append(font(9 + f));
    for (const QByteArray& show : shows)
        objects.append(plainStream("1000 0 0 0 1000 1000 d1 " + show));
    const QByteArray bytes = makeRawTestPDF(objects);

    QPDF pdf;
    pdf.setSuppressWarnings(true);
    pdf.processMemoryFile("glyphs", bytes.constData(), size_t(bytes.size()));
    std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(pdf).getAllPages();
    ASSERT_EQ(pages.size(), 1u);
    Type3GlyphGuard guard;
    EXPECT_TRUE(guard.disarm(pages.front()));
    QPDFObjectHandle fonts = pages.front().getAttribute("/Resources", false).getKey("/Font");
    for (const char* name : {"/A", "/B", "/C", "/D"}) {
        const std::shared_ptr<Buffer> data =
            fonts.getKey(name).getKey("/CharProcs").getKey("/a").getStreamData(qpdf_dl_generalized);
        const std::string glyph(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
        if (std::string(name) == "/D")
            EXPECT_EQ(glyph, "1000 0 0 0 1000 1000 d1 0 0 100 100 re f") << name;
        else
            EXPECT_EQ(glyph, "0 0 d0\n") << name;
    }
    // Looked at once: the same page again has nothing left to empty.
    EXPECT_FALSE(guard.disarm(pages.front()));
}
