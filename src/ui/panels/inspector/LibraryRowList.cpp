#include "panels/inspector/LibraryRowList.h"

#include "panels/inspector/ArtworkThumbnails.h"
#include "panels/inspector/LibraryRow.h"

#include <QVBoxLayout>

namespace zelvane {

LibraryRowList::LibraryRowList(QWidget* parent) : QWidget(parent), m_layout(new QVBoxLayout(this))
{
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(8);
    connect(&ArtworkThumbnails::shared(), &ArtworkThumbnails::ready, this, [this] {
        for (LibraryRow* row : std::as_const(m_rows))
            row->update();
    });
}

void LibraryRowList::clear()
{
    for (LibraryRow* row : std::as_const(m_rows)) {
        row->hide();
        m_layout->removeWidget(row);
        row->deleteLater();
    }
    m_rows.clear();
    m_ids.clear();
}

void LibraryRowList::add(LibraryRow* row, const QUuid& id)
{
    m_layout->addWidget(row);
    m_rows.append(row);
    m_ids.append(id);
}

void LibraryRowList::markActive(const std::optional<QUuid>& active)
{
    for (qsizetype i = 0; i < m_rows.size(); ++i)
        m_rows.at(i)->setActive(active && m_ids.at(i) == *active);
}

}  // namespace zelvane
