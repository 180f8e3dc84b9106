#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

namespace zelvane {

// The question an open panel asks when files are imported into a library.
struct FileChoiceRequest {
    QString title;
    // Qt name filters, for example "PDF, images, SVG (*.pdf *.png *.svg)".
    QStringList nameFilters;
    bool allowsMultipleSelection = true;
    // Folders are never offered for choice.
};

// What the controller asks of the desktop around it: a panel to choose files,
// the file manager, the user settings. The window installs one that shows
// real panels; tests install fakes, so the controller runs without a display.
class ControllerEnvironment {
public:
    virtual ~ControllerEnvironment() = default;

    // The chosen files in the panel's order, or nothing when the panel was
    // cancelled. The default has no panel to show and answers nothing.
    virtual std::optional<QStringList> chooseFiles(const FileChoiceRequest& request);

    // Asks the file manager to show a folder; whether it did is not examined.
    virtual void revealFolder(const QString& path);

    // The settings that keep the saved signatures (openUserSettings()).
    virtual std::unique_ptr<QSettings> openSettings();
};

}  // namespace zelvane
