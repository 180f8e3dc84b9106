#pragma once

#include "model/VectorElement.h"

#include <QString>
#include <optional>

namespace zelvane::sample {

// The company the sample is made out for, and where to find it.
inline constexpr const char* kCompanyName = "Compagnie Tarnwick";
inline constexpr const char* kCompanyWebSite = "tarnwick.net";
// Three of the company's show-control programs, joined by " · ".
inline constexpr const char* kShowControlPrograms = "Zelvane · Osselcue · Osselmap";

struct ShapeLook {
    QString strokeColorHex;
    std::optional<QString> fillColorHex;
    double strokeWidth = 1;
    bool dashed = false;
};

// A shape of the sample: upright, visible, unlocked, fully opaque, without
// arrows unless `endArrow` is set.
VectorElement makeShape(const QString& name, VectorShapeType type, double cornerRadius, const VectorRect& frame,
                        const ShapeLook& look, bool endArrow = false);

}  // namespace zelvane::sample
