#include "HeadlessCLI.h"
#include "InfoReport.h"
#include "VectorController.h"

#include <QUrl>

namespace zelvane::HeadlessCLI {

HeadlessOutcome runInfo(const QStringList& arguments)
{
    const QString form = value(QStringLiteral("--format"), arguments).value_or(QStringLiteral("txt")).toLower();
    const std::optional<QString> input = firstInput(arguments);

    HeadlessRuntime::ensureGuiApplication();
    // Without an input the report describes the new controller's document.
    VectorController controller(false, false);
    // The report exports nothing.
    controller.setReadiesExportOnOpen(false);
    if (input) {
        try {
            controller.openFile(QUrl::fromLocalFile(resolvedPath(*input)));
        } catch (const std::exception& error) {
            return HeadlessRuntime::failure(error);
        }
    }
    return {0, InfoReport::render(controller.document(), form), {}};
}

void runInfoAndExit(const QStringList& arguments)
{
    HeadlessRuntime::finish(runInfo(arguments));
}

}  // namespace zelvane::HeadlessCLI
