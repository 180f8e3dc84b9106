#include "EditorLaunch.h"

#include "DisplayCheck.h"
#include "LaunchFiles.h"
#include "LibraryOutput.h"
#include "ProcessArguments.h"
#include "QuitSignals.h"
#include "Snapshot.h"
#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "remote/RemoteControl.h"
#include "theme/Theme.h"
#include "window/MainWindow.h"

#include <QApplication>
#include <QStyleFactory>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

namespace zelvane::EditorLaunch {

int run(int& argc, char** argv)
{
    const QStringList arguments = processArguments();
    if (const std::optional<QString> problem = DisplayCheck::problem(arguments)) {
        std::fputs(("error: " + *problem + "\n").toLocal8Bit().constData(), stderr);
        return 1;
    }

    // Libraries (poppler and its cairo backend) print on standard error by
    // themselves; in the window their lines go to the debug log instead.
    LibraryOutput::routeLibrariesToDebugLog();

    QApplication application(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(Theme::palette());
    QuitSignals quitSignals;

    AppModel model(true, true);
    if (RemoteControl* remote = model.remoteControl())
        remote->setSnapshotRenderer(Snapshot::renderForRemoteControl);
    MainWindow window(model);
    // A quit by signal closes the window without asking about unsaved
    // changes: nobody may be there to answer.
    QObject::connect(&quitSignals, &QuitSignals::quitRequested, &model,
                     [&model] { model.setUnsavedChangesQuestion({}); });
    QObject::connect(&window, &MainWindow::closed, &application, &QCoreApplication::quit, Qt::QueuedConnection);
    window.show();
    // Once the window is up: the first file named on the command line.
    QTimer::singleShot(0, &window, [&model, &arguments] {
        if (const std::optional<QUrl> file = LaunchFiles::firstExistingFile(arguments.mid(1)))
            model.open(*file);
    });

    const int status = QApplication::exec();
    // An open under way is given up at once: its remote caller is told so
    // before the API closes, and its import ends at the next page.
    model.controller().cancelOpens();
    // The OSC and HTTP threads end before anything they use goes away.
    model.controller().stopRemoteServices();
    // A save being written is finished first.
    model.controller().waitForSaves();
    // A cancelled import stops at its next page; one still reading the
    // file's structure (which cannot be interrupted) is not waited for: the
    // process ends without tearing down what that thread may still use.
    if (!model.controller().waitForImportThread(300)) {
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}

}  // namespace zelvane::EditorLaunch
