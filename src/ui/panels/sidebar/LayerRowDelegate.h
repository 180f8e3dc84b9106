#pragma once

#include <QRect>
#include <QStyledItemDelegate>
#include <functional>

namespace zelvane {

class LayerListModel;

// Paints one element of the layer list: kind symbol, title, kind badge,
// edited mark, lock and eye. The lock and the eye are hit areas of their
// own (onToggleLock, onToggleVisible) that do not choose the row; a click
// anywhere else runs onSelect.
class LayerRowDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    static constexpr int kRowHeight = 36;
    static constexpr int kRowSpacing = 3;
    // The row's buttons as the keyboard counts them, from the left.
    static constexpr int kLockButton = 1;
    static constexpr int kEyeButton = 2;

    explicit LayerRowDelegate(LayerListModel& model, QObject* parent = nullptr);

    std::function<void(int row)> onSelect;
    std::function<void(int row)> onToggleLock;
    std::function<void(int row)> onToggleVisible;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    static QRect rowRect(const QRect& itemRect);
    static QRect lockRect(const QRect& itemRect);
    static QRect eyeRect(const QRect& itemRect);

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

protected:
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

private:
    LayerListModel& m_model;
};

}  // namespace zelvane
