#pragma once

#include <QColor>
#include <QWidget>

class QVariantAnimation;

namespace zelvane {

// A small indeterminate progress indicator: an arc that turns while the
// spinner is visible.
class ActivitySpinner : public QWidget {
    Q_OBJECT

public:
    explicit ActivitySpinner(int size = 16, QWidget* parent = nullptr);

    QSize sizeHint() const override { return {m_size, m_size}; }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    int m_size;
    double m_angle = 0;
    QVariantAnimation* m_animation;
};

}  // namespace zelvane
