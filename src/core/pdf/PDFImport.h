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

}  // namespace zelvane::PDFCodec
