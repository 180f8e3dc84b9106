#include "panels/sidebar/LayerListModel.h"

#include "DocumentChange.h"
#include "VectorController.h"
#include "panels/sidebar/CommonEnds.h"

#include <algorithm>

namespace zelvane {

LayerListModel::LayerListModel(VectorController& controller, QObject* parent)
    : QAbstractListModel(parent), m_controller(controller)
{
    m_elements = controller.filteredElementsOnCurrentPage();
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
    const qsizetype count = m_elements.size();
    return row >= 0 && row < count ? &m_elements.at(count - 1 - row) : nullptr;
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
    ElementList elements = m_controller.filteredElementsOnCurrentPage();
    const qsizetype oldCount = m_elements.size();
    const qsizetype newCount = elements.size();

    // Page order here; rows run the other way. What both lists keep equal
    // at both ends stands; blocks the lists share are passed over whole.
    const qsizetype same = ElementList::commonPrefix(m_elements, elements);
    const qsizetype sameEnd = ElementList::commonSuffix(m_elements, elements, std::min(oldCount, newCount) - same);
    // Between them: elements of the same ids in the same places changed in
    // place; the rest was removed, added or replaced.
    const qsizetype oldMiddle = oldCount - same - sameEnd;
    const qsizetype newMiddle = newCount - same - sameEnd;
    // Counted from `same` on and from `sameEnd` back: the same ids.
    const auto [head, tail] = commonEnds(oldMiddle, newMiddle, [&](qsizetype i, qsizetype j) {
        return m_elements.at(same + i).id == elements.at(same + j).id;
    });

    // Rows, counted in the new list, whose element changed in place.
    QList<qsizetype> changed;
    for (qsizetype i = 0; i < head; ++i) {
        if (!(m_elements.at(same + i) == elements.at(same + i)))
            changed.append(newCount - 1 - (same + i));
    }
    for (qsizetype i = 0; i < tail; ++i) {
        const qsizetype index = newCount - sameEnd - 1 - i;
        if (!(m_elements.at(oldCount - sameEnd - 1 - i) == elements.at(index)))
            changed.append(newCount - 1 - index);
    }

    // The replaced run: page indices [same + head, count - sameEnd - tail)
    // in each list, rows [sameEnd + tail, count - same - head).
    const qsizetype firstRow = sameEnd + tail;
    const qsizetype removed = oldMiddle - head - tail;
    const qsizetype added = newMiddle - head - tail;
    if (removed > 0) {
        beginRemoveRows(QModelIndex(), int(firstRow), int(firstRow + removed - 1));
        m_elements.remove(same + head, removed);
        endRemoveRows();
    }
    if (added > 0) {
        beginInsertRows(QModelIndex(), int(firstRow), int(firstRow + added - 1));
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
    // Only the ids that joined or left the selection are looked for.
    QSet<QUuid> flipped = now;
    flipped.unite(m_selection);
    for (const QUuid& id : std::as_const(m_selection)) {
        if (now.contains(id))
            flipped.remove(id);
    }
    if (!flipped.isEmpty()) {
        const qsizetype count = m_elements.size();
        qsizetype index = 0;
        for (const VectorElement& element : std::as_const(m_elements)) {
            if (flipped.contains(element.id))
                changed.append(count - 1 - index);
            ++index;
        }
        std::sort(changed.begin(), changed.end());
    }
    m_selection = now;
    emitRowsChanged(changed);
}

}  // namespace zelvane
