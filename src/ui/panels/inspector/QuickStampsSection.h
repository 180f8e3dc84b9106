#pragma once

#include "model/StampPayload.h"

#include <QAbstractButton>
#include <QList>
#include <QWidget>


namespace zelvane {

class AppModel;
class IconButton;
class LibraryRow;
class LibraryRowList;
class StampChip;
class TextButton;

// The inspector's quick stamps: the custom stamps of the Stamps folder and
// a grid of six built-in stamps. A click chooses that stamp and places it
// on the current page at once. Custom rows are rebuilt only when the
// library changes; the active mark moves in place.
class QuickStampsSection : public QWidget {
    Q_OBJECT

public:
    // The built-in stamps offered, in grid order (two per line).
    static const QList<VectorStampKind>& chipKinds();

    explicit QuickStampsSection(AppModel& model, QWidget* parent = nullptr);

    const QList<LibraryRow*>& rows() const;
    const QList<StampChip*>& chips() const { return m_chips; }
    IconButton* openFolderButton() const { return m_openFolder; }
    IconButton* reloadButton() const { return m_reload; }
    TextButton* importButton() const { return m_import; }

private:
    void rebuildRows();
    void markActive();

    AppModel& m_model;
    LibraryRowList* m_rows = nullptr;
    QList<StampChip*> m_chips;
    IconButton* m_openFolder = nullptr;
    IconButton* m_reload = nullptr;
    TextButton* m_import = nullptr;
};

// One built-in stamp of the grid: its title in the kind's colour on a faint
// fill of the same colour.
class StampChip : public QAbstractButton {
    Q_OBJECT

public:
    StampChip(VectorStampKind kind, QWidget* parent = nullptr);

    VectorStampKind kind() const { return m_kind; }
    // The kind's colour, opaque; green when its colour text does not parse.
    static QColor chipColor(VectorStampKind kind);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    VectorStampKind m_kind;
};

}  // namespace zelvane
