#include "controls/RunKeys.h"

#include <Qt>

namespace zelvane {

std::optional<int> runKeyTarget(int key, int current, int count)
{
    switch (key) {
    case Qt::Key_Home:
        return 0;
    case Qt::Key_End:
        return count - 1;
    case Qt::Key_PageDown:
        return current < 0 ? 0 : current + 1;
    case Qt::Key_PageUp:
        return current < 0 ? count - 1 : current - 1;
    default:
        return std::nullopt;
    }
}

}  // namespace zelvane
