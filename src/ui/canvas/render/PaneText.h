#pragma once

#include <QColor>
#include <QFont>
#include <QPointF>
#include <QString>
#include <memory>

class QPainter;
class QTextLayout;

namespace zelvane {

// One line of text laid out so that one point of the font's size is one
// pane unit, whatever the screen's resolution.
class PaneTextLine {
public:
    PaneTextLine(const QString& text, const QFont& font, double kern = 0);
    ~PaneTextLine();
    PaneTextLine(PaneTextLine&&) noexcept;
    PaneTextLine& operator=(PaneTextLine&&) noexcept;

    double width() const { return m_width; }
    double ascent() const { return m_ascent; }
    double descent() const { return m_descent; }
    bool isEmpty() const { return !m_layout; }

    // The cursor position (a position in the laid-out text) nearest to `x`
    // from the line's start.
    int cursorAt(double x) const;
    // The length of the laid-out text.
    int textLength() const;

    // The line's top-left corner at `topLeft`.
    void draw(QPainter& painter, const QPointF& topLeft, const QColor& color) const;
    // The line's box centred on `center`.
    void drawCentered(QPainter& painter, const QPointF& center, const QColor& color) const;

private:
    std::unique_ptr<QTextLayout> m_layout;
    double m_width = 0;
    double m_ascent = 0;
    double m_descent = 0;
};

// The interface font at `size` points (pane units).
QFont paneSystemFont(double size, QFont::Weight weight, bool monospaced = false);

}  // namespace zelvane
