#include "HeadlessCLI.h"
#include "VectorController.h"

#include <QUrl>

namespace zelvane::HeadlessCLI {

namespace {

// The edits below pass an empty label, so the status line stays as it was.

void replaceText(VectorController& controller, const QStringList& arguments)
{
    const qsizetype at = arguments.indexOf(QStringLiteral("--replace-text"));
    if (at < 0 || at + 2 >= arguments.size()) {
        return;
    }
    const QString oldText = arguments.at(at + 1);
    const QString newText = arguments.at(at + 2);
    controller.replaceTextEverywhere(oldText, newText, QString());
}

void sign(VectorController& controller, const QString& signerName)
{
    controller.signAsName(signerName, controller.currentPageIndex(), QString());
}

void applyEdits(VectorController& controller, const QStringList& arguments)
{
    replaceText(controller, arguments);
    if (const std::optional<QString> signer = value(QStringLiteral("--sign"), arguments)) {
        sign(controller, *signer);
    }
    if (const std::optional<QString> stamp = value(QStringLiteral("--stamp"), arguments)) {
        if (const std::optional<VectorStampKind> kind = fromRawValue<VectorStampKind>(*stamp)) {
            controller.stampApprovalBadge(*kind);
        }
    }
}

}  // namespace

HeadlessOutcome runConvert(const QStringList& arguments)
{
    const std::optional<QString> input = firstInput(arguments);
    const std::optional<QString> output = value(QStringLiteral("--output"), arguments);
    if (!input || !output) {
        return {1, {}, QByteArray("error: --convert requires <input> and --output <output.pdf|svg|png>\n")};
    }

    HeadlessRuntime::ensureGuiApplication();
    VectorController controller(false, false);
    // Only a PDF is drawn by the export's threads: for SVG or PNG, readying
    // them would load the document's fonts on each of them for nothing.
    controller.setReadiesExportOnOpen(output->endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive));
    try {
        if (*input != QLatin1String("demo")) {
            controller.openFile(QUrl::fromLocalFile(resolvedPath(*input)));
        }
        applyEdits(controller, arguments);
        const QString path = resolvedPath(*output);
        // Without a format the save follows the extension.
        controller.saveFile(QUrl::fromLocalFile(path));
        return {0, QByteArray("Saved to ") + path.toUtf8() + '\n', {}};
    } catch (const std::exception& error) {
        return HeadlessRuntime::failure(error);
    }
}

void runConvertAndExit(const QStringList& arguments)
{
    HeadlessRuntime::finish(runConvert(arguments));
}

}  // namespace zelvane::HeadlessCLI
