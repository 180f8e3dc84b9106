#include "EditorLaunch.h"

#include "DisplayCheck.h"
#include "LaunchFiles.h"
#include "LibraryOutput.h"
#include "ProcessArguments.h"
#include "QuitDeadline.h"
#include "QuitSignals.h"
#include "Snapshot.h"
#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "canvas/render/VectorSceneRenderCache.h"
#include "remote/RemoteControl.h"
#include "theme/Theme.h"
#include "window/MainWindow.h"

#include <QApplication>
#include <QStyleFactory>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

namespace zelvane::EditorLaunch {

namespace {

// How long a quit gives background threads to end once the saves are
// written, and the whole tearing down after that.
constexpr int kBackgroundEndMs = 100;
constexpr int kTearDownMs = 1200;

}  // namespace

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
    // before the API closes, and its import ends within moments, also in
    // the middle of a page.
    model.controller().cancelOpens();
    // The OSC and HTTP threads end before anything they use goes away.
    model.controller().stopRemoteServices();
    // A save being written is finished first.
    model.controller().waitForSaves();
    // Nothing else is waited for long: whatever still draws or reads in the
    // background when the tearing down below holds up ends with the process.
    QuitDeadline::arm(status, kTearDownMs);
    // An import still reading the file's structure (which cannot be
    // interrupted), or a backdrop still being drawn (poppler draws a page to
    // its end), is not waited for: the process ends without tearing down
    // what those threads may still use.
    if (!model.controller().waitForImportThreads(kBackgroundEndMs)
        || !VectorSceneRenderCache::shared().stopBackdropWorker(kBackgroundEndMs)) {
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}

}  // namespace zelvane::EditorLaunch
