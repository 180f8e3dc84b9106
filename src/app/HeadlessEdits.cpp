#include "HeadlessEdits.h"

#include "Graphemes.h"
#include "fonts/TextFonts.h"
#include "operations/VectorOperations.h"

#include <QUuid>
#include <utility>

namespace zelvane::HeadlessEdits {

namespace {

using ElementAddress = std::pair<qsizetype, QUuid>;

template <class Matches>
QList<ElementAddress> textElements(const VectorDocument& document, Matches matches)
{
    QList<ElementAddress> found;
    for (qsizetype pageIndex = 0; pageIndex < document.pages.size(); ++pageIndex) {
        for (const VectorElement& element : document.pages.at(pageIndex).elements) {
            if (const TextPayload* text = element.text(); text && matches(text->text)) {
                found.append({pageIndex, element.id});
            }
        }
    }
    return found;
}

}  // namespace

qsizetype replaceText(VectorDocument& document, const QString& oldText, const QString& newText)
{
    if (oldText.isEmpty()) {
        return 0;
    }
    QList<ElementAddress> targets =
        textElements(document, [&](const QString& text) { return text.trimmed() == oldText; });
    if (targets.isEmpty()) {
        targets = textElements(document,
                               [&](const QString& text) { return text.contains(oldText, Qt::CaseInsensitive); });
    }
    for (const auto& [pageIndex, id] : std::as_const(targets)) {
        VectorOperations::updateElement(id, pageIndex, document, [&](VectorElement& element) {
            if (TextPayload* text = element.text()) {
                text->text = newText;
                PDFCodec::updateTextFrameForEditedContent(element);
            }
        });
    }
    return targets.size();
}

SignaturePreset signaturePreset(const QString& signerName)
{
    SignaturePreset preset;
    preset.id = QUuid::createUuid();
    preset.title = signerName;
    preset.signerName = signerName;
    preset.caption = QString();
    preset.colorHex = QStringLiteral("#1E3A8A");
    preset.strokes = SignaturePreset::calligraphicStrokes(graphemeCount(signerName));
    preset.removeWhiteBackground = true;
    return preset;
}

VectorElement signatureElement(const VectorPage& page, const QString& signerName)
{
    const VectorPoint at(page.width * 0.68, page.height * 0.82);
    return VectorOperations::makeSignatureElement(signaturePreset(signerName), at, true);
}

}  // namespace zelvane::HeadlessEdits
