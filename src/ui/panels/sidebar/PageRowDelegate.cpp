#include "panels/sidebar/PageRowDelegate.h"

#include "VectorController.h"
#include "controls/SymbolIcon.h"
#include "panels/sidebar/MiniPagePreview.h"
#include "panels/sidebar/RowClick.h"
#include "panels/sidebar/PageListModel.h"
#include "panels/sidebar/SidebarList.h"
#include "theme/Theme.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace zelvane {

namespace {

constexpr int kPadding = 6;
constexpr int kChevronWidth = 16;
constexpr int kChevronHeight = 12;

QPainterPath rounded(const QRectF& rect, double radius)
{
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

// A one-point line drawn inside a rounded rectangle.
void strokeInside(QPainter& painter, const QRectF& rect, double radius, const QColor& color, double width)
{
    const double inset = width / 2;
    painter.strokePath(rounded(rect.adjusted(inset, inset, -inset, -inset), std::max(0.0, radius - inset)),
                       QPen(color, width));
}

void drawSymbol(QPainter& painter, const QRect& rect, const QString& symbol, const QColor& color, int size)
{
    const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QPixmap pixmap = SymbolIcon::tinted(symbol, size, color, dpr);
    const QRect target(rect.center().x() - size / 2 + 1, rect.center().y() - size / 2 + 1, size, size);
    painter.drawPixmap(target, pixmap);
}

}  // namespace

PageRowDelegate::PageRowDelegate(PageListModel& model, QObject* parent) : QStyledItemDelegate(parent), m_model(model)
{
}

QSize PageRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    return QSize(option.rect.width() > 0 ? option.rect.width() : 200, kRowHeight + kRowSpacing);
}

QRect PageRowDelegate::rowRect(const QRect& itemRect)
{
    return QRect(itemRect.left(), itemRect.top(), itemRect.width(), kRowHeight);
}

QRect PageRowDelegate::upChevronRect(const QRect& itemRect)
{
    const QRect row = rowRect(itemRect);
    return QRect(row.right() - kPadding - kChevronWidth + 1, row.center().y() - kChevronHeight - 1, kChevronWidth,
                 kChevronHeight);
}

QRect PageRowDelegate::downChevronRect(const QRect& itemRect)
{
    const QRect up = upChevronRect(itemRect);
    return up.translated(0, kChevronHeight + 2);
}

void PageRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const VectorPage* page = m_model.page(index.row());
    if (!page)
        return;
    const VectorController& controller = m_model.controller();
    const int pageIndex = index.row();
    const bool current = controller.currentPageIndex() == pageIndex;
    const qsizetype pageCount = controller.document().pages.size();
    const QRectF row = rowRect(option.rect);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->fillPath(rounded(row, 6), current ? Theme::laneSelected() : Theme::lane());
    if (current)
        strokeInside(*painter, row, 6, Theme::withOpacity(Theme::accent(), 0.55), 1);

    const QRectF miniature(row.left() + kPadding, row.top() + kPadding, 40, 52);
    const QRectF sheet = MiniPagePreview::sheetIn(*page, miniature);
    MiniPagePreview::paint(*painter, sheet, *page);
    strokeInside(*painter, sheet, 3, current ? Theme::accent() : Theme::white(0.16), current ? 1.5 : 0.8);

    // The text column, centred beside the miniature.
    const double columnLeft = miniature.right() + 9;
    const QFont badgeFont = Theme::font(10, QFont::Bold, true);
    const QFont titleFont = Theme::font(11.5, current ? QFont::DemiBold : QFont::Medium);
    const QFont chipFont = Theme::font(10, QFont::DemiBold, true);
    const QFont countFont = Theme::font(10, QFont::Normal, true);
    const QFontMetricsF badgeMetrics(badgeFont);
    const QFontMetricsF titleMetrics(titleFont);
    const QFontMetricsF chipMetrics(chipFont);
    const double line1 = std::max(badgeMetrics.height() + 2, titleMetrics.height());
    const double line2 = chipMetrics.height() + 4;
    double y = row.center().y() - (line1 + 3 + line2) / 2;

    const bool movable = current && pageCount >= 2;
    const double textRight = (movable ? upChevronRect(option.rect).left() - 6 : row.right() - kPadding);

    const QString number = QString::number(pageIndex + 1);
    const QRectF badge(columnLeft, y + (line1 - badgeMetrics.height() - 2) / 2,
                       badgeMetrics.horizontalAdvance(number) + 10, badgeMetrics.height() + 2);
    painter->fillPath(rounded(badge, badge.height() / 2), current ? Theme::accent() : Theme::white(0.08));
    painter->setFont(badgeFont);
    painter->setPen(current ? Theme::background() : Theme::textDim());
    painter->drawText(badge, Qt::AlignCenter, number);

    const QRectF titleRect(badge.right() + 5, y, std::max(0.0, textRight - badge.right() - 5), line1);
    painter->setFont(titleFont);
    painter->setPen(Theme::text());
    painter->drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      titleMetrics.elidedText(page->title, Qt::ElideRight, titleRect.width()));

    y += line1 + 3;
    const bool fromPDF = page->pdfPageData.has_value();
    const QString chipText = fromPDF ? QStringLiteral("PDF") : QStringLiteral("SVG");
    const QColor tint = fromPDF ? Theme::tcp() : Theme::alive();
    const QRectF chip(columnLeft, y, chipMetrics.horizontalAdvance(chipText) + 11, line2);
    painter->fillPath(rounded(chip, 3.5), Theme::withOpacity(tint, 0.14));
    painter->setFont(chipFont);
    painter->setPen(tint);
    painter->drawText(chip, Qt::AlignCenter, chipText);

    painter->setFont(countFont);
    painter->setPen(Theme::textFaint());
    const QRectF countRect(chip.right() + 5, y, std::max(0.0, textRight - chip.right() - 5), line2);
    painter->drawText(countRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      QStringLiteral("%1 élém.").arg(page->elements.size()));

    if (movable) {
        const bool upEnabled = pageIndex > 0;
        const bool downEnabled = pageIndex + 1 < pageCount;
        drawSymbol(*painter, upChevronRect(option.rect), QStringLiteral("chevron.up"),
                   upEnabled ? Theme::textDim() : Theme::textFaint(), 10);
        drawSymbol(*painter, downChevronRect(option.rect), QStringLiteral("chevron.down"),
                   downEnabled ? Theme::textDim() : Theme::textFaint(), 10);
        // The chevron the keys are on: up (1) or down (2).
        if (const auto* list = qobject_cast<const SidebarList*>(option.widget)) {
            if (list->marksButton(pageIndex, 1))
                SidebarList::paintButtonMark(*painter, upChevronRect(option.rect));
            else if (list->marksButton(pageIndex, 2))
                SidebarList::paintButtonMark(*painter, downChevronRect(option.rect));
        }
    }
    painter->restore();
}

bool PageRowDelegate::editorEvent(QEvent* event, QAbstractItemModel*, const QStyleOptionViewItem& option,
                                  const QModelIndex& index)
{
    const RowClick::Outcome click = RowClick::read(event);
    if (!click.releasedAt)
        return click.handled;
    const QPoint point = *click.releasedAt;
    if (!rowRect(option.rect).contains(point))
        return true;
    const VectorController& controller = m_model.controller();
    const int row = index.row();
    const qsizetype pageCount = controller.document().pages.size();
    if (controller.currentPageIndex() == row && pageCount >= 2) {
        if (upChevronRect(option.rect).adjusted(-2, -1, 2, 1).contains(point)) {
            if (row > 0 && onMove)
                onMove(row, -1);
            return true;
        }
        if (downChevronRect(option.rect).adjusted(-2, -1, 2, 1).contains(point)) {
            if (row + 1 < pageCount && onMove)
                onMove(row, +1);
            return true;
        }
    }
    if (onSelect)
        onSelect(row);
    return true;
}

}  // namespace zelvane
