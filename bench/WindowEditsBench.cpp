// How the open window keeps up with a script editing through the API and
// with a large drag:
// - POST /v1/text rewriting the lines of an 87-page groff/Ghostscript manual
//   one request at a time, with the main window shown (offscreen), against
//   the same requests answered by a controller without a window, measured
//   alternately in the same run (target: median at most 2x the reference);
// - one pointer move while 1,000 selected elements are dragged on the
//   single-page canvas, the repaint included (target: median < 16 ms),
//   against the drag of one element of the same page.

#include "CanvasBenchPage.h"
#include "GroffManual.h"
#include "LoopbackClient.h"
#include "VectorController.h"
#include "WindowBenchEnvironment.h"
#include "appmodel/AppModel.h"
#include "http/HttpServer.h"
#include "pdf/PDFImport.h"
#include "remote/ApiRoutes.h"
#include "sample/SyntheticDocument.h"
#include "window/MainWindow.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMouseEvent>
#include <QTemporaryDir>

#include <cstdio>
#include <thread>

using namespace zelvane;
using namespace zelvane::bench;

namespace {

constexpr int kChunk = 50;
constexpr int kMaxEdits = 1500;
constexpr int kDragMoves = 120;
constexpr int kDraggedElements = 1000;

QByteArray textRequest(quint16 port, int page, const QString& match, const QString& text)
{
    const QByteArray body = QJsonDocument(QJsonObject{{"page", page}, {"match", match}, {"text", text}})
                                .toJson(QJsonDocument::Compact);
    return "POST /v1/text HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) +
           "\r\nContent-Type: application/json\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" +
           body;
}

// A controller answering the API on the main thread, as the editor's remote
// control sets it up.
struct ApiEndpoint {
    explicit ApiEndpoint(VectorController& controller)
        : server(&context, [&controller](const HttpRequest& request) {
              return dispatchHTTPRequest(controller, request, ApiContext{});
          })
    {
        server.start(0);
    }
    QObject context;
    HttpServer server;
};

struct Edit {
    int page;  // 1-based
    QString match;
    QString text;
};

// Milliseconds of each request of `edits` sent one after the other to
// `port`, while the main thread serves its events.
std::vector<double> timedEdits(quint16 port, const std::vector<Edit>& edits, bool& complete)
{
    std::vector<double> times;
    QEventLoop loop;
    std::thread client([&] {
        for (const Edit& edit : edits) {
            const QByteArray request = textRequest(port, edit.page, edit.match, edit.text);
            const auto start = Clock::now();
            if (oneRequest(port, request) <= 0)
                complete = false;
            times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    client.join();
    return times;
}

void sendMouse(QWidget& widget, QEvent::Type type, const QPointF& at, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, at, widget.mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                      buttons, Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
}

// The median time of one pointer move (and the repaint it asks for) while
// the elements of `selection` are dragged by the one at `grabbed`.
double dragMilliseconds(BenchCanvas& bench, const QSet<QUuid>& selection, const QUuid& grabbed, bool& oneStep)
{
    VectorController& controller = bench.model.controller();
    controller.setSelection(selection);
    QApplication::processEvents();
    bench.canvas.repaint();
    VectorRect frame;
    for (const VectorElement& element : controller.currentPage().elements) {
        if (element.id == grabbed)
            frame = element.frame;
    }
    const QPointF start = bench.canvas.geometry().pageToPane(frame.center());
    const qsizetype undoBefore = controller.history().undoStack().size();
    sendMouse(bench.canvas, QEvent::MouseButtonPress, start, Qt::LeftButton);
    bench.canvas.repaint();
    std::vector<double> moves;
    for (int i = 1; i <= kDragMoves; ++i) {
        const QPointF at = start + QPointF(2.0 * i, std::sin(i * 0.2) * 20);
        moves.push_back(millisecondsOf([&] {
            sendMouse(bench.canvas, QEvent::MouseMove, at, Qt::LeftButton);
            bench.canvas.repaint();
        }));
    }
    sendMouse(bench.canvas, QEvent::MouseButtonRelease, start + QPointF(2.0 * kDragMoves, 0), Qt::NoButton);
    oneStep = oneStep && controller.history().undoStack().size() == undoBefore + 1;
    return median(moves);
}

// The remote edits case; false when a reply came back short or the
// manual could not be made.
bool remoteEdits(const QTemporaryDir& scratch)
{
    bool complete = true;
    const std::optional<QString> manual = groffManual(scratch, kEightySevenPageSections);
    if (!manual) {
        std::fprintf(stderr, "groff and ps2pdf are needed for the manual\n");
        return false;
    }
    QFile file(*manual);
    file.open(QIODevice::ReadOnly);
    const VectorDocument document = PDFCodec::importPDF(file.readAll(), QStringLiteral("manual"), std::nullopt);

    std::vector<Edit> edits;
    qsizetype lines = 0;
    for (const VectorPage& page : document.pages) {
        for (const VectorElement& element : page.elements) {
            if (const TextPayload* text = element.text(); text && !text->text.trimmed().isEmpty())
                ++lines;
        }
    }
    const qsizetype stride = std::max<qsizetype>(1, (lines + kMaxEdits - 1) / kMaxEdits);
    qsizetype line = 0;
    for (qsizetype p = 0; p < document.pages.size(); ++p) {
        for (const VectorElement& element : document.pages[p].elements) {
            const TextPayload* text = element.text();
            if (!text || text->text.trimmed().isEmpty() || line++ % stride != 0)
                continue;
            edits.push_back({int(p + 1), text->text, text->text + QStringLiteral(" (revu)")});
        }
    }

    VectorController alone(false, false);
    alone.setDocument(document);
    ApiEndpoint aloneAPI(alone);
    AppModel model(false, false);
    model.controller().setDocument(document);
    MainWindow window(model);
    window.show();
    QApplication::processEvents();
    window.repaint();
    ApiEndpoint windowAPI(model.controller());

    std::vector<double> referenceTimes, windowTimes;
    for (size_t from = 0; from < edits.size(); from += kChunk) {
        const std::vector<Edit> chunk(edits.begin() + qsizetype(from),
                                      edits.begin() + qsizetype(std::min(edits.size(), from + kChunk)));
        for (const double ms : timedEdits(aloneAPI.server.port(), chunk, complete))
            referenceTimes.push_back(ms);
        for (const double ms : timedEdits(windowAPI.server.port(), chunk, complete))
            windowTimes.push_back(ms);
    }
    const double reference = median(referenceTimes);
    const double withWindow = median(windowTimes);
    std::printf("remote edits: POST /v1/text of %zu of the %lld lines of a %lld-page groff manual, window open "
                "(offscreen, %dx%d): median %.3f ms, worst %.2f ms (target <= 2x the reference)\n",
                edits.size(), static_cast<long long>(lines), static_cast<long long>(document.pages.size()),
                window.width(), window.height(), withWindow,
                *std::max_element(windowTimes.begin(), windowTimes.end()));
    std::printf("  reference: the same requests to a controller without a window: median %.3f ms; "
                "window/reference = %.2f\n",
                reference, withWindow / reference);

    if (!complete)
        std::fprintf(stderr, "some replies came back incomplete\n");
    return complete;
}

// The drag case; false when a drag left other than one undo step.
bool largeDrag()
{
    const VectorPage page = benchPage(SyntheticDocument::generateSampleRawPDFData(), kDraggedElements);
    BenchCanvas bench(page, QSize(MainWindow::kDefaultWidth, MainWindow::kDefaultHeight));
    QSet<QUuid> all;
    for (const VectorElement& element : page.elements)
        all.insert(element.id);
    const QUuid grabbed = page.elements[kDraggedElements / 2].id;
    bool oneStep = true;
    const double many = dragMilliseconds(bench, all, grabbed, oneStep);
    const double one = dragMilliseconds(bench, {grabbed}, grabbed, oneStep);
    std::printf("drag: one move of %d selected elements on an A4 PDF page at %dx%d, repaint included: median "
                "%.2f ms (target < 16 ms)%s\n",
                kDraggedElements, MainWindow::kDefaultWidth, MainWindow::kDefaultHeight, many,
                oneStep ? "" : " [FAULT: not one undo step per drag]");
    std::printf("  reference: dragging one element of the same page: median %.2f ms; many/one = %.2f\n", one,
                many / one);
    return oneStep;
}

}  // namespace

int main(int argc, char** argv)
{
    QTemporaryDir scratch;
    zelvane::bench::useWindowBenchEnvironment(scratch);
    QApplication app(argc, argv);
    // ZELVANE_BENCH_ONLY=edits or =drag runs that case alone.
    const QByteArray only = qgetenv("ZELVANE_BENCH_ONLY");
    bool ok = true;
    if (only.isEmpty() || only == "edits")
        ok = remoteEdits(scratch) && ok;
    if (only.isEmpty() || only == "drag")
        ok = largeDrag() && ok;
    return ok ? 0 : 1;
}
