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
    // The folder the panel shows first; empty leaves it to the panel.
    QString startFolder;
};

// The question a save panel asks for one file of one format.
struct SaveFileRequest {
    QString title;
    // The file name offered, with its extension ("Plan.svg").
    QString proposedName;
    // One Qt name filter, for example "SVG (*.svg)".
    QString nameFilter;
    // The format's extension without the dot ("svg"); a chosen name ending
    // in another one gets it appended.
    QString suffix;
    // The folder the panel shows first; empty leaves it to the panel.
    QString startFolder;
};

// `path` ending in ".suffix" (any letter case), else with it appended:
// "a" and "a.pdf" saved as SVG become "a.svg" and "a.pdf.svg".
QString pathWithSuffix(const QString& path, const QString& suffix);

// What the controller asks of the desktop around it: a panel to choose files,
// the file manager, the user settings. The window installs one that shows
// real panels; tests install fakes, so the controller runs without a display.
class ControllerEnvironment {
public:
    virtual ~ControllerEnvironment() = default;

    // The chosen files in the panel's order, or nothing when the panel was
    // cancelled. The default has no panel to show and answers nothing.
    virtual std::optional<QStringList> chooseFiles(const FileChoiceRequest& request);

    // Where to save, with the request's suffix ensured, and an existing file
    // there confirmed for replacing; nothing when cancelled. The default has
    // no panel and answers nothing.
    virtual std::optional<QString> chooseSaveFile(const SaveFileRequest& request);

    // Asks the file manager to show a folder; whether it did is not examined.
    virtual void revealFolder(const QString& path);

    // The settings that keep the saved signatures (openUserSettings()).
    virtual std::unique_ptr<QSettings> openSettings();
};

}  // namespace zelvane
