#pragma once

// Qt's side of the font code: fonts in page points, the installed faces by
// PostScript name, and what a face can show. Everything here needs a
// QGuiApplication (hasFontSupport() says whether there is one).

#include <QFont>
#include <QRawFont>
#include <QString>
#include <QStringList>

#include <optional>

class QPaintDevice;

namespace zelvane::fonts {

bool hasFontSupport();

// A 72-dpi paint device: font metrics taken on it (QFontMetricsF(font,
// pointDevice())) are in points. Layouts made on a paint device lose the
// font's letter spacing: lay text out with layoutFont() instead. One per thread.
QPaintDevice* pointDevice();

// A font of `size` points over the families in order, unhinted so that
// widths do not depend on the output resolution.
QFont makeFont(const QStringList& families, double size, bool bold, bool italic);
// The face of `family` named `styleName`.
QFont faceFont(const QString& family, const QString& styleName, double size);

// A copy of `font` for laying text out without a paint device so that one
// unit of the layout is one point (Qt sizes device-less fonts by the screen
// resolution), with `kern` units added after every character. Drawn with
// QTextLayout::draw, such a layout keeps that size in the painter's user
// units whatever the device's resolution.
QFont layoutFont(const QFont& font, double kern);

// QRawFont::fromFont(font).
QRawFont rawFontOf(const QFont& font);

// The height of the font's capitals in points. Qt answers 0 for a Type 1 or
// CFF program without an 'H' (subsets); the height is then measured on
// another flat-topped capital of the program, or is 0.7 of the ascent when
// it has none.
double capHeightOf(const QFont& font);

struct InstalledFace {
    // As the font database lists it, with a " [foundry]" suffix when several
    // foundries install the family.
    QString family;
    QString styleName;
};

// "Nimbus Sans [UKWN]" without its foundry: "Nimbus Sans".
QString withoutFoundry(const QString& family);

// The installed or registered face whose PostScript name is `postScriptName`
// (case ignored). Families whose name, without blanks, begins the PostScript
// name are searched, as "LiberationSans-Bold" lives in "Liberation Sans".
std::optional<InstalledFace> findFaceByPostScriptName(const QString& postScriptName);
// Forgets what findFaceByPostScriptName learned; called after fonts are registered.
void forgetInstalledFaces();

// The family as the font database spells it (without a foundry), or the
// first of its substitutes that is installed; nothing when none is.
std::optional<QString> installedFamily(const QString& family);
// The family has a face that is bold (weight 600 and up) exactly when
// `bold` and italic exactly when `italic`.
bool familyHasFace(const QString& family, bool bold, bool italic);

// The free text families offered to the user, those of them installed, as
// Debian names them: Liberation (fonts-liberation2, metric-compatible with
// Arial, Times New Roman and Courier New), the URW fonts (fonts-urw-base35,
// metric-compatible with Helvetica, Times and Courier), DejaVu
// (fonts-dejavu-core) and Noto (fonts-noto-core, fonts-noto-mono). Empty
// without a font database.
QStringList offeredTextFamilies();
// The family new text is set in: the first installed of Liberation Sans,
// Nimbus Sans, DejaVu Sans and Noto Sans; Liberation Sans when none is or
// without a font database.
QString defaultTextFamily();

// The PostScript name of the font's primary face; empty when unknown.
QString postScriptNameOf(const QFont& font);
QString postScriptNameOf(const QRawFont& font);

// The face has a glyph for every UTF-16 unit of `text` (false for an empty text).
bool hasCharacters(const QRawFont& face, const QString& text);

}  // namespace zelvane::fonts
