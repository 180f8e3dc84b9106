#include "ExportFormat.h"

namespace zelvane {

QString rawValue(ExportFormat format)
{
    switch (format) {
    case ExportFormat::pdf: return QStringLiteral("pdf");
    case ExportFormat::svg: return QStringLiteral("svg");
    case ExportFormat::png: return QStringLiteral("png");
    }
    return {};
}

}  // namespace zelvane
