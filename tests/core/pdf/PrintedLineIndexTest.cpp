// Finding the line an edited element was printed as through the page's
// index finds what a search of the whole page text finds: on pages whose
// lines share their text, lie over one another, run turned, or sit on a
// turned page.

#include "core/fonts/TestFonts.h"
#include "model/VectorPage.h"
#include "operations/VectorOperations.h"
#include "pdf/PDFDocument.h"
#include "pdf/PDFImport.h"
#include "pdf/PDFTextExtraction.h"
#include "pdf/PrintedLineIndex.h"
#include "pdf/ScannedTextLine.h"
#include "render/PageRenderer.h"

#include <gtest/gtest.h>

#include <QTransform>
#include <cmath>
#include <limits>
#include <random>
#include <string>

using namespace zelvane;
using PDFCodec::PrintedLine;
namespace test = zelvane::testing;

namespace {

// The line searched for through the whole page text, occurrence by
// occurrence, each character's font looked up among all runs.
std::optional<PrintedLine> searchedLine(const PDFPageText& page, double yOffset, const TextPayload& payload)
{
    if (!payload.originalPDFText || !payload.originalPDFRect)
        return std::nullopt;
    QString text;
    for (const QChar c : *payload.originalPDFText) {
        if (c.category() != QChar::Other_Format)
            text += c;
    }
    text = text.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    const QRectF own = payload.originalPDFRect->toQRectF();
    const double turn = payload.originalRotationDegrees.value_or(0);
    QTransform toOwnFrame = QTransform::fromTranslate(0, yOffset);
    if (std::isfinite(turn) && std::fmod(turn, 360.0) != 0) {
        const QPointF c = own.center();
        toOwnFrame *= QTransform().translate(c.x(), c.y()).rotate(-turn).translate(-c.x(), -c.y());
    }
    const QRectF area = own.adjusted(-1.0, -1.5, 1.0, 1.5);
    const auto placed = [&](qsizetype i) { return toOwnFrame.mapRect(page.characterRects[i]); };
    const auto inside = [&](qsizetype i) {
        return !page.characterRects[i].isNull() && area.contains(placed(i).center());
    };
    const auto fontAt = [&](qsizetype i) {
        for (const PDFTextRun& run : page.runs) {
            if (i >= run.start && i < run.end)
                return run.fontName;
        }
        return QString();
    };
    // A line starts at a character placed somewhere.
    const auto placedSomewhere = [&](qsizetype i) {
        const QPointF centre = placed(i).center();
        return std::isfinite(centre.x()) && std::isfinite(centre.y());
    };
    for (qsizetype at = page.text.indexOf(text); at >= 0; at = page.text.indexOf(text, at + 1)) {
        if (at + text.size() > page.characterRects.size() || !placedSomewhere(at) || !inside(at)
            || !inside(at + text.size() - 1))
            continue;
        const bool wordsOnly = PDFCodec::printedInvisibly(page, at, text.size());
        PrintedLine line{text, {}, wordsOnly, {}};
        // The line's font: the one most of its characters are in, blanks
        // aside, the first met of those tied.
        QStringList fonts;
        QList<qsizetype> counts;
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text[i].isSpace())
                continue;
            const qsizetype known = fonts.indexOf(fontAt(at + i));
            if (known < 0) {
                fonts.append(fontAt(at + i));
                counts.append(1);
            } else {
                ++counts[known];
            }
        }
        QString lineFont = fontAt(at);
        for (qsizetype f = 0, most = 0; f < fonts.size(); ++f) {
            if (counts[f] > most) {
                lineFont = fonts[f];
                most = counts[f];
            }
        }
        for (qsizetype i = 0; i < text.size(); ++i) {
            const bool ownPlace = i == 0 || text[i - 1].isSpace() || (!wordsOnly && fontAt(at + i) == lineFont);
            line.x.append(page.characterRects[at + i].isNull() || text[i].isSpace() || !ownPlace
                              ? std::nan("")
                              : placed(at + i).left() - own.x());
        }
        return line;
    }
    return std::nullopt;
}

::testing::AssertionResult sameLine(const std::optional<PrintedLine>& found, const std::optional<PrintedLine>& searched)
{
    if (found.has_value() != searched.has_value())
        return ::testing::AssertionFailure() << (found ? "found a line the search does not" : "missed the line");
    if (!found)
        return ::testing::AssertionSuccess();
    if (found->text != searched->text || found->inkStarts != searched->inkStarts
        || found->x.size() != searched->x.size())
        return ::testing::AssertionFailure() << "another line: " << found->text.toStdString();
    for (qsizetype i = 0; i < found->x.size(); ++i) {
        const double a = found->x[i];
        const double b = searched->x[i];
        if (!(a == b || (std::isnan(a) && std::isnan(b))))
            return ::testing::AssertionFailure() << "x of character " << i << ": " << a << " against " << b;
    }
    return ::testing::AssertionSuccess();
}

TextPayload payloadFor(const QString& text, const QRectF& frame, double turn)
{
    TextPayload payload;
    payload.text = text;
    payload.isPDFExtracted = true;
    payload.originalPDFText = text;
    payload.originalPDFRect = VectorRect(frame.x(), frame.y(), frame.width(), frame.height());
    if (turn != 0)
        payload.originalRotationDegrees = turn;
    return payload;
}

// A page of rows made of few words, so that rows and their pieces share
// text; rows lie at random places (some over others), some turned, in runs
// of a few fonts that sometimes change inside a word, with a few characters
// not laid out.
struct MadeRow {
    qsizetype start = 0;
    qsizetype length = 0;
    QPointF origin;
    double turn = 0;
    QTransform place;  // from the row's own frame, y down
};

PDFPageText randomPage(std::mt19937& random, std::vector<MadeRow>& rows)
{
    static const QStringList words{QStringLiteral("the"), QStringLiteral("manual"), QStringLiteral("page"),
                                   QStringLiteral("of"), QStringLiteral("groff")};
    PDFPageText page;
    const int count = std::uniform_int_distribution<int>(1, 40)(random);
    for (int r = 0; r < count; ++r) {
        MadeRow row;
        row.start = page.text.size();
        QString text;
        const int length = std::uniform_int_distribution<int>(1, 4)(random);
        for (int w = 0; w < length; ++w)
            text += (w ? QStringLiteral(" ") : QString()) + words[std::uniform_int_distribution<int>(0, 4)(random)];
        row.length = text.size();
        // Rows now and then on the place of an earlier one, or a point off it.
        if (!rows.empty() && random() % 4 == 0) {
            row.origin = rows[random() % rows.size()].origin + QPointF(random() % 3, random() % 2 * 0.7);
        } else {
            row.origin = QPointF(std::uniform_real_distribution<double>(-20, 560)(random),
                                 std::uniform_real_distribution<double>(-20, 800)(random));
        }
        static const double turns[] = {0, 0, 0, 90, 180, 270, 30};
        row.turn = turns[random() % 7];
        row.place = QTransform::fromTranslate(row.origin.x(), row.origin.y()).rotate(row.turn);
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QRectF own(5.5 * double(i), -5, 5, 10);
            page.characterRects.append(random() % 29 == 0 ? QRectF() : row.place.mapRect(own));
        }
        page.text += text;
        rows.push_back(row);
        page.text += QLatin1Char('\n');
        page.characterRects.append(QRectF());
    }
    for (qsizetype at = 0; at < page.text.size();) {
        const qsizetype length = std::uniform_int_distribution<qsizetype>(1, 12)(random);
        PDFTextRun run;
        run.start = at;
        run.end = std::min(at + length, page.text.size());
        run.fontName = QStringLiteral("F%1").arg(random() % 3);
        page.runs.append(run);
        at = run.end;
    }
    // A run over others, which keep their characters.
    if (random() % 2 == 0) {
        const qsizetype start = std::uniform_int_distribution<qsizetype>(-2, page.text.size())(random);
        page.runs.append({start, start + 30, QStringLiteral("F3")});
    }
    return page;
}

TEST(PrintedLineIndexTest, FindsWhatASearchOfThePageTextFinds)
{
    std::mt19937 random(45);
    qsizetype found = 0;
    qsizetype asked = 0;
    for (int round = 0; round < 300; ++round) {
        std::vector<MadeRow> rows;
        const PDFPageText page = randomPage(random, rows);
        const PDFCodec::PrintedLineIndex index(page);
        const double yOffset = round % 3 == 0 ? 12.5 : 0;
        for (const MadeRow& row : rows) {
            // The row, a piece of it, the row asked a little off its place,
            // and asked in another row's place.
            const qsizetype from = row.length > 2 ? qsizetype(random() % 2) : 0;
            const qsizetype length = row.length - from - (row.length > 3 ? qsizetype(random() % 2) : 0);
            const QString text = page.text.mid(row.start + from, length);
            // Frames centred where the characters' middle lies on the page.
            const auto frameAt = [&](const MadeRow& on, qsizetype first) {
                const QPointF centre = on.place.map(QPointF(5.5 * double(first) + (5.5 * double(length) - 0.5) / 2, 0))
                                       + QPointF(0.3, yOffset);
                return QRectF(centre.x() - 2.75 * double(length), centre.y() - 5, 5.5 * double(length), 10);
            };
            const QRectF frame = frameAt(row, from);
            const MadeRow& other = rows[random() % rows.size()];
            const QRectF elsewhere = frameAt(other, 0);
            const std::vector<TextPayload> payloads{
                payloadFor(text, frame, row.turn),
                payloadFor(text, frame.translated(0.8, -1.2), row.turn),
                payloadFor(text, elsewhere, other.turn),
                payloadFor(QStringLiteral("\u200b ") + text + QStringLiteral(" "), frame, row.turn + 360),
            };
            for (const TextPayload& payload : payloads) {
                const std::optional<PrintedLine> searched = searchedLine(page, yOffset, payload);
                ASSERT_TRUE(sameLine(PDFCodec::printedLineOf(page, index, yOffset, payload), searched))
                    << "round " << round << ", \"" << text.toStdString() << "\"";
                found += searched ? 1 : 0;
                ++asked;
            }
        }
    }
    // Most of the rows asked in their place are found, and not every other.
    EXPECT_GT(found, asked / 3);
    EXPECT_LT(found, asked);
}

TEST(PrintedLineIndexTest, ALineSharingItsTextIsFoundWhereItLies)
{
    // "of the page" three times: over itself a point to the right on the
    // second row, and on a row turned to run down the page.
    PDFPageText page;
    const QString row = QStringLiteral("of the page");
    const auto lay = [&](const QTransform& place, const QString& font) {
        const qsizetype start = page.text.size();
        page.text += row + QLatin1Char('\n');
        for (qsizetype i = 0; i < row.size(); ++i)
            page.characterRects.append(place.mapRect(QRectF(6.0 * double(i), -5, 5, 10)));
        page.characterRects.append(QRectF());
        page.runs.append({start, page.text.size(), font});
    };
    lay(QTransform::fromTranslate(100, 100), QStringLiteral("Upper"));
    lay(QTransform::fromTranslate(100, 300), QStringLiteral("Middle"));
    lay(QTransform::fromTranslate(101, 300), QStringLiteral("Over"));
    lay(QTransform::fromTranslate(400, 100).rotate(90), QStringLiteral("Down"));
    const PDFCodec::PrintedLineIndex index(page);
    const auto startOf = [&](const TextPayload& payload) -> qsizetype {
        const std::optional<PrintedLine> line = PDFCodec::printedLineOf(page, index, 0, payload);
        return line ? qsizetype(std::lround(line->x.front() * 10)) : -1000;
    };
    // The middle row is the first of the two over one another.
    EXPECT_EQ(startOf(payloadFor(row, QRectF(100, 295, 66, 10), 0)), 0);
    EXPECT_EQ(startOf(payloadFor(row, QRectF(101, 295, 66, 10), 0)), -10);
    EXPECT_EQ(startOf(payloadFor(row, QRectF(99, 95, 66, 10), 0)), 10);
    // Turned, read in its own frame about the turned row's centre.
    EXPECT_EQ(startOf(payloadFor(row, QRectF(367, 127.5, 66, 10), 90)), 5);
    EXPECT_EQ(startOf(payloadFor(row, QRectF(200, 200, 66, 10), 0)), -1000);
}

// Every one-line printed text of `page` is found by the export's lookup as
// the plain search finds it in the page text read as the export reads it
// (`opened` holds the page's PDF); how many the search found.
qsizetype expectLinesFoundAsSearched(const PDFDocument& opened, const VectorPage& page, const std::string& label)
{
    const int pageIndex = int(std::max<qint64>(page.pdfPageIndex, 0));
    PDFPageText text = opened.pageText(pageIndex);
    const QRectF box = opened.mediaBox(pageIndex);
    const QSizeF unturned(std::max(box.width(), 64.0), std::max(box.height(), 64.0));
    double yOffset = 0;
    if (const int turn = normalizedQuarterTurn(page.pdfRotation); turn != 0)
        PDFCodec::turnPageText(text, unturned, turn);
    else
        yOffset = unturned.height() - box.height();
    qsizetype found = 0;
    for (const VectorElement& element : page.elements) {
        if (!element.text() || !element.text()->isPDFExtracted || element.text()->text.contains(QLatin1Char('\n')))
            continue;
        const std::optional<PrintedLine> searched = searchedLine(text, yOffset, *element.text());
        EXPECT_TRUE(sameLine(PDFCodec::printedLineFor(page, element), searched))
            << label << ": " << element.text()->text.toStdString();
        found += searched ? 1 : 0;
    }
    return found;
}

TEST(PrintedLineIndexTest, ExportsFindTheLinesOfProducerFilesAsASearchDoes)
{
    // Turned pages, lines running down and up, a scan's invisible layer.
    ASSERT_TRUE(test::ensureGuiApplication());
    qsizetype found = 0;
    for (const char* name : {"groff-memo.pdf", "groff-landscape.pdf", "pdftex-turned.pdf", "ghostscript-sideways.pdf",
                             "scan-groff-memo.pdf"}) {
        const QByteArray data = test::readBinaryFile(QStringLiteral(ZELVANE_TEST_PDF_DIR "/") + QLatin1String(name));
        const VectorDocument document = PDFCodec::importPDF(data, QString::fromLatin1(name), std::nullopt);
        const auto opened = PDFDocument::open(data);
        ASSERT_TRUE(opened) << name;
        for (const VectorPage& page : document.pages)
            found += expectLinesFoundAsSearched(*opened, page, name);
    }
    EXPECT_GT(found, 50);
}

TEST(PrintedLineIndexTest, APageTurnedSinceItsLinesWereFoundIsReadTurned)
{
    // A thread keeps the text of the last page it looked lines up on; the
    // same page turned a quarter at a time must not be read as it lay.
    ASSERT_TRUE(test::ensureGuiApplication());
    const QByteArray data = test::readBinaryFile(QStringLiteral(ZELVANE_TEST_PDF_DIR "/groff-memo.pdf"));
    VectorDocument document = PDFCodec::importPDF(data, QStringLiteral("groff-memo.pdf"), std::nullopt);
    ASSERT_FALSE(document.pages.isEmpty());
    const auto opened = PDFDocument::open(data);
    ASSERT_TRUE(opened);
    qsizetype found = 0;
    for (int quarter = 0; quarter < 5; ++quarter) {
        found += expectLinesFoundAsSearched(*opened, document.pages[0], "turned " + std::to_string(90 * quarter));
        VectorOperations::rotatePage(document, 0, true);
    }
    EXPECT_GT(found, 50);
}

TEST(PrintedLineIndexTest, PagesOfUnmeasurablePlacesFindWhatASearchFinds)
{
    // Characters placed nowhere, at infinity, astronomically far, flat,
    // upside down, or thousands on one row, and fewer places than
    // characters: the index finds what a search of the page text finds (no
    // line starting where no place can be measured).
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::nan("");
    const QString row = QStringLiteral("of the page");
    const QList<QRectF> odd{QRectF(nan, 100, 5, 10),     QRectF(100, nan, 5, 10),     QRectF(inf, 100, 5, 10),
                            QRectF(100, -inf, 5, 10),    QRectF(1e308, 1e308, 1e308, 1e308),
                            QRectF(-1e308, -1e308, 5, 10), QRectF(100, 100, 5, 0), QRectF(100, 100, -5, -10),
                            QRectF(100, 100, 0, 0)};
    std::mt19937 random(7);
    qsizetype found = 0;
    for (int round = 0; round < 60; ++round) {
        PDFPageText page;
        std::vector<QRectF> frames;
        // A long row of the same words first, then rows placed oddly.
        const int rows = round % 3 == 0 ? 400 : 20;
        for (int r = 0; r < rows; ++r) {
            const qsizetype start = page.text.size();
            page.text += row + QLatin1Char(' ');
            const double x = round % 3 == 0 ? 66.0 * r : 10 + random() % 500;
            const double y = round % 3 == 0 ? 400 : 10 + random() % 800;
            for (qsizetype i = 0; i <= row.size(); ++i) {
                QRectF rect(x + 6.0 * double(i), y - 5, 5, 10);
                if (random() % 5 == 0)
                    rect = odd[random() % odd.size()];
                page.characterRects.append(rect);
            }
            page.runs.append({start, page.text.size(), QStringLiteral("F%1").arg(random() % 2)});
            frames.push_back(QRectF(x, y - 5, 66, 10));
        }
        // Places for fewer characters than the text has.
        page.characterRects.resize(page.characterRects.size() - qsizetype(random() % 8));
        const PDFCodec::PrintedLineIndex index(page);
        for (const QRectF& frame : frames) {
            for (const double turn : {0, 90}) {
                const TextPayload payload = payloadFor(row, frame, turn);
                const std::optional<PrintedLine> searched = searchedLine(page, 0, payload);
                ASSERT_TRUE(sameLine(PDFCodec::printedLineOf(page, index, 0, payload), searched))
                    << "round " << round << ", turned " << turn;
                found += searched ? 1 : 0;
            }
        }
    }
    EXPECT_GT(found, 500);
}

}  // namespace
