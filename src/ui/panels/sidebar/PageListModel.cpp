#include "panels/sidebar/PageListModel.h"

#include "DocumentChange.h"
#include "VectorController.h"

namespace zelvane {

PageListModel::PageListModel(VectorController& controller, QObject* parent)
    : QAbstractListModel(parent), m_controller(controller)
{
    for (const VectorPage& page : controller.document().pages)
        m_ids.append(page.id);
    m_paintedCurrent = controller.currentPageIndex();
    connect(&controller, &VectorController::documentChanged, this, &PageListModel::sync);
    connect(&controller, &VectorController::currentPageIndexChanged, this, &PageListModel::currentPageMoved);
}

int PageListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_ids.size());
}

QVariant PageListModel::data(const QModelIndex& index, int role) const
{
    const VectorPage* shown = page(index.row());
    if (!index.isValid() || !shown)
        return {};
    switch (role) {
    case Qt::DisplayRole: return shown->title;
    case PageIDRole: return shown->id;
    default: return {};
    }
}

const VectorPage* PageListModel::page(int row) const
{
    const QList<VectorPage>& pages = m_controller.document().pages;
    return row >= 0 && row < pages.size() && row < m_ids.size() ? &pages.at(row) : nullptr;
}

void PageListModel::sync(const DocumentChange& change)
{
    const QList<VectorPage>& pages = m_controller.document().pages;
    bool sameIDs = pages.size() == m_ids.size();
    for (qsizetype i = 0; sameIDs && i < pages.size(); ++i)
        sameIDs = pages.at(i).id == m_ids.at(i);
    if (!sameIDs) {
        beginResetModel();
        m_ids.clear();
        m_ids.reserve(pages.size());
        for (const VectorPage& page : pages)
            m_ids.append(page.id);
        endResetModel();
    } else {
        for (const QUuid& id : change.changedPageIDs) {
            const qsizetype row = m_ids.indexOf(id);
            if (row >= 0)
                emit dataChanged(index(int(row)), index(int(row)));
        }
        if (m_paintedCurrent != m_controller.currentPageIndex())
            currentPageMoved();
        return;
    }
    m_paintedCurrent = m_controller.currentPageIndex();
}

void PageListModel::currentPageMoved()
{
    // Only the rows that were and are now current look different.
    const qsizetype now = m_controller.currentPageIndex();
    for (const qsizetype row : {m_paintedCurrent, now}) {
        if (row >= 0 && row < m_ids.size())
            emit dataChanged(index(int(row)), index(int(row)));
    }
    m_paintedCurrent = now;
}

}  // namespace zelvane
