#include "HeadlessCLI.h"
#include "Localization.h"
#include "support/LanguageFixture.h"

#include <gtest/gtest.h>

#include <QFile>
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
    EXPECT_EQ(outcome.standardError,
              QByteArray("error: The file \xE2\x80\x9Cx.pdf\xE2\x80\x9D couldn\xE2\x80\x99t be opened because there is "
                         "no such file.\n"));
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
    EXPECT_EQ(outcome.standardError,
              QByteArray("error: The file \xE2\x80\x9Cout.pdf\xE2\x80\x9D couldn\xE2\x80\x99t be opened because there "
                         "is no such file.\n"));
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
