#pragma once

#include "ReleaseInfo.h"
#include "UpdateError.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <optional>

namespace zelvane {

// Reading the release feed and comparing versions; no network, no state.
namespace ReleaseFeed {

// Reads a feed answer in either form: a plain manifest (under the bundle
// identifier, under the application name, or at the top level) or a GitHub
// release document. A body that is not JSON fails with the JSON reader's
// own error.
UpdateResult<ReleaseInfo> parseRelease(const QByteArray& data, const QString& bundleID, const QString& appName);
// One manifest object; fails with code 3 without a version text or a
// download address.
UpdateResult<ReleaseInfo> parseManifest(const QJsonObject& manifest);

// "v1.2.3-beta" → [1, 2, 3]; pieces that are not numbers count as 0.
QList<int> normalizeVersion(const QString& version);
// Compares number by number (missing numbers are 0); equal versions are
// decided by the builds, only when both are given.
bool isNewer(const QString& candidateVersion, std::optional<int> candidateBuild, const QString& currentVersion,
             std::optional<int> currentBuild);

}  // namespace ReleaseFeed

}  // namespace zelvane
