#pragma once

#include "model/VectorPage.h"

#include <QImage>
#include <QPixmap>
#include <QWidget>
#include <functional>

class QPainter;

namespace zelvane {

class TextButton;

// One page in the continuous and grid layouts: a header with the page
// badge, the title and the Sign and Edit buttons, over the page's thumbnail.
// A click on the thumbnail opens the page like Edit. The card is reused for
// other pages as the layout scrolls; its thumbnail comes from its owner.
class MultiPageCardView : public QWidget {
    Q_OBJECT

public:
    static constexpr int kPadding = 12;
    static constexpr int kSpacing = 8;
    static constexpr int kHeaderHeight = 24;
    static constexpr double kThumbnailRadius = 6;

    struct Actions {
        std::function<void(qsizetype)> open;
        std::function<void(qsizetype)> sign;
        // The finished thumbnail of a page, or a null image while it is made.
        std::function<QImage(qsizetype)> thumbnail;
    };

    MultiPageCardView(Actions actions, QWidget* parent = nullptr);

    void setPage(const VectorPage& page, qsizetype pageIndex, bool isCurrent, int cardWidth);
    qsizetype pageIndex() const { return m_pageIndex; }
    bool isCurrent() const { return m_isCurrent; }
    const VectorPage& page() const { return m_page; }
    int cardWidth() const { return m_cardWidth; }
    QString badgeText() const;

    // The card's size for a page and thumbnail width.
    static int thumbnailHeight(const VectorPage& page, int cardWidth);
    static QSize cardSize(const VectorPage& page, int cardWidth);
    // A thumbnail as the card shows it: its corners cut round.
    static QImage withRoundedCorners(const QImage& image);
    // Where the thumbnail is drawn, in the card's coordinates.
    QRect thumbnailRect() const;

    TextButton* signButton() const { return m_sign; }
    TextButton* editButton() const { return m_edit; }

    void retranslate();
    // The owner has a new thumbnail for the card's page.
    void thumbnailChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void placeButtons();
    void paintCard(QPainter& painter);
    void invalidate();

    Actions m_actions;
    VectorPage m_page;
    qsizetype m_pageIndex = -1;
    bool m_isCurrent = false;
    int m_cardWidth = 0;
    bool m_pressedOnThumbnail = false;
    // The card as last painted (buttons aside), copied while nothing it
    // shows has changed: scrolling then costs a copy per card.
    QPixmap m_painted;
    TextButton* m_sign;
    TextButton* m_edit;
};

}  // namespace zelvane
