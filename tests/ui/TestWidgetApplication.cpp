#include "support/TestWidgetApplication.h"

#include "theme/Theme.h"

#include <QStyleFactory>

namespace zelvane::testing {

bool ensureTestWidgetApplication()
{
    if (QCoreApplication::instance())
        return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "zelvane_ui_tests";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(Theme::palette());
    return true;
}

}  // namespace zelvane::testing
