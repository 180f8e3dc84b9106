#include "LaunchFiles.h"

#include <QDir>
#include <QFileInfo>

namespace zelvane::LaunchFiles {

QString expandTilde(const QString& path)
{
    if (path == QLatin1String("~"))
        return QDir::homePath();
    if (path.startsWith(QLatin1String("~/")))
        return QDir::homePath() + path.mid(1);
    return path;
}

std::optional<QUrl> firstExistingFile(const QStringList& arguments)
{
    qsizetype index = 0;
    while (index < arguments.size()) {
        const QString& argument = arguments.at(index);
        if (argument.startsWith(QLatin1Char('-'))) {
            index += 2;
            continue;
        }
        const QFileInfo info(expandTilde(argument));
        if (!argument.isEmpty() && info.exists())
            return QUrl::fromLocalFile(QDir::cleanPath(info.absoluteFilePath()));
        index += 1;
    }
    return std::nullopt;
}

}  // namespace zelvane::LaunchFiles
