// How much memory the window holds once its picture caches have been
// filled, each case in a process of its own:
// - "cards": a 1,000-page PDF shown as page cards in the grid and scrolled
//   from the first page to the last, every thumbnail in view drawn
//   (target: at most 300 MB);
// - "opens": the 87-page groff/Ghostscript manual opened 100 times in a row
//   with the grid shown (target: at most 250 MB).
// The reference is the same process before the scroll, or after the first
// open. Resident memory is read after glibc gave back what it could, so
// that what is counted is what the program still holds.

#include "GroffManual.h"
#include "VectorController.h"
#include "WindowBenchEnvironment.h"
#include "appmodel/AppModel.h"
#include "canvas/PageCardsView.h"
#include "core/support/TestPDF.h"
#include "pdf/PDFImport.h"
#include "window/MainWindow.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <malloc.h>

#include <cstdio>
#include <cstdlib>

using namespace zelvane;

namespace {

constexpr int kCardPages = 1000;
constexpr int kOpens = 100;

double residentMegabytes()
{
    malloc_trim(0);
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    }
    return -1;
}

PageCardsView& shownCards(MainWindow& window)
{
    PageCardsView* cards = window.findChild<PageCardsView*>();
    if (!cards || !QTest::qWaitFor([cards] { return cards->isVisible(); }, 10000)) {
        std::fprintf(stderr, "the page cards are not shown\n");
        std::exit(1);
    }
    return *cards;
}

int scrollCards()
{
    const VectorDocument document =
        PDFCodec::importPDF(testing::makeManualTestPDF(kCardPages), QStringLiteral("cards"), std::nullopt);
    AppModel model(false, false);
    model.controller().setDocument(document);
    model.setDisplayMode(CanvasDisplayMode::multiPageGrid);
    MainWindow window(model);
    window.show();
    PageCardsView& cards = shownCards(window);
    cards.finishThumbnails();
    const double before = residentMegabytes();
    QScrollBar& bar = *cards.verticalScrollBar();
    for (int y = 0; y <= bar.maximum(); y += std::max(1, cards.viewport()->height() / 2)) {
        bar.setValue(y);
        QApplication::processEvents();
        cards.finishThumbnails();
    }
    bar.setValue(bar.maximum());
    cards.finishThumbnails();
    const double after = residentMegabytes();
    std::printf("page cards: %lld pages scrolled through in the grid, every thumbnail drawn: %.0f MB (target <= 300 "
                "MB)\n",
                static_cast<long long>(document.pages.size()), after);
    std::printf("  reference: the same window before scrolling: %.0f MB; after/reference = %.2f\n", before,
                after / before);
    return 0;
}

int openManyTimes()
{
    QTemporaryDir scratch;
    const std::optional<QString> manual = bench::groffManual(scratch, bench::kEightySevenPageSections);
    if (!manual) {
        std::fprintf(stderr, "groff and ps2pdf are needed for the manual\n");
        return 1;
    }
    AppModel model(false, false);
    model.setDisplayMode(CanvasDisplayMode::multiPageGrid);
    MainWindow window(model);
    window.show();
    double first = 0;
    for (int i = 0; i < kOpens; ++i) {
        bool done = false;
        bool failed = false;
        model.controller().openFileInBackground(*manual, [&](const std::optional<CodecError>& failure) {
            failed = failure.has_value();
            done = true;
        });
        if (!QTest::qWaitFor([&] { return done; }, 600000) || failed) {
            std::fprintf(stderr, "the manual did not open\n");
            return 1;
        }
        PageCardsView& cards = shownCards(window);
        QApplication::processEvents();
        cards.finishThumbnails();
        if (i == 0)
            first = residentMegabytes();
    }
    const double after = residentMegabytes();
    std::printf("opens: the %lld-page groff manual opened %d times in the grid view: %.0f MB (target <= 250 MB)\n",
                static_cast<long long>(model.controller().document().pages.size()), kOpens, after);
    std::printf("  reference: the same window after the first open: %.0f MB; after/reference = %.2f\n", first,
                after / first);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("ZELVANE_BENCH_CASE")) {
        // Each case in a fresh process, so that one's memory is not counted
        // in the other's.
        int status = 0;
        for (const char* which : {"cards", "opens"}) {
            QProcess child;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("ZELVANE_BENCH_CASE"), QString::fromLatin1(which));
            child.setProcessEnvironment(environment);
            child.setProcessChannelMode(QProcess::ForwardedChannels);
            child.start(QString::fromLocal8Bit(argv[0]), {});
            if (!child.waitForFinished(-1) || child.exitCode() != 0)
                status = 1;
        }
        return status;
    }
    QTemporaryDir scratch;
    zelvane::bench::useWindowBenchEnvironment(scratch);
    QApplication app(argc, argv);
    return qgetenv("ZELVANE_BENCH_CASE") == "cards" ? scrollCards() : openManyTimes();
}
