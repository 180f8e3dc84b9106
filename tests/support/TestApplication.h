#pragma once

#include <QCoreApplication>
#include <QFont>
#include <QGuiApplication>

namespace zelvane::testing {

// The offscreen GUI application that fonts, painting and queued calls need,
// made once per test process and kept for its rest (Qt's font database lives
// with it). False when another kind of application object exists already.
inline bool ensureTestGuiApplication()
{
    if (QCoreApplication::instance())
        return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "zelvane_tests";
    static char* argv[] = {name, nullptr};
    new QGuiApplication(argc, argv);
    // Qt makes the application's font, which every QFont() starts from, on
    // its first use, under a lock the thread sanitizer does not see: made
    // here, before any test starts threads that draw text.
    QGuiApplication::font();
    return true;
}

}  // namespace zelvane::testing
