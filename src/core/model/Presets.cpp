#include "model/Presets.h"

#include <algorithm>
#include <cmath>

namespace zelvane {

QList<QList<VectorPoint>> SignaturePreset::calligraphicStrokes(qint64 seed)
{
    constexpr double pi = 3.141592653589793;
    const double phase = double(seed) * 0.65;

    QList<VectorPoint> line;
    line.reserve(65);
    for (int i = 0; i <= 64; ++i) {
        const double t = double(i) / 64.0;
        const double a = t * pi;
        const double x = (t * 0.88 + 0.04) + std::sin(phase + a * 7) * 0.035;
        const double d = t * (-0.55) + 1;
        double y = (t * (-0.16) + 0.62) +
                   (d * (std::cos(a * 4) * 0.12) + d * (std::sin(phase + a * 9.5) * 0.24));
        y = std::min(std::max(y, 0.08), 0.92);
        line.append({x, y});
    }

    QList<VectorPoint> flourish;
    flourish.reserve(25);
    for (int j = 0; j <= 24; ++j) {
        const double u = double(j) / 24.0;
        flourish.append({u * 0.84 + 0.1, (std::sin(u * (-pi)) * 0.09 + 0.84) + u * (-0.05)});
    }
    return {line, flourish};
}

}  // namespace zelvane
