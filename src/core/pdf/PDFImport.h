#pragma once

#include "model/VectorDocument.h"

#include <QByteArray>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>

namespace zelvane {
class PDFCancel;
}

namespace zelvane::PDFCodec {

// A PDF file as a document: one page per PDF page, each keeping the whole
// file as its vector backdrop, with every text line as an editable text
// element over the print. Throws CodecError "PDFCodec" 1 for bytes that are
// not a readable PDF, a PDF without pages, or one locked by a password.
VectorDocument importPDF(const QByteArray& data, const QString& title, const std::optional<QUrl>& fileURL);
// The same with `workers` threads (the calling one alone when 1; at least
// one): up to two draw and measure pages while the calling thread makes
// their elements, the others, and the calling thread while it waits, help
// them measure their lines. The document is the same whatever their number.
// `progress`, if given, hears on the importing thread how many of the
// file's pages have been read, after each one; it may throw to stop the
// import there. Once `cancel` is set, the page being drawn or read (and
// every one after it) ends at once, incomplete: `progress` then hears of
// the next page within moments, also in the middle of a slow page.
// A page whose drawing runs past pageDrawingBoundMs() is given up there,
// its lines measured over what was drawn, and listed in `report`.
using ImportProgress = std::function<void(int pagesRead, int pageCount)>;
struct PDFImportReport {
    // Zero-based indexes of the file's pages whose drawing was given up.
    QList<qsizetype> cutShortPages;
};
VectorDocument importPDF(const QByteArray& data, const QString& title, const std::optional<QUrl>& fileURL,
                         int workers, const ImportProgress& progress = {},
                         std::shared_ptr<const PDFCancel> cancel = {}, PDFImportReport* report = nullptr);
// The number of threads importPDF uses: one per processor, at most two.
int defaultImportWorkers();

}  // namespace zelvane::PDFCodec
