#include "appmodel/CanvasDisplayMode.h"

namespace zelvane {

QString rawValue(CanvasDisplayMode mode)
{
    switch (mode) {
    case CanvasDisplayMode::singlePage: return QStringLiteral("singlePage");
    case CanvasDisplayMode::multiPageContinuous: return QStringLiteral("multiPageContinuous");
    case CanvasDisplayMode::multiPageGrid: return QStringLiteral("multiPageGrid");
    }
    return {};
}

}  // namespace zelvane
