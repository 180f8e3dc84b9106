#pragma once

#include <QString>
#include <QStringList>

namespace zelvane::fonts {

// The families to try for a family name: the name itself first, then, for
// fonts that are not free (Helvetica, Arial, Times, Courier, Georgia, Avenir
// Next, ...), metric-compatible or look-alike free families from the Debian
// packages fonts-liberation2, fonts-urw-base35 and fonts-dejavu-core.
// Case is ignored when looking the name up.
QStringList substituteFamilies(const QString& family);

}  // namespace zelvane::fonts
