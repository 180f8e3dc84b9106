#include "HttpResponseReader.h"

#include <gtest/gtest.h>

using zelvane::mcp::HttpResponseReader;
using State = HttpResponseReader::State;

namespace {

State feedAll(HttpResponseReader& reader, const QByteArray& bytes)
{
    return reader.feed(bytes.constData(), bytes.size());
}

// Feeds one byte at a time and reports the state after the last one.
State feedBytewise(HttpResponseReader& reader, const QByteArray& bytes)
{
    State state = State::needMore;
    for (const char c : bytes)
        state = reader.feed(&c, 1);
    return state;
}

}  // namespace

TEST(HttpResponseReaderTest, ReadsAReplyFramedByContentLength)
{
    const QByteArray reply = "HTTP/1.1 400 Bad Request\r\nContent-Type: application/json\r\nX-Extra: a b \r\n"
                             "Content-Length: 27\r\n\r\n{\"ok\":false,\"error\":\"bad\"}\n";
    HttpResponseReader reader;
    ASSERT_EQ(feedAll(reader, reply), State::complete);
    const auto& response = *reader.response();
    EXPECT_EQ(response.status, 400);
    EXPECT_EQ(response.data, QByteArray("{\"ok\":false,\"error\":\"bad\"}\n"));
    EXPECT_EQ(response.contentType, QStringLiteral("application/json"));
    EXPECT_EQ(response.headers.value(QStringLiteral("content-type")), QStringLiteral("application/json"));
    EXPECT_EQ(response.headers.value(QStringLiteral("x-extra")), QStringLiteral("a b"));
    EXPECT_EQ(response.headers.value(QStringLiteral("content-length")), QStringLiteral("27"));
}

TEST(HttpResponseReaderTest, CompletesWhateverWayTheBytesArrive)
{
    const QByteArray reply = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello";
    HttpResponseReader reader;
    EXPECT_EQ(feedBytewise(reader, reply), State::complete);
    EXPECT_EQ(reader.response()->data, QByteArray("hello"));
    // Bytes after the body are not part of the reply.
    HttpResponseReader extra;
    EXPECT_EQ(feedAll(extra, reply + "garbage"), State::complete);
    EXPECT_EQ(extra.response()->data, QByteArray("hello"));
}

TEST(HttpResponseReaderTest, WithoutContentTypeTheContentTypeIsEmpty)
{
    HttpResponseReader reader;
    ASSERT_EQ(feedAll(reader, "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"), State::complete);
    EXPECT_EQ(reader.response()->contentType, QString());
    EXPECT_TRUE(reader.response()->data.isEmpty());
    EXPECT_FALSE(reader.response()->headers.contains(QStringLiteral("content-type")));
}

TEST(HttpResponseReaderTest, HeaderNamesAreLowerCasedAndTheLaterOneWins)
{
    HttpResponseReader reader;
    ASSERT_EQ(feedAll(reader, "HTTP/1.0 200 OK\r\nCONTENT-TYPE: image/PNG\r\nX-Twice: 1\r\nx-twice: 2\r\n"
                              "Content-Length: 1\r\n\r\nZ"),
              State::complete);
    EXPECT_EQ(reader.response()->contentType, QStringLiteral("image/PNG"));
    EXPECT_EQ(reader.response()->headers.value(QStringLiteral("x-twice")), QStringLiteral("2"));
    EXPECT_EQ(reader.response()->headers.size(), 3);
}

TEST(HttpResponseReaderTest, ABodyWithoutLengthEndsWithTheConnection)
{
    HttpResponseReader reader;
    EXPECT_EQ(feedAll(reader, "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\npart one, "), State::needMore);
    EXPECT_EQ(feedAll(reader, "part two"), State::needMore);
    ASSERT_EQ(reader.finish(), State::complete);
    EXPECT_EQ(reader.response()->data, QByteArray("part one, part two"));
}

TEST(HttpResponseReaderTest, DecodesChunks)
{
    const QByteArray reply = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                             "4\r\n{\"ok\r\nA;name=value\r\n\":true, \"x\r\n4\r\n\":1}\r\n0\r\nTrailer: yes\r\n\r\n";
    HttpResponseReader whole;
    ASSERT_EQ(feedAll(whole, reply), State::complete);
    EXPECT_EQ(whole.response()->data, QByteArray("{\"ok\":true, \"x\":1}"));
    HttpResponseReader bytewise;
    ASSERT_EQ(feedBytewise(bytewise, reply), State::complete);
    EXPECT_EQ(bytewise.response()->data, QByteArray("{\"ok\":true, \"x\":1}"));
}

TEST(HttpResponseReaderTest, SkipsInterimReplies)
{
    HttpResponseReader reader;
    ASSERT_EQ(feedAll(reader, "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 201 Created\r\nContent-Length: 2\r\n\r\n{}"),
              State::complete);
    EXPECT_EQ(reader.response()->status, 201);
    EXPECT_EQ(reader.response()->data, QByteArray("{}"));
}

TEST(HttpResponseReaderTest, AcceptsBareLineFeeds)
{
    HttpResponseReader reader;
    ASSERT_EQ(feedAll(reader, "HTTP/1.1 500 Oops\nContent-Length: 3\n\nabc"), State::complete);
    EXPECT_EQ(reader.response()->status, 500);
    EXPECT_EQ(reader.response()->data, QByteArray("abc"));
}

TEST(HttpResponseReaderTest, UnfinishedOrBrokenRepliesAreMalformed)
{
    HttpResponseReader shortBody;
    EXPECT_EQ(feedAll(shortBody, "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc"), State::needMore);
    EXPECT_EQ(shortBody.finish(), State::malformed);

    HttpResponseReader noHead;
    EXPECT_EQ(feedAll(noHead, "HTTP/1.1 200 OK\r\nContent-Le"), State::needMore);
    EXPECT_EQ(noHead.finish(), State::malformed);

    HttpResponseReader nothing;
    EXPECT_EQ(nothing.finish(), State::malformed);

    for (const char* bad : {"SMTP 220 hello\r\n\r\n", "HTTP/1.1 20 OK\r\n\r\n", "HTTP/1.1 abc OK\r\n\r\n",
                            "HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n",
                            "HTTP/1.1 200 OK\r\nContent-Length: 1x\r\n\r\n",
                            "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n",
                            "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nabc\r\n"}) {
        HttpResponseReader reader;
        EXPECT_EQ(feedAll(reader, bad), State::malformed) << bad;
        EXPECT_FALSE(reader.response().has_value());
    }
}

TEST(HttpResponseReaderTest, RefusesRepliesLargerThanTheLimit)
{
    HttpResponseReader reader;
    const QByteArray head = "HTTP/1.1 200 OK\r\nContent-Length: "
        + QByteArray::number(HttpResponseReader::maximumSize + 1) + "\r\n\r\n";
    EXPECT_EQ(feedAll(reader, head), State::malformed);
}
