#include "CodecError.h"
#include "HeadlessDocumentFiles.h"
#include "HeadlessRuntime.h"
#include "core/support/TestPDF.h"
#include "operations/VectorOperations.h"
#include "support/LanguageFixture.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

using namespace zelvane;
using zelvane::testing::ScopedLanguage;

namespace {

class HeadlessDocumentFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        HeadlessRuntime::ensureGuiApplication();
        ASSERT_TRUE(folder.isValid());
    }

    QString path(const QString& name) const { return folder.filePath(name); }

    void write(const QString& name, const QByteArray& bytes) const
    {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    static QByteArray read(const QString& file)
    {
        QFile input(file);
        return input.open(QIODevice::ReadOnly) ? input.readAll() : QByteArray();
    }

    static QString failureOf(const std::function<void()>& action)
    {
        try {
            action();
        } catch (const CodecError& error) {
            return error.message();
        }
        return QString();
    }

    QTemporaryDir folder;
};

const QByteArray kSVG = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"300\" height=\"200\">"
                        "<rect x=\"10\" y=\"10\" width=\"50\" height=\"40\" fill=\"#FF0000\"/></svg>";

QByteArray onePagePDF()
{
    zelvane::testing::TestPDFPage page;
    page.mediaBox = QRectF(0, 0, 300, 200);
    page.texts.push_back({QPointF(20, 150), 14, "Hello PDF"});
    return zelvane::testing::makeTestPDF({page});
}

}  // namespace

TEST_F(HeadlessDocumentFilesTest, StartDocumentIsOneBlankA4Page)
{
    ScopedLanguage language(AppLanguage::en);
    const VectorDocument document = HeadlessDocumentFiles::startDocument();
    EXPECT_EQ(document.title, QStringLiteral("Untitled"));
    EXPECT_EQ(document.sourceFormat, DocumentSourceFormat::svg);
    EXPECT_FALSE(document.fileURL.has_value());
    EXPECT_EQ(document.revision, 1);
    ASSERT_EQ(document.pages.size(), 1);
    EXPECT_EQ(document.pages[0].title, QStringLiteral("Page 1"));
    EXPECT_DOUBLE_EQ(document.pages[0].width, 595.28);
    EXPECT_DOUBLE_EQ(document.pages[0].height, 841.89);
    EXPECT_EQ(document.pages[0].backgroundColorHex, QStringLiteral("#FFFFFF"));
    EXPECT_TRUE(document.pages[0].elements.isEmpty());

    ScopedLanguage french(AppLanguage::fr);
    EXPECT_EQ(HeadlessDocumentFiles::startDocument().title, QStringLiteral("Sans titre"));
}

TEST_F(HeadlessDocumentFilesTest, PathsAreExpandedMadeAbsoluteAndCleaned)
{
    EXPECT_EQ(HeadlessDocumentFiles::resolvePath(QStringLiteral("~")), QDir::homePath());
    EXPECT_EQ(HeadlessDocumentFiles::resolvePath(QStringLiteral("~/a/b.pdf")), QDir::homePath() + "/a/b.pdf");
    EXPECT_EQ(HeadlessDocumentFiles::resolvePath(QStringLiteral("x/../out.svg")),
              QDir::currentPath() + QStringLiteral("/out.svg"));
    EXPECT_EQ(HeadlessDocumentFiles::resolvePath(QStringLiteral("/tmp//a.png")), QStringLiteral("/tmp/a.png"));
    // An unknown user is left as written.
    EXPECT_EQ(HeadlessDocumentFiles::resolvePath(QStringLiteral("/x/~nobody-here/a")), QStringLiteral("/x/~nobody-here/a"));
}

TEST_F(HeadlessDocumentFilesTest, OpensByContentOrExtension)
{
    write(QStringLiteral("drawing.svg"), onePagePDF());
    write(QStringLiteral("scan.PDF"), onePagePDF());
    write(QStringLiteral("plan.v2.svg"), kSVG);

    const VectorDocument sniffed = HeadlessDocumentFiles::open(path(QStringLiteral("drawing.svg")));
    EXPECT_EQ(sniffed.sourceFormat, DocumentSourceFormat::pdf);
    EXPECT_EQ(sniffed.title, QStringLiteral("drawing"));
    EXPECT_EQ(sniffed.pdfTextElementCount(), 1);

    const VectorDocument scan = HeadlessDocumentFiles::open(path(QStringLiteral("scan.PDF")));
    EXPECT_EQ(scan.sourceFormat, DocumentSourceFormat::pdf);

    const VectorDocument plan = HeadlessDocumentFiles::open(path(QStringLiteral("plan.v2.svg")));
    EXPECT_EQ(plan.sourceFormat, DocumentSourceFormat::svg);
    EXPECT_EQ(plan.title, QStringLiteral("plan.v2"));
    EXPECT_EQ(plan.totalElementsCount(), 1);
    EXPECT_EQ(plan.fileURL, QUrl::fromLocalFile(path(QStringLiteral("plan.v2.svg"))));
}

TEST_F(HeadlessDocumentFilesTest, SVGNamedPdfGoesToThePDFReaderAndFails)
{
    write(QStringLiteral("fake.pdf"), kSVG);
    ScopedLanguage language(AppLanguage::en);
    EXPECT_EQ(failureOf([&] { HeadlessDocumentFiles::open(path(QStringLiteral("fake.pdf"))); }),
              QStringLiteral("Invalid or empty PDF file."));
}

TEST_F(HeadlessDocumentFilesTest, MissingFileIsReportedInTheInterfaceLanguage)
{
    {
        ScopedLanguage language(AppLanguage::en);
        EXPECT_EQ(failureOf([&] { HeadlessDocumentFiles::open(path(QStringLiteral("none.pdf"))); }),
                  QStringLiteral("The file \u201Cnone.pdf\u201D couldn\u2019t be opened because there is no such file."));
    }
    ScopedLanguage language(AppLanguage::fr);
    EXPECT_EQ(failureOf([&] { HeadlessDocumentFiles::open(path(QStringLiteral("none.pdf"))); }),
              QStringLiteral("Le fichier « none.pdf » est introuvable."));
    EXPECT_EQ(failureOf([&] { HeadlessDocumentFiles::open(folder.path()); }),
              QStringLiteral("Le fichier « %1 » n'a pas pu être ouvert.").arg(QFileInfo(folder.path()).fileName()));
}

TEST_F(HeadlessDocumentFilesTest, SaveFollowsTheLowerCasedExtensionAndCreatesFolders)
{
    VectorDocument document = HeadlessDocumentFiles::startDocument();
    VectorOperations::addElement(VectorOperations::makeStampElement(VectorStampKind::draft, VectorPoint(200, 200)), 0,
                                 document);

    const QString svg = path(QStringLiteral("deep/er/out.txt"));
    HeadlessDocumentFiles::save(document, 0, svg);
    EXPECT_TRUE(read(svg).contains("<svg"));
    EXPECT_EQ(document.sourceFormat, DocumentSourceFormat::svg);
    EXPECT_EQ(document.fileURL, QUrl::fromLocalFile(svg));

    const QString pdf = path(QStringLiteral("out.PDF"));
    HeadlessDocumentFiles::save(document, 0, pdf);
    EXPECT_TRUE(read(pdf).startsWith("%PDF-"));
    EXPECT_EQ(document.sourceFormat, DocumentSourceFormat::pdf);
    EXPECT_EQ(document.fileURL, QUrl::fromLocalFile(pdf));

    const QString png = path(QStringLiteral("page.png"));
    HeadlessDocumentFiles::save(document, 0, png);
    const QImage image = QImage::fromData(read(png), "PNG");
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.width(), 1191);
    EXPECT_EQ(image.height(), 1684);
    // A PNG leaves the document's file and format alone.
    EXPECT_EQ(document.fileURL, QUrl::fromLocalFile(pdf));
    EXPECT_EQ(document.sourceFormat, DocumentSourceFormat::pdf);
}

TEST_F(HeadlessDocumentFilesTest, UnwritablePlaceIsReported)
{
    write(QStringLiteral("plain"), "x");
    VectorDocument document = HeadlessDocumentFiles::startDocument();
    ScopedLanguage language(AppLanguage::en);
    // A folder cannot be made where a file stands.
    EXPECT_EQ(failureOf([&] { HeadlessDocumentFiles::save(document, 0, path(QStringLiteral("plain/out.svg"))); }),
              QStringLiteral("The file \u201Cout.svg\u201D couldn\u2019t be saved in the folder \u201Cplain\u201D."));
    // Nor a file where a folder stands.
    QDir(folder.path()).mkdir(QStringLiteral("taken.svg"));
    EXPECT_FALSE(failureOf([&] { HeadlessDocumentFiles::save(document, 0, path(QStringLiteral("taken.svg"))); })
                     .isEmpty());
}
