#pragma once

#include "model/VectorElement.h"

#include <QRectF>
#include <optional>

namespace zelvane {

// Where an element may paint on the canvas, in page points, generously: its
// turned frame, the extent of its outline, its stroke and arrow heads, the
// lines of text it lays out (bounded from their lengths, since text is not
// clipped to its frame) and, for PDF text, where its line was printed and
// masked. Some of it is sized in pane points (the thinnest stroke, the
// smallest font drawn): at a page-to-pane scale s the element stays within
// `box` grown by `growth` / s on every side.
struct ElementInk {
    QRectF box;
    double growth = 0;

    // The area at page-to-pane scale `s`; null when nothing is painted.
    QRectF at(double s) const;
    // Both areas at once (for a group of elements).
    void unite(const ElementInk& other);

    // `outline` is the element's outline in page points, when it has one
    // (VectorSceneRenderCache::buildPageSpacePath).
    static ElementInk of(const VectorElement& element, const std::optional<QRectF>& outline);
    // Closer: the area of the element at scale `s` alone (within at(s)).
    static QRectF area(const VectorElement& element, const std::optional<QRectF>& outline, double s);
    // Whether the element may paint beyond its frame grown by its stroke,
    // so that its outline is worth looking up.
    static bool hasOutlineBeyondFrame(const VectorElement& element);
};

}  // namespace zelvane
