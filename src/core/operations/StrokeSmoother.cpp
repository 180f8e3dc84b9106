#include "operations/StrokeSmoother.h"

#include <algorithm>

namespace zelvane::StrokeSmoother {

VectorStroke smooth(const VectorStroke& stroke, int iterations)
{
    if (stroke.size() < 3) {
        return stroke;
    }
    VectorStroke points;
    points.reserve(stroke.size());
    points.append(stroke.front());
    for (qsizetype i = 1; i < stroke.size(); ++i) {
        if (stroke[i].distance(points.back()) >= 1.2) {
            points.append(stroke[i]);
        }
    }
    if (points.back() != stroke.back()) {
        points.append(stroke.back());
    }
    if (points.size() < 3) {
        return points;
    }
    const int passes = std::max(iterations, 1);
    for (int pass = 0; pass < passes; ++pass) {
        VectorStroke cut;
        cut.reserve(points.size() * 2);
        cut.append(points.front());
        for (qsizetype k = 0; k + 1 < points.size(); ++k) {
            const VectorPoint& a = points[k];
            const VectorPoint& b = points[k + 1];
            cut.append({0.75 * a.x + 0.25 * b.x, 0.75 * a.y + 0.25 * b.y});
            cut.append({0.25 * a.x + 0.75 * b.x, 0.25 * a.y + 0.75 * b.y});
        }
        cut.append(points.back());
        points = std::move(cut);
    }
    return points;
}

NormalizedStrokes normalizeStrokes(const QList<VectorStroke>& strokes)
{
    QList<VectorPoint> all;
    for (const VectorStroke& stroke : strokes) {
        all.append(stroke);
    }
    NormalizedStrokes result;
    result.frame = VectorRect::bounding(all, 16);
    const double width = std::max(result.frame.width, 1.0);
    const double height = std::max(result.frame.height, 1.0);
    result.strokes.reserve(strokes.size());
    for (const VectorStroke& stroke : strokes) {
        VectorStroke relative;
        relative.reserve(stroke.size());
        for (const VectorPoint& p : stroke) {
            relative.append({(p.x - result.frame.x) / width, (p.y - result.frame.y) / height});
        }
        result.strokes.append(relative);
    }
    return result;
}

}  // namespace zelvane::StrokeSmoother
