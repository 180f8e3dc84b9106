#include "http/HttpReply.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <cmath>

namespace zelvane {
namespace {

TEST(HttpReplyTest, DefaultsToOkJSON)
{
    const HttpReply reply;
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.contentType, QByteArray("application/json; charset=utf-8"));
    EXPECT_EQ(reply.body, QByteArray("{\"ok\":true}"));
    EXPECT_EQ(reply.body.size(), 11);
}

TEST(HttpReplyTest, SerializesStatusHeadersAndBody)
{
    EXPECT_EQ(serializeReply(HttpReply()), QByteArray("HTTP/1.1 200 OK\r\n"
                                                      "Content-Type: application/json; charset=utf-8\r\n"
                                                      "Content-Length: 11\r\n"
                                                      "Connection: close\r\n\r\n"
                                                      "{\"ok\":true}"));
    const QByteArray png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
    const QByteArray bytes = serializeReply(HttpReply::data(png, "image/png"));
    EXPECT_TRUE(bytes.contains("\r\nContent-Length: 16\r\n"));
    EXPECT_TRUE(bytes.endsWith(png));
}

TEST(HttpReplyTest, ReasonPhrasesFollowTheStatus)
{
    EXPECT_TRUE(serializeReply(HttpReply::error(QStringLiteral("x"), 500)).startsWith("HTTP/1.1 500 Internal Server Error\r\n"));
    EXPECT_TRUE(serializeReply(HttpReply::error(QStringLiteral("x"))).startsWith("HTTP/1.1 400 Bad Request\r\n"));
    EXPECT_TRUE(serializeReply(HttpReply::error(QStringLiteral("x"), 403)).startsWith("HTTP/1.1 403 Forbidden\r\n"));
    EXPECT_TRUE(serializeReply(HttpReply::error(QStringLiteral("x"), 503)).startsWith("HTTP/1.1 503 Service Unavailable\r\n"));
    EXPECT_EQ(reasonPhrase(418), QByteArray("Bad Request"));
    EXPECT_EQ(reasonPhrase(599), QByteArray("Internal Server Error"));
    EXPECT_EQ(reasonPhrase(431), QByteArray("Request Header Fields Too Large"));
    // A status that cannot be sent becomes 500.
    for (const int bad : {0, 99, 100, 600, -200})
        EXPECT_TRUE(serializeReply(HttpReply{bad, kJSONContentType, {}}).startsWith("HTTP/1.1 500 Internal Server Error\r\n"))
            << bad;
}

TEST(HttpReplyTest, LineBreaksCannotEnterTheHeaders)
{
    const QByteArray bytes = serializeReply(HttpReply::data("x", "text/plain\r\nSet-Cookie: a=b"));
    EXPECT_TRUE(bytes.contains("Content-Type: text/plainSet-Cookie: a=b\r\n"));
    EXPECT_FALSE(bytes.contains("\r\nSet-Cookie"));
}

TEST(HttpReplyTest, JSONIsPrettyWithSortedKeysAndPlainSlashes)
{
    const HttpReply reply = HttpReply::json(QJsonObject{{QStringLiteral("outputPath"), QStringLiteral("/tmp/out.pdf")},
                                                        {QStringLiteral("ok"), true},
                                                        {QStringLiteral("count"), 3},
                                                        {QStringLiteral("width"), 595.28},
                                                        {QStringLiteral("title"), QStringLiteral("Révision")}});
    const QByteArray body = reply.body;
    EXPECT_TRUE(body.contains('\n'));
    EXPECT_TRUE(body.contains("\"/tmp/out.pdf\""));
    EXPECT_FALSE(body.contains("\\/"));
    EXPECT_TRUE(body.contains("\"count\": 3,"));
    EXPECT_TRUE(body.contains("595.28"));
    EXPECT_TRUE(body.contains("Révision"));
    const qsizetype count = body.indexOf("\"count\"");
    const qsizetype ok = body.indexOf("\"ok\"");
    const qsizetype output = body.indexOf("\"outputPath\"");
    const qsizetype title = body.indexOf("\"title\"");
    EXPECT_LT(count, ok);
    EXPECT_LT(ok, output);
    EXPECT_LT(output, title);
    EXPECT_TRUE(QJsonDocument::fromJson(body).isObject());
}

TEST(HttpReplyTest, ErrorReplies)
{
    const HttpReply reply = HttpReply::error(QStringLiteral("invalid page"));
    EXPECT_EQ(reply.status, 400);
    EXPECT_EQ(reply.contentType, QByteArray(kJSONContentType));
    EXPECT_EQ(QJsonDocument::fromJson(reply.body).object(),
              (QJsonObject{{QStringLiteral("ok"), false}, {QStringLiteral("error"), QStringLiteral("invalid page")}}));
    EXPECT_EQ(HttpReply::error(QStringLiteral("timeout"), 503).status, 503);
}

TEST(HttpReplyTest, NonFiniteNumbersAreWrittenNull)
{
    const QByteArray body = prettyJSON(QJsonObject{{QStringLiteral("x"), std::nan("")}, {QStringLiteral("y"), INFINITY}});
    const QJsonObject back = QJsonDocument::fromJson(body).object();
    EXPECT_TRUE(back.value(QStringLiteral("x")).isNull());
    EXPECT_TRUE(back.value(QStringLiteral("y")).isNull());
}

}  // namespace
}  // namespace zelvane
