#include "ControllerEnvironment.h"

#include "Settings.h"

#include <QDesktopServices>
#include <QUrl>

namespace zelvane {

std::optional<QStringList> ControllerEnvironment::chooseFiles(const FileChoiceRequest&)
{
    return std::nullopt;
}

void ControllerEnvironment::revealFolder(const QString& path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

std::unique_ptr<QSettings> ControllerEnvironment::openSettings()
{
    return openUserSettings();
}

}  // namespace zelvane
