#pragma once

#include "model/PageFormatPreset.h"

#include <QList>
#include <QUuid>
#include <QWidget>

class QLabel;

namespace zelvane {

class AppModel;
class CommitField;
class TextButton;

// The inspector's page and document section: the document title, the
// current page's title and size, and three page formats. The document title
// is kept outside the edit history; the page title and the format are one
// undo step each and do nothing while the current page does not exist. A
// page-title draft is committed to the page it was typed for, even when
// another page became current meanwhile.
class PageDocumentSection : public QWidget {
    Q_OBJECT

public:
    // The formats offered, in button order.
    static const QList<PageFormatPreset>& formats();

    explicit PageDocumentSection(AppModel& model, QWidget* parent = nullptr);
    ~PageDocumentSection() override;

    CommitField* documentTitleField() const { return m_documentTitle; }
    CommitField* pageTitleField() const { return m_pageTitle; }
    QLabel* sizeLabel() const { return m_size; }
    const QList<TextButton*>& formatButtons() const { return m_formatButtons; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void refresh();
    void commitPageTitle(const QString& title);

    AppModel& m_model;
    CommitField* m_documentTitle = nullptr;
    CommitField* m_pageTitle = nullptr;
    QLabel* m_size = nullptr;
    QList<TextButton*> m_formatButtons;
    // The page whose title the page field holds (the one it was last filled
    // from while not being edited).
    QUuid m_fieldPageID;
};

}  // namespace zelvane
