#pragma once

#include "model/VectorDocument.h"

#include <QString>

namespace zelvane {

// Opening and saving documents for the command line, with the same outcomes
// as the editor's own open and save: the same format choices, titles and
// messages.
namespace HeadlessDocumentFiles {

// The document a new editor starts with: "Sans titre" / "Untitled", one blank
// A4 portrait page "Page 1".
VectorDocument startDocument();

// A leading "~" (or "~user") expanded to the home folder, then made absolute
// against the working directory and cleaned.
QString resolvePath(const QString& path);

// Reads a PDF (extension "pdf", any case, or content starting "%PDF-") or
// else an SVG file, titled with the file name without its extension. Throws
// CodecError with a message in the interface language.
VectorDocument open(const QString& path);

// Writes the document by the extension of `path`, in lower case: "pdf" as
// PDF, "png" as a PNG image of the page at `pageIndex` (two pixels per
// point), anything else as SVG. Creates the missing folders first and
// replaces the file in one step. After a PDF or SVG save the document
// records the file and the format. Throws CodecError.
void save(VectorDocument& document, qsizetype pageIndex, const QString& path);

}  // namespace HeadlessDocumentFiles

}  // namespace zelvane
