#include "panels/sidebar/LayerRowDelegate.h"

#include "Localization.h"
#include "VectorController.h"
#include "controls/SymbolIcon.h"
#include "panels/sidebar/LayerListModel.h"
#include "panels/sidebar/RowClick.h"
#include "panels/sidebar/SidebarList.h"
#include "theme/Theme.h"

#include <QAbstractItemView>
#include <QFontMetricsF>
#include <QHelpEvent>
#include <QToolTip>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace zelvane {

namespace {

constexpr int kPaddingX = 7;
constexpr int kButtonSide = 18;

void drawSymbol(QPainter& painter, const QRectF& rect, const QString& symbol, const QColor& color, int size)
{
    const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QPixmap pixmap = SymbolIcon::tinted(symbol, size, color, dpr);
    painter.drawPixmap(QRectF(rect.center().x() - size / 2.0, rect.center().y() - size / 2.0, size, size), pixmap,
                       QRectF(pixmap.rect()));
}

}  // namespace

LayerRowDelegate::LayerRowDelegate(LayerListModel& model, QObject* parent)
    : QStyledItemDelegate(parent), m_model(model)
{
}

QSize LayerRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    return QSize(option.rect.width() > 0 ? option.rect.width() : 200, kRowHeight + kRowSpacing);
}

QRect LayerRowDelegate::rowRect(const QRect& itemRect)
{
    return QRect(itemRect.left(), itemRect.top(), itemRect.width(), kRowHeight);
}

QRect LayerRowDelegate::eyeRect(const QRect& itemRect)
{
    const QRect row = rowRect(itemRect);
    return QRect(row.right() - kPaddingX - kButtonSide + 1, row.center().y() - kButtonSide / 2, kButtonSide,
                 kButtonSide);
}

QRect LayerRowDelegate::lockRect(const QRect& itemRect)
{
    return eyeRect(itemRect).translated(-(kButtonSide + 6), 0);
}

void LayerRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const VectorElement* element = m_model.element(index.row());
    if (!element)
        return;
    const bool selected = m_model.controller().selection().contains(element->id);
    const QRectF row = rowRect(option.rect);
    const QColor tint = Theme::elementTint(*element);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    if (selected) {
        QPainterPath shape;
        shape.addRoundedRect(row, 5, 5);
        painter->fillPath(shape, Theme::laneSelected());
        QPainterPath border;
        border.addRoundedRect(row.adjusted(0.5, 0.5, -0.5, -0.5), 4.5, 4.5);
        painter->strokePath(border, QPen(Theme::withOpacity(Theme::accent(), 0.55), 1));
    }

    const QRectF symbolRect(row.left() + kPaddingX, row.top(), 16, row.height());
    drawSymbol(*painter, symbolRect, element->typeSymbol(), tint, 12);

    const double textLeft = symbolRect.right() + 6;
    const double textRight = lockRect(option.rect).left() - 6;
    const QFont titleFont = Theme::font(11, selected ? QFont::DemiBold : QFont::Normal);
    const QFont badgeFont = Theme::font(8.5, QFont::Bold, true);
    const QFont editedFont = Theme::font(8.5, QFont::DemiBold);
    const QFontMetricsF titleMetrics(titleFont);
    const QFontMetricsF badgeMetrics(badgeFont);
    const double height = titleMetrics.height() + 1 + badgeMetrics.height();
    const double top = row.center().y() - height / 2;
    const double width = std::max(0.0, textRight - textLeft);

    painter->setFont(titleFont);
    painter->setPen(element->visible ? Theme::text() : Theme::textFaint());
    painter->drawText(QRectF(textLeft, top, width, titleMetrics.height()),
                      Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      titleMetrics.elidedText(element->displayTitle(), Qt::ElideRight, width));

    const QString badge = element->typeBadge();
    const QRectF badgeRect(textLeft, top + titleMetrics.height() + 1, badgeMetrics.horizontalAdvance(badge),
                           badgeMetrics.height());
    painter->setFont(badgeFont);
    painter->setPen(tint);
    painter->drawText(badgeRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, badge);
    if (element->hasModifiedPDFText()) {
        painter->setFont(editedFont);
        painter->setPen(Theme::alive());
        painter->drawText(QRectF(badgeRect.right() + 4, badgeRect.top(), std::max(0.0, textRight - badgeRect.right() - 4),
                                 badgeRect.height()),
                          Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, L("modifié", "edited"));
    }

    drawSymbol(*painter, lockRect(option.rect), element->locked ? QStringLiteral("lock.fill") : QStringLiteral("lock.open"),
               element->locked ? Theme::warning() : Theme::textFaint(), 11);
    drawSymbol(*painter, eyeRect(option.rect), element->visible ? QStringLiteral("eye") : QStringLiteral("eye.slash"),
               element->visible ? Theme::textDim() : Theme::textFaint(), 11);
    // The lock (1) or the eye (2) the keys are on.
    if (const auto* list = qobject_cast<const SidebarList*>(option.widget)) {
        if (list->marksButton(index.row(), kLockButton))
            SidebarList::paintButtonMark(*painter, lockRect(option.rect));
        else if (list->marksButton(index.row(), kEyeButton))
            SidebarList::paintButtonMark(*painter, eyeRect(option.rect));
    }
    painter->restore();
}

bool LayerRowDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                                 const QModelIndex& index)
{
    if (event && view && event->type() == QEvent::ToolTip) {
        const QPoint point = event->pos();
        QString tip;
        if (lockRect(option.rect).contains(point))
            tip = L("Verrouiller ou déverrouiller l'élément", "Lock or unlock element");
        else if (eyeRect(option.rect).contains(point))
            tip = L("Afficher ou masquer l'élément", "Show or hide element");
        if (!tip.isEmpty()) {
            QToolTip::showText(event->globalPos(), tip, view);
            return true;
        }
        QToolTip::hideText();
        return true;
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}

bool LayerRowDelegate::editorEvent(QEvent* event, QAbstractItemModel*, const QStyleOptionViewItem& option,
                                   const QModelIndex& index)
{
    const RowClick::Outcome click = RowClick::read(event);
    if (!click.releasedAt)
        return click.handled;
    const QPoint point = *click.releasedAt;
    if (!rowRect(option.rect).contains(point))
        return true;
    const int row = index.row();
    if (lockRect(option.rect).contains(point)) {
        if (onToggleLock)
            onToggleLock(row);
    } else if (eyeRect(option.rect).contains(point)) {
        if (onToggleVisible)
            onToggleVisible(row);
    } else if (onSelect) {
        onSelect(row);
    }
    return true;
}

}  // namespace zelvane
