#include "Snapshot.h"

#include "DurableFile.h"
#include "HeadlessRuntime.h"
#include "LaunchFiles.h"
#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "appmodel/CanvasDisplayMode.h"
#include "canvas/render/VectorSceneRenderCache.h"
#include "panels/inspector/ArtworkThumbnails.h"
#include "sheets/AboutSheet.h"
#include "sheets/ExportSheet.h"
#include "sheets/HelpManualSheet.h"
#include "sheets/OSCGuideSheet.h"
#include "sheets/PreferencesView.h"
#include "sheets/ShortcutsSheet.h"
#include "sheets/UpdateSheet.h"
#include "theme/Theme.h"
#include "window/ContentView.h"

#include <QBuffer>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QThread>
#include <QWidget>
#include <cstring>
#include <memory>

namespace zelvane::Snapshot {

namespace {

bool rendering = false;

constexpr qreal kPixelRatio = 2.0;

// Runs the main loop for `milliseconds`, user input held back, so that
// layouts, queued paints and queued main-thread work settle.
void spin(int milliseconds)
{
    QEventLoop loop;
    const QDeadlineTimer deadline(milliseconds);
    while (!deadline.hasExpired()) {
        loop.processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents,
                           int(std::max<qint64>(1, deadline.remainingTime())));
    }
}

std::optional<QByteArray> encodePNG(const QImage& image)
{
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG"))
        return std::nullopt;
    return png;
}

std::optional<QByteArray> encode(QWidget& view)
{
    const QSize size = view.size();
    if (size.width() <= 1 || size.height() <= 1)
        return std::nullopt;
    QImage image(size * kPixelRatio, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return std::nullopt;
    image.setDevicePixelRatio(kPixelRatio);
    image.fill(view.palette().color(QPalette::Window));
    {
        QPainter painter(&image);
        view.render(&painter, QPoint(), QRegion(), QWidget::DrawChildren | QWidget::DrawWindowBackground);
    }
    // Compressing a window-sized image is the longest step of a render: it
    // runs on a thread of its own while this loop keeps serving other work
    // (user input still held back).
    std::optional<QByteArray> png;
    QEventLoop loop;
    QThread* worker = QThread::create([&png, image = std::move(image)] { png = encodePNG(image); });
    QObject::connect(worker, &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker->wait();
    delete worker;
    return png;
}

bool acceptable(QSize size)
{
    return size.width() >= 1 && size.height() >= 1 && size.width() <= kMaxSide && size.height() <= kMaxSide;
}

// Lays `root` out at `size` without ever showing it on a screen, lets the
// loop run, and encodes it. One render at a time: the spin would let a
// second one nest inside the first.
std::optional<QByteArray> renderRoot(std::unique_ptr<QWidget> root, QSize size, const QColor& background,
                                     int spinMilliseconds)
{
    QPalette palette = Theme::palette();
    palette.setColor(QPalette::Window, background);
    root->setPalette(palette);
    root->setAutoFillBackground(true);
    root->setAttribute(Qt::WA_DontShowOnScreen);
    root->setFixedSize(size);
    root->show();
    spin(spinMilliseconds);
    // Pictures still drawn in the background (a page's backdrop, library
    // miniatures) land before the grab rather than their stand-ins.
    VectorSceneRenderCache::shared().waitForBackdropWorker();
    ArtworkThumbnails::shared().waitForIdle();
    spin(20);
    std::optional<QByteArray> png = encode(*root);
    root->hide();
    return png;
}

class RenderGuard {
public:
    RenderGuard() : m_owner(!rendering) { rendering = true; }
    ~RenderGuard()
    {
        if (m_owner)
            rendering = false;
    }
    bool owner() const { return m_owner; }

private:
    bool m_owner;
};

}  // namespace

bool isRendering()
{
    return rendering;
}

std::optional<QByteArray> renderOffscreenPNG(AppModel& model, QSize size)
{
    if (!acceptable(size))
        return std::nullopt;
    const RenderGuard guard;
    if (!guard.owner())
        return std::nullopt;
    auto content = std::make_unique<ContentView>(model);
    content->setAnimated(false);
    return renderRoot(std::move(content), size, Theme::background(), 300);
}

std::optional<QByteArray> renderOffscreenPNG(std::function<QWidget*()> makeView, QSize size)
{
    if (!acceptable(size))
        return std::nullopt;
    const RenderGuard guard;
    if (!guard.owner())
        return std::nullopt;
    // The view sits centred in a frame of exactly the size asked for.
    auto frame = std::make_unique<QWidget>();
    QWidget* view = makeView();
    view->setParent(frame.get());
    const QSize viewSize = view->sizeHint().boundedTo(size).expandedTo(view->minimumSize().boundedTo(size));
    view->setGeometry(QRect(QPoint((size.width() - viewSize.width()) / 2, (size.height() - viewSize.height()) / 2),
                            viewSize));
    return renderRoot(std::move(frame), size, Theme::panel(), 250);
}

std::optional<QByteArray> renderForRemoteControl(const VectorController& controller, const QString& query)
{
    AppModel model(false, false);
    model.controller().setDocument(controller.document());
    model.controller().setCurrentPageIndex(controller.currentPageIndex());
    if (query.contains(QLatin1String("view=multipage")))
        model.setDisplayMode(CanvasDisplayMode::multiPageContinuous);
    else if (query.contains(QLatin1String("view=grid")))
        model.setDisplayMode(CanvasDisplayMode::multiPageGrid);
    else
        model.setDisplayMode(CanvasDisplayMode::singlePage);
    return renderOffscreenPNG(model, QSize(1380, 820));
}

namespace {

struct SheetView {
    const char* names[2];
    QSize size;
    std::function<QWidget*(AppModel&)> make;
};

const QList<SheetView>& sheetViews()
{
    static const QList<SheetView> views{
        {{"about", nullptr}, QSize(650, 480), [](AppModel& m) -> QWidget* { return new AboutSheet(m); }},
        {{"help", nullptr}, QSize(760, 520), [](AppModel& m) -> QWidget* { return new HelpManualSheet(m); }},
        {{"shortcuts", nullptr}, QSize(860, 420), [](AppModel& m) -> QWidget* { return new ShortcutsSheet(m); }},
        {{"settings", "preferences"}, QSize(500, 500), [](AppModel& m) -> QWidget* { return new PreferencesView(m); }},
        {{"osc", nullptr}, QSize(720, 460), [](AppModel& m) -> QWidget* { return new OSCGuideSheet(m); }},
        {{"export", nullptr}, QSize(ExportSheet::kWidth, 560), [](AppModel& m) -> QWidget* { return new ExportSheet(m); }},
        {{"update", "updater"}, QSize(UpdateSheet::kWidth, 420),
         [](AppModel& m) -> QWidget* { return new UpdateSheet(m); }},
    };
    return views;
}

bool named(const SheetView& sheet, const QString& view)
{
    for (const char* name : sheet.names) {
        if (name && view == QLatin1String(name))
            return true;
    }
    return false;
}

// The window in the state the view name asks for, or one of the sheets.
std::optional<QByteArray> renderView(AppModel& model, const QString& view)
{
    VectorController& controller = model.controller();
    const QSize window(1380, 820);
    if (view == QLatin1String("multipage") || view == QLatin1String("scroll")) {
        model.setDisplayMode(CanvasDisplayMode::multiPageContinuous);
        return renderOffscreenPNG(model, window);
    }
    if (view == QLatin1String("grid")) {
        model.setDisplayMode(CanvasDisplayMode::multiPageGrid);
        return renderOffscreenPNG(model, window);
    }
    if (view == QLatin1String("plot") || view == QLatin1String("svg")) {
        controller.setCurrentPageIndex(std::min<qsizetype>(controller.document().pages.size(), 3) - 1);
        model.setDisplayMode(CanvasDisplayMode::singlePage);
        return renderOffscreenPNG(model, window);
    }
    for (const SheetView& sheet : sheetViews()) {
        if (named(sheet, view))
            return renderOffscreenPNG([&model, &sheet] { return sheet.make(model); }, sheet.size);
    }
    model.setDisplayMode(CanvasDisplayMode::singlePage);
    for (const VectorElement& element : controller.currentPage().elements) {
        if (element.hasModifiedPDFText()) {
            controller.setSelection({element.id});
            model.setEditingTextElementID(element.id);
            break;
        }
    }
    return renderOffscreenPNG(model, window);
}

}  // namespace

HeadlessOutcome writeSnapshot(const QByteArray& png, const QString& outputPath)
{
    const QString path = QDir::cleanPath(QFileInfo(LaunchFiles::expandTilde(outputPath)).absoluteFilePath());
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        return {1, {}, "snapshot error: cannot create the folder " + folder.toUtf8() + "\n"};
    if (QFileInfo(path).isDir())
        return {1, {}, "snapshot error: " + path.toUtf8() + " is a folder\n"};
    DurableFile file(path);
    if (!file.open() || !file.write(png.constData(), png.size()) || !file.commit()) {
        return {1, {}, "snapshot error: cannot write " + path.toUtf8() + ": " + QByteArray(std::strerror(file.error())) +
                           "\n"};
    }
    return {0, "Snapshot written to " + path.toUtf8() + " (" + QByteArray::number(png.size()) + " bytes)\n", {}};
}

void runCLISnapshot(const QString& outputPath, const QString& view)
{
    HeadlessRuntime::ensureGuiApplication();
    std::optional<QByteArray> png;
    {
        AppModel model(false, false);
        png = renderView(model, view);
    }
    if (!png)
        HeadlessRuntime::finish({1, {}, "snapshot error: failed to render PNG\n"});
    HeadlessRuntime::finish(writeSnapshot(*png, outputPath));
}

}  // namespace zelvane::Snapshot
