#pragma once

#include "model/VectorDocument.h"

#include <QByteArray>

namespace zelvane::PDFCodec {

// The document as a multi-page PDF. Each page has the page's exact size; a
// page imported from a PDF keeps the original page underneath as vector
// content (its text stays selectable), with masks and elements drawn over it.
// Throws CodecError "PDFCodec" 2 or 3 when the PDF cannot be written.
QByteArray exportPDF(const VectorDocument& document);

// What the Creator entry of written PDFs says.
QString pdfCreator();

}  // namespace zelvane::PDFCodec
