#include "update/OsselUpdater.h"

namespace zelvane {

OsselUpdater::OsselUpdater(QString appName, QString bundleID, QString githubRepo,
                           std::optional<QString> currentVersion, std::optional<int> currentBuild,
                           bool startAutoCheck, QObject* parent)
    : QObject(parent),
      m_appName(std::move(appName)),
      m_bundleID(std::move(bundleID)),
      m_githubRepo(std::move(githubRepo)),
      m_currentVersion(std::move(currentVersion)),
      m_currentBuild(currentBuild),
      m_startAutoCheck(startAutoCheck)
{
}

void OsselUpdater::checkForUpdates(bool silent)
{
    Q_UNUSED(silent);
}

}  // namespace zelvane
