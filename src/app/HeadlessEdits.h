#pragma once

#include "model/Presets.h"
#include "model/StampPayload.h"
#include "model/VectorDocument.h"

#include <QString>

namespace zelvane {

// The changes the conversion mode makes to a document before saving it.
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

// Adds a dated signature of `signerName` centred at 68 % of the width and
// 82 % of the height of the page.
void addSignature(VectorDocument& document, qsizetype pageIndex, const QString& signerName);

// Adds a built-in stamp centred at 30 % of the width and 82 % of the height of
// the page.
void addStamp(VectorDocument& document, qsizetype pageIndex, VectorStampKind kind);

}  // namespace HeadlessEdits

}  // namespace zelvane
