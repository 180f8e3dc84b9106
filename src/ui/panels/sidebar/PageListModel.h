#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QUuid>

namespace zelvane {

class VectorController;
struct DocumentChange;
struct VectorPage;

// The pages of the controller's document, one row per page id, in document
// order. When the document changes with the same ids in the same order only
// the rows of the pages whose content changed report changed data, so the
// view keeps its scroll position, hover and focus and repaints nothing else;
// only a different id list resets the rows. The current
// page is not a selection of the view: the row delegate asks the controller.
class PageListModel : public QAbstractListModel {
    Q_OBJECT

public:
    enum Role { PageIDRole = Qt::UserRole + 1 };

    explicit PageListModel(VectorController& controller, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // The page of a row, or null outside the rows.
    const VectorPage* page(int row) const;
    VectorController& controller() const { return m_controller; }

private:
    void sync(const DocumentChange& change);
    void currentPageMoved();

    VectorController& m_controller;
    QList<QUuid> m_ids;
    qsizetype m_paintedCurrent = -1;
};

}  // namespace zelvane
