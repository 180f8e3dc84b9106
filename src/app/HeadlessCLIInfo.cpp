#include "CodecError.h"
#include "HeadlessCLI.h"
#include "HeadlessDocumentFiles.h"
#include "InfoReport.h"

namespace zelvane::HeadlessCLI {

HeadlessOutcome runInfo(const QStringList& arguments)
{
    const QString form = value(QStringLiteral("--format"), arguments).value_or(QStringLiteral("txt")).toLower();
    const std::optional<QString> input = firstInput(arguments);

    HeadlessRuntime::ensureGuiApplication();
    VectorDocument document = HeadlessDocumentFiles::startDocument();
    if (input) {
        try {
            document = HeadlessDocumentFiles::open(*input);
        } catch (const CodecError& error) {
            return HeadlessRuntime::failure(error.message());
        } catch (const std::exception& error) {
            return HeadlessRuntime::failure(QString::fromUtf8(error.what()));
        }
    }
    return {0, InfoReport::render(document, form), {}};
}

void runInfoAndExit(const QStringList& arguments)
{
    HeadlessRuntime::finish(runInfo(arguments));
}

}  // namespace zelvane::HeadlessCLI
