#include "panels/sidebar/PageListModel.h"

#include "DocumentChange.h"
#include "VectorController.h"
#include "panels/sidebar/CommonEnds.h"

#include <QHash>

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
    const qsizetype oldCount = m_ids.size();
    const qsizetype newCount = pages.size();
    // The ids kept at both ends; what lies between was removed, added or
    // moved, and only those rows are replaced.
    const auto [head, tail] =
        commonEnds(oldCount, newCount, [&](qsizetype i, qsizetype j) { return m_ids.at(i) == pages.at(j).id; });
    const qsizetype removed = oldCount - head - tail;
    const qsizetype added = newCount - head - tail;
    if (change.pageListChanged && !change.changedPageIDs.isEmpty() && change.changedPageIDs.size() == newCount &&
        head == 0 && tail == 0) {
        // Another document: every row is new.
        beginResetModel();
        m_ids.clear();
        m_ids.reserve(newCount);
        for (const VectorPage& page : pages)
            m_ids.append(page.id);
        endResetModel();
        m_paintedCurrent = m_controller.currentPageIndex();
        return;
    }
    if (removed > 0) {
        beginRemoveRows(QModelIndex(), int(head), int(head + removed - 1));
        m_ids.remove(head, removed);
        endRemoveRows();
    }
    if (added > 0) {
        beginInsertRows(QModelIndex(), int(head), int(head + added - 1));
        for (qsizetype i = 0; i < added; ++i)
            m_ids.insert(head + i, pages.at(head + i).id);
        endInsertRows();
    }
    if (!change.changedPageIDs.isEmpty()) {
        QHash<QUuid, qsizetype> rows;
        if (change.changedPageIDs.size() > 8) {
            rows.reserve(m_ids.size());
            for (qsizetype row = 0; row < m_ids.size(); ++row)
                rows.insert(m_ids.at(row), row);
        }
        for (const QUuid& id : change.changedPageIDs) {
            const qsizetype row = rows.isEmpty() ? m_ids.indexOf(id) : rows.value(id, -1);
            // Rows just inserted are drawn anew anyway.
            if (row >= 0 && (row < head || row >= head + added))
                emit dataChanged(index(int(row)), index(int(row)));
        }
    }
    if (m_paintedCurrent != m_controller.currentPageIndex())
        currentPageMoved();
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
