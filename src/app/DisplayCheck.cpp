#include "DisplayCheck.h"

#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QStandardPaths>

#include <xcb/xcb.h>

namespace zelvane::DisplayCheck {

namespace {

QString argumentAfter(const QStringList& arguments, const QString& option)
{
    const qsizetype at = arguments.indexOf(option);
    return at >= 1 && at + 1 < arguments.size() ? arguments.at(at + 1) : QString();
}

// The platforms Qt would try, in order.
QStringList candidatePlatforms(const QStringList& arguments)
{
    QString chosen = argumentAfter(arguments, QStringLiteral("-platform"));
    if (chosen.isEmpty())
        chosen = qEnvironmentVariable("QT_QPA_PLATFORM");
    if (!chosen.isEmpty())
        return chosen.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    if (qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland"))
        return {QStringLiteral("wayland"), QStringLiteral("xcb")};
    return {QStringLiteral("xcb")};
}

bool pluginExists(const QString& fileName)
{
    QStringList folders = qEnvironmentVariable("QT_PLUGIN_PATH").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    folders.append(QLibraryInfo::path(QLibraryInfo::PluginsPath));
    for (const QString& folder : std::as_const(folders)) {
        if (QFileInfo::exists(folder + QStringLiteral("/platforms/") + fileName))
            return true;
    }
    return false;
}

std::optional<QString> xcbProblem(const QStringList& arguments)
{
    if (!pluginExists(QStringLiteral("libqxcb.so")))
        return QStringLiteral("the Qt platform plugin \"xcb\" is not installed");
    QString display = argumentAfter(arguments, QStringLiteral("-display"));
    if (display.isEmpty())
        display = qEnvironmentVariable("DISPLAY");
    if (display.isEmpty())
        return QStringLiteral("no display to open the window on (DISPLAY is not set)");
    const QByteArray name = display.toLocal8Bit();
    xcb_connection_t* connection = xcb_connect(name.constData(), nullptr);
    const bool failed = xcb_connection_has_error(connection) != 0;
    xcb_disconnect(connection);
    if (failed)
        return QStringLiteral("cannot connect to the display \"%1\"").arg(display);
    return std::nullopt;
}

std::optional<QString> waylandProblem()
{
    QString socket = qEnvironmentVariable("WAYLAND_DISPLAY", QStringLiteral("wayland-0"));
    if (!QDir::isAbsolutePath(socket)) {
        const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
        if (runtime.isEmpty())
            return QStringLiteral("no Wayland display (XDG_RUNTIME_DIR is not set)");
        socket = runtime + QLatin1Char('/') + socket;
    }
    if (!QFileInfo::exists(socket))
        return QStringLiteral("no Wayland display at %1").arg(socket);
    if (!pluginExists(QStringLiteral("libqwayland-generic.so")))
        return QStringLiteral("the Qt platform plugin \"wayland\" is not installed");
    return std::nullopt;
}

}  // namespace

std::optional<QString> problem(const QStringList& arguments)
{
    std::optional<QString> first;
    for (const QString& candidate : candidatePlatforms(arguments)) {
        const QString name = candidate.section(QLatin1Char(':'), 0, 0);
        std::optional<QString> found;
        if (name == QLatin1String("xcb"))
            found = xcbProblem(arguments);
        else if (name.startsWith(QLatin1String("wayland")))
            found = waylandProblem();
        else if (!pluginExists(QStringLiteral("libq") + name + QStringLiteral(".so")))
            found = QStringLiteral("the Qt platform plugin \"%1\" is not installed").arg(name);
        if (!found)
            return std::nullopt;
        if (!first)
            first = found;
    }
    return first;
}

}  // namespace zelvane::DisplayCheck
