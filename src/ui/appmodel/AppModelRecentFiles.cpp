// The recent files: newest first, at most kMaxRecentFiles, kept in the user
// settings as absolute, cleaned paths.

#include "appmodel/AppModel.h"

#include "Settings.h"

#include <QDir>
#include <QFileInfo>

namespace zelvane {

namespace {

QString cleanedAbsolutePath(const QString& path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

}  // namespace

void AppModel::loadRecentURLs()
{
    const auto settings = openUserSettings();
    const QVariant stored = settings->value(QLatin1String(kRecentPathsKey));
    // The settings file gives a list of one path back as a plain string;
    // any other kind of value counts as no list.
    const int type = stored.typeId();
    const QStringList paths = type == QMetaType::QStringList || type == QMetaType::QVariantList ||
                                      type == QMetaType::QString
                                  ? stored.toStringList()
                                  : QStringList();
    QList<QUrl> loaded;
    for (const QString& path : paths) {
        if (loaded.size() >= kMaxRecentFiles)
            break;
        // Only absolute paths that still name something on disk.
        if (path.isEmpty() || !QDir::isAbsolutePath(path) || !QFileInfo::exists(path))
            continue;
        loaded.append(QUrl::fromLocalFile(path));
    }
    assignAndNotify(m_recentURLs, loaded, &AppModel::recentURLsChanged);
}

void AppModel::recordRecentURL(const QUrl& url)
{
    if (!url.isLocalFile())
        return;
    const QUrl standardized = QUrl::fromLocalFile(cleanedAbsolutePath(url.toLocalFile()));
    QList<QUrl> list = m_recentURLs;
    list.removeIf([&standardized](const QUrl& entry) {
        return entry.isLocalFile() && QUrl::fromLocalFile(cleanedAbsolutePath(entry.toLocalFile())) == standardized;
    });
    list.prepend(standardized);
    if (list.size() > kMaxRecentFiles)
        list.resize(kMaxRecentFiles);
    assignAndNotify(m_recentURLs, list, &AppModel::recentURLsChanged);
    if (m_persistEnabled)
        storeRecentPaths();
}

void AppModel::clearRecentURLs()
{
    assignAndNotify(m_recentURLs, QList<QUrl>(), &AppModel::recentURLsChanged);
    if (m_persistEnabled)
        openUserSettings()->remove(QLatin1String(kRecentPathsKey));
}

void AppModel::storeRecentPaths()
{
    QStringList paths;
    for (const QUrl& url : std::as_const(m_recentURLs))
        paths.append(url.toLocalFile());
    openUserSettings()->setValue(QLatin1String(kRecentPathsKey), paths);
}

}  // namespace zelvane
