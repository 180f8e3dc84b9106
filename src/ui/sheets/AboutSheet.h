#pragma once

#include "AppVersion.h"

#include <QColor>
#include <QList>
#include <QString>
#include "sheets/SheetView.h"

#include <QWidget>
#include <functional>

class QAbstractButton;
class QLabel;

namespace zelvane {

class AppModel;

namespace SheetParts {
class PlainButton;
}

// The about sheet: the illustration, name and version (copied with one
// click), the formats and the remote-control ports, four highlights, and
// the update, guide and OK buttons. Return closes it.
class AboutSheet : public SheetView {
    Q_OBJECT

public:
    struct FeatureItem {
        QString icon;
        QColor tint;
        QString title;
        QString detail;
    };
    // The four highlight cards, in the current language.
    static QList<FeatureItem> features();

    static constexpr int kWidth = 650;

    // Closing lowers showAbout; the guide button raises showHelp on a later
    // turn of the event loop.
    explicit AboutSheet(AppModel& model, QWidget* parent = nullptr);
    AboutSheet(AppModel& model, AppVersion version, std::function<void()> openHelp, std::function<void()> close,
               QWidget* parent = nullptr);

    // "Zelvane 0.2.2" or "Zelvane 0.2.2 (57)": what the version button copies.
    QString copyText() const;
    bool copiedVersion() const { return m_copiedVersion; }

    QAbstractButton* versionButton() const { return m_versionButton; }
    QAbstractButton* updateButton() const;
    QAbstractButton* guideButton() const;
    QAbstractButton* okButton() const { return m_okButton; }
    QString oscBadgeText() const;
    QString httpBadgeText() const;

private:
    QWidget* makeIdentity();
    QWidget* makeHighlights();
    QWidget* makeFooter();
    void copyVersion();
    void checkForUpdates();
    void refreshPorts();
    void refreshUpdateButton();
    QString versionButtonText() const;

    AppModel& m_model;
    AppVersion m_version;
    std::function<void()> m_openHelp;
    bool m_copiedVersion = false;
    QAbstractButton* m_versionButton = nullptr;
    QWidget* m_oscBadge = nullptr;
    QWidget* m_httpBadge = nullptr;
    SheetParts::PlainButton* m_updateButton = nullptr;
    SheetParts::PlainButton* m_guideButton = nullptr;
    QAbstractButton* m_okButton = nullptr;
};

}  // namespace zelvane
