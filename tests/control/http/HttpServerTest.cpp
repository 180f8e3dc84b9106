#include "http/HttpServer.h"

#include "control/remote/RemoteTestSupport.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QJsonArray>
#include <QObject>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <future>
#include <thread>

namespace zelvane {
namespace {

using namespace remotetest;

class HttpServerTest : public ::testing::Test {
protected:
    void SetUp() override { ensureApplication(); }

    // Records every request and answers {"ok":true,"path":...}.
    HttpServer::Handler recorder()
    {
        return [this](const HttpRequest& request) {
            requests.append(request);
            threads.append(QThread::currentThread());
            return HttpReply::json(QJsonObject{{QStringLiteral("ok"), true}, {QStringLiteral("path"), request.path}});
        };
    }

    // Short enough for tests that wait for a time-out to pass, long enough
    // that a loaded machine never trips them by accident.
    static HttpServer::Options quick()
    {
        HttpServer::Options options;
        options.answerTimeout = 3s;
        options.readTimeout = 1s;
        options.writeTimeout = 3s;
        return options;
    }

    Reply roundTrip(quint16 port, const QByteArray& request)
    {
        return parseReply(whileProcessingEvents([&] { return exchange(port, request); }));
    }

    QObject context;  // lives on the main thread
    QList<HttpRequest> requests;
    QList<QThread*> threads;
};

TEST_F(HttpServerTest, ServesARequestOnTheMainThread)
{
    HttpServer server(&context, recorder());
    ASSERT_TRUE(server.start(0)) << server.lastError().toStdString();
    EXPECT_TRUE(server.isRunning());
    EXPECT_NE(server.port(), 0);

    const Reply reply = roundTrip(server.port(), getRequest("/v1/state?x=1", server.port()));
    ASSERT_TRUE(reply.valid);
    EXPECT_EQ(reply.statusLine, QByteArray("HTTP/1.1 200 OK"));
    EXPECT_EQ(reply.header("Content-Type"), QByteArray("application/json; charset=utf-8"));
    EXPECT_EQ(reply.header("Connection"), QByteArray("close"));
    EXPECT_EQ(reply.header("Content-Length").toLongLong(), reply.body.size());
    EXPECT_EQ(reply.json().value(QStringLiteral("path")).toString(), QStringLiteral("/v1/state"));
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].method, QStringLiteral("GET"));
    EXPECT_EQ(requests[0].query, QStringLiteral("x=1"));
    EXPECT_EQ(threads[0], QThread::currentThread());
}

TEST_F(HttpServerTest, WithoutAContextTheHandlerRunsOnTheServerThread)
{
    HttpServer server(nullptr, recorder());
    ASSERT_TRUE(server.start(0));
    const Reply reply = parseReply(exchange(server.port(), getRequest("/v1/help", server.port())));
    EXPECT_EQ(reply.status, 200);
    ASSERT_EQ(threads.size(), 1);
    EXPECT_NE(threads[0], QThread::currentThread());
}

TEST_F(HttpServerTest, ALowerCaseMethodIsServedUpperCased)
{
    HttpServer server(&context, recorder());
    ASSERT_TRUE(server.start(0));
    const Reply reply = roundTrip(server.port(), "get /v1/state HTTP/1.1\r\n\r\n");
    EXPECT_EQ(reply.status, 200);
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].method, QStringLiteral("GET"));
}

TEST_F(HttpServerTest, ABodySentInPiecesIsReadWhole)
{
    HttpServer server(&context, recorder());
    ASSERT_TRUE(server.start(0));
    const QByteArray body = R"({"text":"Statut : VALIDÉ","page":1})";
    const QByteArray request = postRequest("/v1/text", body, server.port());
    const QByteArray raw = whileProcessingEvents([&] {
        TestClient client(server.port());
        // Head, then the body in three pieces, with pauses in between.
        const qsizetype head = request.indexOf("\r\n\r\n") + 4;
        client.send(request.left(head - 2));
        std::this_thread::sleep_for(30ms);
        client.send(request.mid(head - 2, 7));
        std::this_thread::sleep_for(30ms);
        client.send(request.mid(head + 5, 10));
        std::this_thread::sleep_for(30ms);
        client.send(request.mid(head + 15));
        return client.readAll();
    });
    EXPECT_EQ(parseReply(raw).status, 200);
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].body, body);
    EXPECT_EQ(requests[0].args.value(QStringLiteral("text")).toString(), QStringLiteral("Statut : VALIDÉ"));
}

TEST_F(HttpServerTest, ABodyLongerThanOneReadIsReadWhole)
{
    HttpServer server(&context, recorder());
    ASSERT_TRUE(server.start(0));
    const QString text(300000, u'é');
    const QByteArray body = "{\"text\":\"" + text.toUtf8() + "\"}";
    const Reply reply = roundTrip(server.port(), postRequest("/v1/text", body, server.port()));
    EXPECT_EQ(reply.status, 200);
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].args.value(QStringLiteral("text")).toString(), text);
}

TEST_F(HttpServerTest, AnswersExpectContinue)
{
    HttpServer server(&context, recorder());
    ASSERT_TRUE(server.start(0));
    const QByteArray body = R"({"duplicate":true})";
    const auto [interim, finalReply] = whileProcessingEvents([&] {
        TestClient client(server.port());
        client.send("POST /v1/page HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(server.port()) +
                    "\r\nExpect: 100-continue\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n");
        const QByteArray first = client.readUntil("\r\n\r\n");
        client.send(body);
        return std::pair(first, client.readAll());
    });
    EXPECT_EQ(interim, QByteArray("HTTP/1.1 100 Continue\r\n\r\n"));
    EXPECT_EQ(parseReply(finalReply).status, 200);
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].args.value(QStringLiteral("duplicate")).toBool(), true);
}

TEST_F(HttpServerTest, AnIdleClientTimesOutAndTheNextOneIsServed)
{
    HttpServer server(&context, recorder(), quick());
    ASSERT_TRUE(server.start(0));
    TestClient idle(server.port());
    ASSERT_TRUE(idle.connected());
    const Reply reply = roundTrip(server.port(), getRequest("/v1/pages", server.port()));
    EXPECT_EQ(reply.status, 200);
    // The idle client was let go without a word.
    EXPECT_TRUE(idle.closedWithoutData());
}

TEST_F(HttpServerTest, ASlowClientGetsRequestTimeoutAndTheNextOneIsServed)
{
    HttpServer server(&context, recorder(), quick());
    ASSERT_TRUE(server.start(0));
    TestClient slow(server.port());
    ASSERT_TRUE(slow.send("POST /v1/text HTTP/1.1\r\nContent-Length: 100\r\n\r\n{\"te"));
    const Reply next = roundTrip(server.port(), getRequest("/v1/pages", server.port()));
    EXPECT_EQ(next.status, 200);
    const Reply timedOut = parseReply(slow.readAll());
    EXPECT_EQ(timedOut.status, 408);
    EXPECT_EQ(timedOut.json().value(QStringLiteral("ok")), QJsonValue(false));
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].path, QStringLiteral("/v1/pages"));
}

TEST_F(HttpServerTest, ALargeReplyIsSentWhole)
{
    QByteArray big(24 * 1024 * 1024, '\0');
    for (qsizetype i = 0; i < big.size(); ++i)
        big[i] = char(i * 7 + i / 4096);
    HttpServer server(&context, [&](const HttpRequest&) { return HttpReply::data(big, "image/png"); });
    ASSERT_TRUE(server.start(0));
    const Reply reply = roundTrip(server.port(), getRequest("/v1/snapshot.png", server.port()));
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.header("Content-Type"), QByteArray("image/png"));
    EXPECT_EQ(reply.header("Content-Length").toLongLong(), big.size());
    EXPECT_TRUE(reply.body == big);
}

TEST_F(HttpServerTest, AClientThatLeavesEarlyDoesNotStopTheServer)
{
    // Writing to a peer that has gone raises no SIGPIPE (which would end this
    // test process) and the next client is served.
    const QByteArray big(24 * 1024 * 1024, 'x');
    int calls = 0;
    HttpServer server(&context, [&](const HttpRequest& request) {
        ++calls;
        return request.path == QStringLiteral("/big") ? HttpReply::data(big, "text/plain") : HttpReply();
    });
    ASSERT_TRUE(server.start(0));
    whileProcessingEvents([&] {
        TestClient leaving(server.port());
        leaving.send(getRequest("/big", server.port()));
        // Read the first bytes of the reply, then go away with the rest unread.
        leaving.readUntil("\r\n");
        leaving.close();
        return 0;
    });
    const Reply reply = roundTrip(server.port(), getRequest("/small", server.port()));
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.body, QByteArray("{\"ok\":true}"));
    EXPECT_EQ(calls, 2);
}

TEST_F(HttpServerTest, AnExceptionInTheHandlerIsAnInternalServerError)
{
    HttpServer server(&context, [](const HttpRequest&) -> HttpReply { throw std::runtime_error("boom"); });
    ASSERT_TRUE(server.start(0));
    const Reply reply = roundTrip(server.port(), getRequest("/v1/state", server.port()));
    EXPECT_EQ(reply.statusLine, QByteArray("HTTP/1.1 500 Internal Server Error"));
    EXPECT_EQ(reply.json().value(QStringLiteral("ok")), QJsonValue(false));
}

TEST_F(HttpServerTest, ARouteAnswering500SaysInternalServerError)
{
    HttpServer server(&context, [](const HttpRequest&) { return HttpReply::error(QStringLiteral("snapshot failed"), 500); });
    ASSERT_TRUE(server.start(0));
    const Reply reply = roundTrip(server.port(), getRequest("/v1/snapshot.png", server.port()));
    EXPECT_EQ(reply.statusLine, QByteArray("HTTP/1.1 500 Internal Server Error"));
    EXPECT_EQ(reply.json().value(QStringLiteral("error")).toString(), QStringLiteral("snapshot failed"));
}

TEST_F(HttpServerTest, ABusyMainThreadGivesATimeoutErrorAndTheRequestIsNotRunLater)
{
    HttpServer::Options options = quick();
    options.answerTimeout = 200ms;
    HttpServer server(&context, recorder(), options);
    ASSERT_TRUE(server.start(0));
    // The main thread does not look at its events until the reply is in.
    auto client = std::async(std::launch::async, [&] { return exchange(server.port(), getRequest("/v1/text", server.port())); });
    const Reply reply = parseReply(client.get());
    EXPECT_EQ(reply.statusLine, QByteArray("HTTP/1.1 503 Service Unavailable"));
    EXPECT_EQ(reply.json(), (QJsonObject{{QStringLiteral("ok"), false}, {QStringLiteral("error"), QStringLiteral("timeout")}}));
    EXPECT_EQ(reply.header("Content-Type"), QByteArray("application/json; charset=utf-8"));
    // The queued call runs now, sees it was answered already and does nothing.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_TRUE(requests.isEmpty());
    // And the server serves again as soon as the main thread does.
    EXPECT_EQ(roundTrip(server.port(), getRequest("/v1/state", server.port())).status, 200);
}

TEST_F(HttpServerTest, ARequestBegunBeforeTheTimeoutIsAnsweredWithItsRealResult)
{
    HttpServer::Options options = quick();
    options.answerTimeout = 2s;
    int applied = 0;
    HttpServer server(
        &context,
        [&](const HttpRequest&) {
            // Outlasts the answer time, whenever it began.
            std::this_thread::sleep_for(options.answerTimeout + 300ms);
            ++applied;
            return HttpReply::json({{"ok", true}, {"id", "e1"}});
        },
        options);
    ASSERT_TRUE(server.start(0));
    const Reply reply = roundTrip(server.port(), postRequest("/v1/text", R"({"text":"x"})", server.port()));
    EXPECT_EQ(applied, 1);
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.json().value(QStringLiteral("id")).toString(), QStringLiteral("e1"));
}

TEST_F(HttpServerTest, AnAnswerGivenAsTheServerStopsStillReachesItsClient)
{
    std::shared_ptr<LaterReply> pending;
    HttpServer server(
        &context,
        [&](const HttpRequest&) {
            HttpReply reply;
            reply.later = std::make_shared<LaterReply>(60s);
            pending = reply.later;
            return reply;
        },
        quick());
    ASSERT_TRUE(server.start(0));
    auto client = std::async(std::launch::async, [&] { return exchange(server.port(), getRequest("/open", server.port())); });
    ASSERT_TRUE(processEventsUntil([&] { return pending != nullptr; }));
    pending->resolve(HttpReply::error(QStringLiteral("cancelled: the editor is quitting"), 503));
    server.stop();
    const Reply reply = parseReply(client.get());
    EXPECT_EQ(reply.status, 503);
    EXPECT_EQ(reply.json().value(QStringLiteral("error")).toString(), QStringLiteral("cancelled: the editor is quitting"));
}

TEST_F(HttpServerTest, RequestsFromWebPagesAreRefused)
{
    HttpServer server(&context, recorder());
    ASSERT_TRUE(server.start(0));
    const QByteArray port = QByteArray::number(server.port());
    const Reply origin = roundTrip(server.port(), "POST /v1/page HTTP/1.1\r\nHost: 127.0.0.1:" + port +
                                                      "\r\nOrigin: http://evil.example\r\nContent-Length: 2\r\n\r\n{}");
    EXPECT_EQ(origin.statusLine, QByteArray("HTTP/1.1 403 Forbidden"));
    EXPECT_EQ(origin.json().value(QStringLiteral("ok")), QJsonValue(false));
    const Reply rebound = roundTrip(server.port(), "GET /v1/state HTTP/1.1\r\nHost: evil.example:" + port + "\r\n\r\n");
    EXPECT_EQ(rebound.status, 403);
    const Reply wrongPort = roundTrip(server.port(), "GET /v1/state HTTP/1.1\r\nHost: localhost:1\r\n\r\n");
    EXPECT_EQ(wrongPort.status, 403);
    EXPECT_TRUE(requests.isEmpty());

    EXPECT_EQ(roundTrip(server.port(), "GET /v1/state HTTP/1.1\r\nHost: localhost:" + port + "\r\n\r\n").status, 200);
    EXPECT_EQ(roundTrip(server.port(), "GET /v1/state HTTP/1.0\r\n\r\n").status, 200);
    EXPECT_EQ(requests.size(), 2);
}

TEST_F(HttpServerTest, MalformedRequestsAreDroppedOrAnswered)
{
    HttpServer server(&context, recorder(), quick());
    ASSERT_TRUE(server.start(0));
    // A request line with one word: closed without a byte.
    const QByteArray dropped = whileProcessingEvents([&] {
        TestClient client(server.port());
        client.send("GET\r\n\r\n");
        return client.readAll();
    });
    EXPECT_TRUE(dropped.isEmpty());
    // Huge headers.
    const Reply huge = roundTrip(server.port(), "GET /v1/state HTTP/1.1\r\nX-Big: " + QByteArray(40000, 'a') + "\r\n\r\n");
    EXPECT_EQ(huge.statusLine, QByteArray("HTTP/1.1 431 Request Header Fields Too Large"));
    // A body over the limit is refused before it is read.
    const Reply large = roundTrip(server.port(), "POST /v1/text HTTP/1.1\r\nContent-Length: 999999999\r\n\r\n");
    EXPECT_EQ(large.status, 413);
    const Reply chunked = roundTrip(server.port(), "POST /v1/text HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n");
    EXPECT_EQ(chunked.status, 501);
    const Reply badLength = roundTrip(server.port(), "POST /v1/text HTTP/1.1\r\nContent-Length: ten\r\n\r\n");
    EXPECT_EQ(badLength.status, 400);
    EXPECT_TRUE(requests.isEmpty());
    // Invalid JSON and wrong types reach the handler as arguments to judge.
    EXPECT_EQ(roundTrip(server.port(), postRequest("/v1/text", "{\"text\":", server.port())).status, 200);
    EXPECT_EQ(roundTrip(server.port(), postRequest("/v1/text", "[\"text\"]", server.port())).status, 200);
    EXPECT_EQ(roundTrip(server.port(), postRequest("/v1/text", "{\"text\":5}", server.port())).status, 200);
    ASSERT_EQ(requests.size(), 3);
    EXPECT_TRUE(requests[0].args.isEmpty());
    EXPECT_TRUE(requests[1].args.isEmpty());
    EXPECT_TRUE(requests[2].args.value(QStringLiteral("text")).isDouble());
}

TEST_F(HttpServerTest, ClientsAreServedOneAfterAnotherInAcceptOrder)
{
    std::promise<void> firstArrived;
    std::atomic<bool> secondConnected{false};
    QStringList order;
    HttpServer server(&context, [&](const HttpRequest& request) {
        order.append(request.path);
        if (request.path == QStringLiteral("/first")) {
            firstArrived.set_value();
            // The second client connects while this one is being served.
            while (!secondConnected.load())
                std::this_thread::sleep_for(1ms);
        }
        return HttpReply();
    });
    ASSERT_TRUE(server.start(0));
    const quint16 port = server.port();
    const auto [first, second] = whileProcessingEvents([&] {
        auto one = std::async(std::launch::async, [&] { return exchange(port, getRequest("/first", port)); });
        firstArrived.get_future().wait();
        TestClient client(port);
        client.send(getRequest("/second", port));
        secondConnected = true;
        return std::pair(one.get(), client.readAll());
    });
    EXPECT_EQ(parseReply(first).status, 200);
    EXPECT_EQ(parseReply(second).status, 200);
    EXPECT_EQ(order, (QStringList{QStringLiteral("/first"), QStringLiteral("/second")}));
}

TEST_F(HttpServerTest, IdleAndSlowClientsDoNotHoldUpOthers)
{
    // Limits far beyond the test's patience: only serving clients side by
    // side lets the last one through.
    HttpServer::Options options;
    options.headTimeout = 120s;
    options.readTimeout = 120s;
    HttpServer server(&context, recorder(), options);
    ASSERT_TRUE(server.start(0));
    const quint16 port = server.port();
    std::vector<std::unique_ptr<TestClient>> idle;
    for (int i = 0; i < 40; ++i) {
        idle.push_back(std::make_unique<TestClient>(port));
        if (i % 2) {
            ASSERT_TRUE(idle.back()->send("GET /v1/st"));  // a slow sender
        }
    }
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(roundTrip(port, getRequest("/v1/state", port)).status, 200);
    EXPECT_LT(std::chrono::steady_clock::now() - before, 5s);
    EXPECT_EQ(server.connectionCounts().reading, 40);
}

TEST_F(HttpServerTest, AnIdleHeadIsDroppedAfterTheHeadTimeout)
{
    HttpServer::Options options = quick();
    options.headTimeout = 300ms;
    options.readTimeout = 120s;
    HttpServer server(&context, recorder(), options);
    ASSERT_TRUE(server.start(0));
    TestClient idle(server.port());
    const auto before = std::chrono::steady_clock::now();
    EXPECT_TRUE(idle.closedWithoutData(60s));
    EXPECT_LT(std::chrono::steady_clock::now() - before, 60s);
}

TEST_F(HttpServerTest, OpenConnectionsAreBounded)
{
    // The handler holds the first request until released, so that every
    // other connection keeps its whole request waiting for its turn.
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    HttpServer::Options options;
    options.headTimeout = 120s;
    options.readTimeout = 120s;
    options.answerTimeout = 120s;
    HttpServer server(nullptr, [&](const HttpRequest&) {
        released.wait();
        return HttpReply();
    }, options);
    ASSERT_TRUE(server.start(0));
    const quint16 port = server.port();
    const auto countsReach = [&](int open, int reading) {
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        while (std::chrono::steady_clock::now() < deadline) {
            const HttpServer::ConnectionCounts counts = server.connectionCounts();
            if (counts.open == open && counts.reading == reading)
                return true;
            std::this_thread::sleep_for(2ms);
        }
        return false;
    };

    // At the bound, a new client takes the place of the oldest idle one.
    std::vector<std::unique_ptr<TestClient>> clients;
    for (int i = 0; i < HttpServer::kMaxConnections; ++i)
        clients.push_back(std::make_unique<TestClient>(port));
    ASSERT_TRUE(countsReach(HttpServer::kMaxConnections, HttpServer::kMaxConnections));
    TestClient newcomer(port);
    EXPECT_TRUE(clients.front()->closedWithoutData());
    ASSERT_TRUE(countsReach(HttpServer::kMaxConnections, HttpServer::kMaxConnections));

    // Once every place holds a whole request, a new client is told at once.
    clients.erase(clients.begin());
    ASSERT_TRUE(newcomer.send(getRequest("/v1/state", port)));
    for (const auto& client : clients)
        ASSERT_TRUE(client->send(getRequest("/v1/state", port)));
    ASSERT_TRUE(countsReach(HttpServer::kMaxConnections, 0));
    const Reply refused = parseReply(TestClient(port).readAll());
    EXPECT_EQ(refused.status, 503);
    EXPECT_EQ(refused.json().value(QStringLiteral("error")).toString(), QStringLiteral("too many connections"));

    release.set_value();
    EXPECT_EQ(parseReply(newcomer.readAll()).status, 200);
    for (const auto& client : clients)
        EXPECT_EQ(parseReply(client->readAll()).status, 200);
}

TEST_F(HttpServerTest, StopWakesAServerReadingAnIdleClient)
{
    HttpServer::Options options;
    options.readTimeout = 120s;
    HttpServer server(&context, recorder(), options);
    ASSERT_TRUE(server.start(0));
    const quint16 port = server.port();
    TestClient idle(port);
    ASSERT_TRUE(idle.send("GET /v1/sta"));
    const auto before = std::chrono::steady_clock::now();
    server.stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 10s);
    EXPECT_FALSE(server.isRunning());
    EXPECT_EQ(server.port(), port);
    EXPECT_TRUE(idle.closedWithoutData());
    server.stop();

    // The port can be bound again at once.
    HttpServer again(&context, recorder());
    ASSERT_TRUE(again.start(port)) << again.lastError().toStdString();
}

TEST_F(HttpServerTest, StopWakesAServerWaitingForTheHandler)
{
    // The handler runs on a worker thread and holds on until released, so the
    // server thread is surely waiting for its answer when stop() comes.
    QThread worker;
    worker.start();
    auto workerContext = std::make_unique<QObject>();
    workerContext->moveToThread(&worker);
    std::promise<void> started;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    HttpServer::Options options;
    options.answerTimeout = 120s;
    HttpServer server(
        workerContext.get(),
        [&](const HttpRequest&) {
            started.set_value();
            released.wait();
            return HttpReply();
        },
        options);
    ASSERT_TRUE(server.start(0));
    TestClient client(server.port());
    ASSERT_TRUE(client.send(getRequest("/v1/state", server.port())));
    started.get_future().wait();

    const auto before = std::chrono::steady_clock::now();
    server.stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 10s);
    EXPECT_TRUE(client.closedWithoutData());

    release.set_value();
    worker.quit();
    worker.wait();
}

TEST_F(HttpServerTest, APortChangeBindsTheNewSocketFirst)
{
    HttpServer server(&context, recorder());
    ASSERT_TRUE(server.start(0));
    const quint16 first = server.port();
    EXPECT_TRUE(server.start(first));  // the same port: nothing changes
    EXPECT_EQ(server.port(), first);

    ASSERT_TRUE(server.start(0));
    const quint16 second = server.port();
    EXPECT_NE(second, first);
    EXPECT_FALSE(TestClient(first).connected());
    EXPECT_EQ(roundTrip(second, getRequest("/v1/state", second)).status, 200);

    // Another program holds the port asked for: the server keeps its old one
    // and says why.
    const int holder = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(holder, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(holder, 1), 0);
    socklen_t length = sizeof address;
    ::getsockname(holder, reinterpret_cast<sockaddr*>(&address), &length);
    const quint16 taken = ntohs(address.sin_port);

    EXPECT_FALSE(server.start(taken));
    EXPECT_TRUE(server.lastError().contains(QString::number(taken))) << server.lastError().toStdString();
    EXPECT_TRUE(server.isRunning());
    EXPECT_EQ(server.port(), second);
    EXPECT_EQ(roundTrip(second, getRequest("/v1/state", second)).status, 200);
    ::close(holder);
}

TEST_F(HttpServerTest, ABindFailureLeavesAStoppedServerStopped)
{
    const int holder = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(holder, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(holder, 1), 0);
    socklen_t length = sizeof address;
    ::getsockname(holder, reinterpret_cast<sockaddr*>(&address), &length);

    HttpServer server(&context, recorder());
    EXPECT_FALSE(server.start(ntohs(address.sin_port)));
    EXPECT_FALSE(server.isRunning());
    EXPECT_EQ(server.port(), 0);
    EXPECT_FALSE(server.lastError().isEmpty());
    ::close(holder);
}

TEST_F(HttpServerTest, ListensOnLoopbackOnly)
{
    HttpServer server(&context, recorder());
    ASSERT_TRUE(server.start(0));
    // Every address of this host other than 127.0.0.1 is refused; 127.0.0.2
    // is a loopback address too, but not the one bound.
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(server.port());
    ::inet_pton(AF_INET, "127.0.0.2", &address.sin_addr);
    EXPECT_NE(::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
}

TEST_F(HttpServerTest, ALaterReplyIsWaitedForPastTheAnswerTimeWithinItsOwnLimit)
{
    HttpServer::Options options = quick();
    options.answerTimeout = 200ms;
    std::shared_ptr<LaterReply> pending;
    HttpServer server(
        &context,
        [&](const HttpRequest& request) {
            HttpReply reply;
            reply.later = std::make_shared<LaterReply>(request.path == QLatin1String("/never") ? 300ms : 60s);
            pending = reply.later;
            return reply;
        },
        options);
    ASSERT_TRUE(server.start(0));

    // Answered from the main thread well after the answer time.
    auto client = std::async(std::launch::async, [&] { return exchange(server.port(), getRequest("/open", server.port())); });
    ASSERT_TRUE(processEventsUntil([&] { return pending != nullptr; }));
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 400)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    pending->resolve(HttpReply::json({{"ok", true}, {"pages", 30}}));
    const Reply reply = parseReply(client.get());
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.json().value(QStringLiteral("pages")).toInt(), 30);

    // One never given ends at its own limit.
    pending.reset();
    const Reply late = roundTrip(server.port(), getRequest("/never", server.port()));
    EXPECT_EQ(late.statusLine, QByteArray("HTTP/1.1 503 Service Unavailable"));
    EXPECT_EQ(late.json().value(QStringLiteral("error")), QJsonValue(QStringLiteral("timeout")));
}

}  // namespace
}  // namespace zelvane
