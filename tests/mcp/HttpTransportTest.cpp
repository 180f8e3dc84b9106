#include "HttpTransport.h"
#include "LoopbackHttpServer.h"
#include "ProxyError.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

using namespace zelvane::mcp;
using zelvane::mcp::testsupport::LoopbackHttpServer;
using zelvane::mcp::testsupport::RefusingPort;
using zelvane::mcp::testsupport::ScriptedReply;

namespace {

QString baseFor(qint64 port)
{
    return QStringLiteral("http://127.0.0.1:") + QString::number(port);
}

// The error a call throws; fails the test when it throws none.
std::optional<ProxyError> errorOf(const std::function<void()>& call)
{
    try {
        call();
    } catch (const ProxyError& error) {
        return error;
    }
    ADD_FAILURE() << "no ProxyError was thrown";
    return std::nullopt;
}

}  // namespace

TEST(HttpTransportTest, SendsAGetWithoutBodyOrContentType)
{
    LoopbackHttpServer server;
    server.enqueue(ScriptedReply::http(200, "{\"app\":\"Zelvane\"}"));
    const Transport transport = urlSessionTransport(baseFor(server.port()), 30);
    const APIResponse response = transport(QStringLiteral("GET"), QStringLiteral("/v1/state"), std::nullopt);

    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.data, QByteArray("{\"app\":\"Zelvane\"}"));
    EXPECT_EQ(response.contentType, QStringLiteral("application/json; charset=utf-8"));
    EXPECT_EQ(response.headers.value(QStringLiteral("content-type")), QStringLiteral("application/json; charset=utf-8"));

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].method, QByteArray("GET"));
    EXPECT_EQ(requests[0].target, QByteArray("/v1/state"));
    EXPECT_EQ(requests[0].header("host"), "127.0.0.1:" + QByteArray::number(server.port()));
    EXPECT_FALSE(requests[0].hasHeader("content-type"));
    EXPECT_FALSE(requests[0].hasHeader("content-length"));
    EXPECT_TRUE(requests[0].body.isEmpty());
    EXPECT_TRUE(requests[0].raw.startsWith("GET /v1/state HTTP/1.1\r\n"));
    EXPECT_TRUE(requests[0].raw.endsWith("\r\n\r\n"));
}

TEST(HttpTransportTest, SendsAPostWithItsJsonBody)
{
    LoopbackHttpServer server;
    const Transport transport = urlSessionTransport(baseFor(server.port()), 30);
    const APIResponse response = transport(QStringLiteral("POST"), QStringLiteral("/v1/page"), QByteArray("{}"));
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.data, QByteArray("{\"ok\":true}"));

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].method, QByteArray("POST"));
    EXPECT_EQ(requests[0].target, QByteArray("/v1/page"));
    EXPECT_EQ(requests[0].header("content-type"), QByteArray("application/json; charset=utf-8"));
    EXPECT_EQ(requests[0].header("content-length"), QByteArray("2"));
    EXPECT_EQ(requests[0].body, QByteArray("{}"));
}

TEST(HttpTransportTest, ErrorStatusesAreReplies)
{
    LoopbackHttpServer server;
    server.enqueue(ScriptedReply::http(400, "{\"ok\":false,\"error\":\"missing 'text'\"}"));
    server.enqueue(ScriptedReply::http(500, "boom", "text/plain"));
    const Transport transport = urlSessionTransport(baseFor(server.port()), 30);

    const APIResponse bad = transport(QStringLiteral("POST"), QStringLiteral("/v1/text"), QByteArray("{}"));
    EXPECT_EQ(bad.status, 400);
    EXPECT_EQ(bad.data, QByteArray("{\"ok\":false,\"error\":\"missing 'text'\"}"));
    EXPECT_EQ(bad.contentType, QStringLiteral("application/json; charset=utf-8"));

    const APIResponse failed = transport(QStringLiteral("GET"), QStringLiteral("/v1/snapshot.png"), std::nullopt);
    EXPECT_EQ(failed.status, 500);
    EXPECT_EQ(failed.data, QByteArray("boom"));
    EXPECT_EQ(failed.contentType, QStringLiteral("text/plain"));
}

TEST(HttpTransportTest, AReplyWithoutContentTypeHasAnEmptyOne)
{
    LoopbackHttpServer server;
    server.enqueue(ScriptedReply::http(200, "plain", QByteArray()));
    const APIResponse response =
        urlSessionTransport(baseFor(server.port()), 30)(QStringLiteral("GET"), QStringLiteral("/v1/help"), {});
    EXPECT_EQ(response.contentType, QString());
    EXPECT_FALSE(response.headers.contains(QStringLiteral("content-type")));
    EXPECT_EQ(response.data, QByteArray("plain"));
}

TEST(HttpTransportTest, ReadsRepliesInPiecesChunkedOrEndedByTheConnection)
{
    LoopbackHttpServer server;
    ScriptedReply slow = ScriptedReply::http(200, QByteArray(5000, 'x'), "image/png");
    slow.pieceSize = 700;
    server.enqueue(slow);
    server.enqueue(ScriptedReply::raw("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n2\r\nde\r\n0\r\n\r\n"));
    server.enqueue(ScriptedReply::raw("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\nto the end"));
    const Transport transport = urlSessionTransport(baseFor(server.port()), 30);

    EXPECT_EQ(transport(QStringLiteral("GET"), QStringLiteral("/v1/snapshot.png"), {}).data, QByteArray(5000, 'x'));
    EXPECT_EQ(transport(QStringLiteral("GET"), QStringLiteral("/v1/pages"), {}).data, QByteArray("abcde"));
    EXPECT_EQ(transport(QStringLiteral("GET"), QStringLiteral("/v1/help"), {}).data, QByteArray("to the end"));
}

TEST(HttpTransportTest, SendsALargeRequestWhole)
{
    LoopbackHttpServer server;
    // Far more than a socket takes in one write.
    QByteArray body = "{\"text\":\"" + QByteArray(8 * 1024 * 1024, 'a') + "\"}";
    const Transport transport = urlSessionTransport(baseFor(server.port()), 30);
    const APIResponse response = transport(QStringLiteral("POST"), QStringLiteral("/v1/text"), body);
    EXPECT_EQ(response.status, 200);
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].header("content-length"), QByteArray::number(body.size()));
    EXPECT_TRUE(requests[0].body == body);
}

TEST(HttpTransportTest, NothingListeningIsUnreachable)
{
    const RefusingPort refusing;
    const QString base = baseFor(refusing.port());
    const Transport transport = urlSessionTransport(base, 30);
    const auto error = errorOf([&] { transport(QStringLiteral("GET"), QStringLiteral("/v1/state"), std::nullopt); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), ProxyError::Kind::unreachable);
    EXPECT_EQ(error->detail(), base);
    EXPECT_EQ(error->description(), ProxyError::unreachable(base).description());
}

TEST(HttpTransportTest, AConnectionClosedWithoutReplyIsUnreachable)
{
    LoopbackHttpServer server;
    ScriptedReply close;
    close.action = ScriptedReply::Action::closeAtOnce;
    server.enqueue(close);
    server.enqueue(ScriptedReply::raw("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nshort"));
    const QString base = baseFor(server.port());
    const Transport transport = urlSessionTransport(base, 30);
    for (int i = 0; i < 2; ++i) {
        const auto error = errorOf([&] { transport(QStringLiteral("GET"), QStringLiteral("/v1/state"), {}); });
        ASSERT_TRUE(error);
        EXPECT_EQ(error->kind(), ProxyError::Kind::unreachable);
        EXPECT_EQ(error->detail(), base);
    }
    EXPECT_EQ(server.requests().size(), 2);
}

TEST(HttpTransportTest, AnEditorThatNeverAnswersTimesOut)
{
    LoopbackHttpServer server;
    ScriptedReply mute;
    mute.action = ScriptedReply::Action::stayMute;
    server.enqueue(mute);
    const QString base = baseFor(server.port());
    const Transport transport = urlSessionTransport(base, 0.3);
    const auto started = std::chrono::steady_clock::now();
    const auto error = errorOf([&] { transport(QStringLiteral("GET"), QStringLiteral("/v1/state"), {}); });
    const auto waited = std::chrono::steady_clock::now() - started;
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), ProxyError::Kind::unreachable);
    EXPECT_GE(waited, std::chrono::milliseconds(250));
    EXPECT_LT(waited, std::chrono::seconds(20));
}

TEST(HttpTransportTest, PortsOutsideTheRangeAreUnreachableNotWrapped)
{
    LoopbackHttpServer server;
    // Each would land on the server's port if it were cut to 16 bits.
    for (const qint64 port : {qint64(server.port()) + 65536, qint64(server.port()) - 65536,
                              qint64(server.port()) + (qint64(1) << 32), qint64(0), qint64(65536)}) {
        const QString base = baseFor(port);
        const Transport transport = urlSessionTransport(base, 30);
        const auto error = errorOf([&] { transport(QStringLiteral("GET"), QStringLiteral("/v1/state"), {}); });
        ASSERT_TRUE(error) << port;
        EXPECT_EQ(error->kind(), ProxyError::Kind::unreachable);
        EXPECT_EQ(error->detail(), base);
    }
    EXPECT_EQ(server.connectionCount(), 0);
}

TEST(HttpTransportTest, PathsThatMakeNoUrlAreBadPaths)
{
    LoopbackHttpServer server;
    const Transport transport = urlSessionTransport(baseFor(server.port()), 30);
    for (const QString& path : {QStringLiteral("/v1/snapshot.png?view=a b"), QStringLiteral("/v1/snapshot.png?view=a\nb"),
                                QStringLiteral("/v1/snapshot.png?view=grid\r\nX-Injected: 1"),
                                QStringLiteral("/v1/snapshot.png?view=\t"), QStringLiteral("/v1/snapshot.png?view=gr\u00e9"),
                                QStringLiteral("/v1/snapshot.png?view=%zz"), QStringLiteral("/v1/snapshot.png?view=%4"),
                                QStringLiteral("/v1/snapshot.png?view=\"x\""), QStringLiteral("/v1/snapshot.png?view=<x>"),
                                QStringLiteral("/v1/snapshot.png?view=a#b#c"), QStringLiteral("v1/state"), QString()}) {
        const auto error = errorOf([&] { transport(QStringLiteral("GET"), path, std::nullopt); });
        ASSERT_TRUE(error);
        EXPECT_EQ(error->kind(), ProxyError::Kind::badArguments);
        EXPECT_EQ(error->description(), QStringLiteral("bad path ") + path);
    }
    EXPECT_EQ(server.connectionCount(), 0);
}

TEST(HttpTransportTest, PathsWithUrlCharactersGoOutUnchanged)
{
    LoopbackHttpServer server;
    const Transport transport = urlSessionTransport(baseFor(server.port()), 30);
    const QString path = QStringLiteral("/v1/snapshot.png?view=grid&x=1;a=(b)*!$'+,:@/~-_.%41");
    transport(QStringLiteral("GET"), path, std::nullopt);
    // A fragment stays on this side.
    transport(QStringLiteral("GET"), QStringLiteral("/v1/snapshot.png?view=grid#top"), std::nullopt);
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2);
    EXPECT_EQ(requests[0].target, path.toLatin1());
    EXPECT_EQ(requests[1].target, QByteArray("/v1/snapshot.png?view=grid"));
}

TEST(HttpTransportTest, RequestBytes)
{
    EXPECT_EQ(buildHttpRequest(QStringLiteral("GET"), QStringLiteral("/v1/state"), "127.0.0.1:17960", std::nullopt),
              QByteArray("GET /v1/state HTTP/1.1\r\nHost: 127.0.0.1:17960\r\nConnection: close\r\n\r\n"));
    EXPECT_EQ(buildHttpRequest(QStringLiteral("POST"), QStringLiteral("/v1/export"), "127.0.0.1:1",
                               QByteArray("{\"outputPath\":\"/tmp/out.pdf\"}")),
              QByteArray("POST /v1/export HTTP/1.1\r\nHost: 127.0.0.1:1\r\n"
                         "Content-Type: application/json; charset=utf-8\r\nContent-Length: 29\r\n"
                         "Connection: close\r\n\r\n{\"outputPath\":\"/tmp/out.pdf\"}"));
}
