#include "RemoteControlTestSupport.h"
#include "UiTestSupport.h"

#include "remote/RemoteControl.h"
#include "controls/FocusRing.h"
#include "sheets/PreferencesView.h"
#include "sheets/RemotePortSettings.h"
#include "update/OsselUpdater.h"
#include "window/SettingsWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTcpSocket>
#include <cerrno>
#include <cstring>

namespace zelvane {
namespace {

using RemotePortSettings::parsePortField;
using Kind = RemotePortSettings::SideOutcome::Kind;

TEST(PortFieldTest, SpacesAndTabsAroundAreIgnoredAndOnlyDecimalPortsRead)
{
    const struct {
        const char* text;
        std::optional<quint16> port;
    } table[] = {
        {"9200", 9200},   {" 9200\t", 9200}, {"+9200", 9200},  {"009200", 9200},       {"65535", 65535},
        {"0", 0},         {"-0", 0},         {"+0", 0},        {"65536", std::nullopt}, {"-5", std::nullopt},
        {"", std::nullopt}, {" ", std::nullopt}, {"abc", std::nullopt}, {"9200x", std::nullopt},
        {"+", std::nullopt}, {"9200\n", std::nullopt}, {"92 00", std::nullopt}, {"٩٢٠٠", std::nullopt},
    };
    for (const auto& row : table)
        EXPECT_EQ(parsePortField(QString::fromUtf8(row.text)), row.port) << row.text;
}

// The settings page on a model whose servers run on ports the system chose.
class PreferencesViewTest : public zelvane::testing::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        model = zelvane::testing::modelWithServices();
        remote = model->remoteControl();
        ASSERT_NE(remote, nullptr);
        ASSERT_TRUE(remote->isOSCRunning());
        ASSERT_TRUE(remote->isHTTPRunning());
        settings = std::make_unique<SettingsWindow>(*model);
        settings->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(settings.get()));
    }
    void TearDown() override
    {
        settings.reset();
        model.reset();
    }

    PreferencesView* view() const { return settings->view(); }

    void type(QLineEdit* field, const QString& text)
    {
        field->setFocus();
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, text);
    }

    // True when the API answers GET /v1/state on `port`.
    static bool apiAnswers(quint16 port)
    {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        if (!socket.waitForConnected(3000))
            return false;
        socket.write("GET /v1/state HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) +
                     "\r\nConnection: close\r\n\r\n");
        QByteArray reply;
        // The answer comes from the main thread: let it run.
        const bool ended = QTest::qWaitFor([&] {
            reply += socket.readAll();
            return reply.contains("\r\n\r\n") || socket.state() == QAbstractSocket::UnconnectedState;
        }, 5000);
        return ended && reply.startsWith("HTTP/1.1 200");
    }

    std::unique_ptr<AppModel> model;
    RemoteControl* remote = nullptr;
    std::unique_ptr<SettingsWindow> settings;
};

TEST_F(PreferencesViewTest, TheWindowIsFiveHundredSquareAndFillsThePortsFromTheServers)
{
    EXPECT_EQ(settings->size(), QSize(500, 500));
    EXPECT_EQ(view()->oscPortField()->text(), QString::number(remote->oscInPort()));
    EXPECT_EQ(view()->httpPortField()->text(), QString::number(remote->httpPort()));

    // Unapplied text is lost when the window comes back.
    type(view()->oscPortField(), QStringLiteral("1234"));
    settings->close();
    settings->show();
    EXPECT_EQ(view()->oscPortField()->text(), QString::number(remote->oscInPort()));
}

TEST_F(PreferencesViewTest, ReturnInEitherFieldAppliesBothPortsAsTyped)
{
    const quint16 osc = zelvane::testing::freeUdpPort();
    const quint16 http = zelvane::testing::freeTcpPort();
    const QString oscText = QStringLiteral(" ") + QString::number(osc) + QStringLiteral("\t");
    const QString httpText = QStringLiteral("+00") + QString::number(http);
    view()->oscPortField()->setText(oscText);
    type(view()->httpPortField(), httpText);
    QTest::keyClick(view()->httpPortField(), Qt::Key_Return);

    EXPECT_EQ(remote->oscInPort(), osc);
    EXPECT_EQ(remote->httpPort(), http);
    EXPECT_TRUE(apiAnswers(http));
    const QString expected = QStringLiteral("OSC (:") + QString::number(osc) + QStringLiteral(") and HTTP/MCP (:") +
                             QString::number(http) + QStringLiteral(") ports updated");
    EXPECT_EQ(model->flashMessage(), std::optional<QString>(expected));
    EXPECT_EQ(view()->portFeedback()->text(), expected);
    EXPECT_EQ(view()->oscPortField()->text(), oscText) << "the fields keep what was typed";

    // The Apply button does the same; the same ports again are fine.
    QTest::mouseClick(view()->applyButton(), Qt::LeftButton);
    EXPECT_EQ(model->flashMessage(), std::optional<QString>(expected));
    EXPECT_EQ(remote->oscInPort(), osc);
}

TEST_F(PreferencesViewTest, ARefusedFieldIsReportedAndTheOtherSideIsStillApplied)
{
    const quint16 oldOSC = remote->oscInPort();
    for (const QString& refused : {QStringLiteral("abc"), QStringLiteral("0"), QStringLiteral("-0"), QString(),
                                   QStringLiteral("65536")}) {
        const quint16 http = zelvane::testing::freeTcpPort();
        view()->oscPortField()->setText(refused);
        view()->httpPortField()->setText(QString::number(http));
        QTest::keyClick(view()->oscPortField(), Qt::Key_Return);

        EXPECT_EQ(remote->oscInPort(), oldOSC);
        EXPECT_TRUE(remote->isOSCRunning());
        EXPECT_EQ(remote->httpPort(), http);
        const QString message = model->flashMessage().value_or(QString());
        const QString osc = refused.isEmpty() ? QStringLiteral("OSC port field is empty")
                                              : QStringLiteral("\"") + refused + QStringLiteral("\" is not a valid OSC port");
        EXPECT_EQ(message, osc + QStringLiteral(", still on :") + QString::number(oldOSC) +
                               QStringLiteral(" · HTTP/MCP on :") + QString::number(http));
        EXPECT_EQ(view()->portFeedback()->text(), QString(message).replace(QStringLiteral(" · "), QStringLiteral("\n")));
    }
}

TEST_F(PreferencesViewTest, APortHeldElsewhereLeavesTheOldServersAnswering)
{
    QUdpSocket heldUdp;
    ASSERT_TRUE(heldUdp.bind(QHostAddress::AnyIPv4, 0, QUdpSocket::DontShareAddress));
    QTcpServer heldTcp;
    ASSERT_TRUE(heldTcp.listen(QHostAddress::LocalHost, 0));
    const quint16 oldOSC = remote->oscInPort();
    const quint16 oldHTTP = remote->httpPort();

    view()->oscPortField()->setText(QString::number(heldUdp.localPort()));
    view()->httpPortField()->setText(QString::number(heldTcp.serverPort()));
    QTest::mouseClick(view()->applyButton(), Qt::LeftButton);

    EXPECT_EQ(remote->oscInPort(), oldOSC);
    EXPECT_TRUE(remote->isOSCRunning());
    EXPECT_EQ(remote->httpPort(), oldHTTP);
    EXPECT_TRUE(apiAnswers(oldHTTP));
    const QString message = model->flashMessage().value_or(QString());
    EXPECT_EQ(message, QStringLiteral("OSC port %1 unavailable (%2), still on :%3 · HTTP/MCP port %4 unavailable (%2), "
                                      "still on :%5")
                           .arg(heldUdp.localPort())
                           .arg(QString::fromLocal8Bit(strerror(EADDRINUSE)))
                           .arg(oldOSC)
                           .arg(heldTcp.serverPort())
                           .arg(oldHTTP));
}

TEST_F(PreferencesViewTest, EscapeAndCtrlWCloseTheWindow)
{
    const QList<std::pair<Qt::Key, Qt::KeyboardModifiers>> keys{{Qt::Key_Escape, Qt::NoModifier},
                                                                {Qt::Key_W, Qt::ControlModifier}};
    for (const auto& [key, modifiers] : keys) {
        settings->show();
        settings->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(settings.get()));
        // From a field too: the field does not keep the key.
        view()->oscPortField()->setFocus();
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
        EXPECT_TRUE(QTest::qWaitFor([this] { return !settings->isVisible(); }, 5000)) << int(key);
    }
}

TEST_F(PreferencesViewTest, TheLanguagePickerSwitchesTheWindowAtOnce)
{
    Localization::setCurrent(AppLanguage::fr);
    model->setLanguage(AppLanguage::fr);
    ASSERT_EQ(settings->windowTitle(), QStringLiteral("Réglages"));
    QComboBox* picker = view()->languagePicker();
    ASSERT_EQ(picker->count(), 3);
    EXPECT_EQ(picker->itemText(0), QStringLiteral("Système"));
    EXPECT_EQ(picker->currentText(), QStringLiteral("Français"));

    picker->setFocus();
    QTest::keyClick(picker, Qt::Key_Down);
    EXPECT_EQ(model->language(), AppLanguage::en);
    EXPECT_EQ(settings->windowTitle(), QStringLiteral("Settings"));
    // The view is rebuilt in the new language on a later turn.
    EXPECT_TRUE(QTest::qWaitFor([&] { return view()->languagePicker()->currentText() == QStringLiteral("English"); }));
    EXPECT_EQ(view()->languagePicker()->currentText(), QStringLiteral("English"));
    EXPECT_EQ(view()->autoCheckToggle()->text(), QStringLiteral("Check for updates on launch"));
}

TEST_F(PreferencesViewTest, TheTogglesWriteAndFollowTheModel)
{
    QTest::mouseClick(view()->sidebarToggle(), Qt::LeftButton, {}, QPoint(8, view()->sidebarToggle()->height() / 2));
    EXPECT_FALSE(model->showSidebar());
    model->setShowInspector(false);
    EXPECT_FALSE(view()->inspectorToggle()->isChecked());
    view()->pdfFramesToggle()->click();
    EXPECT_FALSE(model->showPDFTextBoxes());
    const bool autoCheck = model->updater().autoCheckOnLaunch();
    view()->autoCheckToggle()->click();
    EXPECT_EQ(model->updater().autoCheckOnLaunch(), !autoCheck);

    // "Check Now…" shows the update sheet and starts a visible check.
    QTest::mouseClick(view()->checkNowButton(), Qt::LeftButton);
    EXPECT_TRUE(model->showUpdater());
    EXPECT_FALSE(model->updater().state().is(UpdateState::Kind::idle));
}

TEST(PortSettingsWithoutServicesTest, ApplyingSaysTheRemoteControlIsOff)
{
    ASSERT_TRUE(zelvane::testing::ensureTestWidgetApplication());
    zelvane::testing::ScopedLanguage language{AppLanguage::en};
    const RemotePortSettings::ApplyOutcome outcome =
        RemotePortSettings::applyPorts(nullptr, QStringLiteral("9200"), QStringLiteral("17961"));
    EXPECT_EQ(outcome.osc.kind, Kind::noServices);
    EXPECT_EQ(outcome.http.kind, Kind::noServices);
    EXPECT_FALSE(outcome.allApplied());
    EXPECT_EQ(outcome.message(),
              QStringLiteral("OSC: remote control is off · HTTP/MCP: remote control is off"));
}

TEST_F(PreferencesViewTest, TabReachesCheckNowAndApplyInTheOrderShown)
{
    settings->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(settings.get()));
    view()->oscPortField()->setFocus(Qt::TabFocusReason);
    // Apply comes right after the field it applies, marked.
    QTest::keyClick(settings->windowHandle(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), view()->applyButton());
    EXPECT_EQ(FocusRing::markedWidget(), view()->applyButton());
    QList<QWidget*> reached;
    for (int i = 0; i < 9; ++i) {
        QTest::keyClick(settings->windowHandle(), Qt::Key_Tab);
        reached.append(QApplication::focusWidget());
    }
    // Round the page from the top, Check Now after its toggle.
    ASSERT_TRUE(reached.contains(view()->checkNowButton()));
    EXPECT_EQ(reached.value(reached.indexOf(view()->checkNowButton()) - 1), view()->autoCheckToggle());
    EXPECT_EQ(reached.last(), view()->applyButton());

    // Space presses the button that has the keys.
    view()->checkNowButton()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(settings->windowHandle(), Qt::Key_Space);
    EXPECT_TRUE(model->showUpdater());
}

}  // namespace
}  // namespace zelvane
