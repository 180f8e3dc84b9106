#pragma once

#include "model/PageFormatPreset.h"
#include "model/Presets.h"
#include "model/VectorDocument.h"
#include "operations/StrokeSmoother.h"

#include <QSet>
#include <QUuid>
#include <functional>
#include <optional>

namespace zelvane {

// Every edit of a document: ready-to-place elements, page operations and
// element operations. An operation that changes the document adds 1 to its
// revision; one that refuses (an index out of range) leaves it untouched.
namespace VectorOperations {

// ---- Element factories: new elements with the editor's defaults ----------

// The 176 x 52 stamp centred on `at`, tilted by -4 degrees.
VectorElement makeStampElement(VectorStampKind kind, const VectorPoint& at);
VectorElement makeCustomStampElement(const StampPreset& preset, const VectorPoint& at, double rotationDegrees);
VectorElement makeSignatureElement(const SignaturePreset& preset, const VectorPoint& at, bool includeDate);
// Ink drawn on the page: smoothed, then framed (at least 90 x 42).
VectorElement makeFreehandSignatureElement(const QList<VectorStroke>& pageStrokes, const QString& signerName,
                                           const QString& colorHex);
VectorElement makeTextElement(const QString& text, const VectorPoint& at, double fontSize, const QString& colorHex,
                              bool isBold);

// ---- Page operations; each returns the index of the page to show ---------

qsizetype addPage(VectorDocument& document, std::optional<qsizetype> after, PageFormatPreset preset,
                  const std::optional<QString>& title);
qsizetype duplicatePage(VectorDocument& document, qsizetype index);
// Never removes the last page.
qsizetype deletePage(VectorDocument& document, qsizetype index);
qsizetype movePage(VectorDocument& document, qsizetype from, qsizetype to);
// A quarter turn: the page swaps its sides and element frames follow. A PDF
// backdrop turns with the page, and so do its redactions and the printed
// places of its text, so masks stay over what they hide.
void rotatePage(VectorDocument& document, qsizetype index, bool clockwise);

// ---- Element operations on one page, addressed by index -------------------

QUuid addElement(const VectorElement& element, qsizetype pageIndex, VectorDocument& document);
void updateElement(const QUuid& id, qsizetype pageIndex, VectorDocument& document,
                   const std::function<void(VectorElement&)>& mutate);
// Locked elements stay. A deleted PDF text leaves a redaction over its print.
void deleteElements(const QSet<QUuid>& ids, qsizetype pageIndex, VectorDocument& document);
// Copies offset by (16, 16) in front of everything; returns their ids.
QSet<QUuid> duplicateElements(const QSet<QUuid>& ids, qsizetype pageIndex, VectorDocument& document);
void moveElements(const QSet<QUuid>& ids, const VectorPoint& by, qsizetype pageIndex, VectorDocument& document);
void bringToFront(const QSet<QUuid>& ids, qsizetype pageIndex, VectorDocument& document);
void sendToBack(const QSet<QUuid>& ids, qsizetype pageIndex, VectorDocument& document);

}  // namespace VectorOperations

}  // namespace zelvane
