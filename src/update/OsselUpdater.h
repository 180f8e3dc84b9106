#pragma once

#include "ReleaseInfo.h"
#include "UpdateError.h"
#include "UpdateInstaller.h"
#include "UpdateState.h"

#include <QLockFile>
#include <QObject>
#include <QSettings>
#include <QUrl>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

class QNetworkAccessManager;

namespace zelvane {

// What the updater takes from its surroundings; tests replace parts of it.
struct UpdaterEnvironment {
    // The settings file the keys live in (default: the user settings).
    std::function<std::unique_ptr<QSettings>()> openSettings;
    // Seconds since 1970 (default: the system clock).
    std::function<double()> now;
    int launchCheckDelayMs = 2500;
    int feedTimeoutMs = 8000;
    // A download gives up when nothing arrives for this long.
    int downloadStallMs = 60'000;
    UpdateLimits limits;
    // The running program (default: this process's executable).
    QString programPath;
    // The process the relaunch script waits for (default: this process).
    qint64 relaunchAfterPid = 0;
    // Ends the application once the relaunch script runs (default: the
    // application's event loop ends with status 0).
    std::function<void()> quit;
};

// Asked on the interface thread once a new installation is ready and before
// it takes the running one's place; false stops the installation there.
using RelaunchConfirmation = std::function<bool()>;

// The editor's update checker: reads the release feed at launch (at most
// daily, when automatic checks are on) or on demand, and downloads, verifies
// and installs a newer release in place of the running installation, then
// relaunches it. Every change of `state` happens on the thread that made the
// object.
class OsselUpdater : public QObject {
    Q_OBJECT
public:
    using State = UpdateState;
    using ReleaseInfo = zelvane::ReleaseInfo;

    static constexpr double kLaunchCheckInterval = 86400;

    OsselUpdater(const QString& appName, const QString& bundleID, const QString& githubRepo,
                 const std::optional<QString>& currentVersion, std::optional<int> currentBuild, bool startAutoCheck,
                 UpdaterEnvironment environment = {}, QObject* parent = nullptr);
    OsselUpdater(const QString& appName, const QString& bundleID, const QString& githubRepo,
                 const std::optional<QString>& currentVersion, std::optional<int> currentBuild, bool startAutoCheck,
                 QObject* parent)
        : OsselUpdater(appName, bundleID, githubRepo, currentVersion, currentBuild, startAutoCheck, {}, parent)
    {
    }
    ~OsselUpdater() override;

    const QString& appName() const { return m_appName; }
    const QString& bundleID() const { return m_bundleID; }
    const QString& githubRepo() const { return m_githubRepo; }
    const QString& currentVersion() const { return m_currentVersion; }
    int currentBuild() const { return m_currentBuild; }

    const State& state() const { return m_state; }
    // The offered release while the state is updateAvailable.
    std::optional<ReleaseInfo> availableRelease() const;

    bool autoCheckOnLaunch() const { return m_autoCheckOnLaunch; }
    void setAutoCheckOnLaunch(bool on);
    // True when this updater was allowed to check by itself after launch
    // (the user's setting still decides whether it does).
    bool autoCheckAllowed() const { return m_startAutoCheck; }

    // OSSEL_UPDATE_URL, else the stored "updateURL", else the address built
    // into the program, else the repository's latest GitHub release.
    QUrl configuredFeedURL() const;
    // The installation an update would replace, or why there is none.
    UpdateResult<QString> installationFolder() const;

    // Starts one feed check. A silent check (the launch check) shows neither
    // progress nor failure. Ignored while a download or installation runs; a
    // check already under way is kept (a non-silent call makes it visible).
    void checkForUpdates(bool silent);
    // Downloads, verifies and installs the release, then relaunches; refused
    // while another download or installation runs, here or in another
    // process.
    void downloadAndInstall(const ReleaseInfo& release);

    // Replaces the question asked before relaunching (the window asks to
    // save an edited document). Without one, nothing is asked.
    void setRelaunchConfirmation(RelaunchConfirmation confirmation) { m_confirmRelaunch = std::move(confirmation); }
    // True when the relaunch may go on: no question, or its answer.
    bool mayRelaunch() const { return !m_confirmRelaunch || m_confirmRelaunch(); }

signals:
    void stateChanged();
    void autoCheckOnLaunchChanged(bool on);

protected:
    // Publishes a new state (subclasses in tests stage one).
    void setState(const State& state);

private:
    QString key(const char* suffix) const { return m_bundleID + QLatin1Char('.') + QLatin1String(suffix); }
    std::unique_ptr<QSettings> settings() const;
    QNetworkAccessManager& network();
    // The feed's release, or nothing when none is published.
    void finishCheck(const std::optional<UpdateResult<ReleaseInfo>>& result);
    void failInstallation(const UpdateError& error);
    void installDownloaded(const QByteArray& archive, const ReleaseInfo& release, const QString& checksum,
                           const QString& destination);
    void relaunch(const PreparedUpdate& prepared, const ReleaseInfo& release);
    // Removes the work folders and the lock file that ended runs left beside
    // the installation, unless an installation is running.
    void removeLeftovers();

    QString m_appName;
    QString m_bundleID;
    QString m_githubRepo;
    QString m_currentVersion;
    int m_currentBuild = 1;
    UpdaterEnvironment m_environment;
    bool m_startAutoCheck = false;
    State m_state = State::idle();
    bool m_autoCheckOnLaunch = true;
    bool m_checkRunning = false;
    bool m_checkSilent = true;
    QNetworkAccessManager* m_network = nullptr;
    std::unique_ptr<QLockFile> m_installLock;
    RelaunchConfirmation m_confirmRelaunch;
    std::thread m_worker;
    // Set when the program ends: the worker's tools are killed and its work
    // folder removed.
    std::atomic<bool> m_cancelled{false};
    // The work folder of an installation prepared but not yet relaunched;
    // written by the worker, removed by the destructor when still set.
    std::mutex m_preparedLock;
    QString m_preparedWork;
};

}  // namespace zelvane
