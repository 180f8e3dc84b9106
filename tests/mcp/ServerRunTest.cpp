#include "RecordingTransport.h"
#include "StreamLines.h"
#include "ZelvaneMCPServer.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <thread>

using namespace zelvane::mcp;
using zelvane::mcp::testsupport::RecordingTransport;

namespace {

// Runs the loop over `input` and returns everything it wrote.
QByteArray runOver(const ZelvaneMCPServer& server, const QByteArray& input)
{
    int in[2];
    int out[2];
    EXPECT_EQ(::pipe2(in, O_CLOEXEC), 0);
    EXPECT_EQ(::pipe2(out, O_CLOEXEC), 0);
    std::thread feeder([&] {
        writeWhole(in[1], input);
        ::close(in[1]);
    });
    QByteArray output;
    std::thread collector([&] {
        char chunk[4096];
        ssize_t count;
        while ((count = ::read(out[0], chunk, sizeof chunk)) > 0)
            output.append(chunk, count);
    });
    server.run(in[0], out[1]);
    ::close(out[1]);
    feeder.join();
    collector.join();
    ::close(in[0]);
    ::close(out[0]);
    return output;
}

std::optional<QByteArray> lineOf(LineReader& reader)
{
    return reader.nextLine();
}

}  // namespace

TEST(ServerRunTest, AnswersLineByLineAndEndsWithTheInput)
{
    RecordingTransport recorder;
    const ZelvaneMCPServer server(recorder.transport(), QStringLiteral("http://127.0.0.1:17960"), QStringLiteral("0.1.0"));
    const QByteArray output = runOver(server,
                                      "{\"id\":1,\"method\":\"ping\"}\n"
                                      "\n"
                                      "garbage\r\n"
                                      "{\"method\":\"notifications/initialized\"}\n"
                                      "   \n"
                                      "{\"id\":2,\"method\":\"ping\"}\r\n"
                                      "{\"id\":3,\"method\":\"ping\"}");
    EXPECT_EQ(output, QByteArray("{\"id\":1,\"jsonrpc\":\"2.0\",\"result\":{}}\n"
                                 "{\"error\":{\"code\":-32700,\"message\":\"parse error\"},\"id\":null,\"jsonrpc\":\"2.0\"}\n"
                                 "{\"id\":2,\"jsonrpc\":\"2.0\",\"result\":{}}\n"
                                 "{\"id\":3,\"jsonrpc\":\"2.0\",\"result\":{}}\n"));
}

TEST(ServerRunTest, InvalidUtf8InALineReadsAsReplacementCharacters)
{
    RecordingTransport recorder;
    const ZelvaneMCPServer server(recorder.transport(), QString(), QStringLiteral("0.1.0"));
    const QByteArray output = runOver(server, "{\"id\":\"a\xff\",\"method\":\"ping\"}\n");
    EXPECT_EQ(output, QByteArray("{\"id\":\"a\xef\xbf\xbd\",\"jsonrpc\":\"2.0\",\"result\":{}}\n"));
}

TEST(ServerRunTest, RepliesLargerThanAPipeAreWrittenWhole)
{
    RecordingTransport recorder;
    const QByteArray big(3 * 1024 * 1024, 'b');
    *recorder.answer = [big] { return APIResponse{200, big, QStringLiteral("text/plain"), {}}; };
    const ZelvaneMCPServer server(recorder.transport(), QString(), QStringLiteral("0.1.0"));
    const QByteArray output = runOver(server,
                                      "{\"id\":1,\"method\":\"tools/call\",\"params\":{\"name\":\"zelvane_pages\"}}\n"
                                      "{\"id\":2,\"method\":\"ping\"}\n");
    const QList<QByteArray> lines = output.split('\n');
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], "{\"id\":1,\"jsonrpc\":\"2.0\",\"result\":{\"content\":[{\"text\":\"" + big
                            + "\",\"type\":\"text\"}],\"isError\":false}}");
    EXPECT_EQ(lines[1], QByteArray("{\"id\":2,\"jsonrpc\":\"2.0\",\"result\":{}}"));
    EXPECT_TRUE(lines[2].isEmpty());
}

TEST(LineReaderTest, SplitsLinesAndKeepsAnUnfinishedLastOne)
{
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    ASSERT_TRUE(writeWhole(fds[1], "one\r\ntwo\n\nthree\r\rfour"));
    ::close(fds[1]);
    LineReader reader(fds[0]);
    EXPECT_EQ(lineOf(reader), QByteArray("one"));
    EXPECT_EQ(lineOf(reader), QByteArray("two"));
    EXPECT_EQ(lineOf(reader), QByteArray(""));
    EXPECT_EQ(lineOf(reader), QByteArray("three\r\rfour"));
    EXPECT_EQ(lineOf(reader), std::nullopt);
    EXPECT_EQ(lineOf(reader), std::nullopt);
    ::close(fds[0]);
}

TEST(ServerRunTest, ALineOverTheLimitIsAParseErrorAndTheRelayGoesOn)
{
    RecordingTransport recorder;
    const ZelvaneMCPServer server(recorder.transport(), QString(), QStringLiteral("0.1.0"));
    const QByteArray huge = "{\"id\":1,\"method\":\"ping\",\"pad\":\"" +
                            QByteArray(LineReader::kMaxLineBytes, 'p') + "\"}\n";
    const QByteArray output = runOver(server, huge + "{\"id\":2,\"method\":\"ping\"}\n" + huge);
    EXPECT_EQ(output, QByteArray("{\"error\":{\"code\":-32700,\"message\":\"parse error\"},\"id\":null,\"jsonrpc\":\"2.0\"}\n"
                                 "{\"id\":2,\"jsonrpc\":\"2.0\",\"result\":{}}\n"
                                 "{\"error\":{\"code\":-32700,\"message\":\"parse error\"},\"id\":null,\"jsonrpc\":\"2.0\"}\n"));
}

TEST(LineReaderTest, LinesOverTheLimitAreReadAwayAndFlagged)
{
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    std::thread feeder([&] {
        writeWhole(fds[1], "short\n" + QByteArray(300000, 'x') + "\nfit4\r\n12345\n" + QByteArray(100, 'y'));
        ::close(fds[1]);
    });
    LineReader reader(fds[0], 4);
    EXPECT_EQ(lineOf(reader), QByteArray());
    EXPECT_TRUE(reader.lastLineTooLong());  // "short"
    EXPECT_EQ(lineOf(reader), QByteArray());
    EXPECT_TRUE(reader.lastLineTooLong());
    EXPECT_EQ(lineOf(reader), QByteArray("fit4"));
    EXPECT_FALSE(reader.lastLineTooLong());
    EXPECT_EQ(lineOf(reader), QByteArray());
    EXPECT_TRUE(reader.lastLineTooLong());  // "12345"
    EXPECT_EQ(lineOf(reader), QByteArray());
    EXPECT_TRUE(reader.lastLineTooLong());  // the unfinished last one
    EXPECT_EQ(lineOf(reader), std::nullopt);
    feeder.join();
    ::close(fds[0]);
}

TEST(LineReaderTest, WritingToAClosedPipeFailsWithoutEndingTheProcess)
{
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    ::close(fds[0]);
    // SIGPIPE would end this test program unless it is ignored or blocked;
    // the relay's entry ignores it, so do the same here.
    const auto previous = std::signal(SIGPIPE, SIG_IGN);
    EXPECT_FALSE(writeWhole(fds[1], "reply\n"));
    std::signal(SIGPIPE, previous);
    ::close(fds[1]);
}
