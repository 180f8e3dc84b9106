#pragma once

#include "model/VectorDocument.h"

#include <QByteArray>

namespace zelvane {

// A realistic sample built from nothing: a two-page technical sheet (a stage
// contract with a signature box, and its appendix) written to PDF and read
// back, so its pages carry a real PDF backdrop and extracted text lines; one
// line is then edited, the pages are signed and stamped, and a vector stage
// plot is appended. Texts follow the language current at each call.
namespace SyntheticDocument {

// The PDF bytes of the two-page technical sheet. Throws what the PDF writer
// throws.
QByteArray generateSampleRawPDFData();

// The three-page sample: contract, patch sheet, stage plot. Never fails: when
// the sheet cannot be written or read back, the result is the stage plot alone.
VectorDocument makeStageContractAndPlot();

// The A4 landscape stage lighting and video plot.
VectorPage makeStagePlotPage();

}  // namespace SyntheticDocument

}  // namespace zelvane
