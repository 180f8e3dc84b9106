#include "ControllerEnvironment.h"

#include "Settings.h"

#include <QDesktopServices>
#include <QUrl>

namespace zelvane {

std::optional<QStringList> ControllerEnvironment::chooseFiles(const FileChoiceRequest&)
{
    return std::nullopt;
}

std::optional<QString> ControllerEnvironment::chooseSaveFile(const SaveFileRequest&)
{
    return std::nullopt;
}

QString pathWithSuffix(const QString& path, const QString& suffix)
{
    if (suffix.isEmpty() || path.endsWith(QLatin1Char('.') + suffix, Qt::CaseInsensitive))
        return path;
    return path + QLatin1Char('.') + suffix;
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
