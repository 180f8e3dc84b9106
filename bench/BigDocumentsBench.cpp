// How the open window copes with very large documents:
// - "edits": one edit (an element moved through the controller's edit path,
//   every view of the window told of it) on a page of 1,000,000 elements,
//   in main-thread CPU time, against the same edit on a page of 10 elements
//   (target: < 100 ms);
// - "signature": one signature added (the active one, placed where the
//   window places it) on a settled page of 200,000 and of 1,000,000
//   elements, in main-thread CPU time from the edit until the canvas has
//   drawn it, every frame included, against the same edit on a page of 10
//   elements;
// - "landing": a 5,000-page PDF and a 1,000,000-element SVG opened through
//   the window's open path, the window shown (offscreen); the longest gap
//   between two beats of a 5 ms heartbeat on the main thread from the start
//   of the open until the window has been idle for 2 s after the document
//   landed (target: <= 250 ms).
// ZELVANE_BENCH_ONLY=edits, =signature or =landing runs that case alone (=pdf or =svg
// one file of the landing). The files are
// made in a scratch folder: the PDF with qpdf from a small one-page PDF.

#include "VectorController.h"
#include "WindowBenchEnvironment.h"
#include "appmodel/AppModel.h"
#include "canvas/render/VectorSceneRenderCache.h"
#include "operations/VectorOperations.h"
#include "sample/SyntheticDocument.h"
#include "window/MainWindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace zelvane;

namespace {

constexpr int kBigPage = 1'000'000;
constexpr int kSmallPage = 10;
constexpr int kEdits = 7;
constexpr int kPDFPages = 5000;
constexpr int kSVGElements = 1'000'000;

double threadMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

VectorDocument documentOf(int elements)
{
    VectorPage page = VectorPage::make(QUuid::createUuid(), QStringLiteral("Page 1"), 2000, 2000,
                                       QStringLiteral("#FFFFFF"));
    page.elements.reserve(elements);
    for (int i = 0; i < elements; ++i) {
        page.elements.append(VectorElement::make(
            QStringLiteral("Rectangle"), ShapePayload::make(VectorShapeType::rectangle, 0, false, false),
            VectorRect((i % 1000) * 2.0, (i / 1000 % 1000) * 2.0, 1.5, 1.5), 0, VectorStyle::defaultShape()));
    }
    return VectorDocument::make(QUuid::createUuid(), QStringLiteral("Bench"), DocumentSourceFormat::svg,
                                std::nullopt, {page}, 1);
}

struct EditTimes {
    double edit = 0;
    double frame = 0;
};

// The median main-thread CPU time of one move of an element through the
// edit path, every view of the window told of it (their queued calls
// included), and of the first frame drawn after it.
EditTimes editMilliseconds(int elements)
{
    AppModel model(false, false);
    VectorController& controller = model.controller();
    controller.setDocument(documentOf(elements));
    MainWindow window(model);
    window.show();
    // The page is drawn whole before the edits begin.
    for (int i = 0; i < 400; ++i)
        QApplication::processEvents();
    std::vector<double> edits, frames;
    for (int i = 0; i < kEdits; ++i) {
        const QUuid id = controller.currentPage().elements.at(elements / 2 + i % 3).id;
        const double start = threadMilliseconds();
        controller.updateCurrentPageElement(id, QStringLiteral("Move"),
                                            [](VectorElement& element) { element.frame.x += 1; });
        QApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
        const double edited = threadMilliseconds();
        QApplication::sendPostedEvents();
        edits.push_back(edited - start);
        frames.push_back(threadMilliseconds() - edited);
        for (int k = 0; k < 400; ++k)
            QApplication::processEvents();
    }
    return {median(edits), median(frames)};
}

void edits()
{
    const EditTimes big = editMilliseconds(kBigPage);
    const EditTimes small = editMilliseconds(kSmallPage);
    std::printf("edit: one element moved on a page of %d elements, window open (offscreen): median %.2f ms of "
                "main-thread CPU time (target < 100 ms); the first frame after it: %.2f ms\n",
                kBigPage, big.edit, big.frame);
    std::printf("  reference: the same edit on a page of %d elements: median %.3f ms (frame %.2f ms); "
                "ratio %.1f\n",
                kSmallPage, small.edit, small.frame, big.edit / std::max(small.edit, 1e-3));
}

// Serves the window's events until the canvas has drawn everything, then
// a few rounds more for what that queued.
void settle()
{
    VectorSceneRenderCache& cache = VectorSceneRenderCache::shared();
    for (int calm = 0; calm < 20;) {
        QApplication::processEvents();
        calm = cache.hasUnfinishedSheet() ? 0 : calm + 1;
    }
}

// The median main-thread CPU time of adding a signature to a settled page
// of `elements`, until the canvas has drawn it.
double signatureMilliseconds(int elements)
{
    AppModel model(false, false);
    VectorController& controller = model.controller();
    controller.setDocument(documentOf(elements));
    MainWindow window(model);
    window.show();
    settle();
    std::vector<double> times;
    for (int i = 0; i < 5; ++i) {
        const double start = threadMilliseconds();
        controller.stampActiveSignature(VectorPoint{300.0 + 150 * i, 600.0 + 90 * i});
        settle();
        times.push_back(threadMilliseconds() - start);
    }
    return median(times);
}

void signatures()
{
    const double small = signatureMilliseconds(kSmallPage);
    for (const int elements : {200'000, kBigPage}) {
        const double big = signatureMilliseconds(elements);
        std::printf("signature: one added on a settled page of %d elements, window open (offscreen): median %.1f ms "
                    "of main-thread CPU time until drawn; on a page of %d elements: %.1f ms\n",
                    elements, big, kSmallPage, small);
    }
}

QString makeBigPDF(const QString& folder)
{
    const QString small = QDir(folder).filePath(QStringLiteral("one.pdf"));
    QFile one(small);
    if (!one.open(QIODevice::WriteOnly) || one.write(SyntheticDocument::generateSampleRawPDFData()) < 0)
        return {};
    one.close();
    const QString big = QDir(folder).filePath(QStringLiteral("big.pdf"));
    // One page repeated: qpdf takes the same file once per copy.
    QStringList arguments{QStringLiteral("--empty"), QStringLiteral("--pages")};
    for (int i = 0; i < kPDFPages; ++i)
        arguments << small << QStringLiteral("1");
    arguments << QStringLiteral("--") << big;
    QFile argumentFile(QDir(folder).filePath(QStringLiteral("qpdf-arguments")));
    if (!argumentFile.open(QIODevice::WriteOnly))
        return {};
    argumentFile.write(arguments.join(QLatin1Char('\n')).toUtf8());
    argumentFile.close();
    QProcess qpdf;
    qpdf.start(QStringLiteral("qpdf"), {QLatin1Char('@') + argumentFile.fileName()});
    if (!qpdf.waitForFinished(600000) || qpdf.exitCode() != 0) {
        std::fprintf(stderr, "qpdf failed: %s\n", qpdf.readAllStandardError().constData());
        return {};
    }
    return big;
}

QString makeBigSVG(const QString& folder)
{
    const QString path = QDir(folder).filePath(QStringLiteral("big.svg"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    QByteArray text = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"2000\" height=\"2000\" "
                      "viewBox=\"0 0 2000 2000\">\n";
    for (int i = 0; i < kSVGElements; ++i) {
        text += "<rect x=\"" + QByteArray::number((i % 1000) * 2) + "\" y=\"" +
                QByteArray::number(i / 1000 % 1000 * 2) +
                "\" width=\"1.5\" height=\"1.5\" fill=\"#1E3A8A\"/>\n";
        if (text.size() > (1 << 20)) {
            file.write(text);
            text.clear();
        }
    }
    text += "</svg>\n";
    file.write(text);
    return path;
}

// The longest gap of the main thread's heartbeat while `path` is opened in
// the window, until the window has been idle for 2 s after the landing.
void landing(const QString& path, const char* what)
{
    AppModel model(false, false);
    MainWindow window(model);
    window.show();
    QApplication::processEvents();

    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    qint64 longest = 0;
    qint64 longestAt = 0;
    QTimer heartbeat;
    heartbeat.setInterval(5);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        if (now - last > longest) {
            longest = now - last;
            longestAt = now;
        }
        last = now;
    });
    heartbeat.start();
    bool done = false;
    qint64 landedAt = 0;
    model.open(QUrl::fromLocalFile(path), [&] {
        done = true;
        landedAt = clock.elapsed();
    });
    while (!done || clock.elapsed() - landedAt < 2000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    heartbeat.stop();
    std::printf("landing: %s (%lld pages, %lld elements) opened in the window (offscreen): landed after %.2f s; "
                "longest main-thread stall %lld ms, at %.2f s (target <= 250 ms)\n",
                what, static_cast<long long>(model.controller().document().pages.size()),
                static_cast<long long>(model.controller().document().totalElementsCount()), landedAt / 1000.0,
                longest, longestAt / 1000.0);
}

}  // namespace

int main(int argc, char** argv)
{
    QTemporaryDir scratch;
    zelvane::bench::useWindowBenchEnvironment(scratch);
    QApplication app(argc, argv);
    const QByteArray only = qgetenv("ZELVANE_BENCH_ONLY");
    if (only.isEmpty() || only == "edits")
        edits();
    if (only.isEmpty() || only == "signature")
        signatures();
    // ZELVANE_BENCH_ONLY=pdf or =svg lands that file alone;
    // ZELVANE_BENCH_FILES names a folder where the files are kept between
    // runs (made when missing).
    const bool pdfLanding = only.isEmpty() || only == "landing" || only == "pdf";
    const bool svgLanding = only.isEmpty() || only == "landing" || only == "svg";
    if (pdfLanding || svgLanding) {
        const QString kept = qEnvironmentVariable("ZELVANE_BENCH_FILES");
        const QString folder = kept.isEmpty() ? scratch.path() : kept;
        const auto made = [&](const QString& name, QString (*make)(const QString&)) {
            const QString path = QDir(folder).filePath(name);
            return !kept.isEmpty() && QFile::exists(path) ? path : make(folder);
        };
        const QString pdf = pdfLanding ? made(QStringLiteral("big.pdf"), makeBigPDF) : QString();
        const QString svg = svgLanding ? made(QStringLiteral("big.svg"), makeBigSVG) : QString();
        if ((pdfLanding && pdf.isEmpty()) || (svgLanding && svg.isEmpty())) {
            std::fprintf(stderr, "the big files could not be made\n");
            return 1;
        }
        if (pdfLanding)
            landing(pdf, "a 5,000-page PDF");
        if (svgLanding)
            landing(svg, "a 1,000,000-element SVG");
    }
    return 0;
}
