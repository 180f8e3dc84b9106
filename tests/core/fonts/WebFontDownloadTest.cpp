#include "FakeWebFontTransport.h"
#include "TestFonts.h"
#include "core/support/FontTestPDF.h"

#include "fonts/FontLookup.h"
#include "fonts/PDFEmbeddedFontRegistry.h"
#include "fonts/WebFontTransport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>

using namespace zelvane;
using namespace zelvane::testing;
using namespace std::chrono_literals;

namespace {

// No test of this program ever downloads fonts through the shared registry.
class NoWebFontsEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("ZELVANE_DISABLE_WEB_FONTS"))
            qputenv("ZELVANE_DISABLE_WEB_FONTS", "1");
    }
};

const auto* const kNoWebFonts = ::testing::AddGlobalTestEnvironment(new NoWebFontsEnvironment);

const QString kStyleSheet = QStringLiteral(
    "@font-face { font-family: 'Zelvane Web'; font-weight: 400;\n"
    "  src: url(https://fonts.example.org/s/zelvaneweb/v1/regular.ttf) format('truetype'); }\n"
    "@font-face { font-family: 'Zelvane Web'; font-weight: 700;\n"
    "  src: url(https://fonts.example.org/s/zelvaneweb/v1/bold.ttf) format('truetype'); }\n");

class WebFontDownloadTest : public FontTestBase {
protected:
    void SetUp() override
    {
        FontTestBase::SetUp();
        if (IsSkipped())
            return;
        transport = std::make_shared<FakeWebFontTransport>();
        PDFEmbeddedFontRegistry::Configuration c;
        c.persistentCacheDir = folders.filePath("cache");
        c.subsetTempDir = folders.filePath("tmp");
        c.webFontTransport = transport;
        c.webFontHost = "fonts.example.org";
        registry = std::make_unique<PDFEmbeddedFontRegistry>(c);
    }

    static QByteArray face(const QString& family, const QString& style, const QString& psName)
    {
        TestFontOptions options{family, style, psName};
        return makeTestFont(style == "Bold" ? liberationSansBold() : liberationSansRegular(), options);
    }

    // Answers the style sheet with `css` and font files from `files`.
    void serve(const QString& css, std::map<QString, std::optional<WebFontResponse>> files)
    {
        transport->answer = [css, files](const WebFontRequest& request) -> std::optional<WebFontResponse> {
            if (request.url.path() == "/css")
                return WebFontResponse{200, css.toUtf8()};
            const auto found = files.find(request.url.toString());
            return found == files.end() ? std::optional<WebFontResponse>(WebFontResponse{404, {}}) : found->second;
        };
    }

    QTemporaryDir folders;
    std::shared_ptr<FakeWebFontTransport> transport;
    std::unique_ptr<PDFEmbeddedFontRegistry> registry;
};

}  // namespace

TEST(WebFontQuery, JoinsFamiliesWithTheirWeights)
{
    EXPECT_EQ(PDFEmbeddedFontRegistry::webFontQuery({"Open Sans", "Lato"}),
              "family=Open+Sans:300,400,500,600,700,800,400i,700i%7CLato:300,400,500,600,700,800,400i,700i");
    EXPECT_EQ(PDFEmbeddedFontRegistry::webFontQuery({"Noto Sans JP"}),
              "family=Noto+Sans+JP:300,400,500,600,700,800,400i,700i");
    EXPECT_EQ(PDFEmbeddedFontRegistry::webFontQuery({"Crème & Co#"}),
              "family=Cr%C3%A8me+&+Co%23:300,400,500,600,700,800,400i,700i");
}

TEST_F(WebFontDownloadTest, RegistersDownloadedFacesAsCompleteAndCachesThem)
{
    serve(kStyleSheet, {{"https://fonts.example.org/s/zelvaneweb/v1/regular.ttf",
                         WebFontResponse{200, face("Zelvane Web", "Regular", "ZelvaneWeb-Regular")}},
                        {"https://fonts.example.org/s/zelvaneweb/v1/bold.ttf",
                         WebFontResponse{200, face("Zelvane Web", "Bold", "ZelvaneWeb-Bold")}}});
    registry->fetchAndCacheGoogleFonts({"Zelvane Web"});

    ASSERT_EQ(transport->calls.size(), 2u);
    const WebFontRequest& sheet = transport->calls[0][0];
    EXPECT_EQ(sheet.url.toString(QUrl::FullyEncoded),
              "https://fonts.example.org/css?family=Zelvane+Web:300,400,500,600,700,800,400i,700i");
    ASSERT_EQ(sheet.headers.size(), 1);
    EXPECT_EQ(sheet.headers[0], std::make_pair(QByteArray("User-Agent"), QByteArray("Mozilla/5.0")));
    EXPECT_EQ(transport->waits[0], 2200ms);
    EXPECT_EQ(transport->calls[1].size(), 2u);
    EXPECT_EQ(transport->waits[1], 3000ms);
    EXPECT_EQ(transport->calls[1][0].idleTimeout, 2000ms);
    EXPECT_EQ(transport->calls[1][0].totalTimeout, 3500ms);

    EXPECT_TRUE(QFile::exists(QDir(registry->persistentCacheDir()).filePath("ZelvaneWeb-Bold.ttf")));
    EXPECT_TRUE(QFile::exists(QDir(registry->persistentCacheDir()).filePath("ZelvaneWeb-Regular.ttf")));
    EXPECT_TRUE(registry->isCompleteSystemOrRegisteredFont("ZelvaneWeb-Bold"));
    EXPECT_TRUE(registry->registeredFamilyNames().contains("Zelvane Web"));

    // Asked once per family and process, whatever the letter case.
    registry->fetchAndCacheGoogleFonts({"zelvane web", "ZELVANE WEB"});
    EXPECT_EQ(transport->calls.size(), 2u);
}

TEST_F(WebFontDownloadTest, CompleteDownloadsTakePrecedenceOverTheEmbeddedSubset)
{
    serve(kStyleSheet, {{"https://fonts.example.org/s/zelvaneweb/v1/regular.ttf",
                         WebFontResponse{200, face("Zelvane Web Two", "Regular", "ZelvaneWebTwo-Regular")}}});
    TestFontOptions subsetOptions{"Zelvane Web Two", "Regular", "ZelvaneWebTwo-Regular", QString("ab")};
    registry->registerFonts(makeFontTestPDF(
        {{{{"ABCDEF+ZelvaneWebTwo-Regular", "TrueType", makeTestFont(liberationSansRegular(), subsetOptions)}}}}));
    // The subset was not written: the complete face serves.
    EXPECT_FALSE(QFile::exists(QDir(registry->subsetTempDir()).filePath("ZelvaneWebTwo-Regular.ttf")));
    const auto font = registry->makeFont(QString("ZelvaneWebTwo-Regular"), std::nullopt, 12, false, false);
    ASSERT_TRUE(font);
    EXPECT_TRUE(fonts::hasCharacters(QRawFont::fromFont(*font), "Everything is here"));

    // A later run finds the file in the cache without the network.
    auto laterTransport = std::make_shared<FakeWebFontTransport>();
    PDFEmbeddedFontRegistry::Configuration c;
    c.persistentCacheDir = registry->persistentCacheDir();
    c.subsetTempDir = registry->subsetTempDir();
    c.webFontTransport = laterTransport;
    PDFEmbeddedFontRegistry later(c);
    later.registerFonts(makeFontTestPDF(
        {{{{"ABCDEF+ZelvaneWebTwo-Regular", "TrueType", makeTestFont(liberationSansRegular(), subsetOptions)}}}}));
    EXPECT_TRUE(laterTransport->calls.empty());
    EXPECT_TRUE(later.isCompleteSystemOrRegisteredFont("ZelvaneWebTwo-Regular"));
}

TEST_F(WebFontDownloadTest, EndsQuietlyOnFailures)
{
    // A 404 style sheet: nothing registered, and not asked again.
    transport->answer = [](const WebFontRequest&) { return std::optional<WebFontResponse>(WebFontResponse{404, "no"}); };
    registry->fetchAndCacheGoogleFonts({"Zelvane Missing"});
    registry->fetchAndCacheGoogleFonts({"Zelvane Missing"});
    EXPECT_EQ(transport->calls.size(), 1u);

    // No answer in time.
    transport->answer = [](const WebFontRequest&) { return std::optional<WebFontResponse>(); };
    registry->fetchAndCacheGoogleFonts({"Zelvane Silent"});
    EXPECT_EQ(transport->calls.size(), 2u);

    // A style sheet of .woff2 files only: no download.
    serve("src: url(https://fonts.example.org/a.woff2) format('woff2');", {});
    registry->fetchAndCacheGoogleFonts({"Zelvane Woff"});
    EXPECT_EQ(transport->calls.size(), 3u);

    // A style sheet that is not UTF-8, and an empty one.
    transport->answer = [](const WebFontRequest&) {
        return std::optional<WebFontResponse>(WebFontResponse{200, QByteArray("url(https://x.org/\xff.ttf)")});
    };
    registry->fetchAndCacheGoogleFonts({"Zelvane Latin"});
    EXPECT_EQ(transport->calls.size(), 4u);
    EXPECT_TRUE(registry->registeredFamilyNames().isEmpty());
}

TEST_F(WebFontDownloadTest, DropsSmallLateAndUnusableBodies)
{
    const QByteArray good = face("Zelvane Late", "Regular", "ZelvaneLate-Regular");
    serve("url(https://f.example.org/100.ttf) url(https://f.example.org/101.ttf) url(https://f.example.org/late.ttf)"
          " url(https://f.example.org/500.ttf) url(https://f.example.org/nameless.ttf)",
          {{"https://f.example.org/100.ttf", WebFontResponse{200, good.left(100)}},
           {"https://f.example.org/101.ttf", WebFontResponse{200, good.left(101)}},
           {"https://f.example.org/late.ttf", std::nullopt},
           {"https://f.example.org/500.ttf", WebFontResponse{500, good}},
           {"https://f.example.org/nameless.ttf",
            WebFontResponse{200, makeTestFont(liberationSansRegular(), {.withoutNames = true})}}});
    registry->fetchAndCacheGoogleFonts({"Zelvane Late"});
    ASSERT_EQ(transport->calls.size(), 2u);
    EXPECT_EQ(transport->calls[1].size(), 5u);
    EXPECT_FALSE(registry->isCompleteSystemOrRegisteredFont("ZelvaneLate-Regular"));
    EXPECT_TRUE(registry->registeredFamilyNames().isEmpty());
    EXPECT_TRUE(QDir(registry->persistentCacheDir()).entryList(QDir::Files).isEmpty());
}

TEST_F(WebFontDownloadTest, WithoutTransportNothingIsAsked)
{
    PDFEmbeddedFontRegistry::Configuration c;
    c.persistentCacheDir = folders.filePath("cache2");
    c.subsetTempDir = folders.filePath("tmp2");
    PDFEmbeddedFontRegistry offline(c);
    offline.fetchAndCacheGoogleFonts({"Zelvane Offline"});
    TestFontOptions options{"Zelvane Offline", "Regular", "ZelvaneOffline-Regular", QString("ab")};
    offline.registerFonts(makeFontTestPDF(
        {{{{"ABCDEF+ZelvaneOffline-Regular", "TrueType", makeTestFont(liberationSansRegular(), options)}}}}));
    EXPECT_TRUE(offline.hasRegisteredFont(QString("ZelvaneOffline-Regular"), std::nullopt));
}

// --- The network transport, against a server on the loopback interface ----

namespace {

// Accepts connections on 127.0.0.1 and answers each after `delay` with `reply`
// (nothing at all when the reply is empty).
class LoopbackServer {
public:
    LoopbackServer(QByteArray reply, std::chrono::milliseconds delay) : m_reply(std::move(reply)), m_delay(delay)
    {
        m_socket = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        const int yes = 1;
        ::setsockopt(m_socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        if (::bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && ::listen(m_socket, 8) == 0) {
            socklen_t length = sizeof address;
            ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length);
            m_port = ntohs(address.sin_port);
        }
        m_thread = std::thread([this] { run(); });
    }

    ~LoopbackServer()
    {
        m_stop = true;
        ::shutdown(m_socket, SHUT_RDWR);
        ::close(m_socket);
        m_thread.join();
    }

    int port() const { return m_port; }

private:
    void run()
    {
        while (!m_stop) {
            const int client = ::accept(m_socket, nullptr, nullptr);
            if (client < 0)
                return;
            char buffer[4096];
            (void)::recv(client, buffer, sizeof buffer, 0);
            const auto until = std::chrono::steady_clock::now() + m_delay;
            while (!m_stop && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(10ms);
            if (!m_reply.isEmpty())
                (void)::send(client, m_reply.constData(), size_t(m_reply.size()), MSG_NOSIGNAL);
            ::close(client);
        }
    }

    QByteArray m_reply;
    std::chrono::milliseconds m_delay;
    int m_socket = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

class NetworkTransportTest : public FontTestBase {
protected:
    void SetUp() override
    {
        FontTestBase::SetUp();
        m_saved = qgetenv("ZELVANE_DISABLE_WEB_FONTS");
        qunsetenv("ZELVANE_DISABLE_WEB_FONTS");
    }
    void TearDown() override
    {
        if (!m_saved.isEmpty())
            qputenv("ZELVANE_DISABLE_WEB_FONTS", m_saved);
    }

    static WebFontRequest requestTo(const LoopbackServer& server)
    {
        WebFontRequest request;
        request.url = QUrl(QStringLiteral("http://127.0.0.1:%1/css").arg(server.port()));
        request.headers.append({QByteArray("User-Agent"), QByteArray("Mozilla/5.0")});
        return request;
    }

private:
    QByteArray m_saved;
};

}  // namespace

TEST_F(NetworkTransportTest, ReturnsTheReply)
{
    LoopbackServer server("HTTP/1.1 200 OK\r\nContent-Length: 5\r\nConnection: close\r\n\r\nhello", 0ms);
    ASSERT_NE(server.port(), 0);
    NetworkWebFontTransport transport;
    const auto answers = transport.fetch({requestTo(server)}, 2000ms);
    ASSERT_EQ(answers.size(), 1u);
    ASSERT_TRUE(answers[0]);
    EXPECT_EQ(answers[0]->status, 200);
    EXPECT_EQ(answers[0]->body, "hello");
}

TEST_F(NetworkTransportTest, GivesUpAtTheWait)
{
    constexpr auto kLate = 5000ms;
    LoopbackServer silent("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nlate", kLate);
    LoopbackServer missing("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n", 0ms);
    NetworkWebFontTransport transport;
    QElapsedTimer timer;
    timer.start();
    const auto answers = transport.fetch({requestTo(silent), requestTo(missing)}, 1500ms);
    // Before the late answer comes.
    EXPECT_LT(timer.elapsed(), kLate.count());
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_FALSE(answers[0]);
    ASSERT_TRUE(answers[1]);
    EXPECT_EQ(answers[1]->status, 404);
}

TEST_F(NetworkTransportTest, StaysOfflineWhenDisabled)
{
    LoopbackServer server("HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok", 0ms);
    qputenv("ZELVANE_DISABLE_WEB_FONTS", "1");
    NetworkWebFontTransport transport;
    const auto answers = transport.fetch({requestTo(server)}, 2000ms);
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_FALSE(answers[0]);
    qunsetenv("ZELVANE_DISABLE_WEB_FONTS");
}
