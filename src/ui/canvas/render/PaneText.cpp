#include "PaneText.h"

#include "fonts/FontLookup.h"
#include "fonts/SyntheticAccents.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QPainter>
#include <QTextLayout>

namespace zelvane {

PaneTextLine::PaneTextLine(const QString& text, const QFont& font, double kern)
{
    if (text.isEmpty() || !fonts::hasFontSupport())
        return;
    auto layout = PDFCodec::layOutLine(text, font, kern);
    const QTextLine line = layout->lineAt(0);
    if (!line.isValid())
        return;
    m_width = line.horizontalAdvance();
    m_ascent = line.ascent();
    m_descent = line.descent();
    m_layout = std::move(layout);
}

PaneTextLine::~PaneTextLine() = default;
PaneTextLine::PaneTextLine(PaneTextLine&&) noexcept = default;
PaneTextLine& PaneTextLine::operator=(PaneTextLine&&) noexcept = default;

int PaneTextLine::cursorAt(double x) const
{
    if (!m_layout)
        return 0;
    return m_layout->lineAt(0).xToCursor(x, QTextLine::CursorBetweenCharacters);
}

int PaneTextLine::textLength() const
{
    return m_layout ? int(m_layout->text().size()) : 0;
}

void PaneTextLine::draw(QPainter& painter, const QPointF& topLeft, const QColor& color) const
{
    if (!m_layout)
        return;
    painter.setPen(color);
    m_layout->draw(&painter, topLeft);
}

void PaneTextLine::drawCentered(QPainter& painter, const QPointF& center, const QColor& color) const
{
    draw(painter, QPointF(center.x() - m_width * 0.5, center.y() - (m_ascent + m_descent) * 0.5), color);
}

QFont paneSystemFont(double size, QFont::Weight weight, bool monospaced)
{
    QFont font = monospaced ? QFontDatabase::systemFont(QFontDatabase::FixedFont) : QGuiApplication::font();
    font.setPointSizeF(std::max(size, 1.0));
    font.setWeight(weight);
    return font;
}

}  // namespace zelvane
