#include "panels/sidebar/LayerListModel.h"

#include "DocumentChange.h"
#include "VectorController.h"

#include <algorithm>

namespace zelvane {

LayerListModel::LayerListModel(VectorController& controller, QObject* parent)
    : QAbstractListModel(parent), m_controller(controller)
{
    m_elements = controller.filteredElementsOnCurrentPage();
    std::reverse(m_elements.begin(), m_elements.end());
    m_selection = controller.selection();
    connect(&controller, &VectorController::documentChanged, this, &LayerListModel::documentChanged);
    connect(&controller, &VectorController::currentPageIndexChanged, this, &LayerListModel::sync);
    connect(&controller, &VectorController::searchQueryChanged, this, &LayerListModel::sync);
    connect(&controller, &VectorController::selectionChanged, this, &LayerListModel::selectionChanged);
}

int LayerListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_elements.size());
}

QVariant LayerListModel::data(const QModelIndex& index, int role) const
{
    const VectorElement* shown = element(index.row());
    if (!index.isValid() || !shown)
        return {};
    switch (role) {
    case Qt::DisplayRole: return shown->displayTitle();
    case Qt::UserRole: return shown->id;
    default: return {};
    }
}

const VectorElement* LayerListModel::element(int row) const
{
    return row >= 0 && row < m_elements.size() ? &m_elements.at(row) : nullptr;
}

void LayerListModel::emitRowsChanged(const QList<qsizetype>& rows)
{
    // One report per run of neighbouring rows (a drag of many elements
    // changes them all at once).
    for (qsizetype i = 0; i < rows.size();) {
        qsizetype last = i;
        while (last + 1 < rows.size() && rows[last + 1] == rows[last] + 1)
            ++last;
        emit dataChanged(index(int(rows[i])), index(int(rows[last])));
        i = last + 1;
    }
}

void LayerListModel::documentChanged(const DocumentChange& change)
{
    // The current page kept its content: its rows stand as they are.
    if (!change.pageListChanged && !change.pageChanged(m_controller.currentPage().id))
        return;
    sync();
}

void LayerListModel::sync()
{
    QList<VectorElement> elements = m_controller.filteredElementsOnCurrentPage();
    std::reverse(elements.begin(), elements.end());
    const qsizetype oldCount = m_elements.size();
    const qsizetype newCount = elements.size();

    // The rows that keep their element at both ends; what lies between was
    // removed, added or replaced.
    qsizetype head = 0;
    while (head < oldCount && head < newCount && m_elements.at(head).id == elements.at(head).id)
        ++head;
    qsizetype tail = 0;
    while (tail < oldCount - head && tail < newCount - head &&
           m_elements.at(oldCount - 1 - tail).id == elements.at(newCount - 1 - tail).id)
        ++tail;

    QList<qsizetype> changed;
    for (qsizetype row = 0; row < head; ++row) {
        if (!(m_elements.at(row) == elements.at(row)))
            changed.append(row);
    }
    for (qsizetype i = 0; i < tail; ++i) {
        if (!(m_elements.at(oldCount - 1 - i) == elements.at(newCount - 1 - i)))
            changed.append(newCount - 1 - i);
    }

    if (oldCount - tail > head) {
        beginRemoveRows(QModelIndex(), int(head), int(oldCount - tail - 1));
        m_elements.remove(head, oldCount - tail - head);
        endRemoveRows();
    }
    if (newCount - tail > head) {
        beginInsertRows(QModelIndex(), int(head), int(newCount - tail - 1));
        m_elements = elements;
        endInsertRows();
    }
    // Same rows from here on: the changed elements are taken as they are now.
    m_elements = std::move(elements);
    std::sort(changed.begin(), changed.end());
    emitRowsChanged(changed);
    emit listed();
}

void LayerListModel::selectionChanged()
{
    const QSet<QUuid>& now = m_controller.selection();
    QList<qsizetype> changed;
    for (qsizetype row = 0; row < m_elements.size(); ++row) {
        const QUuid& id = m_elements.at(row).id;
        if (m_selection.contains(id) != now.contains(id))
            changed.append(row);
    }
    m_selection = now;
    emitRowsChanged(changed);
}

}  // namespace zelvane
