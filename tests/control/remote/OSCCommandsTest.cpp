#include "control/ControllerTestSupport.h"
#include "VectorController.h"
#include "osc/OSCUDPServer.h"
#include "remote/OSCCommands.h"
#include "remote/RemoteControl.h"
#include "control/remote/RemoteTestSupport.h"

#include "core/support/TestPDF.h"

#include <gtest/gtest.h>
#include <QFileInfo>
#include <QtEndian>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace zelvane;
using Value = OSCCodec::Value;

namespace {

// Messages travel as real datagrams on loopback to a receiver that hands
// them to the controller on the main thread, as the editor's does.
class OSCCommandsTest : public zelvane::testing::ControllerTest {
protected:
    void SetUp() override
    {
        ControllerTest::SetUp();
        controller = makeController();
        controller->addBlankPage(PageFormatPreset::a4Portrait);
        controller->addBlankPage(PageFormatPreset::a4Portrait);
        controller->setCurrentPageIndex(0);
        receiver = std::make_unique<OSCUDPServer>(0, controller.get(), [this](const OSCCodec::Message& message) {
            handleOSCMessage(*controller, message);
            ++handled;
        });
        ASSERT_TRUE(receiver->start());
    }
    void TearDown() override
    {
        receiver.reset();
        ControllerTest::TearDown();
    }

    void send(const QString& address, QList<Value> arguments = {})
    {
        const int before = handled;
        ASSERT_TRUE(OSCUDPServer::send({address, std::move(arguments)}, "127.0.0.1", receiver->port()));
        ASSERT_TRUE(zelvane::remotetest::processEventsUntil([&] { return handled > before; }));
    }
    // Exports are written on a worker after the message is handled.
    void exportTo(const QString& path)
    {
        send("/zelvane/export", {Value::string(path)});
        ASSERT_TRUE(zelvane::remotetest::processEventsUntil([&] { return !controller->isSaving(); }));
    }

    std::unique_ptr<VectorController> controller;
    std::unique_ptr<OSCUDPServer> receiver;
    int handled = 0;
};

}  // namespace

TEST_F(OSCCommandsTest, PagesAreChosenByNumberOrStep)
{
    send("/zelvane/page", {Value::int32(3)});
    EXPECT_EQ(controller->currentPageIndex(), 2);
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("OSC · Page 3/3"));
    send("/zelvane/page", {Value::int32(-5)});
    EXPECT_EQ(controller->currentPageIndex(), 0);
    send("/zelvane/page", {Value::float32(2.7f)});
    EXPECT_EQ(controller->currentPageIndex(), 1);
    send("/zelvane/page", {Value::string("3.5")});
    EXPECT_EQ(controller->currentPageIndex(), 1);
    send("/zelvane/page", {Value::int32(99)});
    EXPECT_EQ(controller->currentPageIndex(), 2);

    const QString status = controller->statusMessage();
    send("/ZELVANE/PAGE/NEXT");
    EXPECT_EQ(controller->currentPageIndex(), 2);
    EXPECT_EQ(controller->statusMessage(), status);
    send("/zelvane/page/prev");
    send("/zelvane/page/prev/");
    EXPECT_EQ(controller->currentPageIndex(), 1);
    EXPECT_FALSE(controller->canUndo() && controller->history().undoStack().size() > 2);
}

TEST_F(OSCCommandsTest, SignStampUndoRedo)
{
    send("/zelvane/sign", {Value::string("Jo Martin")});
    ASSERT_EQ(controller->document().pages[0].elements.size(), 1);
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("OSC · Signature Jo Martin"));
    send("/zelvane/stamp", {Value::int32(3)});
    send("/zelvane/stamp", {Value::string("confidential")});
    const auto& elements = controller->document().pages[0].elements;
    ASSERT_EQ(elements.size(), 3);
    EXPECT_EQ(std::get<StampPayload>(elements[1].kind).stampKind, VectorStampKind::approved);
    EXPECT_EQ(std::get<StampPayload>(elements[2].kind).stampKind, VectorStampKind::confidential);
    send("/zelvane/undo");
    EXPECT_EQ(controller->document().pages[0].elements.size(), 2);
    send("/zelvane/redo");
    EXPECT_EQ(controller->document().pages[0].elements.size(), 3);
    send("/zelvane/sign", {Value::string("")});
    EXPECT_EQ(controller->document().pages[0].elements.size(), 4);
    send("/zelvane/unknown", {Value::int32(1)});
    EXPECT_EQ(controller->document().pages[0].elements.size(), 4);
}

TEST_F(OSCCommandsTest, OpenAndExportFiles)
{
    const QString svg = scratchPath("out.svg");
    exportTo(svg);
    EXPECT_TRUE(readFile(svg).contains("<svg"));
    exportTo("");
    // Opens end after the message is handled: the import runs on a worker.
    const auto opened = [&] { return zelvane::remotetest::processEventsUntil([&] { return !controller->isOpening(); }); };
    send("/zelvane/open", {Value::string(scratchPath("missing.pdf"))});
    ASSERT_TRUE(opened());
    EXPECT_EQ(controller->document().pages.size(), 3);
    EXPECT_TRUE(controller->lastError().has_value());
    send("/zelvane/open", {Value::string(svg)});
    ASSERT_TRUE(opened());
    EXPECT_EQ(controller->document().pages.size(), 3);
    EXPECT_FALSE(controller->canUndo());  // a newly opened document
}

TEST_F(OSCCommandsTest, ExportsOnlyDocumentNamesWithoutControlCharacters)
{
    // A signer name may carry line feeds; the file it would go to must still
    // be a document named as one.
    send("/zelvane/sign", {Value::string("x\nssh-ed25519 AAAA key\n")});
    const QString keys = scratchPath("authorized_keys");
    exportTo(keys);
    EXPECT_FALSE(QFileInfo::exists(keys));
    EXPECT_TRUE(controller->statusMessage().contains("refusing")) << controller->statusMessage().toStdString();
    exportTo(scratchPath("a\tb.svg"));
    EXPECT_FALSE(QFileInfo::exists(scratchPath("a\tb.svg")));
    exportTo(scratchPath("page.PDF"));
    EXPECT_TRUE(readFile(scratchPath("page.PDF")).startsWith("%PDF-"));
}

TEST_F(OSCCommandsTest, AnEditSentDuringAnOpenAppliesToTheDocumentOpenUntilThen)
{
    const QString pdf = scratchPath("manual.pdf");
    writeFile(pdf, zelvane::testing::makeManualTestPDF(30));
    send("/zelvane/open", {Value::string(pdf)});
    ASSERT_TRUE(controller->isOpening());
    const qsizetype before = controller->document().pages[0].elements.size();
    send("/zelvane/stamp", {Value::string("approved")});
    ASSERT_TRUE(controller->isOpening()) << "the open ended before the edit came: make the file larger";
    EXPECT_EQ(controller->document().pages[0].elements.size(), before + 1);
    EXPECT_EQ(controller->document().pages.size(), 3);

    ASSERT_TRUE(zelvane::remotetest::processEventsUntil([&] { return !controller->isOpening(); }));
    EXPECT_EQ(controller->document().pages.size(), 30);
    EXPECT_EQ(controller->document().title, QStringLiteral("manual"));
    EXPECT_FALSE(controller->lastError().has_value());
}

TEST_F(OSCCommandsTest, ABundleRunsItsMessagesInOrder)
{
    QByteArray bundle("#bundle\0", 8);
    bundle += QByteArray(8, '\0');  // time tag
    const QByteArray next = OSCCodec::encode({"/zelvane/page/next", {}});
    for (int i = 0; i < 2; ++i) {
        const quint32 size = qToBigEndian(quint32(next.size()));
        bundle += QByteArray(reinterpret_cast<const char*>(&size), 4) + next;
    }
    const int sender = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(receiver->port());
    ASSERT_EQ(::sendto(sender, bundle.constData(), size_t(bundle.size()), 0, reinterpret_cast<sockaddr*>(&address),
                       sizeof address),
              bundle.size());
    ::close(sender);
    EXPECT_TRUE(zelvane::remotetest::processEventsUntil([&] { return handled == 2; }));
    EXPECT_EQ(controller->currentPageIndex(), 2);
}

TEST_F(OSCCommandsTest, ARestartOnAPortInUseKeepsTheRunningReceiver)
{
    RemoteControl remote(*controller);
    ASSERT_TRUE(remote.startOSCServer(0));
    const quint16 port = remote.oscInPort();

    // A port held by another program's socket (without address reuse).
    const int other = ::socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_GE(other, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    ASSERT_EQ(::bind(other, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    socklen_t length = sizeof address;
    ::getsockname(other, reinterpret_cast<sockaddr*>(&address), &length);
    const quint16 taken = ntohs(address.sin_port);

    EXPECT_FALSE(remote.startOSCServer(taken));
    EXPECT_FALSE(remote.oscError().isEmpty());
    EXPECT_EQ(remote.oscInPort(), port);
    ASSERT_TRUE(OSCUDPServer::send({"/zelvane/page/next", {}}, "127.0.0.1", port));
    EXPECT_TRUE(zelvane::remotetest::processEventsUntil([&] { return controller->currentPageIndex() == 1; }));
    ::close(other);
    remote.stop();
    EXPECT_EQ(remote.oscInPort(), 9160);
}
