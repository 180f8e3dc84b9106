#include "EditorLaunch.h"

#include "DisplayCheck.h"
#include "LaunchFiles.h"
#include "ProcessArguments.h"
#include "QuitSignals.h"
#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "theme/Theme.h"
#include "window/MainWindow.h"

#include <QApplication>
#include <QStyleFactory>
#include <QTimer>
#include <cstdio>

namespace zelvane::EditorLaunch {

int run(int& argc, char** argv)
{
    const QStringList arguments = processArguments();
    if (const std::optional<QString> problem = DisplayCheck::problem(arguments)) {
        std::fputs(("error: " + *problem + "\n").toLocal8Bit().constData(), stderr);
        return 1;
    }

    QApplication application(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(Theme::palette());
    QuitSignals quitSignals;

    AppModel model(true, true);
    MainWindow window(model);
    QObject::connect(&window, &MainWindow::closed, &application, &QCoreApplication::quit, Qt::QueuedConnection);
    window.show();
    // Once the window is up: the first file named on the command line.
    QTimer::singleShot(0, &window, [&model, &arguments] {
        if (const std::optional<QUrl> file = LaunchFiles::firstExistingFile(arguments.mid(1)))
            model.open(*file);
    });

    const int status = QApplication::exec();
    // The OSC and HTTP threads end before anything they use goes away.
    model.controller().stopRemoteServices();
    return status;
}

}  // namespace zelvane::EditorLaunch
