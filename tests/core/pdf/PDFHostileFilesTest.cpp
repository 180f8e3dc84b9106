// Files from the wild that used to hang the import or run it out of memory,
// and files poppler opens that the import refused: each is made here, small.
// With ZELVANE_TEST_PDF_OUT set, the files made are also written there (to
// time the editor on them by hand).

#include "CodecError.h"
#include "core/fonts/TestFonts.h"
#include "core/support/PagePictures.h"
#include "core/support/TestPDF.h"
#include "export/PDFExport.h"
#include "fonts/PDFFontCollector.h"
#include "pdf/PDFDocument.h"
#include "pdf/PDFDrawingDeadline.h"
#include "pdf/PDFImport.h"
#include "render/PageRenderer.h"
#include "support/LanguageFixture.h"

#include <gtest/gtest.h>

#define POINTERHOLDER_TRANSITION 4
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <limits>
#include <memory>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

using namespace zelvane;
using namespace zelvane::testing;

namespace {

QByteArray stream(const QByteArray& data, const QByteArray& keys = {})
{
    return "<< /Length " + QByteArray::number(data.size()) + ' ' + keys + " >>\nstream\n" + data + "\nendstream";
}

QByteArray flateStream(const QByteArray& data, const QByteArray& keys = {})
{
    return stream(qCompress(data, 9).mid(4), "/Filter /FlateDecode " + keys);
}

QByteArray reference(int object)
{
    return QByteArray::number(object) + " 0 R";
}

const QByteArray kFont = "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>";

// An embedded TrueType font whose program (garbage, 2 MB once decoded, a few
// kilobytes in the file) costs its decoding each time it is read.
constexpr qsizetype kHeavyProgramBytes = 2 * 1024 * 1024;

QList<QByteArray> heavyFont(int firstObject, const QByteArray& name)
{
    QByteArray program(kHeavyProgramBytes, '\0');
    for (qsizetype i = 0; i < program.size(); ++i)
        program[i] = char((i * 7919) % 251);
    return {"<< /Type /Font /Subtype /TrueType /BaseFont /" + name + " /FontDescriptor " + reference(firstObject + 1) +
                " >>",
            "<< /Type /FontDescriptor /FontName /" + name + " /Flags 32 /FontFile2 " + reference(firstObject + 2) + " >>",
            flateStream(program)};
}

// Writes `pdf` where ZELVANE_TEST_PDF_OUT says, when it says.
void keep(const char* name, const QByteArray& pdf)
{
    const QByteArray folder = qgetenv("ZELVANE_TEST_PDF_OUT");
    if (folder.isEmpty())
        return;
    QDir().mkpath(QString::fromLocal8Bit(folder));
    QFile file(QDir(QString::fromLocal8Bit(folder)).filePath(QLatin1String(name)));
    if (file.open(QIODevice::WriteOnly))
        file.write(pdf);
}

std::optional<CodecError> importFailure(const QByteArray& pdf)
{
    try {
        PDFCodec::importPDF(pdf, QStringLiteral("Wild"), std::nullopt);
    } catch (const CodecError& error) {
        return error;
    }
    return std::nullopt;
}

qint64 elapsedMs(const std::function<void()>& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.elapsed();
}

// A memory figure of this process's status (such as "VmHWM:", the peak
// resident memory so far), in bytes (0 when unknown).
qint64 memoryFigure(const QByteArray& key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong() * 1024;
    }
    return 0;
}

qint64 peakMemory()
{
    return memoryFigure("VmHWM:");
}

// JBIG2 data of one page of `side` × `side` pixels, all black.
QByteArray jbig2Page(quint32 side)
{
    const auto bytes = [](std::initializer_list<int> values) {
        QByteArray result;
        for (const int value : values)
            result.append(char(value));
        return result;
    };
    const auto be32 = [&](quint32 v) { return bytes({int(v >> 24), int(v >> 16 & 255), int(v >> 8 & 255), int(v & 255)}); };
    QByteArray jbig2;
    // Page information segment: number 0, type 48, page 1, 19 data bytes.
    jbig2 += be32(0) + bytes({48, 0, 1}) + be32(19);
    jbig2 += be32(side) + be32(side) + be32(0) + be32(0) + bytes({0x04, 0, 0});
    // End of page.
    jbig2 += be32(1) + bytes({49, 0, 1}) + be32(0);
    return jbig2;
}

// One page drawing its content stream through a JBIG2 filter: the data says
// the page is 65000 × 65000 pixels (528 MB once decoded).
QByteArray jbig2Bomb()
{
    return makeRawTestPDF({"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                           "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents 4 0 R >>",
                           stream(jbig2Page(65000), "/Filter /JBIG2Decode")});
}

// One page drawing a JBIG2 image whose dictionary says 100 × 100 pixels and
// whose data says `side` × `side`.
QByteArray jbig2Image(quint32 side)
{
    return makeRawTestPDF(
        {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
         "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents 4 0 R /Resources << /XObject << /I 5 0 R "
         ">> >> >>",
         stream("q 200 0 0 200 0 0 cm /I Do Q"),
         stream(jbig2Page(side), "/Type /XObject /Subtype /Image /Width 100 /Height 100 /ColorSpace /DeviceGray "
                                 "/BitsPerComponent 1 /Filter /JBIG2Decode")});
}

// Three forms whose resources name one another (and themselves), each
// with the same heavy font, drawn once from the page.
QByteArray formCycle()
{
    const QByteArray resources = "<< /XObject << /A 5 0 R /B 6 0 R /C 7 0 R >> /Font << /F 8 0 R /H 11 0 R >> >>";
    QList<QByteArray> objects{"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                              "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Contents 4 0 R /Resources "
                                  + resources + " >>",
                              stream("/A Do")};
    for (const char* label : {"A", "B", "C"})
        objects.append(stream(QByteArray("BT /H 14 Tf 20 100 Td (Form ") + label + ") Tj ET",
                              "/Type /XObject /Subtype /Form /BBox [0 0 300 200] /Resources " + resources));
    objects += heavyFont(8, "Cyclic");
    objects.append(kFont);
    return makeRawTestPDF(objects);
}

// Forms 20 levels deep, six on each level, each naming all six of the next
// level and the heavy font; the page draws the first.
QByteArray formLattice()
{
    constexpr int levels = 20;
    constexpr int width = 6;
    const int fontObject = 5 + width * levels;
    QList<QByteArray> objects{"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                              "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Contents 4 0 R /Resources "
                                  "<< /XObject << /L 5 0 R >> >> >>",
                              stream("/L Do")};
    for (int level = 0; level < levels; ++level) {
        QByteArray next;
        if (level + 1 < levels) {
            next = "/XObject << ";
            for (int twin = 0; twin < width; ++twin)
                next += "/X" + QByteArray::number(twin) + ' ' + reference(5 + width * (level + 1) + twin) + ' ';
            next += ">> ";
        }
        for (int twin = 0; twin < width; ++twin)
            objects.append(stream("BT /H 14 Tf 20 100 Td (Lattice level " + QByteArray::number(level) + ") Tj ET",
                                  "/Type /XObject /Subtype /Form /BBox [0 0 300 200] /Resources << " + next +
                                      "/Font << /F " + reference(fontObject) + " /H " + reference(fontObject + 3) +
                                      " >> >>"));
    }
    objects += heavyFont(fontObject, "Latticed");
    objects.append(kFont);
    return makeRawTestPDF(objects);
}

// Forms `levels` deep, each drawing the next twice (the last one is drawn
// 2^(levels - 1) times); the last draws itself `selfDrawings` times. The
// page draws the first, or with `asAppearance` its one annotation shows it
// as its normal appearance.
QByteArray drawnForms(int levels, int selfDrawings = 0, bool asAppearance = false)
{
    const QByteArray annotation = " /Annots [<< /Type /Annot /Subtype /Stamp /Rect [0 0 300 200] /AP << /N 5 0 R >> "
                                  ">>]";
    QList<QByteArray> objects{"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                              "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Contents 4 0 R /Resources "
                                  "<< /XObject << /L 5 0 R >> /Font << /H " + reference(5 + levels) + " >> >>" +
                                  (asAppearance ? annotation : QByteArray()) + " >>",
                              stream(asAppearance ? "BT /H 14 Tf 20 150 Td (Forms drawing forms) Tj ET"
                                                  : "BT /H 14 Tf 20 150 Td (Forms drawing forms) Tj ET /L Do")};
    for (int level = 0; level < levels; ++level) {
        QByteArray content = "0 0 1 1 re f";
        QByteArray resources = "<< >>";
        if (level + 1 < levels) {
            content += " /X Do /X Do";
            resources = "<< /XObject << /X " + reference(5 + level + 1) + " >> >>";
        } else if (selfDrawings > 0) {
            for (int i = 0; i < selfDrawings; ++i)
                content += " /X Do";
            resources = "<< /XObject << /X " + reference(5 + level) + " >> >>";
        }
        objects.append(stream(content, "/Type /XObject /Subtype /Form /BBox [0 0 300 200] /Resources " + resources));
    }
    objects.append(kFont);
    return makeRawTestPDF(objects);
}

// What importing a small sound page (a few levels of forms) costs here and
// now, in milliseconds: what the time to refuse or open a hostile file is
// compared with.
qint64 smallPageImportMs()
{
    static const qint64 measured = [] {
        qint64 fastest = 0;
        for (int i = 0; i < 3; ++i) {
            QElapsedTimer timer;
            timer.start();
            PDFCodec::importPDF(drawnForms(8), QStringLiteral("Forms"), std::nullopt);
            fastest = i == 0 ? timer.elapsed() : std::min(fastest, timer.elapsed());
        }
        return std::max<qint64>(fastest, 1);
    }();
    return measured;
}

// A Type 3 glyph that draws itself twice, nine tenths as large.
QByteArray selfDrawingGlyph()
{
    return makeRawTestPDF(
        {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
         "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Contents 4 0 R /Resources << /Font << /T 5 0 R /H 7 "
         "0 R >> >> >>",
         stream("BT /T 100 Tf 20 40 Td (a) Tj ET BT /H 14 Tf 20 150 Td (Glyphs drawing glyphs) Tj ET"),
         "<< /Type /Font /Subtype /Type3 /FontBBox [0 0 1000 1000] /FontMatrix [0.001 0 0 0.001 0 0] "
         "/CharProcs << /a 6 0 R >> /Encoding << /Type /Encoding /Differences [97 /a] >> /FirstChar 97 /LastChar 97 "
         "/Widths [1000] /Resources << /Font << /T 5 0 R >> >> >>",
         stream("1000 0 0 0 1000 1000 d1 0 0 100 100 re f BT /T 900 Tf 0 0 Td (aa) Tj ET"), kFont});
}

// A Type 3 glyph that draws a black image of its font's resources, shown
// 100 points large at (20, 40).
QByteArray imageGlyph()
{
    return makeRawTestPDF(
        {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
         "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Contents 4 0 R /Resources << /Font << /T 5 0 R >> "
         ">> >>",
         stream("BT /T 100 Tf 20 40 Td (a) Tj ET"),
         "<< /Type /Font /Subtype /Type3 /FontBBox [0 0 1000 1000] /FontMatrix [0.001 0 0 0.001 0 0] "
         "/CharProcs << /a 6 0 R >> /Encoding << /Type /Encoding /Differences [97 /a] >> /FirstChar 97 /LastChar 97 "
         "/Widths [1000] /Resources << /XObject << /Im 7 0 R >> >> >>",
         stream("1000 0 d0 q 1000 0 0 1000 0 0 cm /Im Do Q"),
         stream(QByteArray(1, '\0'), "/Type /XObject /Subtype /Image /Width 1 /Height 1 /ColorSpace /DeviceGray "
                                    "/BitsPerComponent 8")});
}

// One page of text whose trailer's encryption locks only its attachment
// (identity filters for streams and strings, a user password for embedded
// files), as some producers write a file with a protected attachment.
QByteArray lockedAttachment(const QByteArray& streamFilter = "/Identity")
{
    const QByteArray hex32(64, 'A');
    return makeRawTestPDF(
        {"<< /Type /Catalog /Pages 2 0 R /Names << /EmbeddedFiles << /Names [(notes.txt) 6 0 R] >> >> >>",
         "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
         "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Contents 4 0 R /Resources << /Font << /H 5 0 R >> "
         ">> >>",
         stream("BT /H 14 Tf 20 100 Td (An open page with a locked attachment) Tj ET"), kFont,
         "<< /Type /Filespec /F (notes.txt) /EF << /F 7 0 R >> >>",
         stream(QByteArray(32, '\x5a'), "/Type /EmbeddedFile"),
         "<< /Filter /Standard /V 4 /R 4 /Length 128 /P -4 /O <" + hex32 + "> /U <" + hex32 +
             "> /CF << /StdCF << /CFM /AESV2 /AuthEvent /EFOpen /Length 16 >> >> /StmF " + streamFilter +
             " /StrF " + streamFilter + " /EFF /StdCF >>"},
        "/Encrypt 8 0 R /ID [<0123456789ABCDEF0123456789ABCDEF> <0123456789ABCDEF0123456789ABCDEF>]");
}

// Two pages of text under a page tree whose /Kids also hold `damage`.
QByteArray damagedPageTree(const QByteArray& damage)
{
    const auto page = [](int contents) {
        return "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Contents " + reference(contents) +
               " /Resources << /Font << /H 4 0 R >> >> >>";
    };
    return makeRawTestPDF({"<< /Type /Catalog /Pages 2 0 R >>",
                           "<< /Type /Pages /Kids [3 0 R " + damage + " 6 0 R] /Count 3 >>", page(5), kFont,
                           stream("BT /H 14 Tf 20 100 Td (First page) Tj ET"), page(7),
                           stream("BT /H 14 Tf 20 100 Td (Second page) Tj ET"), "(not a page)"});
}

QStringList textsOf(const VectorDocument& document)
{
    QStringList texts;
    for (const VectorPage& page : document.pages) {
        for (const VectorElement& element : page.elements) {
            if (element.text())
                texts.append(element.text()->text);
        }
    }
    return texts;
}

// Page `index` of an exported file as a reader shows it, on white.
QImage readerPicture(const PDFDocument& exported, int index, double scale)
{
    const QImage drawn = exported.renderPage(index, scale);
    QImage image(drawn.size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.drawImage(0, 0, drawn);
    return image;
}

// Import needs Qt's fonts.
class PDFHostileFilesTest : public FontTestBase {};

}  // namespace

TEST_F(PDFHostileFilesTest, ContentInAPictureFormatIsRefusedAtOnceWithTheLimitsError)
{
    const ScopedLanguage english(AppLanguage::en);
    const QByteArray bomb = jbig2Bomb();
    keep("jbig2-bomb.pdf", bomb);
    EXPECT_LT(bomb.size(), 1024);
    std::optional<CodecError> failure;
    const qint64 refusal = elapsedMs([&] { failure = importFailure(bomb); });
    EXPECT_LT(refusal, smallPageImportMs() * 10) << "a small page opens in " << smallPageImportMs() << " ms";
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->code(), 4);
    EXPECT_TRUE(failure->message().contains(QStringLiteral("too large to open"))) << failure->what();

    // In a process of its own, the refusal stays far from the memory the
    // decoding would take.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            PDFDocument::OpenError error = PDFDocument::OpenError::none;
            const bool refused = !PDFDocument::open(jbig2Bomb(), &error) && error == PDFDocument::OpenError::tooLarge;
            std::_Exit(refused && peakMemory() < 300LL * 1024 * 1024 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");

    // An image whose JBIG2 data states a page far larger than its
    // dictionary's counts at the page's size.
    keep("jbig2-image-bomb.pdf", jbig2Image(70000));
    failure = importFailure(jbig2Image(70000));
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->code(), 4);
    EXPECT_FALSE(importFailure(jbig2Image(100)));

    // A CCITT stream states its rows: counted at one bit a pixel.
    const QByteArray counted = makeRawTestPDF(
        {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
         "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents 4 0 R >>",
         stream("x", "/Filter /CCITTFaxDecode /DecodeParms << /Columns 100000 /Rows 100000 >>")});
    failure = importFailure(counted);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->code(), 4);
}

namespace {

// A page filled with a tiling pattern of `keys` (steps, matrix), whose tile
// draws a small square.
QByteArray tiledPage(const QByteArray& keys)
{
    return makeRawTestPDF(
        {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
         "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R "
         "/Resources << /Font << /H 6 0 R >> /Pattern << /P 5 0 R >> >> >>",
         stream("/Pattern cs /P scn 0 0 612 792 re f BT /H 14 Tf 20 700 Td (Tiled page) Tj ET"),
         stream("0 0 1 rg 0 0 0.5 0.5 re f",
                "/PatternType 1 /PaintType 1 /TilingType 1 /BBox [0 0 0.5 0.5] /Resources << >> " + keys),
         kFont});
}

}  // namespace

TEST_F(PDFHostileFilesTest, APatternOfCountlessTilesIsRefusedWithTheLimitsError)
{
    // Readers draw a tile at a time: steps of a thousandth of a point over
    // a page are half a trillion tiles, which they would draw for hours.
    const ScopedLanguage english(AppLanguage::en);
    for (const QByteArray& keys : {QByteArray("/XStep 0.001 /YStep 0.001"),
                                   QByteArray("/XStep -1 /YStep 1 /Matrix [0.001 0 0 -0.001 0 0]")}) {
        const QByteArray pdf = tiledPage(keys);
        keep("pattern-tiles.pdf", pdf);
        const std::optional<CodecError> failure = importFailure(pdf);
        ASSERT_TRUE(failure) << keys.constData();
        EXPECT_EQ(failure->code(), 4);
        EXPECT_TRUE(failure->message().contains(QStringLiteral("too large to open"))) << failure->what();
    }
    // Ordinary steps, turned or flipped by the pattern's matrix, open; a step
    // of zero draws nothing.
    for (const QByteArray& keys :
         {QByteArray("/XStep 10 /YStep 10"), QByteArray("/XStep 1 /YStep 1 /Matrix [0 -10 10 0 0 0]"),
          QByteArray("/XStep 0 /YStep 0")}) {
        const VectorDocument document = PDFCodec::importPDF(tiledPage(keys), QStringLiteral("Tiles"), std::nullopt);
        EXPECT_EQ(textsOf(document), QStringList{QStringLiteral("Tiled page")}) << keys.constData();
    }
}

TEST_F(PDFHostileFilesTest, FormsNamingOneAnotherOpenAtOnce)
{
    const QByteArray cycle = formCycle();
    const QByteArray lattice = formLattice();
    keep("form-cycle.pdf", cycle);
    keep("form-lattice.pdf", lattice);
    for (const QByteArray& pdf : {cycle, lattice}) {
        std::optional<VectorDocument> document;
        const qint64 opening =
            elapsedMs([&] { document = PDFCodec::importPDF(pdf, QStringLiteral("Forms"), std::nullopt); });
        EXPECT_LT(opening, smallPageImportMs() * 20) << "a small page opens in " << smallPageImportMs() << " ms";
        ASSERT_TRUE(document);
        EXPECT_EQ(document->pages.size(), 1);
    }
    // The font of every form is found, read once.
    const fonts::ExtractedPDFFonts cycleFonts = fonts::collectEmbeddedFonts(cycle);
    ASSERT_EQ(cycleFonts.count(QStringLiteral("Cyclic")), 1u);
    EXPECT_EQ(cycleFonts.at(QStringLiteral("Cyclic")).fontStreamData->size(), kHeavyProgramBytes);
    EXPECT_EQ(fonts::collectEmbeddedFonts(lattice).count(QStringLiteral("Latticed")), 1u);
}

TEST_F(PDFHostileFilesTest, AGlyphDrawingItselfOpensAtOnce)
{
    const QByteArray pdf = selfDrawingGlyph();
    keep("type3-self.pdf", pdf);
    std::optional<VectorDocument> document;
    const qint64 opening = elapsedMs([&] { document = PDFCodec::importPDF(pdf, QStringLiteral("Glyphs"), std::nullopt); });
    EXPECT_LT(opening, smallPageImportMs() * 20) << "a small page opens in " << smallPageImportMs() << " ms";
    ASSERT_TRUE(document);
    ASSERT_EQ(document->pages.size(), 1);
    EXPECT_TRUE(textsOf(*document).contains(QStringLiteral("Glyphs drawing glyphs")));
    // The page still draws, without the glyph's drawing of itself.
    const std::unique_ptr<PDFDocument> opened = PDFDocument::open(pdf);
    ASSERT_NE(opened, nullptr);
    EXPECT_FALSE(opened->renderPage(0, 1.0).isNull());

    // A glyph drawing a picture of its own is drawn as it is.
    const std::unique_ptr<PDFDocument> pictured = PDFDocument::open(imageGlyph());
    ASSERT_NE(pictured, nullptr);
    const QImage page = pictured->renderPage(0, 1.0);
    ASSERT_FALSE(page.isNull());
    EXPECT_EQ(qAlpha(page.pixel(70, 100)), 255);
    EXPECT_LT(qGray(page.pixel(70, 100)), 40);
}

TEST_F(PDFHostileFilesTest, AFileWhoseOnlyLockedPartIsAnAttachmentOpens)
{
    const ScopedLanguage english(AppLanguage::en);
    const QByteArray pdf = lockedAttachment();
    keep("locked-attachment.pdf", pdf);
    const VectorDocument document = PDFCodec::importPDF(pdf, QStringLiteral("Attachment"), std::nullopt);
    ASSERT_EQ(document.pages.size(), 1);
    EXPECT_EQ(textsOf(document), QStringList{QStringLiteral("An open page with a locked attachment")});

    // Locked pages still ask for the password.
    const std::optional<CodecError> failure = importFailure(lockedAttachment("/StdCF"));
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->message(), QStringLiteral("This PDF file is password-protected and cannot be opened."));
}

TEST_F(PDFHostileFilesTest, ADamagedPageTreeShowsThePagesPopplerCanShow)
{
    // A kid naming the tree's root (a loop), and a kid that is no page.
    for (const QByteArray& damage : {QByteArray("2 0 R"), QByteArray("8 0 R")}) {
        const QByteArray pdf = damagedPageTree(damage);
        keep(damage == "2 0 R" ? "page-tree-loop.pdf" : "page-tree-string.pdf", pdf);
        const VectorDocument document = PDFCodec::importPDF(pdf, QStringLiteral("Tree"), std::nullopt);
        EXPECT_EQ(textsOf(document), (QStringList{QStringLiteral("First page"), QStringLiteral("Second page")}))
            << damage.constData();
        for (const VectorPage& page : document.pages) {
            EXPECT_EQ(page.width, 300);
            EXPECT_EQ(page.height, 200);
        }
    }
}

TEST_F(PDFHostileFilesTest, APageTreeLoopingThroughAnInnerNodeKeepsWhatItsPagesInherit)
{
    // The inner node gives its pages their box, turn and font, and names the
    // root again between them.
    const auto page = [](int contents) {
        return "<< /Type /Page /Parent 8 0 R /Contents " + reference(contents) + " >>";
    };
    const QByteArray pdf = makeRawTestPDF(
        {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [8 0 R] /Count 2 >>", page(5), kFont,
         stream("BT /H 14 Tf 20 100 Td (First page) Tj ET"), page(7), stream("BT /H 14 Tf 20 100 Td (Second page) Tj ET"),
         "<< /Type /Pages /Parent 2 0 R /Kids [3 0 R 2 0 R 6 0 R 8 0 R] /Count 2 /MediaBox [0 0 300 200] /Rotate 90 "
         "/Resources << /Font << /H 4 0 R >> >> >>"});
    keep("page-tree-inner-loop.pdf", pdf);
    const VectorDocument document = PDFCodec::importPDF(pdf, QStringLiteral("Tree"), std::nullopt);
    EXPECT_EQ(textsOf(document), (QStringList{QStringLiteral("First page"), QStringLiteral("Second page")}));
    ASSERT_EQ(document.pages.size(), 2);
    for (const VectorPage& imported : document.pages) {
        EXPECT_EQ(imported.width, 200);
        EXPECT_EQ(imported.height, 300);
    }
    PDFCodec::PDFExportReport report;
    const auto exported = PDFDocument::open(PDFCodec::exportPDF(document, &report));
    ASSERT_TRUE(exported);
    ASSERT_EQ(exported->pageCount(), 2);
    EXPECT_TRUE(report.rasterizedPages.isEmpty());
    EXPECT_EQ(exported->pageText(0).text.simplified(), QStringLiteral("First page"));
    EXPECT_EQ(exported->pageText(1).text.simplified(), QStringLiteral("Second page"));
}

TEST_F(PDFHostileFilesTest, FormsDrawnOverAndOverCountAsOftenAsTheyAreDrawn)
{
    const ScopedLanguage english(AppLanguage::en);
    const qint64 reference = smallPageImportMs();
    // 2^25 drawings of a form 26 levels deep, and 2^29 of one 30 levels deep
    // through an annotation's appearance: refused at once.
    const QByteArray lattice = drawnForms(26);
    const QByteArray shownNest = drawnForms(30, 0, true);
    keep("drawn-lattice.pdf", lattice);
    keep("drawn-appearance-nest.pdf", shownNest);
    for (const QByteArray& pdf : {lattice, shownNest}) {
        // Opening alone tells, before any page is drawn.
        PDFDocument::OpenError error = PDFDocument::OpenError::none;
        std::unique_ptr<PDFDocument> opened;
        const qint64 refusal = elapsedMs([&] { opened = PDFDocument::open(pdf, &error); });
        EXPECT_FALSE(opened);
        ASSERT_EQ(error, PDFDocument::OpenError::tooLarge);
        EXPECT_LT(refusal, reference * 10) << "a small page opens in " << reference << " ms";
        std::optional<CodecError> failure = importFailure(pdf);
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->code(), 4);
    }
    // A form drawing itself twice would be drawn 2^100 times.
    for (const bool asAppearance : {false, true}) {
        const std::optional<CodecError> failure = importFailure(drawnForms(1, 2, asAppearance));
        ASSERT_TRUE(failure) << asAppearance;
        EXPECT_EQ(failure->code(), 4);
    }

    // A few levels, and a form drawing itself once (a renderer stops it),
    // open, in the page or shown by an annotation.
    for (const bool asAppearance : {false, true}) {
        for (const QByteArray& pdf : {drawnForms(8, 0, asAppearance), drawnForms(1, 1, asAppearance)}) {
            const VectorDocument document = PDFCodec::importPDF(pdf, QStringLiteral("Forms"), std::nullopt);
            EXPECT_EQ(textsOf(document), QStringList{QStringLiteral("Forms drawing forms")}) << asAppearance;
        }
    }
}

TEST_F(PDFHostileFilesTest, AFileWhoseOnlyLockedPartIsAnAttachmentExportsItsPage)
{
    const ScopedLanguage english(AppLanguage::en);
    const VectorDocument document = PDFCodec::importPDF(lockedAttachment(), QStringLiteral("Attachment"), std::nullopt);
    ASSERT_EQ(document.pages.size(), 1);
    PDFCodec::PDFExportReport report;
    const auto exported = PDFDocument::open(PDFCodec::exportPDF(document, &report));
    ASSERT_TRUE(exported);
    ASSERT_EQ(exported->pageCount(), 1);
    // The page itself, its text still text, not a blank page or a picture.
    EXPECT_TRUE(report.rasterizedPages.isEmpty());
    EXPECT_EQ(exported->pageText(0).text.simplified(), QStringLiteral("An open page with a locked attachment"));
}

TEST_F(PDFHostileFilesTest, ADamagedPageTreeExportsEachPageAsTheEditorShowsIt)
{
    const ScopedLanguage english(AppLanguage::en);
    constexpr double kScale = 2;
    for (const QByteArray& damage : {QByteArray("2 0 R"), QByteArray("8 0 R")}) {
        const VectorDocument document = PDFCodec::importPDF(damagedPageTree(damage), QStringLiteral("Tree"), std::nullopt);
        ASSERT_EQ(document.pages.size(), 2) << damage.constData();
        PDFCodec::PDFExportReport report;
        const auto exported = PDFDocument::open(PDFCodec::exportPDF(document, &report));
        ASSERT_TRUE(exported) << damage.constData();
        ASSERT_EQ(exported->pageCount(), 2) << damage.constData();
        // The loop is read as readers read it; the tree qpdf reads otherwise
        // than poppler is copied from poppler's drawing of its pages. Either
        // way the pages stay vectors and text.
        EXPECT_TRUE(report.rasterizedPages.isEmpty()) << damage.constData();
        EXPECT_EQ(exported->pageText(0).text.simplified(), QStringLiteral("First page")) << damage.constData();
        EXPECT_EQ(exported->pageText(1).text.simplified(), QStringLiteral("Second page")) << damage.constData();
        const QImage shown[2] = {exportedPicture(document.pages[0], kScale), exportedPicture(document.pages[1], kScale)};
        const QRectF text(10, 80, 200, 30);
        // The pictures tell the two pages apart.
        ASSERT_GT(strongShare(shown[0], shown[1], text, kScale), 0.02) << damage.constData();
        for (int i = 0; i < 2; ++i) {
            const QImage written = readerPicture(*exported, i, kScale);
            ASSERT_EQ(written.size(), shown[i].size());
            EXPECT_LT(strongShare(written, shown[i], text, kScale), 0.005) << damage.constData() << " page " << i;
        }

        // A line edited there leaves nothing of its old words in the file.
        VectorDocument edited = document;
        ASSERT_EQ(edited.pages[1].elements.size(), 1);
        edited.pages[1].elements[0].text()->text = QStringLiteral("Replaced words");
        PDFCodec::PDFExportReport editedReport;
        const auto rewritten = PDFDocument::open(PDFCodec::exportPDF(edited, &editedReport));
        ASSERT_TRUE(rewritten);
        EXPECT_TRUE(editedReport.rasterizedPages.isEmpty()) << damage.constData();
        EXPECT_EQ(rewritten->pageText(0).text.simplified(), QStringLiteral("First page"));
        EXPECT_EQ(rewritten->pageText(1).text.simplified(), QStringLiteral("Replaced words")) << damage.constData();
    }
}

namespace {

// A page of four function-based shadings whose functions are small
// calculator programs, one turned by 45° and one flipped, with two lines of
// text laid over them as qpdf --overlay lays a page over another.
QByteArray functionShadings()
{
    const QByteArray functions[] = {"{ 2 copy mul }", "{ add 2 div dup dup }", "{ exch pop dup 1 exch sub 0.5 }",
                                    "{ 2 copy mul 3 1 roll }"};
    const QByteArray matrices[] = {"[200 0 0 200 50 500]", "[-200 0 0 200 530 500]",
                                   "[141.42 141.42 -141.42 141.42 190 150]", "[200 0 0 200 330 150]"};
    QList<QByteArray> objects{"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                              "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents [4 0 R 5 0 R] "
                              "/Resources << /Shading << /S0 6 0 R /S1 7 0 R /S2 8 0 R /S3 9 0 R >> "
                              "/XObject << /Fx1 14 0 R >> >> >>",
                              stream("q\nq /S0 sh Q q /S1 sh Q q /S2 sh Q q /S3 sh Q\n"),
                              stream("\nQ\nq\n1 0 0 1 0 0 cm\n/Fx1 Do\nQ\n")};
    for (int i = 0; i < 4; ++i) {
        objects.append("<< /ShadingType 1 /ColorSpace /DeviceRGB /Domain [0 1 0 1] /Matrix " + matrices[i]
                       + " /Function " + reference(10 + i) + " >>");
    }
    for (const QByteArray& function : functions)
        objects.append(stream(function, "/FunctionType 4 /Domain [0 1 0 1] /Range [0 1 0 1 0 1]"));
    objects.append(stream("BT /F1 24 Tf 72 720 Td (Shaded page, first line) Tj 0 -30 Td (and the second line "
                          "over it) Tj ET",
                          "/Type /XObject /Subtype /Form /BBox [0 0 612 792] /Resources << /Font << /F1 15 0 R >> >>"));
    objects.append(kFont);
    return makeRawTestPDF(objects);
}

// What a run of a program to its end cost: wall time and peak memory.
struct ProgramCost {
    bool ran = false;
    double seconds = 0;
    qint64 peakBytes = 0;
};

// The peak resident memory of process `pid` once it runs `program` (0
// before: until then it shares this process's memory).
qint64 peakMemoryOf(pid_t pid, const QByteArray& program)
{
    QFile name(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!name.open(QIODevice::ReadOnly) || name.readAll().trimmed() != program.left(15))
        return 0;
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
    }
    return 0;
}

// Runs `command` to its end, watching its memory meanwhile (what the kernel
// counts for a child includes the memory of the process that started it).
ProgramCost runToItsEnd(const QStringList& command)
{
    std::vector<QByteArray> words;
    for (const QString& word : command)
        words.push_back(word.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    QElapsedTimer timer;
    timer.start();
    pid_t pid = -1;
    const int started = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ProgramCost cost;
    if (started != 0)
        return cost;
    int status = 0;
    for (;;) {
        cost.peakBytes = std::max(cost.peakBytes, peakMemoryOf(pid, words.front()));
        const pid_t ended = waitpid(pid, &status, WNOHANG);
        if (ended == pid || (ended < 0 && errno != EINTR))
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    cost.seconds = double(timer.nsecsElapsed()) / 1e9;
    cost.ran = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return cost;
}

// This process's resident memory now, in bytes (0 when unknown).
qint64 residentMemory()
{
    return memoryFigure("VmRSS:");
}

// Starts the peak of resident memory again from what is resident now.
bool resetPeakMemory()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
}

}  // namespace

TEST_F(PDFHostileFilesTest, FunctionShadingsOpenAndExportInAboutPopplersTimeAndMemory)
{
    const QByteArray pdf = functionShadings();
    keep("function-shadings.pdf", pdf);
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString path = folder.filePath(QStringLiteral("shadings.pdf"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(pdf);
    }
    // Poppler's own drawing of the page at the import's resolution.
    const ProgramCost poppler =
        runToItsEnd({QStringLiteral("pdftoppm"), QStringLiteral("-r"), QStringLiteral("144"), QStringLiteral("-png"),
                     QStringLiteral("-singlefile"), path, folder.filePath(QStringLiteral("poppler"))});
    ASSERT_TRUE(poppler.ran);
    const QImage popplers(folder.filePath(QStringLiteral("poppler.png")));
    ASSERT_FALSE(popplers.isNull());

    // The import and a PNG of the page, on a thread of their own so that a
    // drawing without end fails the test instead of holding it.
    struct Outcome {
        std::atomic<bool> done = false;
        std::optional<VectorDocument> document;
        std::optional<QByteArray> png;
        double seconds = 0;
        qint64 grownBytes = 0;
    };
    const auto outcome = std::make_shared<Outcome>();
    ASSERT_TRUE(resetPeakMemory());
    std::thread work([outcome, pdf] {
        const qint64 before = residentMemory();
        QElapsedTimer timer;
        timer.start();
        outcome->document = PDFCodec::importPDF(pdf, QStringLiteral("Shadings"), std::nullopt);
        if (!outcome->document->pages.isEmpty())
            outcome->png = PDFCodec::renderPagePNG(outcome->document->pages.front(), 2.0);
        outcome->seconds = double(timer.nsecsElapsed()) / 1e9;
        outcome->grownBytes = peakMemory() - before;
        outcome->done = true;
    });
    const auto deadline = std::chrono::steady_clock::now()
                          + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                              std::chrono::duration<double>(20 * poppler.seconds));
    while (!outcome->done && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!outcome->done) {
        // Left to run on: nothing it uses goes away.
        work.detach();
        FAIL() << "the import and PNG export ran past 20 times poppler's " << poppler.seconds << " s";
    }
    work.join();
    std::printf("poppler %.2f s %lld MB; import and PNG %.2f s, %lld MB more\n", poppler.seconds,
                poppler.peakBytes / (1024 * 1024), outcome->seconds, outcome->grownBytes / (1024 * 1024));
    EXPECT_LT(outcome->seconds, 5 * poppler.seconds);
    EXPECT_LT(outcome->grownBytes, 3 * poppler.peakBytes);
    EXPECT_EQ(textsOf(*outcome->document),
              (QStringList{QStringLiteral("Shaded page, first line"), QStringLiteral("and the second line over it")}));

    // The shadings drawn as poppler draws them, the turned and the flipped
    // ones included.
    ASSERT_TRUE(outcome->png);
    const QImage drawn = QImage::fromData(*outcome->png).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(drawn.size(), popplers.size());
    const QImage reference = popplers.convertToFormat(QImage::Format_RGB32);
    for (const QPointF& place : {QPointF(150, 600), QPointF(430, 600), QPointF(190, 291), QPointF(190, 200),
                                 QPointF(430, 250), QPointF(500, 320)}) {
        // Points, y up, to pixels at 144 dpi.
        const QPoint pixel(int(place.x() * 2), int((792 - place.y()) * 2));
        const QRgb ours = drawn.pixel(pixel);
        const QRgb theirs = reference.pixel(pixel);
        EXPECT_LE(std::abs(qRed(ours) - qRed(theirs)) + std::abs(qGreen(ours) - qGreen(theirs))
                      + std::abs(qBlue(ours) - qBlue(theirs)),
                  12)
            << place.x() << "," << place.y() << ": " << std::hex << ours << " against " << theirs;
    }
}

TEST_F(PDFHostileFilesTest, AFileCutShortWithALostPageIsRefusedInTheTimeItsPageListTakes)
{
    // Pages of long drawings, one near the end lost to damage, the table
    // of objects and the trailer cut off: the pages are read only once
    // every one of them is there.
    constexpr int kPages = 400;
    QByteArray drawing;
    for (int i = 0; i < 3000; ++i)
        drawing += QByteArray::number(i % 97) + " 10 m 20 " + QByteArray::number(i % 89) + " l S\n";
    const QByteArray content = flateStream(drawing);
    QList<QByteArray> objects{"<< /Type /Catalog /Pages 2 0 R >>"};
    QByteArray kids;
    for (int p = 0; p < kPages; ++p)
        kids += reference(3 + 2 * p) + ' ';
    objects.append("<< /Type /Pages /Kids [" + kids + "] /Count " + QByteArray::number(kPages) + " >>");
    for (int p = 0; p < kPages; ++p) {
        objects.append(p == kPages - 3 ? QByteArray("42")
                                       : "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] /Contents " +
                                             reference(4 + 2 * p) + " >>");
        objects.append(content);
    }
    QByteArray pdf = makeRawTestPDF(objects);
    pdf.truncate(pdf.lastIndexOf("\nxref"));
    keep("cut-with-lost-page.pdf", pdf);

    // What qpdf needs to list the pages, given a trailer, against the
    // refusal; each the shortest of three, so that a busy machine's pause in
    // one of them does not decide.
    qint64 listing = std::numeric_limits<qint64>::max();
    qint64 refusing = std::numeric_limits<qint64>::max();
    for (int round = 0; round < 3; ++round) {
        QElapsedTimer timer;
        timer.start();
        {
            QPDF reading;
            reading.setSuppressWarnings(true);
            const QByteArray withTrailer = pdf + "\ntrailer\n<< /Root 1 0 R >>\n";
            reading.processMemoryFile("cut", withTrailer.constData(), size_t(withTrailer.size()));
            EXPECT_EQ(QPDFPageDocumentHelper(reading).getAllPages().size(), size_t(kPages));
        }
        listing = std::min(listing, timer.nsecsElapsed());
        timer.restart();
        const std::optional<CodecError> failure = importFailure(pdf);
        refusing = std::min(refusing, timer.nsecsElapsed());
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->code(), 1);
    }
    // Read twice (as it is, then with a trailer) and by poppler.
    EXPECT_LT(refusing, 6 * listing) << refusing << " ns against " << listing << " ns";
}

TEST_F(PDFHostileFilesTest, APageDrawnPastItsBoundIsGivenUpWithItsTextReadWhole)
{
    // Two pages of a line, a million specks, then a line: poppler takes
    // seconds to draw past the specks, and reads their text at once.
    const QByteArray content = "BT /F 12 Tf 20 170 Td (Words before the specks) Tj ET\n"
                               + QByteArray("199 199 .1 .1 re f\n").repeated(1000000)
                               + "BT /F 12 Tf 20 30 Td (Words after the specks) Tj ET\n";
    const QByteArray page = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Resources << /Font << /F "
                            + reference(5) + " >> >> /Contents " + reference(6) + " >>";
    const QByteArray pdf = makeRawTestPDF({"<< /Type /Catalog /Pages 2 0 R >>",
                                           "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >>", page, page, kFont,
                                           flateStream(content)});
    const int bound = pageDrawingBoundMs();
    setPageDrawingBoundMs(300);
    const auto restore = qScopeGuard([bound] { setPageDrawingBoundMs(bound); });

    // One worker: the second page is drawn while its text is read, under
    // where the first page had its lines.
    PDFCodec::PDFImportReport report;
    const VectorDocument document =
        PDFCodec::importPDF(pdf, QStringLiteral("Specks"), std::nullopt, 1, {}, nullptr, &report);
    EXPECT_EQ(report.cutShortPages, (QList<qsizetype>{0, 1}));
    EXPECT_EQ(textsOf(document), (QStringList{QStringLiteral("Words before the specks"),
                                              QStringLiteral("Words after the specks"),
                                              QStringLiteral("Words before the specks"),
                                              QStringLiteral("Words after the specks")}));
}
