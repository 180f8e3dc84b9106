#pragma once

#include "ControllerEnvironment.h"

#include <QPointer>
#include <QWidget>

namespace zelvane {

// The controller's environment in the editor window: file dialogs over the
// window for opening, saving and library imports.
class WindowEnvironment : public ControllerEnvironment {
public:
    explicit WindowEnvironment(QWidget* window);

    std::optional<QStringList> chooseFiles(const FileChoiceRequest& request) override;
    // The dialog's own overwrite question is off: the format's extension is
    // appended first, and the file then named is the one asked about.
    std::optional<QString> chooseSaveFile(const SaveFileRequest& request) override;

    // Asks whether an existing file may be replaced.
    static bool confirmReplacing(QWidget* parent, const QString& path);

private:
    QPointer<QWidget> m_window;
};

}  // namespace zelvane
