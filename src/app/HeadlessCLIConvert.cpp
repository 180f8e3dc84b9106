#include "CodecError.h"
#include "HeadlessCLI.h"
#include "HeadlessDocumentFiles.h"
#include "HeadlessEdits.h"

namespace zelvane::HeadlessCLI {

namespace {

// The new document and the opened one both show their first page.
constexpr qsizetype kCurrentPage = 0;

void applyEdits(VectorDocument& document, const QStringList& arguments)
{
    const qsizetype replace = arguments.indexOf(QStringLiteral("--replace-text"));
    if (replace >= 0 && replace + 2 < arguments.size()) {
        HeadlessEdits::replaceText(document, arguments.at(replace + 1), arguments.at(replace + 2));
    }
    if (const std::optional<QString> signer = value(QStringLiteral("--sign"), arguments)) {
        HeadlessEdits::addSignature(document, kCurrentPage, *signer);
    }
    if (const std::optional<QString> stamp = value(QStringLiteral("--stamp"), arguments)) {
        if (const std::optional<VectorStampKind> kind = fromRawValue<VectorStampKind>(*stamp)) {
            HeadlessEdits::addStamp(document, kCurrentPage, *kind);
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
    try {
        VectorDocument document = *input == QLatin1String("demo") ? HeadlessDocumentFiles::startDocument()
                                                                  : HeadlessDocumentFiles::open(*input);
        applyEdits(document, arguments);
        const QString path = HeadlessDocumentFiles::resolvePath(*output);
        HeadlessDocumentFiles::save(document, kCurrentPage, path);
        return {0, QByteArray("Saved to ") + path.toUtf8() + '\n', {}};
    } catch (const CodecError& error) {
        return HeadlessRuntime::failure(error.message());
    } catch (const std::exception& error) {
        return HeadlessRuntime::failure(QString::fromUtf8(error.what()));
    }
}

void runConvertAndExit(const QStringList& arguments)
{
    HeadlessRuntime::finish(runConvert(arguments));
}

}  // namespace zelvane::HeadlessCLI
