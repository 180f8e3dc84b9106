#include "panels/sidebar/LayerListModel.h"

#include "VectorController.h"

#include <algorithm>

namespace zelvane {

LayerListModel::LayerListModel(VectorController& controller, QObject* parent)
    : QAbstractListModel(parent), m_controller(controller)
{
    m_elements = controller.filteredElementsOnCurrentPage();
    std::reverse(m_elements.begin(), m_elements.end());
    connect(&controller, &VectorController::documentChanged, this, &LayerListModel::sync);
    connect(&controller, &VectorController::currentPageIndexChanged, this, &LayerListModel::sync);
    connect(&controller, &VectorController::searchQueryChanged, this, &LayerListModel::sync);
    connect(&controller, &VectorController::selectionChanged, this, [this] {
        if (!m_elements.isEmpty())
            emit dataChanged(index(0), index(int(m_elements.size()) - 1));
    });
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

void LayerListModel::sync()
{
    QList<VectorElement> elements = m_controller.filteredElementsOnCurrentPage();
    std::reverse(elements.begin(), elements.end());
    bool sameIDs = elements.size() == m_elements.size();
    for (qsizetype i = 0; sameIDs && i < elements.size(); ++i)
        sameIDs = elements.at(i).id == m_elements.at(i).id;
    if (!sameIDs) {
        beginResetModel();
        m_elements = std::move(elements);
        endResetModel();
    } else {
        m_elements = std::move(elements);
        if (!m_elements.isEmpty())
            emit dataChanged(index(0), index(int(m_elements.size()) - 1));
    }
    emit listed();
}

}  // namespace zelvane
