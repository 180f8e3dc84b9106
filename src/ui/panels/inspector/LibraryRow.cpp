#include "panels/inspector/LibraryRow.h"

#include "controls/SymbolIcon.h"
#include "theme/Theme.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace zelvane {

namespace {

constexpr int kPadding = 7;
constexpr int kSpacing = 10;
constexpr int kSymbolSize = 12;

QFont titleFont()
{
    return Theme::font(11.5, QFont::DemiBold);
}

}  // namespace

LibraryRow::LibraryRow(const QSize& previewSize, PreviewPainter preview, std::function<void()> action,
                       QWidget* parent)
    : HoverButton(parent), m_previewSize(previewSize), m_preview(std::move(preview))
{
    setAction(std::move(action));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setCursor(Qt::PointingHandCursor);
}

void LibraryRow::setTitle(const QString& title)
{
    m_title = title;
    setAccessibleName(title);
    update();
}

void LibraryRow::setSubtitle(const QString& subtitle, double pointSize)
{
    m_subtitle = subtitle;
    m_subtitleSize = pointSize;
    update();
}

void LibraryRow::setActive(bool active)
{
    if (m_active == active)
        return;
    m_active = active;
    update();
}

void LibraryRow::setTrailingSymbols(const QString& activeSymbol, const QString& inactiveSymbol)
{
    m_activeSymbol = activeSymbol;
    m_inactiveSymbol = inactiveSymbol;
    update();
}

QSize LibraryRow::sizeHint() const
{
    const QFontMetricsF title(titleFont());
    const QFontMetricsF subtitle(Theme::font(m_subtitleSize));
    const double text = title.height() + 2 + subtitle.height();
    return QSize(200, int(std::ceil(std::max<double>(m_previewSize.height(), text))) + 2 * kPadding);
}

QSize LibraryRow::minimumSizeHint() const
{
    return QSize(m_previewSize.width() + 2 * kPadding + 40, sizeHint().height());
}

void LibraryRow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect());
    QPainterPath background;
    background.addRoundedRect(box, 6, 6);
    QColor fill = m_active ? Theme::laneSelected() : Theme::lane();
    if (!m_active)
        fill = QColor::fromRgbF(float(hoverMix(fill.redF(), Theme::laneSelected().redF())),
                                float(hoverMix(fill.greenF(), Theme::laneSelected().greenF())),
                                float(hoverMix(fill.blueF(), Theme::laneSelected().blueF())));
    painter.fillPath(background, fill);
    if (m_active) {
        QPainterPath border;
        border.addRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), 5.5, 5.5);
        painter.strokePath(border, QPen(Theme::withOpacity(Theme::accent(), 0.6), 1));
    }

    const QRectF preview(kPadding, (height() - m_previewSize.height()) / 2.0, m_previewSize.width(),
                         m_previewSize.height());
    QPainterPath tile;
    tile.addRoundedRect(preview, 4, 4);
    painter.fillPath(tile, Qt::white);
    if (m_preview) {
        painter.save();
        painter.setClipPath(tile);
        m_preview(painter, preview);
        painter.restore();
    }

    const QString symbol = m_active ? m_activeSymbol : m_inactiveSymbol;
    double textRight = width() - kPadding;
    if (!symbol.isEmpty()) {
        const QRectF symbolRect(width() - kPadding - kSymbolSize, (height() - kSymbolSize) / 2.0, kSymbolSize,
                                kSymbolSize);
        const QColor color = m_active ? Theme::accent() : Theme::textDim();
        painter.drawPixmap(symbolRect, SymbolIcon::tinted(symbol, kSymbolSize, color, devicePixelRatioF()),
                           QRectF(0, 0, kSymbolSize * devicePixelRatioF(), kSymbolSize * devicePixelRatioF()));
        textRight = symbolRect.left() - kSpacing;
    }

    const double left = preview.right() + kSpacing;
    const double width = std::max(0.0, textRight - left);
    const QFont title = titleFont();
    const QFont subtitle = Theme::font(m_subtitleSize);
    const QFontMetricsF titleMetrics(title);
    const QFontMetricsF subtitleMetrics(subtitle);
    const double top = (height() - (titleMetrics.height() + 2 + subtitleMetrics.height())) / 2;
    painter.setFont(title);
    painter.setPen(Theme::text());
    painter.drawText(QRectF(left, top, width, titleMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                     titleMetrics.elidedText(m_title, Qt::ElideRight, width));
    painter.setFont(subtitle);
    painter.setPen(Theme::textDim());
    painter.drawText(QRectF(left, top + titleMetrics.height() + 2, width, subtitleMetrics.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, subtitleMetrics.elidedText(m_subtitle, Qt::ElideRight, width));
}

}  // namespace zelvane
