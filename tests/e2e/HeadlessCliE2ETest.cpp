// Runs the built program's headless modes: help, info and convert, and the
// modes that need the window, with every usage error.

#include "core/support/TestPDF.h"
#include "pdf/PDFDocument.h"
#include "svg/SVGCodec.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSet>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

using namespace zelvane;

namespace {

struct ProcessResult {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs the program in `language` ("fr", "en", or empty to leave the choice to
// --lang) from `workingDirectory`.
ProcessResult runZelvane(const QStringList& arguments, const QString& language = QStringLiteral("en"),
                         const QString& workingDirectory = QString())
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("OSSEL_LANG"), language);
    process.setProcessEnvironment(environment);
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    process.start(QStringLiteral(ZELVANE_BINARY), arguments);
    EXPECT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

const QByteArray kEnglishHelp =
    "Zelvane 0.2.2 \xE2\x80\x94 Multi-page SVG & PDF vector editor (Tarnwick)\n"
    "\n"
    "Usage:\n"
    "  zelvane [options] [file.svg | file.pdf]\n"
    "\n"
    "Common flags:\n"
    "  --version, -v                 Print version and exit\n"
    "  --help, -h                    Print this help and exit\n"
    "  --self-test                   Run end-to-end self-tests (SVG, PDF, text, signature, multi-page)\n"
    "  --snapshot <png> [--view <v>] Render offscreen window to PNG (single, multipage, grid, plot, about, help, "
    "shortcuts, settings, osc)\n"
    "  --lang fr|en                  Force UI language for this run\n"
    "\n"
    "Domain flags:\n"
    "  --info <file> [--format txt|csv|json]\n"
    "                                Inspect pages, dimensions, and editable text blocks of an SVG or PDF file\n"
    "  --convert <input> --output <output.pdf|svg|png> [--sign <name>] [--stamp <approved|signed|stagePlot>]\n"
    "                                Convert, sign, or stamp an SVG/PDF document from the command line\n";

const QByteArray kFrenchHelp =
    "Zelvane 0.2.2 \xE2\x80\x94 \xC3\x89" "diteur vectoriel SVG & PDF multipage (Tarnwick)\n"
    "\n"
    "Usage :\n"
    "  zelvane [options] [fichier.svg | fichier.pdf]\n"
    "\n"
    "Options communes :\n"
    "  --version, -v                 Affiche la version et quitte\n"
    "  --help, -h                    Affiche cette aide et quitte\n"
    "  --self-test                   Ex\xC3\xA9" "cute les auto-tests de bout en bout (SVG, PDF, texte, signature, "
    "multipage)\n"
    "  --snapshot <png> [--view <v>] Rend la fen\xC3\xAAtre hors \xC3\xA9" "cran en PNG (single, multipage, grid, "
    "plot, about, help, shortcuts, settings, osc)\n"
    "  --lang fr|en                  Force la langue d'interface pour cette ex\xC3\xA9" "cution\n"
    "\n"
    "Options m\xC3\xA9tier :\n"
    "  --info <fichier> [--format txt|csv|json]\n"
    "                                Inspecte les pages, dimensions et textes \xC3\xA9" "ditables d'un fichier SVG ou "
    "PDF\n"
    "  --convert <entr\xC3\xA9" "e> --output <sortie.pdf|svg|png> [--sign <nom>] [--stamp "
    "<approved|signed|stagePlot>]\n"
    "                                Convertit, signe ou annote un document SVG/PDF en ligne de commande\n";

const QByteArray kUsageError = "error: --convert requires <input> and --output <output.pdf|svg|png>\n";

// The controller's words for a file that is not there, in English.
QByteArray noSuchFile(const char* name)
{
    return QByteArray("error: Could not read \"") + name + "\": file not found.\n";
}

class HeadlessCliE2ETest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); }

    QString path(const QString& name) const { return folder.filePath(name); }

    QString write(const QString& name, const QByteArray& bytes) const
    {
        QFile file(path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path(name);
    }

    static QByteArray read(const QString& file)
    {
        QFile input(file);
        return input.open(QIODevice::ReadOnly) ? input.readAll() : QByteArray();
    }

    // Two pages: a 400 x 300 page with three lines and an A4 page with one.
    QString writeReport() const
    {
        zelvane::testing::TestPDFPage first;
        first.mediaBox = QRectF(0, 0, 400, 300);
        first.texts = {{QPointF(30, 260), 14, "Total"},
                       {QPointF(30, 230), 12, "the total is due"},
                       {QPointF(30, 200), 12, "Status: draft"}};
        zelvane::testing::TestPDFPage second;
        second.mediaBox = QRectF(0, 0, 595.28, 841.89);
        second.texts = {{QPointF(40, 800), 12, "Appendix"}};
        return write(QStringLiteral("report.pdf"), zelvane::testing::makeTestPDF({first, second}));
    }

    QString writeDrawing() const
    {
        return write(QStringLiteral("drawing.svg"),
                     "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"200.5\" height=\"100\">"
                     "<rect x=\"10\" y=\"10\" width=\"50\" height=\"40\" fill=\"#FF0000\"/>"
                     "<text x=\"20\" y=\"80\" font-size=\"12\">Total</text></svg>");
    }

    QTemporaryDir folder;
};

}  // namespace

// ---- help ------------------------------------------------------------------

TEST_F(HeadlessCliE2ETest, HelpInEnglishByteForByte)
{
    for (const QString& flag : {QStringLiteral("--help"), QStringLiteral("-h")}) {
        const ProcessResult run = runZelvane({flag}, QStringLiteral("en"));
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.out, kEnglishHelp);
        EXPECT_TRUE(run.err.isEmpty());
    }
    EXPECT_EQ(runZelvane({QStringLiteral("--lang"), QStringLiteral("en"), QStringLiteral("-h")}, QString()).out,
              kEnglishHelp);
}

TEST_F(HeadlessCliE2ETest, HelpInFrenchByteForByte)
{
    const ProcessResult run = runZelvane({QStringLiteral("--help")}, QStringLiteral("fr"));
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, kFrenchHelp);
    EXPECT_TRUE(run.err.isEmpty());
    EXPECT_EQ(runZelvane({QStringLiteral("-h"), QStringLiteral("--lang"), QStringLiteral("fr")}, QString()).out,
              kFrenchHelp);
}

TEST_F(HeadlessCliE2ETest, HelpWinsOverEveryOtherMode)
{
    const QString report = writeReport();
    const ProcessResult run =
        runZelvane({QStringLiteral("--info"), report, QStringLiteral("--self-test"), QStringLiteral("--help")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, kEnglishHelp);
    // The version still comes first.
    EXPECT_EQ(runZelvane({QStringLiteral("--help"), QStringLiteral("-v")}).out, QByteArray("Zelvane 0.2.2\n"));
}

// ---- info --------------------------------------------------------------------

TEST_F(HeadlessCliE2ETest, InfoOnAPDFAsText)
{
    const QString report = writeReport();
    for (const QStringList& arguments :
         {QStringList{QStringLiteral("--info"), report}, QStringList{QStringLiteral("--info"), report,
                                                                     QStringLiteral("--format"), QStringLiteral("txt")},
          QStringList{QStringLiteral("--info"), report, QStringLiteral("--format")}}) {
        const ProcessResult run = runZelvane(arguments);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_TRUE(run.err.isEmpty()) << run.err.constData();
        EXPECT_EQ(QString::fromUtf8(run.out),
                  QStringLiteral("report (PDF) — 2 pages · 4 éléments · 4 textes PDF\n"
                                 "  Page 1: Page 1 — 400×300 pt (141×106 mm) — 3 éléments\n"
                                 "  Page 2: Page 2 — 595×842 pt (210×297 mm) — 1 éléments\n"));
    }
}

TEST_F(HeadlessCliE2ETest, InfoOnAPDFAsCsvAndJson)
{
    const QString report = writeReport();
    const ProcessResult csv =
        runZelvane({QStringLiteral("--info"), report, QStringLiteral("--format"), QStringLiteral("csv")});
    EXPECT_EQ(csv.exitCode, 0);
    EXPECT_EQ(csv.out, QByteArray("page,title,width_pt,height_pt,elements,pdf_stream\n"
                                  "1,\"Page 1\",400,300,3,true\n"
                                  "2,\"Page 2\",595,842,1,true\n"));

    const ProcessResult json =
        runZelvane({QStringLiteral("--info"), report, QStringLiteral("--format"), QStringLiteral("JSON")});
    EXPECT_EQ(json.exitCode, 0);
    EXPECT_TRUE(json.err.isEmpty());
    EXPECT_EQ(json.out, QByteArray("{\n"
                                   "    \"pageCount\": 2,\n"
                                   "    \"pdfTextElementCount\": 4,\n"
                                   "    \"signatureCount\": 0,\n"
                                   "    \"sourceFormat\": \"PDF\",\n"
                                   "    \"title\": \"report\",\n"
                                   "    \"totalElementsCount\": 4\n"
                                   "}\n"));
}

TEST_F(HeadlessCliE2ETest, InfoOnAnSVGInEveryForm)
{
    const QString drawing = writeDrawing();
    const ProcessResult text = runZelvane({QStringLiteral("--info"), drawing, QStringLiteral("--format"),
                                           QStringLiteral("xml")});
    EXPECT_EQ(text.exitCode, 0);
    EXPECT_EQ(QString::fromUtf8(text.out),
              QStringLiteral("drawing (SVG) — 1 pages · 2 éléments · 0 textes PDF\n"
                             "  Page 1: Page 1 — 201×100 pt (71×35 mm) — 2 éléments\n"));

    const ProcessResult csv =
        runZelvane({QStringLiteral("--info"), drawing, QStringLiteral("--format"), QStringLiteral("csv")});
    EXPECT_EQ(csv.out, QByteArray("page,title,width_pt,height_pt,elements,pdf_stream\n"
                                  "1,\"Page 1\",201,100,2,false\n"));

    const ProcessResult json =
        runZelvane({QStringLiteral("--info"), drawing, QStringLiteral("--format"), QStringLiteral("json")});
    const QJsonObject object = QJsonDocument::fromJson(json.out).object();
    EXPECT_EQ(object.size(), 6);
    EXPECT_EQ(object.value(QStringLiteral("title")).toString(), QStringLiteral("drawing"));
    EXPECT_EQ(object.value(QStringLiteral("sourceFormat")).toString(), QStringLiteral("SVG"));
    EXPECT_EQ(object.value(QStringLiteral("pageCount")).toInt(), 1);
    EXPECT_EQ(object.value(QStringLiteral("totalElementsCount")).toInt(), 2);
    EXPECT_EQ(object.value(QStringLiteral("pdfTextElementCount")).toInt(), 0);
    EXPECT_EQ(object.value(QStringLiteral("signatureCount")).toInt(), 0);
}

TEST_F(HeadlessCliE2ETest, CsvTitlesDoubleTheirQuotes)
{
    // A page title with quotes and a comma, written by the program itself.
    const QString drawing = writeDrawing();
    const QString svgOut = path(QStringLiteral("titled.svg"));
    ASSERT_EQ(runZelvane({QStringLiteral("--convert"), drawing, QStringLiteral("--output"), svgOut}).exitCode, 0);
    QByteArray svg = read(svgOut);
    ASSERT_TRUE(svg.contains("data-page-title=\"Page 1\""));
    svg.replace("data-page-title=\"Page 1\"", "data-page-title=\"Plan &quot;B&quot;, annexe\"");
    write(QStringLiteral("titled.svg"), svg);
    const ProcessResult csv =
        runZelvane({QStringLiteral("--info"), svgOut, QStringLiteral("--format"), QStringLiteral("csv")});
    EXPECT_EQ(csv.exitCode, 0);
    EXPECT_EQ(csv.out.split('\n').value(1), QByteArray("1,\"Plan \"\"B\"\", annexe\",201,100,2,false"));
}

TEST_F(HeadlessCliE2ETest, InfoWithoutAFileDescribesTheNewDocument)
{
    const ProcessResult run = runZelvane({QStringLiteral("--info")}, QStringLiteral("fr"));
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(QString::fromUtf8(run.out), QStringLiteral("Sans titre (SVG) — 1 pages · 0 éléments · 0 textes PDF\n"
                                                         "  Page 1: Page 1 — 595×842 pt (210×297 mm) — 0 éléments\n"));
}

TEST_F(HeadlessCliE2ETest, InfoOnAMissingOrBadFileFails)
{
    const ProcessResult missing = runZelvane({QStringLiteral("--info"), path(QStringLiteral("none.pdf"))});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.out.isEmpty());
    EXPECT_EQ(missing.err, noSuchFile("none.pdf"));

    const ProcessResult french =
        runZelvane({QStringLiteral("--info"), path(QStringLiteral("none.pdf"))}, QStringLiteral("fr"));
    EXPECT_EQ(french.exitCode, 1);
    EXPECT_EQ(QString::fromUtf8(french.err),
              QStringLiteral("error: Impossible de lire « none.pdf » : fichier introuvable.\n"));

    const QString bad = write(QStringLiteral("bad.pdf"), "not a pdf at all");
    const ProcessResult invalid = runZelvane({QStringLiteral("--info"), bad});
    EXPECT_EQ(invalid.exitCode, 1);
    EXPECT_TRUE(invalid.out.isEmpty());
    EXPECT_EQ(invalid.err, QByteArray("error: Invalid or empty PDF file.\n"));
    EXPECT_EQ(runZelvane({QStringLiteral("--info"), bad}, QStringLiteral("fr")).err,
              QByteArray("error: Fichier PDF invalide ou vide.\n"));

    // A form written before the file is taken as the file.
    const QString report = writeReport();
    const ProcessResult misplaced =
        runZelvane({QStringLiteral("--info"), QStringLiteral("--format"), QStringLiteral("csv"), report},
                   QStringLiteral("en"), folder.path());
    EXPECT_EQ(misplaced.exitCode, 1);
    EXPECT_EQ(misplaced.err, noSuchFile("csv"));
}

// ---- convert -------------------------------------------------------------------

TEST_F(HeadlessCliE2ETest, ConvertDemoToPDF)
{
    const QString output = path(QStringLiteral("a.pdf"));
    const ProcessResult run = runZelvane({QStringLiteral("--convert"), QStringLiteral("demo"),
                                          QStringLiteral("--output"), output});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.err.isEmpty()) << run.err.constData();
    EXPECT_EQ(run.out, QByteArray("Saved to ") + output.toUtf8() + '\n');
    const auto pdf = PDFDocument::open(read(output));
    ASSERT_NE(pdf, nullptr);
    ASSERT_EQ(pdf->pageCount(), 1);
    EXPECT_NEAR(pdf->mediaBox(0).width(), 595.28, 0.01);
    EXPECT_NEAR(pdf->mediaBox(0).height(), 841.89, 0.01);
}

TEST_F(HeadlessCliE2ETest, ConvertPDFToPDFWithReplaceSignAndStamp)
{
    const QString report = writeReport();
    const QString output = path(QStringLiteral("signed/out.pdf"));
    const ProcessResult run = runZelvane({QStringLiteral("--convert"), report, QStringLiteral("--output"), output,
                                          QStringLiteral("--replace-text"), QStringLiteral("Total"),
                                          QStringLiteral("Grand sum"), QStringLiteral("--sign"),
                                          QStringLiteral("Ana Lopez"), QStringLiteral("--stamp"),
                                          QStringLiteral("approved")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.err.isEmpty()) << run.err.constData();
    EXPECT_EQ(run.out, QByteArray("Saved to ") + output.toUtf8() + '\n');

    const auto pdf = PDFDocument::open(read(output));
    ASSERT_NE(pdf, nullptr);
    ASSERT_EQ(pdf->pageCount(), 2);
    EXPECT_NEAR(pdf->mediaBox(0).width(), 400, 0.01);
    const QString first = pdf->pageText(0).text;
    // The new line is drawn over the masked original, which the file keeps.
    EXPECT_TRUE(first.contains(QStringLiteral("Grand"))) << first.toStdString();
    EXPECT_TRUE(first.contains(QStringLiteral("sum"))) << first.toStdString();
    EXPECT_TRUE(first.contains(QStringLiteral("Ana Lopez"))) << first.toStdString();
    EXPECT_TRUE(first.contains(QStringLiteral("APPROVED"))) << first.toStdString();
    // The lower-case sentence did not match the exact pass and stays.
    EXPECT_TRUE(first.contains(QStringLiteral("the total is due")));
    EXPECT_FALSE(pdf->pageText(1).text.contains(QStringLiteral("Ana Lopez")));
}

TEST_F(HeadlessCliE2ETest, ConvertToSVGReadsBackWithTheChanges)
{
    const QString report = writeReport();
    const QString output = path(QStringLiteral("out.svg"));
    const ProcessResult run = runZelvane({QStringLiteral("--convert"), report, QStringLiteral("--output"), output,
                                          QStringLiteral("--stamp"), QStringLiteral("cross"), QStringLiteral("--sign"),
                                          QStringLiteral("J"), QStringLiteral("--replace-text"),
                                          QStringLiteral("STATUS"), QStringLiteral("Status: final")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.err.isEmpty()) << run.err.constData();

    const VectorDocument document = SVGCodec::importSVG(read(output), QStringLiteral("out"), std::nullopt);
    ASSERT_EQ(document.pages.size(), 2);
    const VectorPage& page = document.pages[0];
    EXPECT_EQ(document.signatureCount(), 1);
    QStringList texts;
    const SignaturePayload* signature = nullptr;
    const StampPayload* stamp = nullptr;
    VectorRect signatureFrame, stampFrame;
    for (const VectorElement& element : page.elements) {
        if (element.text())
            texts.append(element.text()->text);
        if (const auto* s = std::get_if<SignaturePayload>(&element.kind)) {
            signature = s;
            signatureFrame = element.frame;
        }
        if (const auto* s = std::get_if<StampPayload>(&element.kind)) {
            stamp = s;
            stampFrame = element.frame;
        }
    }
    // The contains pass, in any letter case, replaced the whole line.
    EXPECT_TRUE(texts.contains(QStringLiteral("Status: final"))) << texts.join('|').toStdString();
    EXPECT_FALSE(texts.contains(QStringLiteral("Status: draft")));
    EXPECT_TRUE(texts.contains(QStringLiteral("Total")));
    ASSERT_NE(signature, nullptr);
    EXPECT_EQ(signature->signerName, QStringLiteral("J"));
    EXPECT_NEAR(signatureFrame.x + signatureFrame.width / 2, 400 * 0.68, 0.01);
    EXPECT_NEAR(signatureFrame.y + signatureFrame.height / 2, 300 * 0.82, 0.01);
    ASSERT_NE(stamp, nullptr);
    EXPECT_EQ(stamp->stampKind, VectorStampKind::cross);
    EXPECT_NEAR(stampFrame.x + stampFrame.width / 2, 400 * 0.3, 0.01);
    EXPECT_NEAR(stampFrame.y + stampFrame.height / 2, 300 * 0.82, 0.01);
}

TEST_F(HeadlessCliE2ETest, ConvertToPNGDrawsTheFirstPageWithSignatureAndStamp)
{
    const QString report = writeReport();
    const QString plain = path(QStringLiteral("plain.png"));
    const QString marked = path(QStringLiteral("marked.PNG"));
    ASSERT_EQ(runZelvane({QStringLiteral("--convert"), report, QStringLiteral("--output"), plain}).exitCode, 0);
    const ProcessResult run = runZelvane({QStringLiteral("--convert"), report, QStringLiteral("--output"), marked,
                                          QStringLiteral("--sign"), QStringLiteral("Ana"), QStringLiteral("--stamp"),
                                          QStringLiteral("signed")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, QByteArray("Saved to ") + marked.toUtf8() + '\n');

    const QImage before = QImage::fromData(read(plain), "PNG").convertToFormat(QImage::Format_RGB32);
    const QImage after = QImage::fromData(read(marked), "PNG").convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(after.isNull());
    // The first page, 400 x 300 points, at two pixels a point.
    EXPECT_EQ(after.size(), QSize(800, 600));
    EXPECT_EQ(before.size(), QSize(800, 600));

    // Blue ink around the signature's centre, colour around the stamp's; none
    // of either on the page as it came.
    const auto changedPixels = [&](const QRect& area) {
        int changed = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                changed += before.pixel(x, y) != after.pixel(x, y);
        return changed;
    };
    EXPECT_GT(changedPixels(QRect(int(400 * 0.68 * 2) - 150, int(300 * 0.82 * 2) - 60, 300, 120)), 200);
    EXPECT_GT(changedPixels(QRect(int(400 * 0.3 * 2) - 150, int(300 * 0.82 * 2) - 40, 300, 80)), 200);
    EXPECT_EQ(changedPixels(QRect(0, 0, 800, 150)), 0);
}

TEST_F(HeadlessCliE2ETest, ConvertResolvesRelativeOutputsAndWritesOtherExtensionsAsSVG)
{
    const QString drawing = writeDrawing();
    const ProcessResult run = runZelvane({QStringLiteral("--convert"), drawing, QStringLiteral("--output"),
                                          QStringLiteral("sub/../notes.txt")},
                                         QStringLiteral("en"), folder.path());
    EXPECT_EQ(run.exitCode, 0);
    const QString expected = QDir(folder.path()).canonicalPath() + QStringLiteral("/notes.txt");
    EXPECT_EQ(run.out, QByteArray("Saved to ") + expected.toUtf8() + '\n');
    EXPECT_TRUE(read(expected).contains("<svg"));
}

TEST_F(HeadlessCliE2ETest, LibraryMessagesStayOffStandardError)
{
    const QString broken = write(QStringLiteral("broken-font.pdf"), zelvane::testing::makeBrokenFontTestPDF());
    const QString output = path(QStringLiteral("broken-font.png"));
    const ProcessResult run = runZelvane({QStringLiteral("--convert"), broken, QStringLiteral("--output"), output});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, QByteArray());
    EXPECT_TRUE(read(output).startsWith("\x89PNG"));

    // A failure still prints its one line.
    const ProcessResult failed =
        runZelvane({QStringLiteral("--convert"), broken, QStringLiteral("--output"), broken + QStringLiteral("/x.png")});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_TRUE(failed.err.startsWith("error: ")) << failed.err.toStdString();
    EXPECT_EQ(failed.err.count('\n'), 1) << failed.err.toStdString();
}

TEST_F(HeadlessCliE2ETest, EmptyOldTextReplacesNothing)
{
    const QString drawing = writeDrawing();
    const QString output = path(QStringLiteral("same.svg"));
    const ProcessResult run = runZelvane({QStringLiteral("--convert"), drawing, QStringLiteral("--output"), output,
                                          QStringLiteral("--replace-text"), QString(), QStringLiteral("X")});
    EXPECT_EQ(run.exitCode, 0);
    const VectorDocument document = SVGCodec::importSVG(read(output), QStringLiteral("same"), std::nullopt);
    QStringList texts;
    for (const VectorElement& element : document.pages[0].elements)
        if (element.text())
            texts.append(element.text()->text);
    EXPECT_EQ(texts, QStringList{QStringLiteral("Total")});
}

TEST_F(HeadlessCliE2ETest, IgnoredOptionsStillSave)
{
    const QString drawing = writeDrawing();
    const QString output = path(QStringLiteral("kept.svg"));
    // Wrong-case stamp kind, no matching text, --replace-text short of values.
    const ProcessResult run = runZelvane({QStringLiteral("--convert"), drawing, QStringLiteral("--output"), output,
                                          QStringLiteral("--stamp"), QStringLiteral("APPROVED"),
                                          QStringLiteral("--replace-text"), QStringLiteral("Nowhere")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.err.isEmpty());
    const VectorDocument document = SVGCodec::importSVG(read(output), QStringLiteral("kept"), std::nullopt);
    EXPECT_EQ(document.totalElementsCount(), 2);
}

TEST_F(HeadlessCliE2ETest, ConvertUsageErrors)
{
    const QString drawing = writeDrawing();
    const QList<QStringList> cases{
        {QStringLiteral("--convert")},
        {QStringLiteral("--convert"), drawing},
        {QStringLiteral("--convert"), drawing, QStringLiteral("--output")},
        {QStringLiteral("--convert"), QStringLiteral("--output"), QStringLiteral("-o.pdf")},
    };
    for (const QStringList& arguments : cases) {
        const ProcessResult run = runZelvane(arguments);
        EXPECT_EQ(run.exitCode, 1) << arguments.join(' ').toStdString();
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_EQ(run.err, kUsageError);
    }
}

TEST_F(HeadlessCliE2ETest, ConvertOpenAndSaveFailures)
{
    const QString output = path(QStringLiteral("out.pdf"));
    // The input must come before --output: out.pdf is taken as the input.
    ProcessResult run = runZelvane({QStringLiteral("--convert"), QStringLiteral("--output"), output,
                                    writeDrawing()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_EQ(run.err, noSuchFile("out.pdf"));
    EXPECT_FALSE(QFile::exists(output));

    const QString bad = write(QStringLiteral("bad.pdf"), "%PDF-1.4 broken");
    run = runZelvane({QStringLiteral("--convert"), bad, QStringLiteral("--output"), output});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, QByteArray("error: Invalid or empty PDF file.\n"));

    const QString plain = write(QStringLiteral("plain"), "a file, not a folder");
    run = runZelvane({QStringLiteral("--convert"), QStringLiteral("demo"), QStringLiteral("--output"),
                      path(QStringLiteral("plain/out.svg"))});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_EQ(run.err, QByteArray("error: Could not create the folder \"") + plain.toUtf8() + "\".\n");
    EXPECT_EQ(QString::fromUtf8(runZelvane({QStringLiteral("--convert"), QStringLiteral("demo"),
                                            QStringLiteral("--output"), path(QStringLiteral("plain/out.svg"))},
                                           QStringLiteral("fr"))
                                    .err),
              QStringLiteral("error: Impossible de créer le dossier « %1 ».\n").arg(plain));
}

// ---- modes that come with the window -----------------------------------------------

TEST_F(HeadlessCliE2ETest, SelfTestPassesEveryCheckAndWritesNoSettings)
{
    const ProcessResult run = runZelvane({QStringLiteral("--self-test")});
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_TRUE(run.err.isEmpty()) << run.err.constData();
    EXPECT_TRUE(run.out.startsWith("=== Zelvane 0.2.2"));
    EXPECT_EQ(run.out.count("\n  [OK] "), 17) << run.out.constData();
    EXPECT_FALSE(run.out.contains("[FAIL]"));
    EXPECT_TRUE(run.out.endsWith("=== ALL TESTS PASSED ===\n"));
    // --self-test comes before --info.
    EXPECT_TRUE(runZelvane({QStringLiteral("--info"), QStringLiteral("--self-test")}).out.startsWith("=== Zelvane"));
}

TEST_F(HeadlessCliE2ETest, SnapshotsOfTheWindowAndEverySheet)
{
    const QList<std::pair<QString, QSize>> views{
        {QStringLiteral("single"), QSize(1380, 820)},   {QStringLiteral("grid"), QSize(1380, 820)},
        {QStringLiteral("plot"), QSize(1380, 820)},     {QStringLiteral("Grid"), QSize(1380, 820)},
        {QStringLiteral("about"), QSize(650, 480)},     {QStringLiteral("help"), QSize(760, 520)},
        {QStringLiteral("shortcuts"), QSize(860, 420)}, {QStringLiteral("settings"), QSize(500, 500)},
        {QStringLiteral("osc"), QSize(720, 460)}};
    for (const auto& [view, size] : views) {
        const QString out = path(QStringLiteral("new/folder/") + view + QStringLiteral(".png"));
        const ProcessResult run = runZelvane({QStringLiteral("--snapshot"), out, QStringLiteral("--view"), view});
        ASSERT_EQ(run.exitCode, 0) << view.toStdString() << run.err.constData();
        const QByteArray written = read(out);
        EXPECT_EQ(run.out, "Snapshot written to " + out.toUtf8() + " (" + QByteArray::number(written.size()) + " bytes)\n");
        const QImage image = QImage::fromData(written, "PNG");
        EXPECT_EQ(image.size(), size * 2) << view.toStdString();
        QSet<QRgb> colours;
        for (int y = 0; y < image.height() && colours.size() < 50; y += 7)
            for (int x = 0; x < image.width() && colours.size() < 50; x += 7)
                colours.insert(image.pixel(x, y));
        EXPECT_GE(colours.size(), 8) << view.toStdString();
    }
}

TEST_F(HeadlessCliE2ETest, SnapshotRefusesAFolderOrAPathUnderAFile)
{
    const QString file = write(QStringLiteral("plain.txt"), "text");
    for (const QString& out : {folder.path(), file + QStringLiteral("/s.png")}) {
        const ProcessResult run = runZelvane({QStringLiteral("--snapshot"), out});
        EXPECT_EQ(run.exitCode, 1) << out.toStdString();
        EXPECT_TRUE(run.err.startsWith("snapshot error: ")) << run.err.constData();
        EXPECT_EQ(run.err.count('\n'), 1);
    }
}
