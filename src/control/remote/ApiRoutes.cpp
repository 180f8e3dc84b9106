#include "remote/ApiRoutes.h"

#include "remote/SnapshotQueue.h"
#include "remote/StateReplyCache.h"

#include "AppVersion.h"
#include "CodecError.h"
#include "ExportFormat.h"
#include "VectorController.h"
#include "http/RequestArguments.h"
#include "osc/OSCAddresses.h"
#include "remote/RemotePaths.h"
#include "export/SVGExport.h"
#include "ThreadHandOver.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QThreadPool>
#include <QUrl>

namespace zelvane {

namespace {

namespace Args = RequestArguments;

QString uuidText(const QUuid& id)
{
    return id.toString(QUuid::WithoutBraces).toUpper();
}

QString typeLabel(const VectorElement& element)
{
    if (const auto* shape = std::get_if<ShapePayload>(&element.kind)) {
        return label(shape->shapeType).toUpper();
    }
    return element.typeBadge();
}

QJsonObject elementObject(const VectorElement& element)
{
    QJsonObject object{
        {"id", uuidText(element.id)},
        {"name", element.name},
        {"type", typeLabel(element)},
        {"x", element.frame.x},
        {"y", element.frame.y},
        {"width", element.frame.width},
        {"height", element.frame.height},
        {"visible", element.visible},
        {"locked", element.locked},
    };
    if (const TextPayload* text = element.text()) {
        object.insert("text", text->text);
        object.insert("isPDFExtracted", text->isPDFExtracted);
        object.insert("modified", element.hasModifiedPDFText());
    } else if (const auto* signature = std::get_if<SignaturePayload>(&element.kind)) {
        object.insert("signerName", signature->signerName);
        object.insert("dateLabel", signature->dateLabel.value_or(QString()));
    }
    return object;
}

HttpReply stateReply(const VectorController& controller, const ApiContext& context)
{
    const VectorDocument& document = controller.document();
    const VectorController::DocumentCounts counts = controller.documentCounts();
    HttpReply reply = HttpReply::json({
        {"app", "Zelvane"},
        {"version", AppVersion::current().version},
        {"title", document.title},
        {"sourceFormat", rawValue(document.sourceFormat)},
        {"pageCount", qint64(document.pages.size())},
        {"currentPageIndex", qint64(controller.currentPageIndex()) + 1},
        {"totalElementsCount", counts.elements},
        {"pdfTextElementCount", counts.pdfTexts},
        {"modifiedPDFTextCount", counts.modifiedPDFTexts},
        {"signatureCount", counts.signatures},
        {"canUndo", controller.canUndo()},
        {"canRedo", controller.canRedo()},
        {"oscInPort", context.oscInPort},
        {"apiPort", context.apiPort},
        {"statusMessage", controller.statusMessage()},
    });
    if (context.stateCache)
        context.stateCache->store(reply);
    return reply;
}

// How long a reply built off the main thread may take.
constexpr std::chrono::minutes kLargeReplyLimit{2};

// Builds a reply on a worker, from values the caller copied (documents are
// implicitly shared, so the copy is cheap), so that the reply of a large
// document never holds the main thread. Two such replies are built at once
// at most; the rest wait for a worker.
HttpReply builtOffTheMainThread(std::function<HttpReply()> build)
{
    static QThreadPool* const workers = [] {
        auto* pool = new QThreadPool;
        pool->setMaxThreadCount(2);
        // Idle workers stay until the process ends: one retiring on its own
        // while the program exits would run thread clean-up in a library
        // that is being torn down.
        pool->setExpiryTimeout(-1);
        return pool;
    }();
    HttpReply reply;
    reply.later = std::make_shared<LaterReply>(kLargeReplyLimit);
    workers->start(handedOver([later = reply.later, build = std::move(build)] {
        try {
            later->resolve(build());
        } catch (const std::exception& error) {
            later->resolve(HttpReply::error(QString::fromLocal8Bit(error.what()), 500));
        }
    }));
    return reply;
}

HttpReply pagesReplyOf(const VectorDocument& document)
{
    QJsonArray pages;
    const QList<VectorPage>& list = document.pages;
    for (qsizetype i = 0; i < list.size(); ++i) {
        const VectorPage& page = list[i];
        QJsonArray elements;
        for (const VectorElement& element : page.elements) {
            elements.append(elementObject(element));
        }
        pages.append(QJsonObject{
            {"page", qint64(i) + 1},
            {"title", page.title},
            {"width", page.width},
            {"height", page.height},
            {"hasPDFStream", page.pdfPageData.has_value()},
            {"redactedRectCount", qint64(page.redactedPDFRects.size())},
            {"elements", elements},
        });
    }
    return HttpReply::json({{"pages", pages}});
}

HttpReply pagesReply(const VectorController& controller)
{
    return builtOffTheMainThread([document = controller.document()] { return pagesReplyOf(document); });
}

HttpReply helpReply()
{
    const QStringList endpoints{
        "GET /v1/state",
        "GET /v1/pages",
        "GET /v1/help",
        "GET /v1/svg",
        "GET /v1/snapshot.png?view=single|multipage|grid",
        R"(POST /v1/open {"path":"/path/to/file.pdf"})",
        R"(POST /v1/text {"page":1,"match":"Statut","text":"Statut : VALIDÉ"})",
        R"(POST /v1/sign {"page":1,"signer":"Direction Technique","x":420,"y":695,"stamp":"approved"})",
        R"(POST /v1/page {"format":"A4 Portrait","duplicate":false})",
        R"(POST /v1/export {"outputPath":"/tmp/out.pdf","format":"pdf|svg|png"})",
    };
    return HttpReply::json({
        {"app", "Zelvane"},
        {"httpEndpoints", QJsonArray::fromStringList(endpoints)},
        {"oscAddresses", QJsonArray::fromStringList(OSCAddresses::helpLines())},
    });
}

// How long POST /v1/open may take before the client is told "timeout" (the
// open still ends and is put in place).
constexpr std::chrono::minutes kOpenAnswerLimit{5};

HttpReply openRoute(VectorController& controller, const QJsonObject& args)
{
    const std::optional<QString> path = Args::string(args, "path");
    if (!path || path->isEmpty()) {
        return HttpReply::error("missing 'path'");
    }
    // The import runs off the main thread; the reply waits for its end,
    // however long the file takes, within a limit of its own.
    HttpReply reply;
    reply.later = std::make_shared<LaterReply>(kOpenAnswerLimit);
    controller.openFileInBackground(
        QUrl::fromLocalFile(expandTildeInPath(*path)).toLocalFile(),
        [later = reply.later, &controller](const std::optional<CodecError>& failure) {
            if (failure) {
                later->resolve(HttpReply::error(failure->message()));
                return;
            }
            const VectorDocument& document = controller.document();
            later->resolve(
                HttpReply::json({{"ok", true}, {"title", document.title}, {"pages", qint64(document.pages.size())}}));
        });
    return reply;
}

// The selected page, or the "invalid page" reply.
std::optional<int> selectedPage(const VectorController& controller, const QJsonObject& args)
{
    return Args::pageIndex(args, int(std::clamp<qsizetype>(controller.currentPageIndex(), -1, INT_MAX)),
                           int(std::min<qsizetype>(controller.document().pages.size(), INT_MAX)));
}

HttpReply textRoute(VectorController& controller, const QJsonObject& args)
{
    const std::optional<QString> text = Args::string(args, "text");
    if (!text) {
        return HttpReply::error("missing 'text'");
    }
    const std::optional<int> page = selectedPage(controller, args);
    if (!page) {
        return HttpReply::error(Args::kInvalidPage);
    }
    const std::optional<QString> match = Args::string(args, "match");
    if (match) {
        if (const std::optional<QUuid> id =
                controller.replaceMatchedText(*page, *match, *text, QStringLiteral("HTTP · Texte modifié")))
            return HttpReply::json({{"ok", true}, {"updatedElementID", uuidText(*id)}});
    }
    const Args::Number x = Args::coordinate(args, "x");
    const Args::Number y = Args::coordinate(args, "y");
    // Any size the model can draw; only sizes that are not numbers, negative
    // or beyond the coordinate range are refused.
    const Args::Number fontSize = Args::checkedNumber(args, "fontSize", 0, Args::kMaxCoordinate);
    for (const Args::Number* number : {&x, &y, &fontSize}) {
        if (number->refused()) {
            return HttpReply::error(number->refusal->error);
        }
    }
    const std::optional<QUuid> id = controller.addText(*text, *page, {x.valueOr(72), y.valueOr(120)},
                                                       fontSize.valueOr(15), QStringLiteral("HTTP · Texte ajouté"));
    return HttpReply::json({{"ok", true}, {"createdElementID", uuidText(id.value_or(QUuid()))}});
}

HttpReply signRoute(VectorController& controller, const QJsonObject& args)
{
    const std::optional<int> page = selectedPage(controller, args);
    if (!page) {
        return HttpReply::error(Args::kInvalidPage);
    }
    const VectorPage& target = controller.document().pages[*page];
    const QString signer = Args::string(args, "signer").value_or(controller.activeSignaturePreset().signerName);
    const Args::Number x = Args::coordinate(args, "x");
    const Args::Number y = Args::coordinate(args, "y");
    for (const Args::Number* number : {&x, &y}) {
        if (number->refused()) {
            return HttpReply::error(number->refusal->error);
        }
    }
    const VectorPoint fallback = VectorController::defaultSignaturePoint(target);
    const VectorPoint at{x.valueOr(fallback.x), y.valueOr(fallback.y)};
    std::optional<VectorStampKind> stamp;
    if (const auto kindText = Args::string(args, "stamp")) {
        stamp = fromRawValue<VectorStampKind>(*kindText);
    }
    const std::optional<QUuid> signature =
        controller.signAsName(signer, *page, QStringLiteral("HTTP · Signature ") + signer, at, stamp);
    return HttpReply::json({{"ok", true}, {"signatureID", uuidText(signature.value_or(QUuid()))}, {"page", *page + 1}});
}

HttpReply pageRoute(VectorController& controller, const QJsonObject& args)
{
    if (Args::boolean(args, "duplicate") == true) {
        controller.duplicateCurrentPage();
    } else {
        const QString format = Args::string(args, "format").value_or(QStringLiteral("A4 Portrait"));
        controller.addBlankPage(fromRawValue<PageFormatPreset>(format).value_or(PageFormatPreset::a4Portrait));
    }
    return HttpReply::json({{"ok", true},
                            {"pageCount", qint64(controller.document().pages.size())},
                            {"currentPage", qint64(controller.currentPageIndex()) + 1}});
}

// How long POST /v1/export may take before the client is told "timeout"
// (the file is still written).
constexpr std::chrono::minutes kExportAnswerLimit{5};

HttpReply exportRoute(VectorController& controller, const QJsonObject& args)
{
    const std::optional<QString> output = Args::string(args, "outputPath");
    if (!output || output->isEmpty()) {
        return HttpReply::error("missing 'outputPath'");
    }
    std::optional<ExportFormat> format;
    if (const auto text = Args::string(args, "format")) {
        format = fromRawValue<ExportFormat>(text->toLower());
    }
    // The reply names the file written, so a relative path is made absolute
    // (against the editor's working folder) first.
    const QUrl url = QUrl::fromLocalFile(QDir::cleanPath(QFileInfo(expandTildeInPath(*output)).absoluteFilePath()));
    // A remote client may write documents, not replace other kinds of files.
    if (const QString refusal = remoteExportRefusal(url.toLocalFile(), format); !refusal.isEmpty()) {
        return HttpReply::error(refusal);
    }
    // Written on a worker from a copy of the document as it is now; the
    // reply waits until the file is written.
    HttpReply reply;
    reply.later = std::make_shared<LaterReply>(kExportAnswerLimit);
    controller.saveFileInBackground(
        url.toLocalFile(), format,
        [later = reply.later, outputPath = url.toLocalFile()](const std::optional<CodecError>& failure) {
            later->resolve(failure ? HttpReply::error(failure->message())
                                   : HttpReply::json({{"ok", true}, {"outputPath", outputPath}}));
        });
    return reply;
}

HttpReply svgReply(const VectorController& controller)
{
    return builtOffTheMainThread([document = controller.document()] {
        return HttpReply::data(SVGCodec::exportSVGUtf8(document), "image/svg+xml; charset=utf-8");
    });
}

HttpReply snapshotReply(const VectorController& controller, const HttpRequest& request, const ApiContext& context)
{
    if (context.snapshotQueue && context.snapshot)
        return context.snapshotQueue->request(context.snapshot, request.query);
    std::optional<QByteArray> png;
    if (context.snapshot) {
        png = context.snapshot(controller, request.query);
    }
    if (!png) {
        return HttpReply::error("snapshot failed", 500);
    }
    return HttpReply::data(*png, "image/png");
}

}  // namespace

HttpReply dispatchHTTPRequest(VectorController& controller, const HttpRequest& request, const ApiContext& context)
{
    const QString& method = request.method;
    const QString& path = request.path;
    if (method == QLatin1String("GET")) {
        if (path == QLatin1String("/v1/state") || path == QLatin1String("/v1/status")) {
            return stateReply(controller, context);
        }
        if (path == QLatin1String("/v1/pages")) {
            return pagesReply(controller);
        }
        if (path == QLatin1String("/v1/help")) {
            return helpReply();
        }
        if (path == QLatin1String("/v1/svg")) {
            return svgReply(controller);
        }
        if (path == QLatin1String("/v1/snapshot.png")) {
            return snapshotReply(controller, request, context);
        }
    } else if (method == QLatin1String("POST")) {
        if (path == QLatin1String("/v1/open")) {
            return openRoute(controller, request.args);
        }
        if (path == QLatin1String("/v1/text")) {
            return textRoute(controller, request.args);
        }
        if (path == QLatin1String("/v1/sign")) {
            return signRoute(controller, request.args);
        }
        if (path == QLatin1String("/v1/page")) {
            return pageRoute(controller, request.args);
        }
        if (path == QLatin1String("/v1/export")) {
            return exportRoute(controller, request.args);
        }
    }
    return HttpReply::error(QStringLiteral("unknown endpoint ") + method + QLatin1Char(' ') + path);
}

}  // namespace zelvane
