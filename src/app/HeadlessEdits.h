#pragma once

#include "model/Presets.h"
#include "model/VectorDocument.h"

#include <QString>

namespace zelvane {

// The changes of the conversion mode that the editing controller has no
// command for. The mode runs each of them as one controller edit.
namespace HeadlessEdits {

// Replaces the whole text of every text element whose text, trimmed of
// white space, equals `oldText`; when none does, of every text element that
// contains `oldText` in any letter case. Each changed frame is refitted to
// its new text. An empty `oldText` changes nothing. Returns how many
// elements changed.
qsizetype replaceText(VectorDocument& document, const QString& oldText, const QString& newText);

// The signature the command line signs with: ink "#1E3A8A" and strokes
// seeded by the number of characters of the name.
SignaturePreset signaturePreset(const QString& signerName);

// A dated signature of `signerName` centred at 68 % of the width and 82 % of
// the height of `page`.
VectorElement signatureElement(const VectorPage& page, const QString& signerName);

}  // namespace HeadlessEdits

}  // namespace zelvane
