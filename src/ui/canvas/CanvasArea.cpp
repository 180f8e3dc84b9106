#include "canvas/CanvasArea.h"

#include "appmodel/AppModel.h"
#include "canvas/CanvasViewportView.h"
#include "theme/Theme.h"

#include <QDragEnterEvent>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>

namespace zelvane {

namespace {

// The dashed outline over the canvas while a file hovers; lets every click
// and drag through.
class DropOutline : public QWidget {
public:
    explicit DropOutline(QWidget* parent) : QWidget(parent)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPen pen(Theme::accent(), 2, Qt::CustomDashLine, Qt::FlatCap, Qt::MiterJoin);
        pen.setMiterLimit(10);
        // In pen widths: 6 on, 4 off.
        pen.setDashPattern({3, 2});
        // Drawn inside the border: the stroke's centre line is one width/2 in.
        const QRectF box = QRectF(rect()).adjusted(12 + 1, 12 + 1, -12 - 1, -12 - 1);
        QPainterPath path;
        path.addRoundedRect(box, 10 - 1, 10 - 1);
        painter.strokePath(path, pen);
    }
};

}  // namespace

CanvasArea::CanvasArea(AppModel& model, QWidget* parent)
    : QWidget(parent), m_model(model), m_viewport(new CanvasViewportView(model, this)), m_outline(new DropOutline(this))
{
    setAcceptDrops(true);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Theme::background());
    setPalette(palette);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setMinimumWidth(0);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_viewport);
    m_outline->hide();
}

QList<QUrl> CanvasArea::localFiles(const QMimeData* data)
{
    QList<QUrl> files;
    if (!data || !data->hasUrls())
        return files;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            files.append(url);
    }
    return files;
}

void CanvasArea::dragEnterEvent(QDragEnterEvent* event)
{
    if (localFiles(event->mimeData()).isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    setDropTargeted(true);
}

void CanvasArea::dragMoveEvent(QDragMoveEvent* event)
{
    if (localFiles(event->mimeData()).isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
}

void CanvasArea::dragLeaveEvent(QDragLeaveEvent* event)
{
    setDropTargeted(false);
    QWidget::dragLeaveEvent(event);
}

void CanvasArea::dropEvent(QDropEvent* event)
{
    setDropTargeted(false);
    const QList<QUrl> files = localFiles(event->mimeData());
    if (files.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    // Opened once the drop is over, so an alert or a question does not run
    // inside the drag.
    QPointer<AppModel> model(&m_model);
    QTimer::singleShot(0, &m_model, [model, files] {
        for (const QUrl& url : files) {
            if (!model)
                return;
            model->open(url);
        }
    });
}

void CanvasArea::resizeEvent(QResizeEvent* event)
{
    m_outline->setGeometry(rect());
    QWidget::resizeEvent(event);
}

void CanvasArea::setDropTargeted(bool targeted)
{
    if (m_dropTargeted == targeted)
        return;
    m_dropTargeted = targeted;
    m_outline->setGeometry(rect());
    m_outline->setVisible(targeted);
    m_outline->raise();
    emit dropTargetedChanged();
}

}  // namespace zelvane
