#pragma once

#include <QList>
#include <QPair>
#include "sheets/SheetView.h"

#include <QWidget>
#include <functional>

class QAbstractButton;
class QScrollArea;
class QVBoxLayout;

namespace zelvane {

class AppModel;
struct AppVersion;

// The user guide: five sections listed on the left, the chosen one on the
// right, and a footer that hands over to the shortcuts card. A new sheet
// always starts on the first section. Return closes it.
class HelpManualSheet : public SheetView {
    Q_OBJECT

public:
    enum class SectionID { quickStart, pdfTextEditing, signaturesAndStamps, multipageAndSVG, oscAndMCP };
    static const QList<SectionID>& allSections();
    static QString rawValue(SectionID section);
    // The short title of the section list, in the current language.
    static QString title(SectionID section);
    static QString icon(SectionID section);

    static constexpr int kWidth = 760;
    static constexpr int kHeight = 520;

    // Closing lowers showHelp; the shortcuts button closes the guide, then
    // raises showShortcuts on a later turn of the event loop.
    explicit HelpManualSheet(AppModel& model, QWidget* parent = nullptr);
    HelpManualSheet(std::function<void()> openShortcuts, std::function<void()> close, QWidget* parent = nullptr);

    SectionID selectedSection() const { return m_selected; }
    void selectSection(SectionID section);
    // The row of a section in the list.
    QAbstractButton* sectionButton(SectionID section) const;
    QAbstractButton* shortcutsButton() const { return m_shortcutsButton; }
    QAbstractButton* okButton() const { return m_okButton; }
    QScrollArea* contentArea() const { return m_scroll; }
    // The heading shown above the current section's text.
    QString currentHeading() const;

private:
    QWidget* makeHeader();
    QWidget* makeMiddle();
    QWidget* makeFooter();
    QWidget* sectionContent(SectionID section);
    void showSection();

    std::function<void()> m_openShortcuts;
    SectionID m_selected = SectionID::quickStart;
    QList<QAbstractButton*> m_sectionButtons;
    QScrollArea* m_scroll = nullptr;
    QAbstractButton* m_shortcutsButton = nullptr;
    QAbstractButton* m_okButton = nullptr;
};

}  // namespace zelvane
