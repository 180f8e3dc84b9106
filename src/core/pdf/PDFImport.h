#pragma once

#include "model/VectorDocument.h"

#include <QByteArray>
#include <QUrl>
#include <functional>
#include <optional>

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
// file's pages have been read, after each one.
using ImportProgress = std::function<void(int pagesRead, int pageCount)>;
VectorDocument importPDF(const QByteArray& data, const QString& title, const std::optional<QUrl>& fileURL,
                         int workers, const ImportProgress& progress = {});
// The number of threads importPDF uses: one per processor, at most two.
int defaultImportWorkers();

}  // namespace zelvane::PDFCodec
