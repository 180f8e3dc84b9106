#pragma once

#include "ReleaseInfo.h"

#include <QString>
#include <optional>

namespace zelvane {

// The phase of the update checker. Two states are equal when they have the
// same kind and the same payload.
class UpdateState {
public:
    enum class Kind { idle, checking, upToDate, updateAvailable, downloading, installing, failed };

    static UpdateState idle() { return UpdateState(Kind::idle); }
    static UpdateState checking() { return UpdateState(Kind::checking); }
    // The running version, found to be the newest.
    static UpdateState upToDate(const QString& version);
    static UpdateState updateAvailable(const ReleaseInfo& release);
    // The download's progress as a fraction of 1.
    static UpdateState downloading(double progress);
    static UpdateState installing() { return UpdateState(Kind::installing); }
    // The error's description.
    static UpdateState failed(const QString& message);

    Kind kind() const { return m_kind; }
    bool is(Kind kind) const { return m_kind == kind; }
    // The version of upToDate, or the message of failed.
    const QString& text() const { return m_text; }
    double progress() const { return m_progress; }
    // The release of updateAvailable.
    const std::optional<ReleaseInfo>& release() const { return m_release; }
    // True while a download or an installation runs.
    bool isBusy() const { return m_kind == Kind::downloading || m_kind == Kind::installing; }

    bool operator==(const UpdateState&) const = default;

private:
    explicit UpdateState(Kind kind) : m_kind(kind) {}

    Kind m_kind = Kind::idle;
    QString m_text;
    double m_progress = 0;
    std::optional<ReleaseInfo> m_release;
};

}  // namespace zelvane
