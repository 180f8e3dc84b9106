#include "remote/RemotePaths.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace zelvane {
namespace {

QString homeOfUser(const QString& name)
{
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size_t(size > 0 ? size : 16384));
    passwd entry{};
    passwd* found = nullptr;
    const QByteArray encoded = name.toLocal8Bit();
    if (::getpwnam_r(encoded.constData(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
        !found->pw_dir)
        return {};
    return QString::fromLocal8Bit(found->pw_dir);
}

}  // namespace

QString expandTildeInPath(const QString& path)
{
    if (!path.startsWith(u'~'))
        return path;
    const qsizetype slash = path.indexOf(u'/');
    const QString user = path.mid(1, slash < 0 ? -1 : slash - 1);
    QString home = user.isEmpty() ? QDir::homePath() : homeOfUser(user);
    if (home.isEmpty())
        return path;
    while (home.size() > 1 && home.endsWith(u'/'))
        home.chop(1);
    if (slash < 0)
        return home;
    return home == QStringLiteral("/") ? path.mid(slash) : home + path.mid(slash);
}

QString remoteExportRefusal(const QString& path, std::optional<ExportFormat> format)
{
    // A NUL would cut the name the system sees short of the one checked here.
    for (const QChar character : path) {
        if (character.category() == QChar::Other_Control)
            return QStringLiteral("refusing to write a path holding control characters");
    }
    const QString extension = QFileInfo(path).suffix().toLower();
    if (format) {
        if (extension != rawValue(*format))
            return QStringLiteral("refusing to write %1: a %2 export must end in .%3")
                .arg(path, rawValue(*format).toUpper(), rawValue(*format));
    } else if (extension != QStringLiteral("pdf") && extension != QStringLiteral("svg") &&
               extension != QStringLiteral("png")) {
        return QStringLiteral("refusing to write %1: only .pdf, .svg and .png files are written").arg(path);
    }
    const QByteArray encoded = QFile::encodeName(path);
    struct stat status {};
    if (::lstat(encoded.constData(), &status) != 0)
        return {};  // nothing there yet (or not reachable: the write reports that)
    if (!S_ISREG(status.st_mode))
        return QStringLiteral("refusing to replace %1: not a regular file").arg(path);
    return {};
}

}  // namespace zelvane
