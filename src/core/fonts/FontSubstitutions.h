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

// Free families of the same design as a font program known by its
// PostScript name, for programs whose family name does not tell them apart
// (TeX's Computer Modern: CMR10, CMTT10, SFRM1000 ... get Latin Modern from
// fonts-lmodern). Empty for other names; a subset prefix ("ABCDEF+") is ignored.
QStringList substitutesForProgram(const QString& postScriptName);

}  // namespace zelvane::fonts
