#include "ProxyError.h"
#include "RecordingTransport.h"
#include "ToolDefinitions.h"
#include "ZelvaneMCPServer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

using namespace zelvane::mcp;
using zelvane::mcp::testsupport::RecordingTransport;

namespace {

const QString parseErrorLine = QStringLiteral(R"({"error":{"code":-32700,"message":"parse error"},"id":null,"jsonrpc":"2.0"})");

class ServerHandleTest : public ::testing::Test {
protected:
    RecordingTransport recorder;
    ZelvaneMCPServer server{recorder.transport(), QStringLiteral("http://127.0.0.1:17960"), QStringLiteral("0.1.0")};

    QJsonObject reply(const QString& line) const
    {
        const std::optional<QString> text = server.handle(line);
        if (!text) {
            ADD_FAILURE() << "no reply to " << line.toStdString();
            return {};
        }
        EXPECT_FALSE(text->contains(u'\n'));
        return QJsonDocument::fromJson(text->toUtf8()).object();
    }
};

QJsonObject errorOf(const QJsonObject& reply)
{
    return reply.value(QStringLiteral("error")).toObject();
}

}  // namespace

TEST_F(ServerHandleTest, BlankLinesGetNoReply)
{
    for (const QString& line : {QString(), QStringLiteral("   "), QStringLiteral("\t \r"), QStringLiteral("\u00a0\u2028 ")})
        EXPECT_FALSE(server.handle(line).has_value());
}

TEST_F(ServerHandleTest, NonObjectsAndBrokenJsonAreParseErrors)
{
    for (const QString& line :
         {QStringLiteral("[1,2]"), QStringLiteral("42"), QStringLiteral("\"ping\""), QStringLiteral("null"),
          QStringLiteral("true"), QStringLiteral("{"), QStringLiteral("{\"id\":1,\"method\":\"ping\"} extra"),
          QStringLiteral("not json"), QStringLiteral("[{\"id\":1,\"method\":\"ping\"}]"), QStringLiteral("{'id':1}")}) {
        EXPECT_EQ(server.handle(line), parseErrorLine) << line.toStdString();
    }
    EXPECT_TRUE(recorder.calls->isEmpty());
}

TEST_F(ServerHandleTest, SurroundingWhitespaceIsTrimmed)
{
    const QJsonObject answer = reply(QStringLiteral("  \t{\"id\":7,\"method\":\"ping\"}\r\u00a0 "));
    EXPECT_EQ(answer.value(QStringLiteral("id")), QJsonValue(7));
}

TEST_F(ServerHandleTest, DeepNestingIsAParseErrorNotACrash)
{
    const QString deep = QString(200000, u'[') + QString(200000, u']');
    EXPECT_EQ(server.handle(deep), parseErrorLine);
    const QString deepParams = QStringLiteral("{\"id\":1,\"method\":\"ping\",\"params\":") + QString(100000, u'{');
    EXPECT_EQ(server.handle(deepParams), parseErrorLine);
    QString deepObject;
    for (int i = 0; i < 100000; ++i)
        deepObject += QStringLiteral("{\"a\":");
    deepObject += QStringLiteral("1") + QString(100000, u'}');
    EXPECT_EQ(server.handle(deepObject), parseErrorLine);
    // Moderate nesting is still JSON and is echoed back.
    const QString moderate = QStringLiteral("{\"id\":") + QString(100, u'[') + QString(100, u']')
        + QStringLiteral(",\"method\":\"ping\"}");
    const QJsonObject answer = reply(moderate);
    EXPECT_TRUE(answer.value(QStringLiteral("id")).isArray());
    EXPECT_TRUE(answer.contains(QStringLiteral("result")));
}

TEST_F(ServerHandleTest, MessagesThatCannotBeAnsweredAreDropped)
{
    for (const QString& line :
         {QStringLiteral("{}"), QStringLiteral(R"({"jsonrpc":"2.0","method":"ping"})"),
          QStringLiteral(R"({"jsonrpc":"2.0","method":7})"),
          QStringLiteral(R"({"jsonrpc":"2.0","method":"notifications/initialized"})"),
          QStringLiteral(R"({"method":"no/such/method"})")}) {
        EXPECT_FALSE(server.handle(line).has_value()) << line.toStdString();
    }
}

TEST_F(ServerHandleTest, ARequestWithoutAStringMethodIsAnInvalidRequest)
{
    for (const auto& [line, id] : {std::pair{QStringLiteral(R"({"id":1})"), QJsonValue(1)},
                                   std::pair{QStringLiteral(R"({"id":"a","method":7})"), QJsonValue("a")},
                                   std::pair{QStringLiteral(R"({"id":null,"method":null})"), QJsonValue()},
                                   std::pair{QStringLiteral(R"({"id":2,"method":{"x":1}})"), QJsonValue(2)}}) {
        const std::optional<QString> reply = server.handle(line);
        ASSERT_TRUE(reply.has_value()) << line.toStdString();
        const QJsonObject answer = QJsonDocument::fromJson(reply->toUtf8()).object();
        EXPECT_EQ(answer.value(QStringLiteral("id")), id);
        EXPECT_EQ(answer.value(QStringLiteral("error")).toObject(),
                  (QJsonObject{{QStringLiteral("code"), -32600}, {QStringLiteral("message"), QStringLiteral("invalid request")}}));
    }
    EXPECT_TRUE(recorder.calls->isEmpty());
}

TEST_F(ServerHandleTest, ANotifiedToolCallIsNeverExecuted)
{
    EXPECT_FALSE(server.handle(QStringLiteral(
                                   R"({"jsonrpc":"2.0","method":"tools/call","params":{"name":"zelvane_add_page"}})"))
                     .has_value());
    EXPECT_TRUE(recorder.calls->isEmpty());
}

TEST_F(ServerHandleTest, TheIdIsEchoedUnchanged)
{
    EXPECT_EQ(server.handle(QStringLiteral(R"({"id":null,"method":"ping"})")),
              QStringLiteral(R"({"id":null,"jsonrpc":"2.0","result":{}})"));
    EXPECT_EQ(server.handle(QStringLiteral(R"({"id":"abc","method":"ping"})")),
              QStringLiteral(R"({"id":"abc","jsonrpc":"2.0","result":{}})"));
    EXPECT_EQ(server.handle(QStringLiteral(R"({"id":7,"method":"ping"})")),
              QStringLiteral(R"({"id":7,"jsonrpc":"2.0","result":{}})"));
    EXPECT_EQ(server.handle(QStringLiteral(R"({"id":{"k":[1,"/x"]},"method":"ping"})")),
              QStringLiteral(R"({"id":{"k":[1,"/x"]},"jsonrpc":"2.0","result":{}})"));
    EXPECT_EQ(reply(QStringLiteral(R"({"id":9007199254740993,"method":"ping"})")).value(QStringLiteral("id")).toInteger(),
              9007199254740993LL);
}

TEST_F(ServerHandleTest, InitializeEchoesAStringProtocolVersion)
{
    const QJsonObject answer =
        reply(QStringLiteral(R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"protocolVersion":"2025-03-26"}})"));
    EXPECT_EQ(answer.value(QStringLiteral("jsonrpc")).toString(), QStringLiteral("2.0"));
    EXPECT_EQ(answer.value(QStringLiteral("id")), QJsonValue(1));
    const QJsonObject result = answer.value(QStringLiteral("result")).toObject();
    EXPECT_EQ(result.size(), 4);
    EXPECT_EQ(result.value(QStringLiteral("protocolVersion")).toString(), QStringLiteral("2025-03-26"));
    EXPECT_EQ(result.value(QStringLiteral("capabilities")).toObject(),
              (QJsonObject{{QStringLiteral("tools"), QJsonObject{}}}));
    EXPECT_EQ(result.value(QStringLiteral("serverInfo")).toObject(),
              (QJsonObject{{QStringLiteral("name"), QStringLiteral("zelvane")}, {QStringLiteral("version"), QStringLiteral("0.1.0")}}));
    EXPECT_EQ(result.value(QStringLiteral("instructions")).toString(),
              QStringLiteral("Controls the Zelvane Linux SVG & PDF multipage vector editor (editable PDF text, "
                             "calligraphic signatures, vector shapes, stamps, multipage layout, SVG/PDF/PNG export). "
                             "Call zelvane_state or zelvane_pages first; edit PDF text with zelvane_edit_text; sign "
                             "with zelvane_sign; export with zelvane_export."));
    // The empty string is a string too.
    EXPECT_EQ(reply(QStringLiteral(R"({"id":1,"method":"initialize","params":{"protocolVersion":""}})"))
                  .value(QStringLiteral("result")).toObject().value(QStringLiteral("protocolVersion")),
              QJsonValue(QString()));
}

TEST_F(ServerHandleTest, InitializeOtherwiseAnswers20241105)
{
    for (const QString& line :
         {QStringLiteral(R"({"id":1,"method":"initialize","params":{"protocolVersion":20250326}})"),
          QStringLiteral(R"({"id":1,"method":"initialize"})"), QStringLiteral(R"({"id":1,"method":"initialize","params":[1]})"),
          QStringLiteral(R"({"id":1,"method":"initialize","params":"x"})")}) {
        EXPECT_EQ(reply(line).value(QStringLiteral("result")).toObject().value(QStringLiteral("protocolVersion")).toString(),
                  QStringLiteral("2024-11-05"));
    }
}

TEST_F(ServerHandleTest, ToolsListIsTheTable)
{
    const QJsonObject answer = reply(QStringLiteral(R"({"id":2,"method":"tools/list"})"));
    EXPECT_EQ(answer.value(QStringLiteral("result")).toObject(),
              (QJsonObject{{QStringLiteral("tools"), zelvaneToolDefinitions()}}));
    // Works without initialize, and any number of times.
    EXPECT_EQ(server.handle(QStringLiteral(R"({"id":2,"method":"tools/list"})")),
              server.handle(QStringLiteral(R"({"id":2,"method":"tools/list"})")));
}

TEST_F(ServerHandleTest, UnknownMethodsAreMethodNotFound)
{
    EXPECT_EQ(server.handle(QStringLiteral(R"({"id":3,"method":"Ping"})")),
              QStringLiteral(R"({"error":{"code":-32601,"message":"method not found: Ping"},"id":3,"jsonrpc":"2.0"})"));
    EXPECT_EQ(errorOf(reply(QStringLiteral(R"({"id":"s","method":"shutdown"})"))).value(QStringLiteral("message")).toString(),
              QStringLiteral("method not found: shutdown"));
    EXPECT_EQ(errorOf(reply(QStringLiteral(R"({"id":4,"method":""})"))).value(QStringLiteral("message")).toString(),
              QStringLiteral("method not found: "));
    EXPECT_EQ(errorOf(reply(QStringLiteral(R"({"id":5,"method":"resources/list"})"))).value(QStringLiteral("code")).toInt(),
              -32601);
}

TEST_F(ServerHandleTest, UnknownToolsAreInvalidParams)
{
    EXPECT_EQ(server.handle(QStringLiteral(R"({"id":1,"method":"tools/call"})")),
              QStringLiteral(R"({"error":{"code":-32602,"message":"unknown tool: "},"id":1,"jsonrpc":"2.0"})"));
    EXPECT_EQ(errorOf(reply(QStringLiteral(R"({"id":1,"method":"tools/call","params":{"name":"zelvane_undo"}})")))
                  .value(QStringLiteral("message")).toString(),
              QStringLiteral("unknown tool: zelvane_undo"));
    EXPECT_EQ(errorOf(reply(QStringLiteral(R"({"id":1,"method":"tools/call","params":{"name":"Zelvane_State"}})")))
                  .value(QStringLiteral("message")).toString(),
              QStringLiteral("unknown tool: Zelvane_State"));
    EXPECT_EQ(errorOf(reply(QStringLiteral(R"({"id":1,"method":"tools/call","params":{"name":5}})")))
                  .value(QStringLiteral("message")).toString(),
              QStringLiteral("unknown tool: "));
    EXPECT_TRUE(recorder.calls->isEmpty());
}

TEST_F(ServerHandleTest, AToolCallAnswersWithItsResult)
{
    *recorder.answer = [] { return APIResponse{200, "{\n  \"ok\" : true\n}", QStringLiteral("application/json"), {}}; };
    const QJsonObject answer = reply(
        QStringLiteral(R"({"jsonrpc":"2.0","id":8,"method":"tools/call","params":{"name":"zelvane_state","arguments":{"x":1}}})"));
    EXPECT_FALSE(answer.contains(QStringLiteral("error")));
    EXPECT_EQ(answer.value(QStringLiteral("result")).toObject(),
              QJsonDocument::fromJson(R"({"content":[{"type":"text","text":"{\n  \"ok\" : true\n}"}],"isError":false})").object());
    ASSERT_EQ(recorder.calls->size(), 1);
    EXPECT_EQ(recorder.calls->at(0).method, QStringLiteral("GET"));
    EXPECT_EQ(recorder.calls->at(0).path, QStringLiteral("/v1/state"));
    EXPECT_FALSE(recorder.calls->at(0).body.has_value());
}

TEST_F(ServerHandleTest, ArgumentsThatAreNoObjectAreEmpty)
{
    reply(QStringLiteral(R"({"id":1,"method":"tools/call","params":{"name":"zelvane_edit_text","arguments":[1,2]}})"));
    ASSERT_EQ(recorder.calls->size(), 1);
    EXPECT_EQ(recorder.calls->at(0).body, QByteArray("{}"));
}

TEST_F(ServerHandleTest, AFailedToolCallIsAnErrorResultNotAJsonRpcError)
{
    *recorder.answer = []() -> APIResponse { throw ProxyError::unreachable(QStringLiteral("http://127.0.0.1:17960")); };
    const QJsonObject answer =
        reply(QStringLiteral(R"({"id":8,"method":"tools/call","params":{"name":"zelvane_state"}})"));
    EXPECT_FALSE(answer.contains(QStringLiteral("error")));
    const QJsonObject expected{
        {QStringLiteral("content"),
         QJsonArray{QJsonObject{
             {QStringLiteral("type"), QStringLiteral("text")},
             {QStringLiteral("text"), ProxyError::unreachable(QStringLiteral("http://127.0.0.1:17960")).description()}}}},
        {QStringLiteral("isError"), true}};
    EXPECT_EQ(answer.value(QStringLiteral("result")).toObject(), expected);

    *recorder.answer = []() -> APIResponse { throw std::runtime_error("something else"); };
    const QJsonObject other =
        reply(QStringLiteral(R"({"id":9,"method":"tools/call","params":{"name":"zelvane_pages"}})"));
    EXPECT_EQ(other.value(QStringLiteral("result")).toObject().value(QStringLiteral("content")).toArray().at(0)
                  .toObject().value(QStringLiteral("text")).toString(),
              QStringLiteral("something else"));
}

TEST_F(ServerHandleTest, TheRealTransportAtAnUnusablePortGivesTheUnreachableText)
{
    const QString base = QStringLiteral("http://127.0.0.1:-1");
    const ZelvaneMCPServer offline(urlSessionTransport(base, 30), base, QStringLiteral("0.1.0"));
    const std::optional<QString> text =
        offline.handle(QStringLiteral(R"({"id":1,"method":"tools/call","params":{"name":"zelvane_state"}})"));
    ASSERT_TRUE(text);
    const QJsonObject result = QJsonDocument::fromJson(text->toUtf8()).object().value(QStringLiteral("result")).toObject();
    EXPECT_TRUE(result.value(QStringLiteral("isError")).toBool());
    EXPECT_EQ(result.value(QStringLiteral("content")).toArray().at(0).toObject().value(QStringLiteral("text")).toString(),
              ProxyError::unreachable(base).description());
}

TEST(ServerEncodeTest, WritesOneCompactLineWithPlainSlashesAndUtf8)
{
    const QJsonObject object{{QStringLiteral("path"), QStringLiteral("/tmp/out.pdf")},
                             {QStringLiteral("text"), QStringLiteral("Statut : VALID\u00c9\nligne")}};
    const std::optional<QString> line = ZelvaneMCPServer::encode(object);
    ASSERT_TRUE(line);
    EXPECT_EQ(*line, QStringLiteral("{\"path\":\"/tmp/out.pdf\",\"text\":\"Statut : VALID\u00c9\\nligne\"}"));
    EXPECT_EQ(line->toUtf8(), QByteArray("{\"path\":\"/tmp/out.pdf\",\"text\":\"Statut : VALID\xc3\x89\\nligne\"}"));
}
