#pragma once

#include <QString>
#include <QUrl>
#include <optional>

namespace zelvane::UpdateAddress {

// The feed address: the first of the given texts that is not empty and
// parses as an address (the environment's OSSEL_UPDATE_URL, the stored
// "updateURL", the address the program was built with), else the latest
// release of the repository on the GitHub API.
QUrl feedURL(const std::optional<QString>& environment, const std::optional<QString>& stored,
             const std::optional<QString>& builtIn, const QString& githubRepo);

// The address built into the program at configure time (may be empty).
QString builtInFeedURL();

// Only https is followed, and plain http only to the loopback interface.
bool isAllowed(const QUrl& url);

}  // namespace zelvane::UpdateAddress
