#include "pdf/ScannedTextLine.h"

#include "fonts/PDFEmbeddedFontRegistry.h"
#include "fonts/ScanFaceMatching.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace zelvane::PDFCodec {

bool printedInvisibly(const PDFPageText& page, qsizetype start, qsizetype length)
{
    const PDFEmbeddedFontRegistry& registry = PDFEmbeddedFontRegistry::shared();
    // Whether each run prints invisibly, asked of the registry once per run.
    std::vector<signed char> invisible(size_t(page.runs.size()), -1);
    bool any = false;
    const qsizetype end = std::min(start + length, page.text.size());
    for (qsizetype i = std::max<qsizetype>(start, 0); i < end; ++i) {
        if (page.text[i].isSpace())
            continue;
        for (qsizetype r = 0; r < page.runs.size(); ++r) {
            const PDFTextRun& run = page.runs[r];
            if (run.start <= i && i < run.end) {
                signed char& verdict = invisible[size_t(r)];
                if (verdict < 0)
                    verdict = run.invisible || registry.drawsNoOutlines(run.fontName) ? 1 : 0;
                if (!verdict)
                    return false;
                any = true;
                break;
            }
        }
    }
    return any;
}

QRectF scannedLineWindow(const QRectF& selection)
{
    // Import draws the page up to 16 points beyond its text.
    const double pad = std::min(0.4 * selection.height(), 16.0);
    const double left = std::max(0.0, selection.x() - pad);
    const double top = std::max(0.0, selection.y() - pad);
    return QRectF(left, top, selection.right() + pad - left, selection.bottom() + pad - top);
}

QImage scannedInkPicture(const PDFPageBitmapAnalyzer& analyzer, const RegionMetrics& metrics)
{
    if (!metrics.inkHex)
        return QImage();
    return analyzer.greyPicture(QRectF(metrics.inkX, metrics.inkY, metrics.inkWidth, metrics.inkHeight));
}

void fitScannedLine(TextPayload& payload, const VectorRect& frame, const std::optional<RegionMetrics>& metrics,
                    const QImage& picture)
{
    std::optional<fonts::ScanFace> face;
    if (metrics && !picture.isNull()) {
        const QString setting = payload.postScriptFontName.value_or(payload.fontFamily) + QChar(0x1f)
                                + QString::number(payload.fontSize);
        face = fonts::chooseScanFace({payload.text, picture, PDFPageBitmapAnalyzer::kScale,
                                      picture.width() / PDFPageBitmapAnalyzer::kScale,
                                      picture.height() / PDFPageBitmapAnalyzer::kScale, setting});
    }
    if (!face)
        face = fonts::defaultScanFace(payload.fontSize, payload.isBold);
    if (!face)
        return;
    const double size = std::clamp(face->fontSize, 4.0, 400.0);
    payload.fontFamily = face->family;
    payload.postScriptFontName =
        face->postScriptName.isEmpty() ? std::nullopt : std::optional<QString>(face->postScriptName);
    payload.fontSize = size;
    payload.originalFontSize = size;
    payload.isBold = face->bold;
    payload.originalIsBold = face->bold;
    payload.isItalic = face->italic;
    payload.originalIsItalic = face->italic;
    payload.letterSpacing = std::clamp(face->letterSpacing, -0.2 * size, 0.2 * size);
    if (metrics) {
        const double baseline = face->baseline ? metrics->inkY + *face->baseline : metrics->baselineY;
        payload.baselineOffset = std::clamp(baseline - frame.y, 0.0, frame.height + 1.5);
    }
}

}  // namespace zelvane::PDFCodec
