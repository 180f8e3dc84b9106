#pragma once

#include <QObject>
#include <QString>
#include <optional>

namespace zelvane {

// Asks the release feed for a newer version. For now it only carries its
// identity and an idle state: checking does nothing yet.
class OsselUpdater : public QObject {
    Q_OBJECT
    Q_PROPERTY(State state READ state NOTIFY stateChanged)

public:
    enum class State { idle, checking, upToDate, updateAvailable, failed };
    Q_ENUM(State)

    // Settings keys all begin with bundleID and ".". startAutoCheck allows
    // the silent check after launch.
    OsselUpdater(QString appName, QString bundleID, QString githubRepo, std::optional<QString> currentVersion,
                 std::optional<int> currentBuild, bool startAutoCheck, QObject* parent = nullptr);

    State state() const { return m_state; }
    const QString& appName() const { return m_appName; }
    const QString& bundleID() const { return m_bundleID; }
    const QString& githubRepo() const { return m_githubRepo; }
    const std::optional<QString>& currentVersion() const { return m_currentVersion; }
    const std::optional<int>& currentBuild() const { return m_currentBuild; }
    // True when this updater was allowed to check by itself after launch.
    bool autoCheckAllowed() const { return m_startAutoCheck; }

    // Returns at once; the outcome is reported through state().
    void checkForUpdates(bool silent);

signals:
    void stateChanged();

private:
    QString m_appName;
    QString m_bundleID;
    QString m_githubRepo;
    std::optional<QString> m_currentVersion;
    std::optional<int> m_currentBuild;
    bool m_startAutoCheck;
    State m_state = State::idle;
};

}  // namespace zelvane
