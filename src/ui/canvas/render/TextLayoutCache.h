#pragma once

#include "PaneText.h"
#include "fonts/SyntheticAccents.h"
#include "model/TextPayload.h"

#include <QFont>
#include <QHash>
#include <QList>
#include <QString>
#include <memory>

namespace zelvane {

// A text element laid out for the pane at one size: the cap height of its
// font at page size (the default first baseline) and, for every line
// (empty ones included), the text to draw and the accents drawn over it.
struct PaneTextBlock {
    struct Line {
        PaneTextLine text;
        // In page units from the line's start and baseline.
        QList<PDFCodec::SyntheticAccentPlacement> accents;
    };
    double metricCapHeight = 0;
    std::vector<Line> lines;
};

// Laid-out text kept across frames: shaping text and resolving fonts cost
// far more than drawing the result. Entries are keyed by everything that
// shapes them; the store is emptied when it grows past its limit and when
// fonts may have changed (forgetFonts()).
class TextLayoutCache {
public:
    // The payload's lines for a pane showing `paneScale` pane points per
    // page point: drawn at max(font size x scale, 4.5) points, tracked by
    // the letter spacing x scale.
    const PaneTextBlock& block(const TextPayload& payload, double paneScale);
    // One line of interface text.
    const PaneTextLine& line(const QString& text, const QFont& font);
    // Fonts were registered or removed: resolve them again.
    void forgetFonts();

private:
    static constexpr qsizetype kMaxEntries = 4096;

    QHash<QString, std::shared_ptr<PaneTextBlock>> m_blocks;
    QHash<QString, std::shared_ptr<PaneTextLine>> m_lines;
};

}  // namespace zelvane
