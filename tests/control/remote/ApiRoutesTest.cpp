#include "control/ControllerTestSupport.h"
#include "VectorController.h"
#include "operations/VectorOperations.h"
#include "http/HttpServer.h"
#include "remote/ApiRoutes.h"
#include "remote/RemoteControl.h"
#include "control/remote/RemoteTestSupport.h"
#include "core/support/TestPDF.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

using namespace zelvane;

namespace {

// Every request goes through the real server on a free loopback port.
class ApiRoutesTest : public zelvane::testing::ControllerTest {
protected:
    void SetUp() override
    {
        ControllerTest::SetUp();
        controller = makeController();
        remote = std::make_unique<RemoteControl>(*controller);
        ASSERT_TRUE(remote->startHTTPServer(0));
    }
    void TearDown() override
    {
        remote.reset();
        ControllerTest::TearDown();
    }

    HttpReply call(const QString& method, const QString& path, const QJsonObject& args = {},
                   const QString& query = {})
    {
        const quint16 port = remote->httpPort();
        const QByteArray target = (query.isEmpty() ? path : path + QLatin1Char('?') + query).toUtf8();
        const QByteArray body = args.isEmpty() ? QByteArray() : QJsonDocument(args).toJson(QJsonDocument::Compact);
        QByteArray request = method.toUtf8() + ' ' + target + " HTTP/1.1\r\nHost: 127.0.0.1:" +
                             QByteArray::number(port) + "\r\n";
        if (!body.isEmpty()) {
            request += "Content-Type: application/json\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n";
        }
        request += "\r\n" + body;
        using namespace zelvane::remotetest;
        const Reply raw = whileProcessingEvents([&] { return parseReply(exchange(port, request)); });
        HttpReply reply;
        reply.status = raw.status;
        reply.contentType = raw.header("content-type");
        reply.body = raw.body;
        return reply;
    }

    static QJsonObject json(const HttpReply& reply) { return QJsonDocument::fromJson(reply.body).object(); }

    std::unique_ptr<VectorController> controller;
    std::unique_ptr<RemoteControl> remote;
};

}  // namespace

TEST_F(ApiRoutesTest, TheStateIsKeptBetweenChangesAndServedWithoutTheMainThread)
{
    const QJsonObject first = json(call("GET", "/v1/state"));
    EXPECT_EQ(first["totalElementsCount"].toInt(), 0);

    // The main thread looks at no events while these are answered.
    const QByteArray request = "GET /v1/state HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(remote->httpPort()) +
                               "\r\n\r\n";
    const QByteArray kept = zelvane::remotetest::exchange(remote->httpPort(), request, std::chrono::seconds(5));
    EXPECT_TRUE(kept.startsWith("HTTP/1.1 200 OK"));
    EXPECT_TRUE(kept.contains("\"totalElementsCount\": 0"));

    // Every change of what the state tells is seen by the next request.
    controller->addTextBlock("Bonjour");
    QJsonObject state = json(call("GET", "/v1/state"));
    EXPECT_EQ(state["totalElementsCount"].toInt(), 1);
    EXPECT_TRUE(state["canUndo"].toBool());
    controller->undo();
    state = json(call("GET", "/v1/state"));
    EXPECT_EQ(state["totalElementsCount"].toInt(), 0);
    EXPECT_TRUE(state["canRedo"].toBool());
    controller->addBlankPage(PageFormatPreset::a4Portrait);
    controller->setCurrentPageIndex(0);
    EXPECT_EQ(json(call("GET", "/v1/state"))["currentPageIndex"].toInt(), 1);
    controller->setCurrentPageIndex(1);
    EXPECT_EQ(json(call("GET", "/v1/state"))["currentPageIndex"].toInt(), 2);
    EXPECT_EQ(json(call("GET", "/v1/state"))["statusMessage"].toString(), controller->statusMessage());
    ASSERT_TRUE(remote->startOSCServer(0));
    EXPECT_EQ(json(call("GET", "/v1/state"))["oscInPort"].toInt(), remote->oscInPort());
}

TEST_F(ApiRoutesTest, StatePagesHelpAndUnknownRoutes)
{
    const QJsonObject state = json(call("GET", "/v1/state"));
    EXPECT_EQ(state.size(), 15);
    EXPECT_EQ(state["app"].toString(), "Zelvane");
    EXPECT_EQ(state["pageCount"].toInt(), 1);
    EXPECT_EQ(state["currentPageIndex"].toInt(), 1);
    EXPECT_EQ(state["oscInPort"].toInt(), 9160);
    EXPECT_EQ(state["apiPort"].toInt(), remote->httpPort());
    EXPECT_EQ(state["sourceFormat"].toString(), "SVG");
    EXPECT_EQ(call("GET", "/v1/status").body, call("GET", "/v1/state").body);

    controller->addShape(VectorShapeType::ellipse);
    controller->addTextBlock("Bonjour");
    const QJsonArray pages = json(call("GET", "/v1/pages", {}, "x=1"))["pages"].toArray();
    ASSERT_EQ(pages.size(), 1);
    const QJsonObject page = pages[0].toObject();
    EXPECT_EQ(page["page"].toInt(), 1);
    EXPECT_FALSE(page["hasPDFStream"].toBool());
    const QJsonArray elements = page["elements"].toArray();
    ASSERT_EQ(elements.size(), 2);
    EXPECT_EQ(elements[0].toObject()["type"].toString(), "CIRCLE / ELLIPSE");
    EXPECT_EQ(elements[0].toObject().size(), 9);
    EXPECT_EQ(elements[1].toObject()["type"].toString(), "TEXTE");
    EXPECT_EQ(elements[1].toObject()["text"].toString(), "Bonjour");
    EXPECT_EQ(elements[1].toObject().size(), 12);

    const QJsonObject help = json(call("GET", "/v1/help"));
    EXPECT_EQ(help["httpEndpoints"].toArray().size(), 10);
    EXPECT_EQ(help["oscAddresses"].toArray().size(), 9);
    EXPECT_EQ(help["httpEndpoints"].toArray()[9].toString(),
              R"(POST /v1/export {"outputPath":"/tmp/out.pdf","format":"pdf|svg|png"})");
    // Pretty-printed, keys sorted, slashes plain.
    EXPECT_TRUE(call("GET", "/v1/help").body.contains("\n    \"app\": \"Zelvane\",\n    \"httpEndpoints\""));
    EXPECT_TRUE(call("GET", "/v1/help").body.contains("/v1/open"));

    const HttpReply svg = call("GET", "/v1/svg");
    EXPECT_EQ(svg.contentType, QByteArray("image/svg+xml; charset=utf-8"));
    EXPECT_TRUE(svg.body.startsWith("<?xml") || svg.body.startsWith("<svg"));

    for (const auto& [method, path] : {std::pair{"GET", "/v1/state/"}, std::pair{"GET", "/V1/STATE"},
                                       std::pair{"HEAD", "/v1/state"}, std::pair{"POST", "/v1/state"},
                                       std::pair{"GET", "/v1/open"}}) {
        const HttpReply reply = call(method, path);
        EXPECT_EQ(reply.status, 400);
        EXPECT_EQ(json(reply)["error"].toString(), QStringLiteral("unknown endpoint %1 %2").arg(method, path));
    }
    // Without a window renderer the snapshot fails as a server error.
    const HttpReply snapshot = call("GET", "/v1/snapshot.png", {}, "view=grid");
    EXPECT_EQ(snapshot.status, 500);
    EXPECT_EQ(json(snapshot)["error"].toString(), "snapshot failed");
}

TEST_F(ApiRoutesTest, TextRoute)
{
    const QJsonObject created = json(call("POST", "/v1/text", {{"text", ""}}));
    ASSERT_TRUE(created["ok"].toBool());
    const VectorElement& block = controller->document().pages[0].elements.back();
    EXPECT_EQ(block.id.toString(QUuid::WithoutBraces).toUpper(), created["createdElementID"].toString());
    EXPECT_EQ(block.frame.x, 72);
    EXPECT_EQ(block.frame.y, 120);
    EXPECT_EQ(block.text()->fontSize, 15);
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("HTTP · Texte ajouté"));

    controller->addTextBlock("Statut : brouillon", VectorPoint{10, 10});
    controller->addTextBlock("Second statut", VectorPoint{10, 40});
    const qsizetype count = controller->document().pages[0].elements.size();
    const QJsonObject updated =
        json(call("POST", "/v1/text", {{"match", "STATUT"}, {"text", "Statut : VALIDÉ"}, {"x", 500}}));
    ASSERT_TRUE(updated.contains("updatedElementID"));
    const auto& elements = controller->document().pages[0].elements;
    EXPECT_EQ(elements.size(), count);
    EXPECT_EQ(elements[count - 2].text()->text, QStringLiteral("Statut : VALIDÉ"));
    EXPECT_EQ(elements[count - 2].frame.x, 10);
    EXPECT_EQ(elements[count - 1].text()->text, QStringLiteral("Second statut"));
    controller->undo();
    EXPECT_EQ(controller->document().pages[0].elements[count - 2].text()->text, QStringLiteral("Statut : brouillon"));

    for (const QJsonObject& bad : {QJsonObject{{"text", 5}}, QJsonObject{}}) {
        EXPECT_EQ(json(call("POST", "/v1/text", bad))["error"].toString(), "missing 'text'");
    }
    for (const QJsonValue& page : {QJsonValue(0), QJsonValue(2), QJsonValue(1e19), QJsonValue(-1)}) {
        const HttpReply reply = call("POST", "/v1/text", {{"text", "x"}, {"page", page}});
        EXPECT_EQ(reply.status, 400);
        EXPECT_EQ(json(reply)["error"].toString(), "invalid page");
    }
    // A page given as a string is the current page.
    EXPECT_TRUE(json(call("POST", "/v1/text", {{"text", "x"}, {"page", "7"}}))["ok"].toBool());
    // Coordinates out of range are refused, never drawn.
    EXPECT_EQ(call("POST", "/v1/text", {{"text", "x"}, {"x", 1e300}}).status, 400);
}

TEST_F(ApiRoutesTest, SignPageAndOpenRoutes)
{
    const qint64 revision = controller->document().revision;
    const QJsonObject signedReply = json(call("POST", "/v1/sign", {{"signer", "Ann"}, {"x", 250}, {"stamp", "draft"}}));
    ASSERT_TRUE(signedReply["ok"].toBool());
    EXPECT_EQ(signedReply["page"].toInt(), 1);
    const auto& elements = controller->document().pages[0].elements;
    ASSERT_EQ(elements.size(), 2);
    EXPECT_EQ(std::get<SignaturePayload>(elements[0].kind).signerName, QStringLiteral("Ann"));
    EXPECT_EQ(elements[1].frame.x, 100 - 88);  // the stamp centred on x 100, raised from 40
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("HTTP · Signature Ann"));
    EXPECT_GT(controller->document().revision, revision);
    controller->undo();
    EXPECT_TRUE(controller->document().pages[0].elements.isEmpty());

    json(call("POST", "/v1/sign", {{"signer", ""}, {"stamp", "Approved"}}));
    ASSERT_EQ(controller->document().pages[0].elements.size(), 1);
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("HTTP · Signature "));
    EXPECT_EQ(json(call("POST", "/v1/sign", {{"page", 3}}))["error"].toString(), "invalid page");

    QJsonObject page = json(call("POST", "/v1/page", {{"format", "a4 portrait"}}));
    EXPECT_EQ(page["pageCount"].toInt(), 2);
    page = json(call("POST", "/v1/page", {{"duplicate", true}, {"format", "A3 Paysage"}}));
    EXPECT_EQ(page["pageCount"].toInt(), 3);
    EXPECT_EQ(controller->document().pages[2].width, controller->document().pages[1].width);
    page = json(call("POST", "/v1/page", {{"duplicate", "yes"}, {"format", "16:9 Régie"}}));
    EXPECT_EQ(controller->document().pages.back().width, 960);

    EXPECT_EQ(json(call("POST", "/v1/open", {{"demo", true}}))["error"].toString(), "missing 'path'");
    const QString pdf = scratchPath("lines.pdf");
    zelvane::testing::TestPDFPage sheet;
    sheet.mediaBox = QRectF(0, 0, 612, 792);
    sheet.texts = {{QPointF(72, 700), 12, "Statut : brouillon"}};
    writeFile(pdf, zelvane::testing::makeTestPDF({sheet, sheet}));
    const QJsonObject opened = json(call("POST", "/v1/open", {{"path", pdf}}));
    EXPECT_EQ(opened["pages"].toInt(), 2);
    EXPECT_EQ(opened["title"].toString(), controller->document().title);
    const HttpReply failed = call("POST", "/v1/open", {{"path", scratchPath("missing.pdf")}});
    EXPECT_EQ(failed.status, 400);
    EXPECT_FALSE(json(failed)["error"].toString().isEmpty());
    EXPECT_EQ(controller->document().pages.size(), 2);  // the open document is kept

    // Editing an extracted line makes it a changed PDF text.
    json(call("POST", "/v1/text", {{"page", 2}, {"match", "brouillon"}, {"text", "Statut : VALIDÉ"}}));
    EXPECT_EQ(json(call("GET", "/v1/state"))["modifiedPDFTextCount"].toInt(), 1);
}

TEST_F(ApiRoutesTest, ExportRoute)
{
    EXPECT_EQ(json(call("POST", "/v1/export", {}))["error"].toString(), "missing 'outputPath'");
    const QString png = scratchPath("page.PNG");
    const QJsonObject exported = json(call("POST", "/v1/export", {{"outputPath", png}, {"format", "PNG"}}));
    ASSERT_TRUE(exported["ok"].toBool()) << exported["error"].toString().toStdString();
    EXPECT_EQ(exported["outputPath"].toString(), png);
    EXPECT_TRUE(readFile(png).startsWith("\x89PNG"));

    const QString svg = scratchPath("doc.svg");
    ASSERT_TRUE(json(call("POST", "/v1/export", {{"outputPath", svg}, {"format", "jpeg"}}))["ok"].toBool());
    EXPECT_TRUE(readFile(svg).contains("<svg"));

    // A write that fails on the worker is the error reply.
    const QString blocker = scratchPath("blocker");
    writeFile(blocker, "x");
    const HttpReply failed = call("POST", "/v1/export", {{"outputPath", blocker + "/out.pdf"}});
    EXPECT_EQ(failed.status, 400);
    EXPECT_TRUE(json(failed)["error"].toString().startsWith("Could not create the folder"))
        << json(failed)["error"].toString().toStdString();
    EXPECT_FALSE(controller->isSaving());

    // A remote client does not get to replace files that are not documents.
    const QString notes = scratchPath("notes.txt");
    writeFile(notes, "keep me");
    EXPECT_EQ(call("POST", "/v1/export", {{"outputPath", notes}, {"format", "pdf"}}).status, 400);
    EXPECT_EQ(readFile(notes), QByteArray("keep me"));

    // A new file too must be named after the format written, and the name
    // checked must be the one written (a NUL would cut it short).
    for (const auto& [path, format] : {std::pair{scratchPath("authorized_keys"), QString()},
                                       std::pair{scratchPath("page.out"), QStringLiteral("png")},
                                       std::pair{scratchPath("doc.svg"), QStringLiteral("pdf")},
                                       std::pair{scratchPath("keys") + QChar(0) + ".pdf", QString()},
                                       std::pair{scratchPath("a\nb.pdf"), QString()}}) {
        QJsonObject args{{"outputPath", path}};
        if (!format.isEmpty())
            args["format"] = format;
        const QJsonObject refused = json(call("POST", "/v1/export", args));
        EXPECT_FALSE(refused["ok"].toBool()) << path.toStdString();
        EXPECT_TRUE(refused["error"].toString().startsWith("refusing")) << refused["error"].toString().toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(scratchPath("authorized_keys")));
    EXPECT_FALSE(QFileInfo::exists(scratchPath("keys")));
    EXPECT_FALSE(QFileInfo::exists(scratchPath("page.out")));
    EXPECT_TRUE(readFile(svg).contains("<svg"));
}

TEST_F(ApiRoutesTest, ExportAnswersTheAbsolutePathOfARelativeOne)
{
    const QString previous = QDir::currentPath();
    const QString folder = QFileInfo(scratchPath("x")).absolutePath();
    ASSERT_TRUE(QDir::setCurrent(folder));
    const QJsonObject exported = json(call("POST", "/v1/export", {{"outputPath", "out/../relative.svg"}}));
    QDir::setCurrent(previous);
    ASSERT_TRUE(exported["ok"].toBool()) << exported["error"].toString().toStdString();
    const QString expected = QDir(folder).filePath("relative.svg");
    EXPECT_EQ(exported["outputPath"].toString(), expected);
    EXPECT_TRUE(readFile(expected).contains("<svg"));
}

TEST_F(ApiRoutesTest, OnlyUnsafeFontSizesAreRefused)
{
    const QJsonObject large = json(call("POST", "/v1/text", {{"text", "Big"}, {"fontSize", 4000}}));
    ASSERT_TRUE(large["ok"].toBool()) << large["error"].toString().toStdString();
    EXPECT_DOUBLE_EQ(controller->document().pages[0].elements.last().text()->fontSize, 4000);
    for (const double unsafe : {-1.0, 2.0e6}) {
        const QJsonObject refused = json(call("POST", "/v1/text", {{"text", "Bad"}, {"fontSize", unsafe}}));
        EXPECT_EQ(refused["error"].toString(), "invalid 'fontSize'") << unsafe;
    }
    EXPECT_EQ(controller->document().pages[0].elements.size(), 1);
}


TEST_F(ApiRoutesTest, AnOpenOvertakenByALaterOneAnswersAnErrorAndTheLaterFileStays)
{
    using namespace zelvane::remotetest;
    const QString large = scratchPath("large.pdf");
    writeFile(large, zelvane::testing::makeManualTestPDF(24));
    const QString small = scratchPath("small.pdf");
    writeFile(small, zelvane::testing::makeFilledTestPDF(200, 100));
    const quint16 port = remote->httpPort();
    auto body = [](const QString& path) {
        return QJsonDocument(QJsonObject{{"path", path}}).toJson(QJsonDocument::Compact);
    };

    // The first open is running when the second one arrives.
    TestClient first(port);
    ASSERT_TRUE(first.connected());
    ASSERT_TRUE(first.send(postRequest("/v1/open", body(large), port)));
    ASSERT_TRUE(processEventsUntil([&] { return controller->isOpening(); }));
    const Reply second = whileProcessingEvents(
        [&] { return parseReply(exchange(port, postRequest("/v1/open", body(small), port))); });
    const Reply overtaken = parseReply(first.readAll());

    EXPECT_EQ(overtaken.status, 400);
    EXPECT_FALSE(overtaken.json()["ok"].toBool());
    EXPECT_EQ(overtaken.json()["error"].toString(), "superseded by a later open");
    EXPECT_FALSE(overtaken.json().contains("title"));
    EXPECT_EQ(second.status, 200);
    EXPECT_EQ(second.json()["title"].toString(), "small");
    EXPECT_EQ(second.json()["pages"].toInt(), 1);
    EXPECT_EQ(controller->document().title, "small");
}

TEST_F(ApiRoutesTest, ATimedOutEditIsNeverApplied)
{
    // The real routes behind a server that waits 200 ms for the main thread.
    HttpServer::Options options;
    options.answerTimeout = std::chrono::milliseconds(200);
    HttpServer server(
        controller.get(),
        [this](const HttpRequest& request) { return dispatchHTTPRequest(*controller, request, ApiContext()); },
        options);
    ASSERT_TRUE(server.start(0));
    const VectorDocument before = controller->document();
    const QByteArray body = R"({"text":"Paid","x":100,"y":100})";
    // The main thread looks at no events until the client has its answer.
    const QByteArray raw = zelvane::remotetest::exchange(
        server.port(), zelvane::remotetest::postRequest("/v1/text", body, server.port()), std::chrono::seconds(30));
    const zelvane::remotetest::Reply reply = zelvane::remotetest::parseReply(raw);
    EXPECT_EQ(reply.status, 503);
    EXPECT_EQ(reply.json().value(QStringLiteral("error")).toString(), QStringLiteral("timeout"));
    // The queued request runs now, and does nothing.
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
    EXPECT_EQ(controller->document(), before);
    EXPECT_FALSE(controller->canUndo());

    // The same request served in time is applied once.
    EXPECT_EQ(call("POST", "/v1/text", QJsonDocument::fromJson(body).object()).status, 200);
    EXPECT_EQ(controller->document().totalElementsCount(), 1);
}
