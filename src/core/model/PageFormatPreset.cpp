#include "model/PageFormatPreset.h"

#include "Localization.h"

namespace zelvane {

QString rawValue(PageFormatPreset preset)
{
    switch (preset) {
    case PageFormatPreset::a4Portrait: return QStringLiteral("A4 Portrait");
    case PageFormatPreset::a4Landscape: return QStringLiteral("A4 Paysage");
    case PageFormatPreset::a3Landscape: return QStringLiteral("A3 Paysage");
    case PageFormatPreset::letter: return QStringLiteral("US Letter");
    case PageFormatPreset::stage16x9: return QStringLiteral("16:9 Régie");
    }
    return {};
}

QString label(PageFormatPreset preset)
{
    switch (preset) {
    case PageFormatPreset::a4Portrait: return L("A4 Portrait (210 × 297 mm)", "A4 Portrait (210 × 297 mm)");
    case PageFormatPreset::a4Landscape: return L("A4 Paysage (297 × 210 mm)", "A4 Landscape (297 × 210 mm)");
    case PageFormatPreset::a3Landscape: return L("A3 Paysage (420 × 297 mm)", "A3 Landscape (420 × 297 mm)");
    case PageFormatPreset::letter: return L("US Letter (216 × 279 mm)", "US Letter (8.5 × 11 in)");
    case PageFormatPreset::stage16x9: return L("Plan 16:9 (960 × 540 pt)", "16:9 Stage Plot (960 × 540 pt)");
    }
    return {};
}

PageSize sizePoints(PageFormatPreset preset)
{
    switch (preset) {
    case PageFormatPreset::a4Portrait: return {595.28, 841.89};
    case PageFormatPreset::a4Landscape: return {841.89, 595.28};
    case PageFormatPreset::a3Landscape: return {1190.55, 841.89};
    case PageFormatPreset::letter: return {612, 792};
    case PageFormatPreset::stage16x9: return {960, 540};
    }
    return {};
}

}  // namespace zelvane
