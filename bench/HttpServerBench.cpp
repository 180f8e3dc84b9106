// Requests per second of the local HTTP API's transport: GET requests from a
// loopback client, one connection per request as the API serves them, with a
// trivial handler, so that what is measured is the server alone (accept, read,
// parse, hand-off, reply, close).
//
// - "main thread": the handler runs on the main thread through the queued
//   hand-off, as the routes will;
// - "server thread": the handler runs on the server's own thread, which
//   isolates the cost of the hand-off;
// - reference, measured in the same run: a bare loopback TCP server that
//   reads the same request bytes up to the blank line and writes the same
//   reply bytes back, also one connection per request: the floor that the
//   socket calls alone set.
//
// The route figures (GET /v1/state, POST /v1/text on a 200-page document)
// belong to the routes: see "Route figures" at the end of main().

#include "LoopbackClient.h"
#include "VectorController.h"
#include "http/HttpServer.h"
#include "operations/VectorOperations.h"
#include "remote/ApiRoutes.h"
#include "remote/StateReplyCache.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QEventLoop>
#include <QJsonObject>
#include <QMetaObject>
#include <QObject>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>
#include <vector>

using namespace zelvane;
using namespace zelvane::bench;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRequests = 4000;
constexpr int kRuns = 5;

// Requests per second of `count` sequential requests; false in `complete`
// when a reply came back short.
double requestsPerSecond(quint16 port, const QByteArray& request, qsizetype replySize, int count, bool& complete)
{
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < count; ++i) {
        if (oneRequest(port, request) != replySize)
            complete = false;
    }
    return count / std::chrono::duration<double>(Clock::now() - start).count();
}

// Runs `work` on a client thread while the main thread serves its events.
double whileServing(const std::function<double()>& work)
{
    QEventLoop loop;
    double result = 0;
    std::thread client([&] {
        result = work();
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    client.join();
    return result;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The reference: reads up to the blank line, writes `reply`, closes.
class RawLoopbackServer {
public:
    explicit RawLoopbackServer(QByteArray reply) : m_reply(std::move(reply))
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        ::setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        ::listen(m_fd, HttpServer::kListenBacklog);
        socklen_t length = sizeof address;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~RawLoopbackServer()
    {
        m_stopping = true;
        ::shutdown(m_fd, SHUT_RDWR);
        m_thread.join();
        ::close(m_fd);
    }
    quint16 port() const { return m_port; }

private:
    void serve()
    {
        char chunk[65536];
        while (!m_stopping.load()) {
            const int connection = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (connection < 0) {
                if (errno == EINTR || errno == ECONNABORTED)
                    continue;
                return;
            }
            QByteArray received;
            while (!received.contains("\r\n\r\n")) {
                const ssize_t count = ::recv(connection, chunk, sizeof chunk, 0);
                if (count <= 0)
                    break;
                received.append(chunk, count);
            }
            writeAll(connection, m_reply);
            ::close(connection);
        }
    }

    QByteArray m_reply;
    int m_fd = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::thread m_thread;
};

}  // namespace

int main(int argc, char** argv)
{
    // The controller measures text: it needs a GUI application (offscreen).
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QObject context;

    const HttpReply trivial =
        HttpReply::json(QJsonObject{{QStringLiteral("ok"), true}, {QStringLiteral("app"), QStringLiteral("Zelvane")}});
    const HttpServer::Handler handler = [&](const HttpRequest&) { return trivial; };
    const QByteArray replyBytes = serializeReply(trivial);

    HttpServer onMain(&context, handler);
    HttpServer onServer(nullptr, handler);
    RawLoopbackServer reference(replyBytes);
    if (!onMain.start(0) || !onServer.start(0)) {
        std::fprintf(stderr, "cannot start the servers: %s\n", qPrintable(onMain.lastError() + onServer.lastError()));
        return 1;
    }
    const auto request = [](quint16 port) {
        return "GET /v1/state HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) +
               "\r\nUser-Agent: zelvane-bench\r\nAccept: */*\r\n\r\n";
    };

    bool complete = true;
    std::vector<double> mainRates, serverRates, referenceRates;
    // Warm-up, then interleaved runs so that drifts of the machine hit all three.
    whileServing([&] { return requestsPerSecond(onMain.port(), request(onMain.port()), replyBytes.size(), 200, complete); });
    for (int run = 0; run < kRuns; ++run) {
        mainRates.push_back(whileServing([&] {
            return requestsPerSecond(onMain.port(), request(onMain.port()), replyBytes.size(), kRequests, complete);
        }));
        serverRates.push_back(
            requestsPerSecond(onServer.port(), request(onServer.port()), replyBytes.size(), kRequests, complete));
        referenceRates.push_back(
            requestsPerSecond(reference.port(), request(reference.port()), replyBytes.size(), kRequests, complete));
    }
    const double mainRate = median(mainRates);
    const double serverRate = median(serverRates);
    const double referenceRate = median(referenceRates);

    std::printf("HTTP server: GET, one connection per request, %d requests x %d runs (median), %lld-byte replies\n",
                kRequests, kRuns, static_cast<long long>(replyBytes.size()));
    std::printf("  handler on the main thread    %9.0f req/s   reference bare loopback TCP %9.0f req/s   ratio %.2f\n",
                mainRate, referenceRate, mainRate / referenceRate);
    std::printf("  handler on the server thread  %9.0f req/s   reference bare loopback TCP %9.0f req/s   ratio %.2f\n",
                serverRate, referenceRate, serverRate / referenceRate);

    // The API itself, on a 200-page document of 50 text lines a page: GET
    // /v1/state (kept between changes for the server's own thread) and POST
    // /v1/text (which records an undo snapshot and edits a line through the
    // controller), answered on the main thread.
    QTemporaryDir libraries;  // the controller's signature and stamp folders
    qputenv("XDG_DATA_HOME", libraries.path().toUtf8());
    VectorController controller(false, false);
    {
        VectorDocument document = controller.document();
        document.pages.clear();
        for (int p = 0; p < 200; ++p) {
            VectorPage page = VectorPage::make(QUuid::createUuid(), QStringLiteral("Page %1").arg(p + 1), 595.28,
                                               841.89, QStringLiteral("#FFFFFF"));
            for (int e = 0; e < 50; ++e) {
                page.elements.append(VectorOperations::makeTextElement(
                    QStringLiteral("Ligne %1 page %2").arg(e).arg(p + 1), {40, 40 + 15.0 * e}, 11, "#111317", false));
            }
            document.pages.append(page);
        }
        controller.setDocument(document);
    }
    // Set up as the editor's remote control sets it up.
    StateReplyCache stateCache(controller);
    HttpServer::Options apiOptions;
    apiOptions.quickAnswer = [&](const HttpRequest& routed) { return stateCache.lookup(routed); };
    ApiContext apiContext;
    apiContext.stateCache = &stateCache;
    HttpServer api(
        &context, [&](const HttpRequest& routed) { return dispatchHTTPRequest(controller, routed, apiContext); },
        apiOptions);
    if (!api.start(0)) {
        std::fprintf(stderr, "cannot start the API server: %s\n", qPrintable(api.lastError()));
        return 1;
    }
    const QByteArray stateRequest = request(api.port());
    const qsizetype stateSize = whileServing([&] { return double(oneRequest(api.port(), stateRequest)); });
    std::vector<double> stateRates;
    for (int run = 0; run < kRuns; ++run) {
        stateRates.push_back(whileServing(
            [&] { return requestsPerSecond(api.port(), stateRequest, stateSize, kRequests / 4, complete); }));
    }
    // The same line is found and rewritten every time.
    const QByteArray body = R"({"page":150,"match":"Ligne 49 page 150","text":"Ligne 49 page 150"})";
    const QByteArray textRequest = "POST /v1/text HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(api.port()) +
                                   "\r\nContent-Type: application/json\r\nContent-Length: " +
                                   QByteArray::number(body.size()) + "\r\n\r\n" + body;
    constexpr int kTextRequests = 200;
    const Clock::time_point textStart = Clock::now();
    whileServing([&] {
        for (int i = 0; i < kTextRequests; ++i) {
            if (oneRequest(api.port(), textRequest) <= 0)
                complete = false;
        }
        return 0.0;
    });
    const double textMs = std::chrono::duration<double, std::milli>(Clock::now() - textStart).count() / kTextRequests;
    std::printf("  GET /v1/state (200 pages x 50 elements)   %9.0f req/s   reference bare loopback TCP %9.0f req/s   ratio %.2f\n",
                median(stateRates), referenceRate, median(stateRates) / referenceRate);
    std::printf("  POST /v1/text (200 pages, edit by match)  %9.3f ms per request   reference bare loopback TCP %9.3f ms   ratio %.1f\n",
                textMs, 1000.0 / referenceRate, textMs / (1000.0 / referenceRate));

    // Idle clients hold no one up: with 50 connections open that send
    // nothing, GET /v1/state is timed one request at a time (target: under
    // 100 ms each), then 50 clients send GET /v1/state side by side.
    constexpr int kIdle = 50;
    constexpr int kClients = 50;
    // The edits above changed what the state reports.
    const qsizetype editedStateSize = whileServing([&] { return double(oneRequest(api.port(), stateRequest)); });
    std::vector<int> idle;
    for (int i = 0; i < kIdle; ++i)
        idle.push_back(connectLoopback(api.port()));
    std::vector<double> latencies;
    whileServing([&] {
        for (int i = 0; i < 200; ++i) {
            const Clock::time_point start = Clock::now();
            if (oneRequest(api.port(), stateRequest) != editedStateSize)
                complete = false;
            latencies.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        }
        return 0.0;
    });
    const double worstLatency = *std::max_element(latencies.begin(), latencies.end());
    const auto concurrentRate = [&](quint16 port, const QByteArray& sent, qsizetype expected, int perClient) {
        std::atomic<bool> allComplete{true};
        const Clock::time_point start = Clock::now();
        std::vector<std::thread> clients;
        for (int c = 0; c < kClients; ++c) {
            clients.emplace_back([&] {
                for (int i = 0; i < perClient; ++i) {
                    if (oneRequest(port, sent) != expected)
                        allComplete = false;
                }
            });
        }
        for (std::thread& client : clients)
            client.join();
        complete = complete && allComplete.load();
        return kClients * perClient / std::chrono::duration<double>(Clock::now() - start).count();
    };
    std::vector<double> concurrentRates, concurrentReferenceRates;
    for (int run = 0; run < kRuns; ++run) {
        concurrentRates.push_back(whileServing([&] { return concurrentRate(api.port(), stateRequest, editedStateSize, 20); }));
        concurrentReferenceRates.push_back(
            concurrentRate(reference.port(), request(reference.port()), replyBytes.size(), 20));
    }
    for (const int fd : idle)
        ::close(fd);
    const double referenceLatency = 1000.0 / referenceRate;
    std::printf("  GET /v1/state with %d idle connections open: median %7.3f ms, worst %7.3f ms (target < 100 ms)   "
                "reference bare loopback TCP %7.3f ms   ratio %.1f\n",
                kIdle, median(latencies), worstLatency, referenceLatency, median(latencies) / referenceLatency);
    std::printf("  GET /v1/state from %d concurrent clients      %9.0f req/s   reference bare loopback TCP %9.0f req/s   "
                "ratio %.2f\n",
                kClients, median(concurrentRates), median(concurrentReferenceRates),
                median(concurrentRates) / median(concurrentReferenceRates));
    api.stop();

    if (!complete) {
        std::fprintf(stderr, "some replies came back incomplete\n");
        return 1;
    }
    return 0;
}
