#pragma once

#include "model/VectorElement.h"

#include <QAbstractListModel>
#include <QList>

namespace zelvane {

class VectorController;

// The elements of the current page that the search query lets through, the
// topmost (last drawn) first. Rows follow element ids: the same ids in the
// same order only report changed data (scroll, hover and focus stay); any
// other list resets the rows.
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
    void sync();

    VectorController& m_controller;
    QList<VectorElement> m_elements;
};

}  // namespace zelvane
