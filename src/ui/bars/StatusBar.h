#pragma once

#include "bars/StatusSummary.h"

#include <QWidget>
#include <utility>

class QLabel;

namespace zelvane {

class ActivitySpinner;
class AppModel;
class Chip;
class ElidedLabel;
class PlainTextButton;
class SymbolButton;

// The bottom bar: the document kind and the status line (the flash message
// while there is one), page navigation, the counts of the page and the
// document, the OSC port and links to the guides, the shortcuts, the about
// sheet and, while a newer release is offered, the update sheet.
class StatusBar : public QWidget {
    Q_OBJECT

public:
    static constexpr int kHeight = 24;

    explicit StatusBar(AppModel& model, QWidget* parent = nullptr);

    // The status text shown now (whole, before any cut for the width).
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void refresh();
    // The opening text alone, with the pages read so far.
    void refreshOpening();
    void previousPage();
    void nextPage();
    quint16 oscPort() const;
    // The summary's counts of the whole document, as the controller keeps
    // them (counting again only what an edit changed).
    StatusSummary::Totals documentTotals();

    AppModel& m_model;
    Chip* m_kind;
    ActivitySpinner* m_opening;
    ElidedLabel* m_message;
    SymbolButton* m_previous;
    QLabel* m_page;
    SymbolButton* m_next;
    QLabel* m_summary;
    PlainTextButton* m_osc;
    PlainTextButton* m_update;
};

}  // namespace zelvane
