#include "ProxyError.h"
#include "RecordingTransport.h"
#include "ZelvaneMCPServer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

using namespace zelvane::mcp;
using zelvane::mcp::testsupport::RecordingTransport;

namespace {

QJsonObject object(const char* json)
{
    return QJsonDocument::fromJson(json).object();
}

class ToolCallsTest : public ::testing::Test {
protected:
    RecordingTransport recorder;
    ZelvaneMCPServer server{recorder.transport(), QStringLiteral("http://127.0.0.1:17960"), QStringLiteral("0.1.0")};

    testsupport::TransportCall callOnce(const QString& tool, const QJsonObject& arguments)
    {
        recorder.calls->clear();
        server.callTool(tool, arguments);
        EXPECT_EQ(recorder.calls->size(), 1);
        return recorder.calls->value(0);
    }
};

APIResponse reply(int status, const QByteArray& body, const QString& contentType)
{
    return APIResponse{status, body, contentType, {}};
}

}  // namespace

TEST_F(ToolCallsTest, ReadingToolsSendAGetWithoutBody)
{
    const QJsonObject arguments = object(R"({"x":1,"view":"grid"})");
    const std::pair<const char*, const char*> routes[] = {
        {"zelvane_state", "/v1/state"}, {"zelvane_pages", "/v1/pages"}, {"zelvane_help", "/v1/help"}};
    for (const auto& [tool, path] : routes) {
        const testsupport::TransportCall call = callOnce(QLatin1String(tool), arguments);
        EXPECT_EQ(call.method, QStringLiteral("GET"));
        EXPECT_EQ(call.path, QLatin1String(path));
        EXPECT_FALSE(call.body.has_value());
    }
}

TEST_F(ToolCallsTest, EditingToolsPostTheirArgumentsUnchanged)
{
    const QJsonObject arguments = object(R"({"page":2,"match":"Statut","text":"VALIDÉ /ok","extra":[1,{"a":null}],"x":0.5})");
    const std::pair<const char*, const char*> routes[] = {{"zelvane_open", "/v1/open"},   {"zelvane_edit_text", "/v1/text"},
                                                          {"zelvane_sign", "/v1/sign"},   {"zelvane_add_page", "/v1/page"},
                                                          {"zelvane_export", "/v1/export"}};
    for (const auto& [tool, path] : routes) {
        const testsupport::TransportCall call = callOnce(QLatin1String(tool), arguments);
        EXPECT_EQ(call.method, QStringLiteral("POST"));
        EXPECT_EQ(call.path, QLatin1String(path));
        ASSERT_TRUE(call.body.has_value());
        EXPECT_EQ(QJsonDocument::fromJson(*call.body).object(), arguments);
        EXPECT_FALSE(call.body->contains('\n'));
        EXPECT_FALSE(call.body->contains("\\/"));
    }
}

TEST_F(ToolCallsTest, ExportBodyKeepsSlashesAndEmptyArgumentsAreBraces)
{
    EXPECT_EQ(callOnce(QStringLiteral("zelvane_export"), object(R"({"outputPath":"/tmp/out.pdf"})")).body,
              QByteArray(R"({"outputPath":"/tmp/out.pdf"})"));
    EXPECT_EQ(callOnce(QStringLiteral("zelvane_edit_text"), {}).body, QByteArray("{}"));
}

TEST_F(ToolCallsTest, SnapshotAddsANonEmptyStringView)
{
    EXPECT_EQ(callOnce(QStringLiteral("zelvane_snapshot"), {}).path, QStringLiteral("/v1/snapshot.png"));
    EXPECT_EQ(callOnce(QStringLiteral("zelvane_snapshot"), object(R"({"view":"grid"})")).path,
              QStringLiteral("/v1/snapshot.png?view=grid"));
    EXPECT_EQ(callOnce(QStringLiteral("zelvane_snapshot"), object(R"({"view":""})")).path,
              QStringLiteral("/v1/snapshot.png"));
    EXPECT_EQ(callOnce(QStringLiteral("zelvane_snapshot"), object(R"({"view":3})")).path,
              QStringLiteral("/v1/snapshot.png"));
    // Not checked against the list of views, not escaped.
    EXPECT_EQ(callOnce(QStringLiteral("zelvane_snapshot"), object(R"({"view":"Grid&x=1"})")).path,
              QStringLiteral("/v1/snapshot.png?view=Grid&x=1"));
    const testsupport::TransportCall call = callOnce(QStringLiteral("zelvane_snapshot"), object(R"({"view":"multipage"})"));
    EXPECT_EQ(call.method, QStringLiteral("GET"));
    EXPECT_FALSE(call.body.has_value());
}

TEST_F(ToolCallsTest, SnapshotViewsWithSpacesOrLineBreaksAreBadPaths)
{
    // Through the relay's own transport: the request is refused before any
    // connection is tried (the port is unusable, so a connection would give
    // "not reachable" instead).
    const QString base = QStringLiteral("http://127.0.0.1:0");
    const ZelvaneMCPServer relay(urlSessionTransport(base, 30), base, QStringLiteral("0.1.0"));
    for (const QString& view : {QStringLiteral("grid view"), QStringLiteral("grid\n"), QStringLiteral("grid\r\nHost: x"),
                                QStringLiteral(" grid")}) {
        try {
            relay.callTool(QStringLiteral("zelvane_snapshot"), QJsonObject{{QStringLiteral("view"), view}});
            ADD_FAILURE() << "no error for " << view.toStdString();
        } catch (const ProxyError& error) {
            EXPECT_EQ(error.kind(), ProxyError::Kind::badArguments);
            EXPECT_EQ(error.description(), QStringLiteral("bad path /v1/snapshot.png?view=") + view);
        }
    }
}

TEST_F(ToolCallsTest, UnknownToolsAreBadArguments)
{
    try {
        server.callTool(QStringLiteral("zelvane_nothing"), {});
        ADD_FAILURE() << "no error";
    } catch (const ProxyError& error) {
        EXPECT_EQ(error.kind(), ProxyError::Kind::badArguments);
        EXPECT_EQ(error.description(), QStringLiteral("unknown tool zelvane_nothing"));
    }
    EXPECT_TRUE(recorder.calls->isEmpty());
}

TEST_F(ToolCallsTest, TransportErrorsPropagate)
{
    *recorder.answer = []() -> APIResponse { throw ProxyError::unreachable(QStringLiteral("http://127.0.0.1:1")); };
    EXPECT_THROW(server.callTool(QStringLiteral("zelvane_sign"), {}), ProxyError);
    EXPECT_THROW(server.callTool(QStringLiteral("zelvane_snapshot"), {}), ProxyError);
}

TEST(ToolResultTest, TextResultCarriesTheBodyAndTheErrorFlag)
{
    EXPECT_EQ(ZelvaneMCPServer::textResult(reply(200, "{\"ok\":true}", QStringLiteral("application/json"))),
              object(R"({"content":[{"type":"text","text":"{\"ok\":true}"}],"isError":false})"));
    EXPECT_EQ(ZelvaneMCPServer::textResult(reply(399, "", QString())),
              object(R"({"content":[{"type":"text","text":""}],"isError":false})"));
    EXPECT_EQ(ZelvaneMCPServer::textResult(reply(400, "{\"ok\":false,\"error\":\"missing 'text'\"}", QString())),
              object(R"({"content":[{"type":"text","text":"{\"ok\":false,\"error\":\"missing 'text'\"}"}],"isError":true})"));
    EXPECT_TRUE(ZelvaneMCPServer::textResult(reply(500, "x", QString())).value(QStringLiteral("isError")).toBool());
}

TEST(ToolResultTest, InvalidUtf8BecomesReplacementCharacters)
{
    const QJsonObject result = ZelvaneMCPServer::textResult(reply(200, "a\xff" "b\xc3", QString()));
    EXPECT_EQ(result.value(QStringLiteral("content")).toArray().at(0).toObject().value(QStringLiteral("text")).toString(),
              QStringLiteral("a\ufffdb\ufffd"));
}

TEST(ToolResultTest, APngReplyIsAnImageWithItsCaption)
{
    const QByteArray png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
    const QJsonObject result =
        ZelvaneMCPServer::imageResult(reply(200, png, QStringLiteral("image/png")), QStringLiteral("Snapshot of the Zelvane window."));
    const QJsonObject expected{
        {QStringLiteral("content"),
         QJsonArray{QJsonObject{{QStringLiteral("type"), QStringLiteral("image")},
                                {QStringLiteral("data"), QStringLiteral("iVBORw0KGgoAAAANSUhEUg==")},
                                {QStringLiteral("mimeType"), QStringLiteral("image/png")}},
                    QJsonObject{{QStringLiteral("type"), QStringLiteral("text")},
                                {QStringLiteral("text"), QStringLiteral("Snapshot of the Zelvane window.")}}}}};
    EXPECT_EQ(result, expected);
    EXPECT_FALSE(result.contains(QStringLiteral("isError")));
}

TEST(ToolResultTest, ImageMimeTypes)
{
    const auto mimeOf = [](const QString& contentType) {
        return ZelvaneMCPServer::imageResult(reply(200, "x", contentType), QStringLiteral("c"))
            .value(QStringLiteral("content")).toArray().at(0).toObject().value(QStringLiteral("mimeType")).toString();
    };
    EXPECT_EQ(mimeOf(QStringLiteral("IMAGE/PNG; q=1")), QStringLiteral("IMAGE/PNG"));
    EXPECT_EQ(mimeOf(QStringLiteral("image/jpeg")), QStringLiteral("image/jpeg"));
    EXPECT_EQ(mimeOf(QStringLiteral("image/webp ;x")), QStringLiteral("image/webp "));
    EXPECT_EQ(mimeOf(QStringLiteral("text/plain")), QStringLiteral("image/png"));
    EXPECT_EQ(mimeOf(QString()), QStringLiteral("image/png"));
}

TEST(ToolResultTest, NonImageSnapshotRepliesAreTextResults)
{
    const QString caption = QStringLiteral("Snapshot of the Zelvane window.");
    const APIResponse failed = reply(500, "{\"ok\":false,\"error\":\"snapshot failed\"}", QStringLiteral("application/json; charset=utf-8"));
    EXPECT_EQ(ZelvaneMCPServer::imageResult(failed, caption), ZelvaneMCPServer::textResult(failed));
    const APIResponse json = reply(200, "{}", QStringLiteral("Application/JSON"));
    EXPECT_EQ(ZelvaneMCPServer::imageResult(json, caption), ZelvaneMCPServer::textResult(json));
    const APIResponse redirect = reply(201, "x", QStringLiteral("image/png"));
    EXPECT_EQ(ZelvaneMCPServer::imageResult(redirect, caption), ZelvaneMCPServer::textResult(redirect));
}
