#include "HeadlessCLI.h"
#include "Localization.h"
#include "core/support/TestPDF.h"
#include "support/LanguageFixture.h"
#include "svg/SVGCodec.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace zelvane;
using zelvane::testing::ScopedLanguage;

namespace {

const QByteArray kUsageError = "error: --convert requires <input> and --output <output.pdf|svg|png>\n";

QStringList args(std::initializer_list<QString> list)
{
    return QStringList(list);
}

QString writeFile(const QTemporaryDir& folder, const QString& name, const QByteArray& bytes)
{
    const QString path = folder.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// One 300 x 200 page with the lines "Total" and "the total is due".
QByteArray invoicePDF()
{
    zelvane::testing::TestPDFPage page;
    page.mediaBox = QRectF(0, 0, 300, 200);
    page.texts = {{QPointF(20, 150), 14, "Total"}, {QPointF(20, 120), 12, "the total is due"}};
    return zelvane::testing::makeTestPDF({page});
}

}  // namespace

TEST(HeadlessCLIHelpTest, FirstLineNamesVersionDescriptionAndMaker)
{
    ScopedLanguage english(AppLanguage::en);
    EXPECT_TRUE(HeadlessCLI::helpText().startsWith(
        QStringLiteral("Zelvane 0.2.2 — Multi-page SVG & PDF vector editor (Tarnwick)\n\nUsage:\n"
                       "  zelvane [options] [file.svg | file.pdf]\n")));
    ScopedLanguage french(AppLanguage::fr);
    EXPECT_TRUE(HeadlessCLI::helpText().startsWith(
        QStringLiteral("Zelvane 0.2.2 — Éditeur vectoriel SVG & PDF multipage (Tarnwick)\n\nUsage :\n"
                       "  zelvane [options] [fichier.svg | fichier.pdf]\n")));
}

TEST(HeadlessCLIHelpTest, DescriptionsStartInColumn33)
{
    for (AppLanguage language : {AppLanguage::en, AppLanguage::fr}) {
        ScopedLanguage scoped(language);
        const QString help = HeadlessCLI::helpText();
        EXPECT_FALSE(help.endsWith(QLatin1Char('\n')));
        const QStringList lines = help.split(QLatin1Char('\n'));
        int optionLines = 0;
        for (const QString& line : lines) {
            if (!line.startsWith(QStringLiteral("  -")))
                continue;
            ++optionLines;
            if (line.startsWith(QStringLiteral("  --info")) || line.startsWith(QStringLiteral("  --convert")))
                continue;
            EXPECT_EQ(line.at(31), QLatin1Char(' ')) << line.toStdString();
            EXPECT_NE(line.at(32), QLatin1Char(' ')) << line.toStdString();
        }
        EXPECT_EQ(optionLines, 7);
        EXPECT_EQ(lines.filter(QRegularExpression(QStringLiteral("^ {32}\\S"))).size(), 2);
    }
}

TEST(HeadlessCLIInfoTest, NoInputDescribesTheStartDocument)
{
    ScopedLanguage english(AppLanguage::en);
    const HeadlessOutcome outcome = HeadlessCLI::runInfo({});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_TRUE(outcome.standardError.isEmpty());
    EXPECT_EQ(QString::fromUtf8(outcome.standardOutput),
              QStringLiteral("Untitled (SVG) — 1 pages · 0 éléments · 0 textes PDF\n"
                             "  Page 1: Page 1 — 595×842 pt (210×297 mm) — 0 éléments\n"));
}

TEST(HeadlessCLIInfoTest, FormIsLowerCasedAndDefaultsToText)
{
    ScopedLanguage english(AppLanguage::en);
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("a.svg"));
    QFile svg(file);
    ASSERT_TRUE(svg.open(QIODevice::WriteOnly));
    svg.write("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"100\" height=\"100\"/>");
    svg.close();

    EXPECT_TRUE(HeadlessCLI::runInfo(args({file, QStringLiteral("--format"), QStringLiteral("JSON")}))
                    .standardOutput.startsWith("{\n"));
    EXPECT_TRUE(HeadlessCLI::runInfo(args({file, QStringLiteral("--format"), QStringLiteral("Csv")}))
                    .standardOutput.startsWith("page,title,"));
    EXPECT_TRUE(HeadlessCLI::runInfo(args({file, QStringLiteral("--format"), QStringLiteral("xml")}))
                    .standardOutput.startsWith("a (SVG) — 1 pages"));
    EXPECT_TRUE(HeadlessCLI::runInfo(args({file, QStringLiteral("--format")})).standardOutput.startsWith("a (SVG)"));
}

TEST(HeadlessCLIInfoTest, MissingFileIsOneErrorLine)
{
    ScopedLanguage english(AppLanguage::en);
    const HeadlessOutcome outcome = HeadlessCLI::runInfo(args({QStringLiteral("/nonexistent/zelvane/x.pdf")}));
    EXPECT_EQ(outcome.status, 1);
    EXPECT_TRUE(outcome.standardOutput.isEmpty());
    EXPECT_EQ(outcome.standardError, QByteArray("error: Could not read \"x.pdf\": file not found.\n"));

    ScopedLanguage french(AppLanguage::fr);
    EXPECT_EQ(QString::fromUtf8(HeadlessCLI::runInfo(args({QStringLiteral("/nonexistent/zelvane/x.pdf")})).standardError),
              QStringLiteral("error: Impossible de lire « x.pdf » : fichier introuvable.\n"));
}

TEST(HeadlessCLIInfoTest, OpensByContentOrExtension)
{
    ScopedLanguage english(AppLanguage::en);
    QTemporaryDir folder;
    // PDF content under an SVG name is read as a PDF.
    const QString sniffed = writeFile(folder, QStringLiteral("drawing.svg"), invoicePDF());
    EXPECT_EQ(QString::fromUtf8(HeadlessCLI::runInfo(args({sniffed})).standardOutput),
              QStringLiteral("drawing (PDF) — 1 pages · 2 éléments · 2 textes PDF\n"
                             "  Page 1: Page 1 — 300×200 pt (106×71 mm) — 2 éléments\n"));
    // SVG content under a PDF name goes to the PDF reader and fails there.
    const QString fake = writeFile(folder, QStringLiteral("fake.PDF"),
                                   "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\" height=\"10\"/>");
    const HeadlessOutcome outcome = HeadlessCLI::runInfo(args({fake}));
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.standardError, QByteArray("error: Invalid or empty PDF file.\n"));
    // A folder is not a document.
    EXPECT_EQ(HeadlessCLI::runInfo(args({folder.path()})).standardError,
              QByteArray("error: \"") + QFileInfo(folder.path()).fileName().toUtf8() +
                  "\" is a folder, not a file.\n");
}

TEST(HeadlessCLIConvertTest, MissingInputOrOutputIsAUsageError)
{
    const QList<QStringList> cases{
        {},
        args({QStringLiteral("in.svg")}),
        args({QStringLiteral("in.svg"), QStringLiteral("--output")}),
        args({QStringLiteral("--output"), QStringLiteral("-x.pdf")}),
        args({QStringLiteral("--sign"), QStringLiteral("-A")}),
    };
    for (const QStringList& arguments : cases) {
        const HeadlessOutcome outcome = HeadlessCLI::runConvert(arguments);
        EXPECT_EQ(outcome.status, 1) << arguments.join(' ').toStdString();
        EXPECT_TRUE(outcome.standardOutput.isEmpty());
        EXPECT_EQ(outcome.standardError, kUsageError);
    }
}

TEST(HeadlessCLIConvertTest, InputMustComeBeforeOutput)
{
    ScopedLanguage english(AppLanguage::en);
    QTemporaryDir folder;
    const QString output = folder.filePath(QStringLiteral("out.pdf"));
    // out.pdf is taken as the input, which does not exist.
    const HeadlessOutcome outcome = HeadlessCLI::runConvert(args({QStringLiteral("--output"), output, QStringLiteral("demo")}));
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.standardError, QByteArray("error: Could not read \"out.pdf\": file not found.\n"));
    EXPECT_FALSE(QFile::exists(output));
}

TEST(HeadlessCLIConvertTest, DemoIsSavedAndTheAbsolutePathPrinted)
{
    QTemporaryDir folder;
    const QString output = folder.filePath(QStringLiteral("new/demo.svg"));
    const HeadlessOutcome outcome = HeadlessCLI::runConvert(
        args({QStringLiteral("demo"), QStringLiteral("--output"), output, QStringLiteral("--stamp"),
              QStringLiteral("APPROVED"), QStringLiteral("--replace-text"), QStringLiteral("x")}));
    EXPECT_EQ(outcome.status, 0);
    EXPECT_TRUE(outcome.standardError.isEmpty());
    EXPECT_EQ(outcome.standardOutput, QByteArray("Saved to ") + output.toUtf8() + '\n');
    QFile file(output);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray svg = file.readAll();
    EXPECT_TRUE(svg.contains("<svg"));
    // The stamp kind in the wrong case was ignored.
    EXPECT_FALSE(svg.contains("data-role=\"stamp\""));
}

TEST(HeadlessCLIConvertTest, ReplacesSignsAndStampsThroughTheController)
{
    ScopedLanguage english(AppLanguage::en);
    QTemporaryDir folder;
    const QString input = writeFile(folder, QStringLiteral("invoice.pdf"), invoicePDF());
    const QString output = folder.filePath(QStringLiteral("invoice.svg"));
    const HeadlessOutcome outcome = HeadlessCLI::runConvert(
        args({input, QStringLiteral("--output"), output, QStringLiteral("--stamp"), QStringLiteral("draft"),
              QStringLiteral("--sign"), QStringLiteral("Ana"), QStringLiteral("--replace-text"), QStringLiteral("Total"),
              QStringLiteral("Sum")}));
    ASSERT_EQ(outcome.status, 0) << outcome.standardError.constData();
    EXPECT_EQ(outcome.standardOutput, QByteArray("Saved to ") + output.toUtf8() + '\n');

    const VectorDocument document = SVGCodec::importSVG(readFile(output), QStringLiteral("invoice"), std::nullopt);
    ASSERT_EQ(document.pages.size(), 1);
    QStringList texts;
    qsizetype signatureAt = -1;
    qsizetype stampAt = -1;
    const ElementList& elements = document.pages[0].elements;
    for (qsizetype i = 0; i < elements.size(); ++i) {
        if (const TextPayload* text = elements[i].text())
            texts.append(text->text);
        if (std::holds_alternative<SignaturePayload>(elements[i].kind))
            signatureAt = i;
        if (std::holds_alternative<StampPayload>(elements[i].kind))
            stampAt = i;
    }
    // The exact pass changed "Total" only; the signature came before the stamp.
    EXPECT_EQ(texts, (QStringList{QStringLiteral("Sum"), QStringLiteral("the total is due")}));
    ASSERT_GE(signatureAt, 0);
    ASSERT_GT(stampAt, signatureAt);
    const auto* stamp = std::get_if<StampPayload>(&elements[stampAt].kind);
    EXPECT_EQ(stamp->stampKind, VectorStampKind::draft);
}

TEST(HeadlessCLIConvertTest, SaveFailuresAreTheControllersErrors)
{
    ScopedLanguage english(AppLanguage::en);
    QTemporaryDir folder;
    const QString plain = writeFile(folder, QStringLiteral("plain"), "a file, not a folder");
    const HeadlessOutcome outcome = HeadlessCLI::runConvert(
        args({QStringLiteral("demo"), QStringLiteral("--output"), plain + QStringLiteral("/out.svg")}));
    EXPECT_EQ(outcome.status, 1);
    EXPECT_TRUE(outcome.standardOutput.isEmpty());
    EXPECT_EQ(outcome.standardError, QByteArray("error: Could not create the folder \"") + plain.toUtf8() + "\".\n");
}
