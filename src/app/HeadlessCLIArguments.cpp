#include "HeadlessCLI.h"

#include "remote/RemotePaths.h"

#include <QDir>

namespace zelvane::HeadlessCLI {

std::optional<QString> value(const QString& flag, const QStringList& arguments)
{
    const qsizetype at = arguments.indexOf(flag);
    if (at < 0 || at + 1 >= arguments.size()) {
        return std::nullopt;
    }
    return arguments.at(at + 1);
}

std::optional<QString> firstInput(const QStringList& arguments)
{
    for (const QString& argument : arguments) {
        if (!argument.startsWith(QLatin1Char('-'))) {
            return argument;
        }
    }
    return std::nullopt;
}

QString resolvedPath(const QString& argument)
{
    return QDir::cleanPath(QDir::current().absoluteFilePath(expandTildeInPath(argument)));
}

}  // namespace zelvane::HeadlessCLI
