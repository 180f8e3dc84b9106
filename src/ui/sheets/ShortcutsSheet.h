#pragma once

#include <QList>
#include <QString>
#include "sheets/SheetView.h"

#include <QWidget>
#include <functional>

class QAbstractButton;

namespace zelvane {

class AppModel;

// The keyboard shortcuts card: three columns (tools, documents, framing)
// whose keys are read from the shortcut table the menus and the single-key
// handler use, so the card and the menus never disagree. It binds none of them; Return closes it.
class ShortcutsSheet : public SheetView {
    Q_OBJECT

public:
    struct Row {
        QString keys;  // alternatives joined by " / ", as Qt writes each key
        QString description;
    };
    struct Group {
        QString title;
        QList<Row> rows;
    };
    // The card's groups, in the current language.
    static QList<Group> groups();

    static constexpr int kWidth = 860;
    static constexpr int kKeyWidth = 86;

    // Closing lowers showShortcuts.
    explicit ShortcutsSheet(AppModel& model, QWidget* parent = nullptr);
    explicit ShortcutsSheet(std::function<void()> close, QWidget* parent = nullptr);

    QAbstractButton* closeButton() const { return m_closeButton; }

private:
    QAbstractButton* m_closeButton = nullptr;
};

}  // namespace zelvane
