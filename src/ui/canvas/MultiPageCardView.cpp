#include "canvas/MultiPageCardView.h"

#include "Localization.h"
#include "controls/TextButton.h"
#include "theme/Theme.h"

#include <QFontMetricsF>
#include <QHash>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace zelvane {

namespace {

QFont badgeFont() { return Theme::font(10, QFont::Bold); }
QFont titleFont() { return Theme::font(12, QFont::DemiBold); }

constexpr int kShadowReach = 8;

// The soft shadow under a thumbnail (black at 0.38, 8 points of blur, 3
// down), made once per size.
QImage thumbnailShadow(const QSize& size, double dpr)
{
    static QHash<QPair<QSize, int>, QImage> made;
    const auto key = qMakePair(size, int(std::lround(dpr * 100)));
    const auto found = made.constFind(key);
    if (found != made.constEnd())
        return *found;
    const QSize full = size + QSize(2 * kShadowReach, 2 * kShadowReach);
    QImage image(full * dpr, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF rect(kShadowReach, kShadowReach, size.width(), size.height());
        for (int i = kShadowReach; i >= 1; --i) {
            QPainterPath ring;
            ring.addRoundedRect(rect.adjusted(-i, -i, i, i), 6 + i, 6 + i);
            painter.fillPath(ring, QColor::fromRgbF(0, 0, 0, float(0.38 * 0.16 * (1 - i / 9.0))));
        }
    }
    if (made.size() > 16)
        made.clear();
    made.insert(key, image);
    return image;
}

}  // namespace

MultiPageCardView::MultiPageCardView(Actions actions, QWidget* parent)
    : QWidget(parent),
      m_actions(std::move(actions)),
      m_sign(new TextButton(QString(), [this] {
          if (m_actions.sign)
              m_actions.sign(m_pageIndex);
      }, this)),
      m_edit(new TextButton(QString(), [this] {
          if (m_actions.open)
              m_actions.open(m_pageIndex);
      }, this))
{
    m_sign->setSymbol(QStringLiteral("signature"));
    m_sign->setCompact(true);
    m_edit->setSymbol(QStringLiteral("pencil"));
    m_edit->setCompact(true);
    setCursor(Qt::ArrowCursor);
    retranslate();
}

void MultiPageCardView::retranslate()
{
    m_sign->setTitle(L("Signer", "Sign"));
    m_edit->setTitle(L("Éditer", "Edit"));
    placeButtons();
    invalidate();
}

void MultiPageCardView::invalidate()
{
    m_painted = QPixmap();
    update();
}

void MultiPageCardView::thumbnailChanged()
{
    invalidate();
}

QImage MultiPageCardView::withRoundedCorners(const QImage& image)
{
    QImage rounded = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&rounded);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    QPainterPath keep;
    keep.addRoundedRect(QRectF(QPointF(0, 0), rounded.deviceIndependentSize()), kThumbnailRadius, kThumbnailRadius);
    painter.fillPath(keep, Qt::black);
    return rounded;
}


QString MultiPageCardView::badgeText() const
{
    const QString text = QStringLiteral("PAGE %1").arg(m_pageIndex + 1);
    return L(text, text);
}

int MultiPageCardView::thumbnailHeight(const VectorPage& page, int cardWidth)
{
    const double height = cardWidth * page.height / std::max(page.width, 1.0);
    // Absurd sides still give a card that can be laid out.
    if (!std::isfinite(height))
        return cardWidth;
    return int(std::lround(std::clamp(height, 1.0, cardWidth * 40.0)));
}

QSize MultiPageCardView::cardSize(const VectorPage& page, int cardWidth)
{
    return {cardWidth + 2 * kPadding, 2 * kPadding + kHeaderHeight + kSpacing + thumbnailHeight(page, cardWidth)};
}

QRect MultiPageCardView::thumbnailRect() const
{
    return {kPadding, kPadding + kHeaderHeight + kSpacing, m_cardWidth, thumbnailHeight(m_page, m_cardWidth)};
}

void MultiPageCardView::setPage(const VectorPage& page, qsizetype pageIndex, bool isCurrent, int cardWidth)
{
    m_page = page;
    m_pageIndex = pageIndex;
    m_isCurrent = isCurrent;
    m_cardWidth = cardWidth;
    m_edit->setProminent(isCurrent);
    placeButtons();
    invalidate();
}

void MultiPageCardView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeButtons();
    invalidate();
}

void MultiPageCardView::placeButtons()
{
    const QSize edit = m_edit->sizeHint();
    const QSize sign = m_sign->sizeHint();
    const int right = width() - kPadding;
    const int middle = kPadding + kHeaderHeight / 2;
    m_edit->setGeometry(right - edit.width(), middle - edit.height() / 2, edit.width(), edit.height());
    m_sign->setGeometry(right - edit.width() - 6 - sign.width(), middle - sign.height() / 2, sign.width(),
                        sign.height());
}

void MultiPageCardView::paintEvent(QPaintEvent*)
{
    const double dpr = devicePixelRatioF();
    if (m_painted.isNull() || m_painted.size() != size() * dpr) {
        m_painted = QPixmap(size() * dpr);
        m_painted.setDevicePixelRatio(dpr);
        m_painted.fill(Qt::transparent);
        QPainter cardPainter(&m_painted);
        paintCard(cardPainter);
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_painted);
}

void MultiPageCardView::paintCard(QPainter& painter)
{
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath card;
    card.addRoundedRect(QRectF(rect()), 10, 10);
    painter.fillPath(card, m_isCurrent ? Theme::laneSelected() : Theme::panel());

    // Header: the badge capsule, then the title up to the buttons.
    const QFontMetricsF badgeMetrics(badgeFont());
    const QString badge = badgeText();
    const QRectF badgeRect(kPadding, kPadding + (kHeaderHeight - badgeMetrics.height() - 4) / 2,
                           badgeMetrics.horizontalAdvance(badge) + 12, badgeMetrics.height() + 4);
    QPainterPath capsule;
    capsule.addRoundedRect(badgeRect, badgeRect.height() / 2, badgeRect.height() / 2);
    painter.fillPath(capsule, m_isCurrent ? Theme::accent() : Theme::withOpacity(Theme::accent(), 0.15));
    painter.setFont(badgeFont());
    painter.setPen(m_isCurrent ? Theme::background() : Theme::accent());
    painter.drawText(badgeRect, Qt::AlignCenter, badge);

    const double titleLeft = badgeRect.right() + 6;
    const double titleRight = m_sign->geometry().left() - 8;
    if (titleRight > titleLeft) {
        const QFontMetricsF titleMetrics(titleFont());
        painter.setFont(titleFont());
        painter.setPen(Theme::text());
        painter.drawText(QRectF(titleLeft, kPadding, titleRight - titleLeft, kHeaderHeight),
                         Qt::AlignVCenter | Qt::AlignLeft,
                         titleMetrics.elidedText(m_page.title, Qt::ElideRight, titleRight - titleLeft));
    }

    // The thumbnail with its shadow, clipped to a rounded rectangle.
    const QRectF thumb = thumbnailRect();
    painter.drawImage(thumb.topLeft() - QPointF(kShadowReach, kShadowReach - 3),
                      thumbnailShadow(thumbnailRect().size(), painter.device()->devicePixelRatioF()));
    const QImage image = m_actions.thumbnail ? m_actions.thumbnail(m_pageIndex) : QImage();
    QPainterPath clip;
    clip.addRoundedRect(thumb, 6, 6);
    if (image.isNull())
        painter.fillPath(clip, Theme::white(0.06));
    else
        painter.drawImage(thumb, image);
    QPainterPath border;
    if (m_isCurrent) {
        border.addRoundedRect(thumb.adjusted(1, 1, -1, -1), 5, 5);
        painter.strokePath(border, QPen(Theme::accent(), 2));
    } else {
        border.addRoundedRect(thumb.adjusted(0.5, 0.5, -0.5, -0.5), 5.5, 5.5);
        painter.strokePath(border, QPen(Theme::white(0.18), 1));
    }
}

void MultiPageCardView::mousePressEvent(QMouseEvent* event)
{
    m_pressedOnThumbnail = event->button() == Qt::LeftButton && thumbnailRect().contains(event->position().toPoint());
    event->accept();
}

void MultiPageCardView::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = m_pressedOnThumbnail && event->button() == Qt::LeftButton
                       && thumbnailRect().contains(event->position().toPoint());
    m_pressedOnThumbnail = false;
    event->accept();
    if (click && m_actions.open)
        m_actions.open(m_pageIndex);
}

}  // namespace zelvane
