#pragma once

#include "model/ElementList.h"

#include <QAbstractListModel>
#include <QList>
#include <QSet>

namespace zelvane {

class VectorController;
struct DocumentChange;

// The elements of the current page that the search query lets through, the
// topmost (last drawn) first. Rows follow element ids and only the rows
// whose element changed are reported: a changed element its row's data, a
// run of elements added or removed those rows, a new selection the rows
// that gained or lost it. Edits of other pages touch no row. The list is
// the page's own (shared) list read from its far end, and finding what
// changed passes over the blocks an edit left shared, so an edit of one
// element of a very large page costs about one block.
class LayerListModel : public QAbstractListModel {
    Q_OBJECT

public:
    explicit LayerListModel(VectorController& controller, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // The element of a row as the list last read it, or null.
    const VectorElement* element(int row) const;
    VectorController& controller() const { return m_controller; }

signals:
    // The number of listed elements may have changed.
    void listed();

private:
    void documentChanged(const DocumentChange& change);
    void sync();
    void selectionChanged();
    void emitRowsChanged(const QList<qsizetype>& rows);

    VectorController& m_controller;
    // In page order: row r shows the element at size() - 1 - r.
    ElementList m_elements;
    QSet<QUuid> m_selection;
};

}  // namespace zelvane
