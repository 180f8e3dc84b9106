#pragma once

#include <QList>
#include <QWidget>

class QLabel;

namespace zelvane {

class AppModel;
class IconButton;
class LibraryRow;
class LibraryRowList;
class TextButton;

// The inspector's signature library: the saved signatures with their
// miniatures, the active one marked, and the commands that place the active
// signature, import a file, open and reload the Signatures folder. Choosing
// a row only makes it the active signature. Rows are rebuilt only when the
// library changes; the mark moves in place.
class SignatureLibrarySection : public QWidget {
    Q_OBJECT

public:
    explicit SignatureLibrarySection(AppModel& model, QWidget* parent = nullptr);

    const QList<LibraryRow*>& rows() const;
    QLabel* emptyNote() const { return m_emptyNote; }
    IconButton* openFolderButton() const { return m_openFolder; }
    IconButton* reloadButton() const { return m_reload; }
    TextButton* importButton() const { return m_import; }
    TextButton* signButton() const { return m_sign; }

private:
    void rebuildRows();
    void markActive();

    AppModel& m_model;
    LibraryRowList* m_rows = nullptr;
    QLabel* m_emptyNote = nullptr;
    IconButton* m_openFolder = nullptr;
    IconButton* m_reload = nullptr;
    TextButton* m_import = nullptr;
    TextButton* m_sign = nullptr;
};

}  // namespace zelvane
