#pragma once

#include "model/VectorDocument.h"

#include <QByteArray>
#include <QUrl>
#include <optional>

namespace zelvane::PDFCodec {

// A PDF file as a document: one page per PDF page, each keeping the whole
// file as its vector backdrop, with every text line as an editable text
// element over the print. Throws CodecError "PDFCodec" 1 for bytes that are
// not a readable PDF, a PDF without pages, or one locked by a password.
VectorDocument importPDF(const QByteArray& data, const QString& title, const std::optional<QUrl>& fileURL);
// The same with the pages drawn and measured by `workers` threads (the
// calling one alone when 1; at least one) while the calling thread makes
// their elements. The document is the same whatever their number.
VectorDocument importPDF(const QByteArray& data, const QString& title, const std::optional<QUrl>& fileURL,
                         int workers);
// The number of threads importPDF uses: one per processor, at most two.
int defaultImportWorkers();

}  // namespace zelvane::PDFCodec
