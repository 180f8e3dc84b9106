#pragma once

#include <QString>
#include <optional>
#include <utility>
#include <variant>

namespace zelvane {

// The codes of the update checker's own errors (domain "OsselUpdater").
enum class UpdateErrorCode : int {
    invalidFeedJSON = 1,
    noArchiveInFeed = 2,
    incompleteManifest = 3,
    addressRefused = 4,
    tooLarge = 5,
    checksumMismatch = 10,
    noInstallationInArchive = 11,
    developerTeamMismatch = 12,
    checksumMissing = 13,
    downloadStatus = 14,
    unsafeArchiveEntry = 15,
    wrongProgramVersion = 16,
    installationNotReplaceable = 17,
    updateInProgress = 18,
    unreadableArchive = 19,
};

// An error as the update sheet shows it: a domain, a code and a description
// in the interface language of the moment it was made.
struct UpdateError {
    QString domain;
    int code = 0;
    QString message;

    static UpdateError make(UpdateErrorCode code, const QString& message);
    // "Réponse JSON de mise à jour invalide." …
    static UpdateError invalidFeedJSON();
    static UpdateError noArchiveInFeed();
    static UpdateError incompleteManifest();
    static UpdateError addressRefused(const QString& address);
    static UpdateError tooLarge(const QString& whatFr, const QString& whatEn, qint64 limitBytes);
    static UpdateError checksumMismatch(const QString& expected, const QString& computed);
    static UpdateError noInstallationInArchive();
    static UpdateError checksumMissing();
    static UpdateError malformedChecksum(const QString& checksum);
    static UpdateError downloadStatus(int status);
    static UpdateError unsafeArchiveEntry(const QString& entry);
    static UpdateError wrongProgramVersion(const QString& expected, const QString& printed);
    static UpdateError installationNotReplaceable(const QString& reason);
    static UpdateError updateInProgress();
    static UpdateError unreadableArchive();
    // A started tool that ended with a non-zero status: its standard error, or
    // "Command <tool> failed".
    static UpdateError toolFailed(const QString& tool, int exitStatus, const QString& standardError);
    // A helper program that is not installed, naming the Debian package
    // that brings it.
    static UpdateError toolMissing(const QString& tool, const QString& package);
    // A feed body that is not JSON at all, with the JSON reader's own error.
    static UpdateError feedNotJSON(int readerCode, const QString& readerError);
    // Why a folder cannot be written to: a read-only file system or missing
    // rights.
    static QString folderNotWritableText(const QString& folder, bool readOnlyFileSystem);
    static QString folderNotWritableText(const QString& folder);
    // True when the file system holding `path` is mounted read-only.
    static bool isOnReadOnlyFileSystem(const QString& path);
    // A failure of the system itself, with its own text.
    static UpdateError system(const QString& domain, int code, const QString& message);

    bool operator==(const UpdateError&) const = default;
};

// A value or the error that prevented it.
template <typename T>
class UpdateResult {
public:
    UpdateResult(T value) : m_value(std::move(value)) {}
    UpdateResult(UpdateError error) : m_value(std::move(error)) {}

    bool ok() const { return std::holds_alternative<T>(m_value); }
    explicit operator bool() const { return ok(); }
    const T& value() const { return std::get<T>(m_value); }
    const T& operator*() const { return value(); }
    const T* operator->() const { return &value(); }
    const UpdateError& error() const { return std::get<UpdateError>(m_value); }

private:
    std::variant<T, UpdateError> m_value;
};

// Success without a value.
struct Done {};
using UpdateStep = UpdateResult<Done>;

}  // namespace zelvane
