// The relay against the editor's own controller and HTTP API, started here
// on a free loopback port: tool calls go through the real server and change
// the real document.

#include "support/TestApplication.h"
#include "VectorController.h"
#include "remote/RemoteControl.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

using namespace zelvane;

namespace {

void ensureApplication()
{
    zelvane::testing::ensureTestGuiApplication();
}

// Sends one JSON-RPC line and waits for one answer line, serving the
// editor's main thread meanwhile.
QJsonObject ask(QProcess& relay, const QJsonObject& message)
{
    relay.write(QJsonDocument(message).toJson(QJsonDocument::Compact) + '\n');
    QElapsedTimer timer;
    timer.start();
    while (!relay.canReadLine() && timer.elapsed() < 60000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        relay.waitForReadyRead(20);
    }
    return QJsonDocument::fromJson(relay.readLine()).object();
}

QJsonObject callTool(QProcess& relay, int id, const QString& tool, const QJsonObject& arguments = {})
{
    return ask(relay, {{"jsonrpc", "2.0"},
                       {"id", id},
                       {"method", "tools/call"},
                       {"params", QJsonObject{{"name", tool}, {"arguments", arguments}}}});
}

// The text of a tool result, parsed as the editor's JSON reply.
QJsonObject replyOf(const QJsonObject& answer)
{
    const QJsonArray content = answer["result"].toObject()["content"].toArray();
    return QJsonDocument::fromJson(content.first().toObject()["text"].toString().toUtf8()).object();
}

}  // namespace

TEST(McpRelayEditorE2ETest, ToolCallsEditTheRealDocument)
{
    ensureApplication();
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.filePath("data").toUtf8());
    VectorController controller(false, false);
    RemoteControl remote(controller);
    ASSERT_TRUE(remote.startHTTPServer(0));

    QProcess relay;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("ZELVANE_API_PORT", QString::number(remote.httpPort()));
    relay.setProcessEnvironment(environment);
    relay.start(QStringLiteral(ZELVANE_MCP_BINARY), {});
    ASSERT_TRUE(relay.waitForStarted(30000));

    const QJsonObject initialized = ask(relay, {{"jsonrpc", "2.0"}, {"id", 1}, {"method", "initialize"}, {"params", QJsonObject{}}});
    EXPECT_EQ(initialized["result"].toObject()["serverInfo"].toObject()["name"].toString(), "zelvane");

    const QJsonObject state = replyOf(callTool(relay, 2, "zelvane_state"));
    EXPECT_EQ(state["app"].toString(), "Zelvane");
    EXPECT_EQ(state["apiPort"].toInt(), remote.httpPort());

    const QJsonObject added = replyOf(callTool(relay, 3, "zelvane_edit_text", {{"text", "Statut : VALIDÉ"}}));
    EXPECT_TRUE(added.contains("createdElementID"));
    ASSERT_EQ(controller.document().pages[0].elements.size(), 1);
    EXPECT_EQ(controller.document().pages[0].elements[0].text()->text, QStringLiteral("Statut : VALIDÉ"));

    const QJsonObject signedReply = replyOf(callTool(relay, 4, "zelvane_sign", {{"signer", "Ann"}, {"stamp", "approved"}}));
    EXPECT_EQ(signedReply["page"].toInt(), 1);
    EXPECT_EQ(controller.document().signatureCount(), 1);

    EXPECT_EQ(replyOf(callTool(relay, 5, "zelvane_add_page", {{"format", "US Letter"}}))["pageCount"].toInt(), 2);

    const QString output = home.filePath("out.pdf");
    const QJsonObject exported = replyOf(callTool(relay, 6, "zelvane_export", {{"outputPath", output}}));
    EXPECT_EQ(exported["outputPath"].toString(), output);
    QFile file(output);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.read(5) == "%PDF-");

    const QJsonObject failed = callTool(relay, 7, "zelvane_edit_text", {{"text", "x"}, {"page", 9}});
    EXPECT_TRUE(failed["result"].toObject()["isError"].toBool());
    EXPECT_EQ(replyOf(failed)["error"].toString(), "invalid page");

    relay.closeWriteChannel();
    EXPECT_TRUE(relay.waitForFinished(30000));
    EXPECT_EQ(relay.exitCode(), 0);
    remote.stop();
}
