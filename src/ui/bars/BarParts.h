#pragma once

#include "appmodel/CommandShortcuts.h"

#include <QAbstractButton>
#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QWidget>
#include <functional>
#include <optional>

namespace zelvane {

// The keys of the single-key shortcuts that do `action`, as written in
// tooltips: "Shift+Z / F".
QString singleKeysText(SingleKeyAction action);

// SymbolIcon::tinted, kept once made: the bars repaint often (a zoom
// animation repaints the percentage every frame).
QPixmap barSymbol(const QString& symbol, int size, const QColor& color, qreal devicePixelRatio);

// A thin vertical line between groups of a bar.
class BarDivider : public QWidget {
    Q_OBJECT

public:
    explicit BarDivider(int height, QWidget* parent = nullptr);
    QSize sizeHint() const override { return QSize(1, m_height); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_height;
};

// One line of text drawn in one font and colour, cut with an ellipsis when
// the room is too narrow.
class ElidedLabel : public QWidget {
    Q_OBJECT

public:
    explicit ElidedLabel(const QFont& font, QWidget* parent = nullptr);

    const QString& text() const { return m_text; }
    void setText(const QString& text);
    const QColor& color() const { return m_color; }
    void setColor(const QColor& color);
    // The text as drawn at the current width.
    QString shownText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
    QColor m_color;
};

// A borderless button showing a line of text, optionally on a capsule.
// The action runs on click; disabled buttons ignore clicks.
class PlainTextButton : public QAbstractButton {
    Q_OBJECT

public:
    PlainTextButton(const QString& text, const QFont& font, const QColor& color, std::function<void()> action,
                    QWidget* parent = nullptr);

    const QColor& color() const { return m_color; }
    void setColor(const QColor& color);
    // Draws the text on a capsule of this colour, with this space around it.
    void setCapsule(const QColor& fill, double horizontalPadding, double verticalPadding);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_color;
    std::optional<QColor> m_capsule;
    double m_horizontalPadding = 0;
    double m_verticalPadding = 0;
};

// A borderless button showing one symbol, faint while disabled; its
// tooltip is also its name for assistive technologies.
class SymbolButton : public QAbstractButton {
    Q_OBJECT

public:
    SymbolButton(const QString& symbol, int size, const QColor& color, std::function<void()> action,
                 QWidget* parent = nullptr);

    QSize sizeHint() const override { return QSize(m_size + 6, m_size + 6); }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    QString m_symbol;
    int m_size;
    QColor m_color;
};

}  // namespace zelvane
