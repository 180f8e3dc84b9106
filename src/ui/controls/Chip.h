#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

namespace zelvane {

// A small tag: monospaced text in the tint on a faint tint fill, or on the
// tint itself when filled. Not interactive.
class Chip : public QWidget {
    Q_OBJECT

public:
    Chip(const QString& text, const QColor& tint, bool filled = false, QWidget* parent = nullptr);

    const QString& text() const { return m_text; }
    void setText(const QString& text);
    const QColor& tint() const { return m_tint; }
    void setTint(const QColor& tint);
    bool filled() const { return m_filled; }
    void setFilled(bool filled);

    QColor backgroundColor() const;
    QColor foregroundColor() const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
    QColor m_tint;
    bool m_filled;
};

}  // namespace zelvane
