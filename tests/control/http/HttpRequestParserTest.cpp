#include "http/HttpRequestParser.h"

#include <gtest/gtest.h>

#include <QJsonArray>

namespace zelvane {
namespace {

using Outcome = HttpParse::Outcome;

HttpParse complete(const QByteArray& bytes, bool peerClosed = false)
{
    HttpParse parse = parseHttpRequest(bytes, peerClosed);
    EXPECT_EQ(parse.outcome, Outcome::complete) << bytes.left(200).toStdString();
    return parse;
}

TEST(HttpRequestParserTest, SplitsTheRequestLine)
{
    const HttpParse parse = complete("get /v1/snapshot.png?view=multipage HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_EQ(parse.request.method, QStringLiteral("GET"));
    EXPECT_EQ(parse.request.target, QStringLiteral("/v1/snapshot.png?view=multipage"));
    EXPECT_EQ(parse.request.path, QStringLiteral("/v1/snapshot.png"));
    EXPECT_EQ(parse.request.query, QStringLiteral("view=multipage"));
    EXPECT_EQ(parse.request.version, QStringLiteral("HTTP/1.1"));

    const HttpParse twice = complete("GET /a?b=1?c=2 HTTP/1.1\r\n\r\n");
    EXPECT_EQ(twice.request.path, QStringLiteral("/a"));
    EXPECT_EQ(twice.request.query, QStringLiteral("b=1?c=2"));

    const HttpParse noQuery = complete("POST   /v1/text\r\n\r\n");
    EXPECT_EQ(noQuery.request.method, QStringLiteral("POST"));
    EXPECT_EQ(noQuery.request.path, QStringLiteral("/v1/text"));
    EXPECT_TRUE(noQuery.request.query.isEmpty());
    EXPECT_TRUE(noQuery.request.version.isEmpty());

    // Nothing is percent-decoded; invalid UTF-8 is repaired.
    const HttpParse raw = complete("GET /a%20b\xff HTTP/1.1\r\n\r\n");
    EXPECT_EQ(raw.request.path, QStringLiteral("/a%20b\uFFFD"));
}

TEST(HttpRequestParserTest, BadRequestLinesDropTheConnection)
{
    EXPECT_EQ(parseHttpRequest("GET\r\n\r\n", false).outcome, Outcome::dropped);
    // Known as soon as the line is there, without waiting for the head's end.
    EXPECT_EQ(parseHttpRequest("GET\r\n", false).outcome, Outcome::dropped);
    EXPECT_EQ(parseHttpRequest("   \r\n", false).outcome, Outcome::dropped);
    EXPECT_EQ(parseHttpRequest("GET\x0b/v1/state HTTP/1.1\r\n\r\n", false).outcome, Outcome::dropped);
    EXPECT_EQ(parseHttpRequest("", true).outcome, Outcome::dropped);
    EXPECT_EQ(parseHttpRequest("\r\n\r\n", true).outcome, Outcome::dropped);
}

TEST(HttpRequestParserTest, WaitsForTheWholeHead)
{
    EXPECT_EQ(parseHttpRequest("", false).outcome, Outcome::incomplete);
    EXPECT_EQ(parseHttpRequest("GET /v1/st", false).outcome, Outcome::incomplete);
    EXPECT_EQ(parseHttpRequest("GET /v1/state HTTP/1.1\r\nHost: a\r\n", false).outcome, Outcome::incomplete);
    // Leading empty lines are skipped.
    EXPECT_EQ(complete("\r\n\r\nGET /v1/state HTTP/1.1\r\n\r\n").request.path, QStringLiteral("/v1/state"));
    // A client that stops sending is served what it sent.
    EXPECT_EQ(complete("GET /v1/state", true).request.path, QStringLiteral("/v1/state"));
    // Bare line feeds end the head too.
    EXPECT_EQ(complete("GET /v1/state HTTP/1.1\nHost: a\n\n").request.header("host"), QByteArray("a"));
}

TEST(HttpRequestParserTest, ReadsHeaderFields)
{
    const HttpParse parse = complete("GET / HTTP/1.1\r\nHost:  127.0.0.1:9 \r\nX-Thing:a:b\r\n"
                                     "no colon here\r\n folded continuation\r\nEMPTY:\r\nhost: second\r\n\r\n");
    const QList<std::pair<QByteArray, QByteArray>> expected{
        {"host", "127.0.0.1:9"}, {"x-thing", "a:b"}, {"empty", ""}, {"host", "second"}};
    EXPECT_EQ(parse.request.headers, expected);
    EXPECT_EQ(parse.request.header("host"), QByteArray("127.0.0.1:9"));
    EXPECT_EQ(parse.request.headerCount("host"), 2);
    EXPECT_TRUE(parse.request.header("origin").isNull());
}

TEST(HttpRequestParserTest, ReadsExactlyContentLengthBytes)
{
    const QByteArray head = "POST /v1/text HTTP/1.1\r\nContent-Length: 12\r\n\r\n";
    EXPECT_EQ(parseHttpRequest(head, false).outcome, Outcome::incomplete);
    EXPECT_EQ(parseHttpRequest(head + "{\"text\":", false).outcome, Outcome::incomplete);
    const HttpParse parse = complete(head + "{\"text\":\"a\"}EXTRA BYTES");
    EXPECT_EQ(parse.request.body, QByteArray("{\"text\":\"a\"}"));
    EXPECT_EQ(parse.request.args.value(QStringLiteral("text")).toString(), QStringLiteral("a"));
    EXPECT_EQ(parse.requestSize, head.size() + 12);
    // Without Content-Length there is no body.
    const HttpParse none = complete("POST /v1/page HTTP/1.1\r\n\r\n{\"duplicate\":true}");
    EXPECT_TRUE(none.request.body.isEmpty());
    EXPECT_TRUE(none.request.args.isEmpty());
}

TEST(HttpRequestParserTest, ALongBodyIsReadWhole)
{
    const QByteArray text(100000, 'z');
    const QByteArray body = "{\"text\":\"" + text + "\"}";
    const HttpParse parse =
        complete("POST /v1/text HTTP/1.1\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
    EXPECT_EQ(parse.request.args.value(QStringLiteral("text")).toString().size(), text.size());
}

TEST(HttpRequestParserTest, BodiesThatAreNoJSONObjectGiveNoArguments)
{
    const auto args = [](const QByteArray& separator, const QByteArray& body) {
        return complete("POST /v1/text HTTP/1.1\r\nContent-Length: " + QByteArray::number(body.size()) + separator +
                        body)
            .request.args;
    };
    EXPECT_FALSE(args("\r\n\r\n", "{\"page\":2}").isEmpty());
    EXPECT_TRUE(args("\r\n\r\n", "[1,2]").isEmpty());
    EXPECT_TRUE(args("\r\n\r\n", "{\"page\":").isEmpty());
    EXPECT_TRUE(args("\r\n\r\n", "\"text\"").isEmpty());
    EXPECT_TRUE(args("\r\n\r\n", "{\"a\":1e999}").isEmpty());
    // Headers and body separated by bare line feeds: the body is read but
    // gives no arguments.
    EXPECT_TRUE(args("\n\n", "{\"page\":2}").isEmpty());
    // Invalid UTF-8 inside a string is repaired, not refused.
    EXPECT_EQ(args("\r\n\r\n", "{\"text\":\"a\xff\"}").value(QStringLiteral("text")).toString(),
              QStringLiteral("a\uFFFD"));
}

TEST(HttpRequestParserTest, AsksForContinueWhenTheClientExpectsIt)
{
    const QByteArray head = "POST /v1/text HTTP/1.1\r\nExpect: 100-Continue\r\nContent-Length: 4\r\n\r\n";
    const HttpParse waiting = parseHttpRequest(head, false);
    EXPECT_EQ(waiting.outcome, Outcome::incomplete);
    EXPECT_TRUE(waiting.expectsContinue);
    EXPECT_FALSE(parseHttpRequest("POST /v1/text HTTP/1.1\r\nContent-Length: 4\r\n\r\n", false).expectsContinue);
    EXPECT_EQ(parseHttpRequest(head + "null", false).outcome, Outcome::complete);
}

TEST(HttpRequestParserTest, RefusesWhatItCannotRead)
{
    const auto status = [](const QByteArray& bytes, bool peerClosed = false) {
        const HttpParse parse = parseHttpRequest(bytes, peerClosed);
        EXPECT_EQ(parse.outcome, Outcome::rejected) << bytes.left(100).toStdString();
        EXPECT_EQ(parse.reply.body.contains("\"ok\": false"), true);
        return parse.reply.status;
    };
    EXPECT_EQ(status("POST / HTTP/1.1\r\nContent-Length: -1\r\n\r\n"), 400);
    EXPECT_EQ(status("POST / HTTP/1.1\r\nContent-Length: 1x\r\n\r\n"), 400);
    EXPECT_EQ(status("POST / HTTP/1.1\r\nContent-Length: \r\n\r\n"), 400);
    EXPECT_EQ(status("POST / HTTP/1.1\r\nContent-Length: 99999999999999999999999\r\n\r\n"), 400);
    EXPECT_EQ(status("POST / HTTP/1.1\r\nContent-Length: 2\r\nContent-Length: 3\r\n\r\nabc"), 400);
    EXPECT_EQ(status("POST / HTTP/1.1\r\nContent-Length: 10\r\n\r\nabc", true), 400);
    EXPECT_EQ(status("POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n"), 501);
    EXPECT_EQ(status("POST / HTTP/1.1\r\nContent-Length: 8388609\r\n\r\n"), 413);
    // The same length twice is fine.
    EXPECT_EQ(complete("POST / HTTP/1.1\r\nContent-Length: 2\r\nContent-Length: 2\r\n\r\nab").request.body,
              QByteArray("ab"));
}

TEST(HttpRequestParserTest, HugeHeadsAreRefused)
{
    const HttpLimits limits;
    const QByteArray bigField = "X-Big: " + QByteArray(limits.maxHeadBytes, 'a') + "\r\n";
    // Refused as soon as the limit is passed, without waiting for the end.
    const HttpParse partial = parseHttpRequest("GET / HTTP/1.1\r\n" + bigField, false);
    EXPECT_EQ(partial.outcome, Outcome::rejected);
    EXPECT_EQ(partial.reply.status, 431);
    const HttpParse whole = parseHttpRequest("GET / HTTP/1.1\r\n" + bigField + "\r\n", false);
    EXPECT_EQ(whole.reply.status, 431);
    const HttpParse longLine = parseHttpRequest("GET /" + QByteArray(limits.maxHeadBytes, 'a'), false);
    EXPECT_EQ(longLine.reply.status, 431);
    // Just below the limit is fine.
    const QByteArray fits = "GET / HTTP/1.1\r\nX: " + QByteArray(limits.maxHeadBytes - 21, 'a');
    ASSERT_EQ(fits.size(), limits.maxHeadBytes - 2);
    EXPECT_EQ(parseHttpRequest(fits + "\r\n\r\n", false).outcome, Outcome::complete);
    // A head of exactly the limit whose blank line is still on its way.
    const QByteArray full = "GET / HTTP/1.1\r\nX: " + QByteArray(limits.maxHeadBytes - 19, 'a');
    ASSERT_EQ(full.size(), limits.maxHeadBytes);
    EXPECT_EQ(parseHttpRequest(full + "\r\n\r", false).outcome, Outcome::incomplete);
    EXPECT_EQ(parseHttpRequest(full + "\r\n\r\n", false).outcome, Outcome::complete);
    EXPECT_EQ(parseHttpRequest(full + "a\r\n\r", false).outcome, Outcome::rejected);
}

TEST(HttpRequestParserTest, SmallerLimitsApply)
{
    HttpLimits limits;
    limits.maxHeadBytes = 64;
    limits.maxBodyBytes = 4;
    EXPECT_EQ(parseHttpRequest("POST / HTTP/1.1\r\nContent-Length: 5\r\n\r\n", false, limits).reply.status, 413);
    EXPECT_EQ(parseHttpRequest("GET / HTTP/1.1\r\nX: " + QByteArray(64, 'a') + "\r\n\r\n", false, limits).reply.status,
              431);
}

HttpRequest withHeaders(QList<std::pair<QByteArray, QByteArray>> headers)
{
    HttpRequest request;
    request.method = QStringLiteral("GET");
    request.path = QStringLiteral("/v1/state");
    request.headers = std::move(headers);
    return request;
}

TEST(HttpRequestParserTest, RefusesRequestsAWebPageCouldSend)
{
    EXPECT_EQ(refuseForeignRequest(withHeaders({}), 17960), std::nullopt);
    EXPECT_EQ(refuseForeignRequest(withHeaders({{"host", "127.0.0.1:17960"}}), 17960), std::nullopt);
    EXPECT_EQ(refuseForeignRequest(withHeaders({{"host", "localhost:17960"}}), 17960), std::nullopt);
    EXPECT_EQ(refuseForeignRequest(withHeaders({{"host", "LocalHost:17960"}}), 17960), std::nullopt);
    EXPECT_EQ(refuseForeignRequest(withHeaders({{"host", "localhost"}}), 80), std::nullopt);

    for (const QByteArray& host : {QByteArray("evil.example:17960"), QByteArray("127.0.0.1:17961"),
                                  QByteArray("127.0.0.1"), QByteArray("localhost"), QByteArray(""),
                                  QByteArray("127.0.0.1:17960.evil"), QByteArray("[::1]:17960")}) {
        const std::optional<HttpReply> reply = refuseForeignRequest(withHeaders({{"host", host}}), 17960);
        ASSERT_TRUE(reply.has_value()) << host.toStdString();
        EXPECT_EQ(reply->status, 403);
    }
    const auto twoHosts = refuseForeignRequest(withHeaders({{"host", "127.0.0.1:1"}, {"host", "127.0.0.1:1"}}), 1);
    ASSERT_TRUE(twoHosts.has_value());
    const auto origin =
        refuseForeignRequest(withHeaders({{"host", "127.0.0.1:17960"}, {"origin", "http://127.0.0.1:17960"}}), 17960);
    ASSERT_TRUE(origin.has_value());
    EXPECT_EQ(origin->status, 403);
    EXPECT_TRUE(refuseForeignRequest(withHeaders({{"origin", "null"}}), 1).has_value());
}

}  // namespace
}  // namespace zelvane
