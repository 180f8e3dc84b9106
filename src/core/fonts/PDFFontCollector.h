#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <map>
#include <optional>

namespace zelvane::fonts {

// One font of a PDF, under its PostScript name without subset prefix.
struct ExtractedPDFFontEntry {
    QString cleanPSName;
    // The font dictionary's /Subtype ("Type0" for a composite font), or empty.
    QString subtype;
    std::optional<QByteArray> fontStreamData;
    // "ttf" (FontFile2), "otf" (FontFile3) or "pfb" (FontFile); "ttf" without a program.
    QString fontStreamExt = QStringLiteral("ttf");
    // The decoded ToUnicode CMaps met for this name, in order.
    QStringList toUnicodeStrings;
};

using ExtractedPDFFonts = std::map<QString, ExtractedPDFFontEntry>;

// ToUnicode streams larger than this are not read.
inline constexpr qsizetype kMaxToUnicodeBytes = 8 * 1024 * 1024;

// Every font of every page's resources (inherited from the page tree when
// the page has none of its own) and of the form XObjects they use, down to
// four levels of nesting. Every font dictionary is decoded once, and forms
// that name one another (in a cycle or a deep lattice) are walked once at
// the least depth they are met. A PDF that cannot be opened (damaged beyond
// repair, locked by a password) or has no page gives nothing. A font whose
// streams cannot be decoded, or decode to more than the registry accepts,
// comes without a program or without a ToUnicode text; the others are
// still read.
ExtractedPDFFonts collectEmbeddedFonts(const QByteArray& pdfData);

}  // namespace zelvane::fonts
