// Runs the built zelvane-mcp program: JSON-RPC lines go to its standard input,
// its tool calls reach a small HTTP server inside the test, and every line it
// writes is checked.
#include "LoopbackHttpServer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>

using zelvane::mcp::testsupport::LoopbackHttpServer;
using zelvane::mcp::testsupport::RefusingPort;
using zelvane::mcp::testsupport::ScriptedReply;

namespace {

// Generous: a reply comes long before this unless something is broken.
constexpr int waitMs = 30000;

const QByteArray parseErrorLine = R"({"error":{"code":-32700,"message":"parse error"},"id":null,"jsonrpc":"2.0"})";

// The relays below run with an empty PATH and nothing beside them, so the
// editor they advise starting is named by its program name alone.
QString unreachableText(const QString& base, const QString& editor = QStringLiteral("zelvane"))
{
    return QStringLiteral("Zelvane is not reachable at ") + base + QStringLiteral(" \u2014 launch ") + editor
        + QStringLiteral(" and retry.");
}

QByteArray toolCall(int id, const QByteArray& name, const QByteArray& arguments = "{}")
{
    return R"({"jsonrpc":"2.0","id":)" + QByteArray::number(id) + R"(,"method":"tools/call","params":{"name":")" + name
        + R"(","arguments":)" + arguments + "}}";
}

QJsonObject parsed(const QByteArray& line)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << line.left(200).toStdString();
    return document.object();
}

QJsonObject resultOf(const QByteArray& line)
{
    const QJsonObject reply = parsed(line);
    EXPECT_FALSE(reply.contains(QStringLiteral("error"))) << line.left(200).toStdString();
    return reply.value(QStringLiteral("result")).toObject();
}

QJsonObject textResult(const QString& text, bool isError)
{
    return QJsonObject{
        {QStringLiteral("content"),
         QJsonArray{QJsonObject{{QStringLiteral("type"), QStringLiteral("text")}, {QStringLiteral("text"), text}}}},
        {QStringLiteral("isError"), isError}};
}

// The relay as a child process with ZELVANE_API_PORT set to `port` (or
// unset when it is null).
class Relay {
public:
    explicit Relay(const QString& port, const QString& program = QStringLiteral(ZELVANE_MCP_BINARY),
                   const QString& searchPath = QString())
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("ZELVANE_API_PORT"));
        if (!port.isNull())
            environment.insert(QStringLiteral("ZELVANE_API_PORT"), port);
        environment.insert(QStringLiteral("PATH"), searchPath);
        m_process.setProcessEnvironment(environment);
        m_process.start(program, QStringList{});
        EXPECT_TRUE(m_process.waitForStarted(waitMs));
    }

    explicit Relay(quint16 port) : Relay(QString::number(port)) {}

    ~Relay()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(waitMs);
        }
    }

    void send(const QByteArray& line) { write(line + "\n"); }

    void write(const QByteArray& bytes)
    {
        qint64 written = 0;
        while (written < bytes.size()) {
            const qint64 count = m_process.write(bytes.constData() + written, bytes.size() - written);
            ASSERT_GE(count, 0);
            written += count;
        }
        while (m_process.bytesToWrite() > 0) {
            if (!m_process.waitForBytesWritten(waitMs))
                break;
        }
    }

    // The next line the relay wrote, without its line break.
    QByteArray readLine()
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
        while (!m_process.canReadLine()) {
            if (std::chrono::steady_clock::now() > deadline || !m_process.waitForReadyRead(waitMs)) {
                ADD_FAILURE() << "no line from the relay";
                return {};
            }
        }
        QByteArray line = m_process.readLine();
        EXPECT_TRUE(line.endsWith('\n'));
        line.chop(1);
        m_transcript += line + '\n';
        return line;
    }

    QByteArray exchange(const QByteArray& line)
    {
        send(line);
        return readLine();
    }

    void closeInput() { m_process.closeWriteChannel(); }

    bool running() const { return m_process.state() == QProcess::Running; }

    // Closes the input, waits for the end and checks that the relay wrote
    // nothing besides the lines already read, and nothing on standard error.
    void finish()
    {
        m_process.closeWriteChannel();
        ASSERT_TRUE(m_process.waitForFinished(waitMs));
        EXPECT_EQ(m_process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(m_process.exitCode(), 0);
        EXPECT_EQ(m_process.readAllStandardOutput(), QByteArray());
        EXPECT_EQ(m_process.readAllStandardError(), QByteArray());
    }

    // Every line read so far, each with its line break.
    const QByteArray& transcript() const { return m_transcript; }

private:
    QProcess m_process;
    QByteArray m_transcript;
};

}  // namespace

TEST(McpRelayE2ETest, HandshakeListingAndPing)
{
    LoopbackHttpServer server;
    Relay relay(server.port());

    const QJsonObject initialize = parsed(relay.exchange(
        R"({"jsonrpc":"2.0","id":0,"method":"initialize","params":{"protocolVersion":"2025-06-18","capabilities":{},"clientInfo":{"name":"test","version":"1"}}})"));
    EXPECT_EQ(initialize.value(QStringLiteral("jsonrpc")).toString(), QStringLiteral("2.0"));
    EXPECT_EQ(initialize.value(QStringLiteral("id")), QJsonValue(0));
    const QJsonObject result = initialize.value(QStringLiteral("result")).toObject();
    EXPECT_EQ(result.value(QStringLiteral("protocolVersion")).toString(), QStringLiteral("2025-06-18"));
    EXPECT_EQ(result.value(QStringLiteral("serverInfo")).toObject(),
              (QJsonObject{{QStringLiteral("name"), QStringLiteral("zelvane")}, {QStringLiteral("version"), QStringLiteral("0.1.0")}}));
    EXPECT_EQ(result.value(QStringLiteral("capabilities")).toObject(),
              (QJsonObject{{QStringLiteral("tools"), QJsonObject{}}}));
    EXPECT_TRUE(result.value(QStringLiteral("instructions")).toString().startsWith(QStringLiteral("Controls the Zelvane ")));

    // The initialized notification gets no reply; the next line answers the ping.
    relay.send(R"({"jsonrpc":"2.0","method":"notifications/initialized"})");
    EXPECT_EQ(relay.exchange(R"({"jsonrpc":"2.0","id":"p","method":"ping"})"),
              QByteArray(R"({"id":"p","jsonrpc":"2.0","result":{}})"));

    const QByteArray listLine = relay.exchange(R"({"jsonrpc":"2.0","id":1,"method":"tools/list"})");
    const QJsonArray tools = resultOf(listLine).value(QStringLiteral("tools")).toArray();
    QStringList names;
    for (const QJsonValue& tool : tools)
        names << tool.toObject().value(QStringLiteral("name")).toString();
    EXPECT_EQ(names, (QStringList{QStringLiteral("zelvane_state"), QStringLiteral("zelvane_pages"), QStringLiteral("zelvane_help"),
                                  QStringLiteral("zelvane_open"), QStringLiteral("zelvane_edit_text"), QStringLiteral("zelvane_sign"),
                                  QStringLiteral("zelvane_add_page"), QStringLiteral("zelvane_export"),
                                  QStringLiteral("zelvane_snapshot")}));
    // Written as UTF-8, slashes plain.
    EXPECT_TRUE(listLine.contains("16:9 R\xc3\xa9gie"));
    EXPECT_TRUE(listLine.contains("(SVG/PDF)"));

    relay.finish();
    EXPECT_EQ(server.connectionCount(), 0);
}

TEST(McpRelayE2ETest, ReadingToolsSendGetsAndReturnTheBodyVerbatim)
{
    LoopbackHttpServer server;
    const QByteArray stateBody = "{\n  \"app\" : \"Zelvane\",\n  \"pageCount\" : 1,\n  \"title\" : \"Sans titre \xc3\xa9/1\"\n}";
    server.enqueue(ScriptedReply::http(200, stateBody));
    server.enqueue(ScriptedReply::raw("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nTransfer-Encoding: chunked\r\n\r\n"
                                      "c\r\n{\"pages\":[]}\r\n0\r\n\r\n"));
    server.enqueue(ScriptedReply::http(200, "{\"app\":\"Zelvane\"}"));
    Relay relay(server.port());

    // Arguments of a reading tool are not sent.
    const QByteArray stateLine = relay.exchange(toolCall(1, "zelvane_state", R"({"x":1})"));
    EXPECT_EQ(stateLine, R"({"id":1,"jsonrpc":"2.0","result":{"content":[{"text":")"
                             + QByteArray("{\\n  \\\"app\\\" : \\\"Zelvane\\\",\\n  \\\"pageCount\\\" : 1,\\n  \\\"title\\\" : \\\"Sans titre \xc3\xa9/1\\\"\\n}")
                             + R"(","type":"text"}],"isError":false}})");
    EXPECT_EQ(resultOf(relay.exchange(toolCall(2, "zelvane_pages"))),
              textResult(QStringLiteral("{\"pages\":[]}"), false));
    EXPECT_EQ(resultOf(relay.exchange(toolCall(3, "zelvane_help"))), textResult(QStringLiteral("{\"app\":\"Zelvane\"}"), false));
    relay.finish();

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3);
    const char* paths[] = {"/v1/state", "/v1/pages", "/v1/help"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(requests[i].method, QByteArray("GET"));
        EXPECT_EQ(requests[i].target, QByteArray(paths[i]));
        EXPECT_EQ(requests[i].header("host"), "127.0.0.1:" + QByteArray::number(server.port()));
        EXPECT_FALSE(requests[i].hasHeader("content-type"));
        EXPECT_TRUE(requests[i].body.isEmpty());
    }
}

TEST(McpRelayE2ETest, EditingToolsPostTheirArguments)
{
    LoopbackHttpServer server;
    server.enqueue(ScriptedReply::http(200, "{\"ok\":true,\"pages\":3,\"title\":\"contrat\"}"));
    server.enqueue(ScriptedReply::http(400, "{\n  \"error\" : \"missing 'text'\",\n  \"ok\" : false\n}"));
    server.enqueue(ScriptedReply::http(200, "{\"ok\":true,\"page\":1,\"signatureID\":\"ABC\"}"));
    server.enqueue(ScriptedReply::http(200, "{\"currentPage\":2,\"ok\":true,\"pageCount\":2}"));
    server.enqueue(ScriptedReply::http(200, "{\"ok\":true,\"outputPath\":\"/tmp/out.pdf\"}"));
    Relay relay(server.port());

    EXPECT_EQ(resultOf(relay.exchange(toolCall(1, "zelvane_open", R"({"path":"/home/u/contrat.pdf","demo":false})"))),
              textResult(QStringLiteral("{\"ok\":true,\"pages\":3,\"title\":\"contrat\"}"), false));
    EXPECT_EQ(resultOf(relay.exchange(toolCall(2, "zelvane_edit_text"))),
              textResult(QStringLiteral("{\n  \"error\" : \"missing 'text'\",\n  \"ok\" : false\n}"), true));
    EXPECT_EQ(resultOf(relay.exchange(
                  toolCall(3, "zelvane_sign", R"({"page":1,"signer":"Direction Technique","x":420,"y":695.5,"stamp":"approved"})"))),
              textResult(QStringLiteral("{\"ok\":true,\"page\":1,\"signatureID\":\"ABC\"}"), false));
    EXPECT_EQ(resultOf(relay.exchange(toolCall(4, "zelvane_add_page", R"({"format":"16:9 Régie"})"))),
              textResult(QStringLiteral("{\"currentPage\":2,\"ok\":true,\"pageCount\":2}"), false));
    EXPECT_EQ(resultOf(relay.exchange(toolCall(5, "zelvane_export", R"({"outputPath":"/tmp/out.pdf"})"))),
              textResult(QStringLiteral("{\"ok\":true,\"outputPath\":\"/tmp/out.pdf\"}"), false));
    relay.finish();

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 5);
    const char* paths[] = {"/v1/open", "/v1/text", "/v1/sign", "/v1/page", "/v1/export"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(requests[i].method, QByteArray("POST"));
        EXPECT_EQ(requests[i].target, QByteArray(paths[i]));
        EXPECT_EQ(requests[i].header("content-type"), QByteArray("application/json; charset=utf-8"));
        EXPECT_EQ(requests[i].header("content-length"), QByteArray::number(requests[i].body.size()));
    }
    EXPECT_EQ(parsed(requests[0].body), parsed(R"({"path":"/home/u/contrat.pdf","demo":false})"));
    EXPECT_EQ(requests[1].body, QByteArray("{}"));
    EXPECT_EQ(parsed(requests[2].body),
              parsed(R"({"page":1,"signer":"Direction Technique","x":420,"y":695.5,"stamp":"approved"})"));
    EXPECT_EQ(requests[3].body, QByteArray("{\"format\":\"16:9 R\xc3\xa9gie\"}"));
    EXPECT_EQ(requests[4].body, QByteArray(R"({"outputPath":"/tmp/out.pdf"})"));
}

TEST(McpRelayE2ETest, SnapshotsBecomeImagesOrTextResults)
{
    LoopbackHttpServer server;
    const QByteArray png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x01", 20);
    server.enqueue(ScriptedReply::http(200, png, "image/png"));
    server.enqueue(ScriptedReply::http(500, "{\n  \"error\" : \"snapshot failed\",\n  \"ok\" : false\n}"));
    Relay relay(server.port());

    const QJsonObject image = resultOf(relay.exchange(toolCall(1, "zelvane_snapshot", R"({"view":"grid"})")));
    const QJsonObject expectedImage{
        {QStringLiteral("content"),
         QJsonArray{QJsonObject{{QStringLiteral("type"), QStringLiteral("image")},
                                {QStringLiteral("data"), QString::fromLatin1(png.toBase64())},
                                {QStringLiteral("mimeType"), QStringLiteral("image/png")}},
                    QJsonObject{{QStringLiteral("type"), QStringLiteral("text")},
                                {QStringLiteral("text"), QStringLiteral("Snapshot of the Zelvane window.")}}}}};
    EXPECT_EQ(image, expectedImage);

    EXPECT_EQ(resultOf(relay.exchange(toolCall(2, "zelvane_snapshot"))),
              textResult(QStringLiteral("{\n  \"error\" : \"snapshot failed\",\n  \"ok\" : false\n}"), true));
    relay.finish();

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2);
    EXPECT_EQ(requests[0].method, QByteArray("GET"));
    EXPECT_EQ(requests[0].target, QByteArray("/v1/snapshot.png?view=grid"));
    EXPECT_EQ(requests[1].target, QByteArray("/v1/snapshot.png"));
    EXPECT_TRUE(requests[1].body.isEmpty());
}

TEST(McpRelayE2ETest, ViewsWithSpacesOrLineBreaksAreRefusedAsBadPaths)
{
    LoopbackHttpServer server;
    Relay relay(server.port());
    EXPECT_EQ(resultOf(relay.exchange(toolCall(1, "zelvane_snapshot", R"({"view":"grid view"})"))),
              textResult(QStringLiteral("bad path /v1/snapshot.png?view=grid view"), true));
    EXPECT_EQ(resultOf(relay.exchange(toolCall(2, "zelvane_snapshot", R"({"view":"grid\r\nX-Injected: 1"})"))),
              textResult(QStringLiteral("bad path /v1/snapshot.png?view=grid\r\nX-Injected: 1"), true));
    relay.finish();
    EXPECT_EQ(server.connectionCount(), 0);
}

TEST(McpRelayE2ETest, NotificationsAreNeverExecuted)
{
    LoopbackHttpServer server;
    Relay relay(server.port());
    relay.send(R"({"jsonrpc":"2.0","method":"tools/call","params":{"name":"zelvane_add_page","arguments":{}}})");
    EXPECT_EQ(relay.exchange(R"({"jsonrpc":"2.0","id":1,"method":"ping"})"), QByteArray(R"({"id":1,"jsonrpc":"2.0","result":{}})"));
    relay.finish();
    EXPECT_EQ(server.connectionCount(), 0);
}

TEST(McpRelayE2ETest, BadInputGetsTheProtocolErrorsAndTheRelayGoesOn)
{
    LoopbackHttpServer server;
    Relay relay(server.port());

    EXPECT_EQ(relay.exchange("this is not json"), parseErrorLine);
    EXPECT_EQ(relay.exchange("[1,2]"), parseErrorLine);
    EXPECT_EQ(relay.exchange("42"), parseErrorLine);
    EXPECT_EQ(relay.exchange(R"([{"jsonrpc":"2.0","id":1,"method":"ping"}])"), parseErrorLine);
    EXPECT_EQ(relay.exchange("{\"id\":1,\"method\":\"ping\""), parseErrorLine);
    // Nested far deeper than any parser should recurse.
    EXPECT_EQ(relay.exchange(QByteArray(1'000'000, '[')), parseErrorLine);
    EXPECT_EQ(relay.exchange("{\"id\":1,\"method\":\"ping\",\"params\":" + QByteArray(500'000, '{')), parseErrorLine);
    EXPECT_TRUE(relay.running());

    // Dropped without a word: blank lines, empty objects, no id.
    relay.send("");
    relay.send("   \t");
    relay.send("{}");
    relay.send(R"({"jsonrpc":"2.0","method":"no/such/thing"})");
    // A request without a string method is told so, as its client waits.
    EXPECT_EQ(relay.exchange(R"({"id":1})"),
              QByteArray(R"({"error":{"code":-32600,"message":"invalid request"},"id":1,"jsonrpc":"2.0"})"));
    EXPECT_EQ(relay.exchange(R"({"id":1,"method":7})"),
              QByteArray(R"({"error":{"code":-32600,"message":"invalid request"},"id":1,"jsonrpc":"2.0"})"));

    EXPECT_EQ(relay.exchange(R"({"jsonrpc":"2.0","id":2,"method":"Ping"})"),
              QByteArray(R"({"error":{"code":-32601,"message":"method not found: Ping"},"id":2,"jsonrpc":"2.0"})"));
    EXPECT_EQ(relay.exchange(R"({"jsonrpc":"2.0","id":3,"method":"shutdown"})"),
              QByteArray(R"({"error":{"code":-32601,"message":"method not found: shutdown"},"id":3,"jsonrpc":"2.0"})"));
    EXPECT_EQ(relay.exchange(R"({"jsonrpc":"2.0","id":4,"method":"tools/call"})"),
              QByteArray(R"({"error":{"code":-32602,"message":"unknown tool: "},"id":4,"jsonrpc":"2.0"})"));
    EXPECT_EQ(relay.exchange(toolCall(5, "zelvane_undo")),
              QByteArray(R"({"error":{"code":-32602,"message":"unknown tool: zelvane_undo"},"id":5,"jsonrpc":"2.0"})"));
    EXPECT_EQ(relay.exchange(R"({"id":null,"method":"ping"})"), QByteArray(R"({"id":null,"jsonrpc":"2.0","result":{}})"));
    EXPECT_TRUE(relay.running());

    // A last line without a line break is answered once the input ends.
    relay.write(R"({"id":"last","method":"ping"})");
    relay.closeInput();
    EXPECT_EQ(relay.readLine(), QByteArray(R"({"id":"last","jsonrpc":"2.0","result":{}})"));
    relay.finish();
    EXPECT_EQ(server.connectionCount(), 0);
    EXPECT_EQ(relay.transcript().count('\n'), 15);
}

TEST(McpRelayE2ETest, AnEditorThatIsNotListeningIsUnreachable)
{
    const RefusingPort refusing;
    Relay relay(refusing.port());
    const QString base = QStringLiteral("http://127.0.0.1:") + QString::number(refusing.port());
    const QByteArray line = relay.exchange(toolCall(1, "zelvane_state"));
    const QJsonObject reply = parsed(line);
    EXPECT_FALSE(reply.contains(QStringLiteral("error")));
    EXPECT_EQ(reply.value(QStringLiteral("result")).toObject(), textResult(unreachableText(base), true));
    // The em dash is written as UTF-8.
    EXPECT_TRUE(line.contains(" \xe2\x80\x94 launch "));
    EXPECT_EQ(resultOf(relay.exchange(toolCall(2, "zelvane_snapshot"))), textResult(unreachableText(base), true));
    relay.finish();
}

TEST(McpRelayE2ETest, TheEditorAdvisedWhenUnreachableIsOneThatExists)
{
    // An install keeps the editor beside the relay; another one on PATH.
    const QTemporaryDir installed;
    const QTemporaryDir onPath;
    ASSERT_TRUE(installed.isValid() && onPath.isValid());
    const QString relayCopy = installed.filePath(QStringLiteral("zelvane-mcp"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(ZELVANE_MCP_BINARY), relayCopy));
    for (const QString& editor : {installed.filePath(QStringLiteral("zelvane")), onPath.filePath(QStringLiteral("zelvane"))}) {
        QFile file(editor);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n");
        file.close();
        ASSERT_TRUE(file.setPermissions(file.permissions() | QFileDevice::ExeOwner));
    }
    const RefusingPort refusing;
    const QString base = QStringLiteral("http://127.0.0.1:") + QString::number(refusing.port());
    const auto advised = [&](const QString& program, const QString& searchPath) {
        Relay relay(QString::number(refusing.port()), program, searchPath);
        const QJsonObject result = resultOf(relay.exchange(toolCall(1, "zelvane_state")));
        relay.finish();
        return result;
    };
    EXPECT_EQ(advised(relayCopy, onPath.path()), textResult(unreachableText(base, installed.filePath(QStringLiteral("zelvane"))), true));
    EXPECT_EQ(advised(QStringLiteral(ZELVANE_MCP_BINARY), onPath.path()),
              textResult(unreachableText(base, onPath.filePath(QStringLiteral("zelvane"))), true));
    // Neither: the program name, not a path that is not there.
    EXPECT_EQ(advised(QStringLiteral(ZELVANE_MCP_BINARY), QString()), textResult(unreachableText(base), true));
}

TEST(McpRelayE2ETest, PortsOutsideTheRangeAreUnreachableNotWrapped)
{
    LoopbackHttpServer server;
    // Each of these would reach the server if the port were cut to 16 bits.
    for (const qint64 port : {qint64(server.port()) + 65536, qint64(server.port()) + (qint64(1) << 32),
                              qint64(server.port()) - 65536, qint64(0)}) {
        Relay relay(QString::number(port));
        const QString base = QStringLiteral("http://127.0.0.1:") + QString::number(port);
        EXPECT_EQ(resultOf(relay.exchange(toolCall(1, "zelvane_add_page"))), textResult(unreachableText(base), true));
        relay.finish();
    }
    // A leading plus sign names the same port.
    {
        Relay relay(QStringLiteral("+") + QString::number(server.port()));
        EXPECT_EQ(resultOf(relay.exchange(toolCall(1, "zelvane_state"))), textResult(QStringLiteral("{\"ok\":true}"), false));
        relay.finish();
    }
    EXPECT_EQ(server.connectionCount(), 1);
}

TEST(McpRelayE2ETest, ALargeRequestIsSentWhole)
{
    LoopbackHttpServer server;
    Relay relay(server.port());
    const QByteArray text(4 * 1024 * 1024, 'z');
    const QByteArray arguments = R"({"text":")" + text + R"(","match":"Statut"})";
    EXPECT_EQ(resultOf(relay.exchange(toolCall(1, "zelvane_edit_text", arguments))),
              textResult(QStringLiteral("{\"ok\":true}"), false));
    relay.finish();
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].header("content-length"), QByteArray::number(requests[0].body.size()));
    EXPECT_TRUE(parsed(requests[0].body) == parsed(arguments));
}

TEST(McpRelayE2ETest, AnImmediatelyClosedInputEndsWithStatusZero)
{
    Relay relay(QString{});
    relay.finish();
    EXPECT_TRUE(relay.transcript().isEmpty());
}

TEST(McpRelayE2ETest, AClientThatStopsReadingDoesNotEndTheRelay)
{
    // The relay's output goes to a program that has already ended, so each
    // reply meets a pipe nobody reads.
    QProcess sink;
    QProcess relay;
    relay.setStandardOutputProcess(&sink);
    sink.start(QStringLiteral("/bin/true"), QStringList{});
    ASSERT_TRUE(sink.waitForFinished(waitMs));
    relay.start(QStringLiteral(ZELVANE_MCP_BINARY), QStringList{});
    ASSERT_TRUE(relay.waitForStarted(waitMs));
    for (int i = 0; i < 50; ++i)
        relay.write(R"({"jsonrpc":"2.0","id":1,"method":"tools/list"})" "\n");
    relay.closeWriteChannel();
    ASSERT_TRUE(relay.waitForFinished(waitMs));
    EXPECT_EQ(relay.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(relay.exitCode(), 0);
    EXPECT_EQ(relay.readAllStandardError(), QByteArray());
}
