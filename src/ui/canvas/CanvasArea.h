#pragma once

#include <QList>
#include <QUrl>
#include <QWidget>

class QMimeData;

namespace zelvane {

class AppModel;
class CanvasViewportView;

// The canvas slot of the window: the canvas on the theme background, and
// the drop target for files. Local files dropped here open in order; while
// a file drag hovers, a dashed accent outline shows 12 points inside.
class CanvasArea : public QWidget {
    Q_OBJECT

public:
    explicit CanvasArea(AppModel& model, QWidget* parent = nullptr);

    CanvasViewportView* viewport() const { return m_viewport; }
    bool dropTargeted() const { return m_dropTargeted; }

    // The local files of a drag, in order; other URLs are left out.
    static QList<QUrl> localFiles(const QMimeData* data);

signals:
    void dropTargetedChanged();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void setDropTargeted(bool targeted);

    AppModel& m_model;
    CanvasViewportView* m_viewport;
    QWidget* m_outline;
    bool m_dropTargeted = false;
};

}  // namespace zelvane
