#include "OsselUpdater.h"

#include "ThreadHandOver.h"
#include "AppVersion.h"
#include "BoundedFetch.h"
#include "InstallationLayout.h"
#include "InstallationSwap.h"
#include "ReleaseFeed.h"
#include "RelaunchScript.h"
#include "Settings.h"
#include "UpdateAddress.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

namespace zelvane {

namespace {

QString versionOrDefault(const std::optional<QString>& given)
{
    const QString version = given.value_or(AppVersion::current().version);
    return version.isEmpty() || version.startsWith(QLatin1Char('@')) ? QStringLiteral("0.1.0") : version;
}

int buildOrDefault(std::optional<int> given)
{
    if (given)
        return *given;
    bool ok = false;
    const int build = AppVersion::current().build.value_or(QStringLiteral("1")).toInt(&ok);
    return ok ? build : 1;
}

UpdaterEnvironment completed(UpdaterEnvironment environment)
{
    if (!environment.openSettings)
        environment.openSettings = [] { return openUserSettings(); };
    if (!environment.now)
        environment.now = [] { return double(QDateTime::currentMSecsSinceEpoch()) / 1000.0; };
    if (!environment.quit)
        environment.quit = [] { QCoreApplication::exit(0); };
    return environment;
}

}  // namespace

OsselUpdater::OsselUpdater(const QString& appName, const QString& bundleID, const QString& githubRepo,
                           const std::optional<QString>& currentVersion, std::optional<int> currentBuild,
                           bool startAutoCheck, UpdaterEnvironment environment, QObject* parent)
    : QObject(parent),
      m_appName(appName),
      m_bundleID(bundleID),
      m_githubRepo(githubRepo),
      m_currentVersion(versionOrDefault(currentVersion)),
      m_currentBuild(buildOrDefault(currentBuild)),
      m_environment(completed(std::move(environment))),
      m_startAutoCheck(startAutoCheck)
{
    const auto stored = settings();
    const QString autoKey = key("autoCheckUpdates");
    m_autoCheckOnLaunch = !stored->contains(autoKey) || stored->value(autoKey).toBool();
    if (!startAutoCheck || !m_autoCheckOnLaunch)
        return;
    const double now = m_environment.now();
    double last = stored->value(key("lastUpdateCheckTimestamp"), 0.0).toDouble();
    // A time in the future (a clock set back, a copied settings file) counts
    // as never checked rather than blocking every launch check until then.
    if (last > now)
        last = 0;
    if (now - last >= kLaunchCheckInterval)
        QTimer::singleShot(m_environment.launchCheckDelayMs, this, [this] { checkForUpdates(true); });
}

OsselUpdater::~OsselUpdater()
{
    // Quitting during an installation: its tools are stopped at once and its
    // work folder goes with it.
    m_cancelled = true;
    if (m_worker.joinable())
        m_worker.join();
    const std::lock_guard<std::mutex> locked(m_preparedLock);
    if (!m_preparedWork.isEmpty())
        QDir(m_preparedWork).removeRecursively();
}

std::optional<ReleaseInfo> OsselUpdater::availableRelease() const
{
    return m_state.is(State::Kind::updateAvailable) ? m_state.release() : std::nullopt;
}

void OsselUpdater::setAutoCheckOnLaunch(bool on)
{
    settings()->setValue(key("autoCheckUpdates"), on);
    if (m_autoCheckOnLaunch == on)
        return;
    m_autoCheckOnLaunch = on;
    emit autoCheckOnLaunchChanged(on);
}

QUrl OsselUpdater::configuredFeedURL() const
{
    const auto stored = settings();
    const QVariant storedURL = stored->value(key("updateURL"));
    return UpdateAddress::feedURL(
        qEnvironmentVariableIsSet("OSSEL_UPDATE_URL") ? std::optional(qEnvironmentVariable("OSSEL_UPDATE_URL"))
                                                      : std::nullopt,
        storedURL.typeId() == QMetaType::QString ? std::optional(storedURL.toString()) : std::nullopt,
        UpdateAddress::builtInFeedURL(), m_githubRepo);
}

UpdateResult<QString> OsselUpdater::installationFolder() const
{
    const QString program =
        m_environment.programPath.isEmpty() ? QCoreApplication::applicationFilePath() : m_environment.programPath;
    return InstallationLayout::runningInstallation(program, m_bundleID);
}

std::unique_ptr<QSettings> OsselUpdater::settings() const { return m_environment.openSettings(); }

QNetworkAccessManager& OsselUpdater::network()
{
    if (!m_network)
        m_network = new QNetworkAccessManager(this);
    return *m_network;
}

void OsselUpdater::setState(const State& state)
{
    if (m_state == state)
        return;
    m_state = state;
    emit stateChanged();
}

void OsselUpdater::checkForUpdates(bool silent)
{
    if (m_state.isBusy())
        return;
    if (!silent)
        setState(State::checking());
    if (m_checkRunning) {
        m_checkSilent = m_checkSilent && silent;
        return;
    }
    removeLeftovers();
    const QUrl feed = configuredFeedURL();
    settings()->setValue(key("lastUpdateCheckTimestamp"), m_environment.now());
    m_checkRunning = true;
    m_checkSilent = silent;

    QNetworkRequest request(feed);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setTransferTimeout(m_environment.feedTimeoutMs);
    request.setRawHeader("Accept", "application/vnd.github+json, application/json");
    request.setHeader(QNetworkRequest::UserAgentHeader, m_appName + QLatin1Char('/') + m_currentVersion);
    BoundedFetch::start(network(), request,
                        {m_environment.limits.feedBytes, QStringLiteral("La réponse du flux de mise à jour"),
                         QStringLiteral("The update feed's answer")},
                        this, [this](const FetchResult& fetched) {
                            if (fetched.error)
                                finishCheck(*fetched.error);
                            else if (fetched.status == 404)  // no release published
                                finishCheck(std::nullopt);
                            else
                                finishCheck(ReleaseFeed::parseRelease(fetched.body, m_bundleID, m_appName));
                        });
}

void OsselUpdater::finishCheck(const std::optional<UpdateResult<ReleaseInfo>>& result)
{
    m_checkRunning = false;
    // A download started meanwhile owns the state.
    if (m_state.isBusy())
        return;
    if (result && result->ok() &&
        ReleaseFeed::isNewer((*result)->version, (*result)->build, m_currentVersion, m_currentBuild))
        setState(State::updateAvailable(result->value()));
    else if (m_checkSilent)
        return;
    else if (result && !result->ok())
        setState(State::failed(result->error().message));
    else
        setState(State::upToDate(m_currentVersion));
}

void OsselUpdater::downloadAndInstall(const ReleaseInfo& release)
{
    if (m_state.isBusy())
        return;
    const auto destination = installationFolder();
    if (!destination)
        return failInstallation(destination.error());
    InstallationSwap::removeLeftovers(*destination);
    const auto checksum = UpdateInstaller::expectedChecksum(release);
    if (!checksum)
        return failInstallation(checksum.error());
    if (!UpdateAddress::isAllowed(release.downloadURL))
        return failInstallation(UpdateError::addressRefused(release.downloadURL.toDisplayString()));
    // One installation at a time, also across the processes of this
    // installation; the lock is held until this process ends.
    auto lock = std::make_unique<QLockFile>(QDir(QFileInfo(*destination).absolutePath())
                                                .filePath(QLatin1String(InstallationSwap::kLockFile)));
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0))
        return failInstallation(UpdateError::updateInProgress());
    m_installLock = std::move(lock);

    setState(State::downloading(0.1));
    QNetworkRequest request(release.downloadURL);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setTransferTimeout(m_environment.downloadStallMs);
    BoundedFetch::start(
        network(), request,
        {m_environment.limits.archiveBytes, QStringLiteral("L'archive de mise à jour"),
         QStringLiteral("The update archive")},
        this, [this, release, checksum = *checksum, destination = *destination](const FetchResult& fetched) {
            if (fetched.error)
                return failInstallation(*fetched.error);
            if (fetched.status < 200 || fetched.status > 299)
                return failInstallation(UpdateError::downloadStatus(fetched.status));
            setState(State::downloading(0.75));
            installDownloaded(fetched.body, release, checksum, destination);
        });
}

void OsselUpdater::installDownloaded(const QByteArray& archive, const ReleaseInfo& release, const QString& checksum,
                                     const QString& destination)
{
    if (m_worker.joinable())
        m_worker.join();
    m_worker = std::thread([this, archive, release, checksum, destination, bundleID = m_bundleID,
                            limits = m_environment.limits] {
        // The object outlives this thread: its destructor joins it, and
        // queued calls to a destroyed object are dropped.
        const auto onMain = [this](auto function) {
            QMetaObject::invokeMethod(this, handedOver(std::move(function)), Qt::QueuedConnection);
        };
        if (const UpdateStep verified = UpdateInstaller::verifyChecksum(archive, checksum); !verified)
            return onMain([this, error = verified.error()] { failInstallation(error); });
        onMain([this] { setState(State::installing()); });
        const auto prepared =
            UpdateInstaller::prepare(archive, release, destination, bundleID, limits, &m_cancelled);
        if (!prepared)
            return onMain([this, error = prepared.error()] { failInstallation(error); });
        {
            const std::lock_guard<std::mutex> locked(m_preparedLock);
            m_preparedWork = prepared->workFolder;
        }
        onMain([this, prepared = *prepared, release] { relaunch(prepared, release); });
    });
}

void OsselUpdater::relaunch(const PreparedUpdate& prepared, const ReleaseInfo& release)
{
    const auto forget = [this, &prepared] {
        {
            const std::lock_guard<std::mutex> locked(m_preparedLock);
            m_preparedWork.clear();
        }
        QDir(prepared.workFolder).removeRecursively();
    };
    // An edited document is saved or given up first; Cancel leaves the
    // installation and the document as they are.
    if (!mayRelaunch()) {
        forget();
        m_installLock.reset();
        m_state = State::idle();
        setState(State::updateAvailable(release));
        return;
    }
    if (const UpdateStep swapped =
            InstallationSwap::swapIn(prepared.newInstallation, prepared.destination, m_bundleID);
        !swapped) {
        forget();
        return failInstallation(swapped.error());
    }
    const qint64 pid =
        m_environment.relaunchAfterPid > 0 ? m_environment.relaunchAfterPid : QCoreApplication::applicationPid();
    if (const UpdateStep started = RelaunchScript::start(pid, prepared.destination, prepared.workFolder);
        !started) {
        // Nothing would start the new installation: the running one goes
        // back in place.
        InstallationSwap::exchange(prepared.newInstallation, prepared.destination);
        forget();
        return failInstallation(started.error());
    }
    {
        // The script removes the work folder once this process has ended.
        const std::lock_guard<std::mutex> locked(m_preparedLock);
        m_preparedWork.clear();
    }
    m_environment.quit();
}

void OsselUpdater::removeLeftovers()
{
    if (m_state.isBusy() || m_installLock)
        return;
    if (const auto destination = installationFolder())
        InstallationSwap::removeLeftovers(*destination);
}

void OsselUpdater::failInstallation(const UpdateError& error)
{
    m_installLock.reset();
    // Forced: a failure right after a failure still reaches the observers.
    m_state = State::idle();
    setState(State::failed(error.message));
}

}  // namespace zelvane
