#pragma once

#include <QList>
#include <QUuid>
#include <QWidget>
#include <optional>

class QVBoxLayout;

namespace zelvane {

class LibraryRow;

// The rows of a library section, 8 points apart. Rows are replaced only
// when the library changes; the active mark moves in place, and the rows
// repaint when decoded artwork arrives.
class LibraryRowList : public QWidget {
    Q_OBJECT

public:
    explicit LibraryRowList(QWidget* parent = nullptr);

    const QList<LibraryRow*>& rows() const { return m_rows; }
    void clear();
    // Takes the row; `id` is the preset it stands for.
    void add(LibraryRow* row, const QUuid& id);
    // Marks the row of that preset, none for none.
    void markActive(const std::optional<QUuid>& active);

private:
    QVBoxLayout* m_layout;
    QList<LibraryRow*> m_rows;
    QList<QUuid> m_ids;
};

}  // namespace zelvane
