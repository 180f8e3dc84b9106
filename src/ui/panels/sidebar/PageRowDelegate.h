#pragma once

#include <QRect>
#include <QStyledItemDelegate>
#include <functional>

namespace zelvane {

class PageListModel;

// Paints one page of the page list: miniature, number badge, title, source
// chip, element count and, on the current page of a document with two or
// more pages, the chevrons that move it. A click on an enabled chevron runs
// onMove with -1 or +1 and nothing else (the row is not chosen by it); a
// click on a disabled chevron does nothing; a click anywhere else on the
// row runs onSelect.
class PageRowDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    static constexpr int kRowHeight = 64;
    static constexpr int kRowSpacing = 6;

    PageRowDelegate(PageListModel& model, QObject* parent = nullptr);

    std::function<void(int row)> onSelect;
    std::function<void(int row, int offset)> onMove;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // Where a row and its chevrons lie within the item's rectangle.
    static QRect rowRect(const QRect& itemRect);
    static QRect upChevronRect(const QRect& itemRect);
    static QRect downChevronRect(const QRect& itemRect);

protected:
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

private:
    PageListModel& m_model;
};

}  // namespace zelvane
