#include "RemoteControlTestSupport.h"
#include "UiTestSupport.h"

#include "controls/Chip.h"
#include "controls/SectionHeader.h"
#include "remote/RemoteControl.h"
#include "sheets/OSCGuideSheet.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QGuiApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMimeData>

namespace zelvane {
namespace {

// The command a client configuration names, or an empty text when the text
// is not that configuration.
QString configuredCommand(const QString& configuration)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(configuration.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError)
        return {};
    return document.object()["mcpServers"].toObject()["zelvane"].toObject()["command"].toString();
}

class OSCGuideSheetTest : public zelvane::testing::UiTest {
protected:
    QStringList closes;
};

TEST_F(OSCGuideSheetTest, TheRowsKeepTheirOrderAndTheStringExamplesAreJSONStrings)
{
    const QList<OSCGuideSheet::Example> rows = OSCGuideSheet::oscExamples();
    QStringList addresses;
    for (const OSCGuideSheet::Example& row : rows) {
        addresses << row.address;
        const bool quoted = row.argument.startsWith(u'"');
        const QJsonDocument parsed = QJsonDocument::fromJson("[" + row.argument.toUtf8() + "]");
        EXPECT_EQ(parsed.isArray(), quoted) << row.argument.toStdString();
        if (quoted) {
            EXPECT_EQ(QStringLiteral("\"") + parsed.array().at(0).toString() + QStringLiteral("\""), row.argument);
        }
    }
    EXPECT_EQ(addresses, (QStringList{"/zelvane/page", "/zelvane/page/next", "/zelvane/page/prev", "/zelvane/sign",
                                      "/zelvane/stamp", "/zelvane/open", "/zelvane/export", "/zelvane/undo"}));
    EXPECT_EQ(rows[3].argument, QStringLiteral("\"Direction Technique\""));
    EXPECT_EQ(rows[1].argument, QStringLiteral("(none)"));
    Localization::setCurrent(AppLanguage::fr);
    EXPECT_EQ(OSCGuideSheet::oscExamples()[7].argument, QStringLiteral("(aucun)"));
    EXPECT_EQ(OSCGuideSheet::oscExamples()[4].description,
              QStringLiteral("Apposer un tampon (« approved », « signed », « stagePlot »)"));
}

TEST_F(OSCGuideSheetTest, TheConfigurationIsSevenLinesOfJSONNamingTheRelay)
{
    const QString plain = OSCGuideSheet::mcpConfiguration(QStringLiteral("/opt/zelvane/bin/zelvane-mcp"));
    EXPECT_EQ(plain, QStringLiteral("{\n  \"mcpServers\": {\n    \"zelvane\": {\n"
                                    "      \"command\": \"/opt/zelvane/bin/zelvane-mcp\"\n    }\n  }\n}"));
    for (const QString& path : {QStringLiteral("/home/a b/zelvane-mcp"), QStringLiteral("/tmp/q\"uote/zelvane-mcp"),
                                QStringLiteral("/tmp/back\\slash/zelvane-mcp"), QStringLiteral("/tmp/é\tx/zelvane-mcp")})
        EXPECT_EQ(configuredCommand(OSCGuideSheet::mcpConfiguration(path)), path) << path.toStdString();
}

TEST_F(OSCGuideSheetTest, CopyJSONPutsTheConfigurationOnTheClipboardAndReturnCloses)
{
    AppModel model(false, false);
    OSCGuideSheet sheet(model, [this] { closes << "close"; });
    sheet.show();
    EXPECT_EQ(sheet.width(), 720);
    EXPECT_EQ(sheet.oscChipText(), QStringLiteral("OSC UDP :9160"));
    EXPECT_EQ(sheet.httpChipText(), QStringLiteral("HTTP / MCP :17960"));
    EXPECT_EQ(sheet.addressesTitle(), QStringLiteral("Incoming OSC Addresses (UDP :9160)"));

    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    QTest::mouseClick(sheet.copyButton(), Qt::LeftButton);
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    EXPECT_EQ(data->formats(), QStringList{QStringLiteral("text/plain")});
    EXPECT_EQ(data->text(), sheet.configuration());
    // Run from the build tree, the relay named is the one built there.
    const std::optional<QString> relay = OSCGuideSheet::relayProgramPath();
    ASSERT_TRUE(relay);
    EXPECT_EQ(configuredCommand(data->text()), *relay);
    EXPECT_TRUE(relay->endsWith(QStringLiteral("/src/mcp/zelvane-mcp"))) << relay->toStdString();
    EXPECT_TRUE(QFileInfo(*relay).isExecutable());
    EXPECT_TRUE(closes.isEmpty()) << "copying leaves the sheet open";

    QTest::keyClick(&sheet, Qt::Key_Return);
    EXPECT_EQ(closes, QStringList{QStringLiteral("close")});
}

TEST_F(OSCGuideSheetTest, TheGuideKeepsToItsHeightInBothLanguages)
{
    for (AppLanguage shownLanguage : {AppLanguage::fr, AppLanguage::en}) {
        Localization::setCurrent(shownLanguage);
        AppModel model(false, false);
        OSCGuideSheet sheet(model, [] {});
        sheet.show();
        EXPECT_LE(sheet.height(), OSCGuideSheet::kHeight) << int(shownLanguage);
        // The Close button keeps its margin from the bottom edge.
        EXPECT_LE(sheet.closeButton()->geometry().bottom(), sheet.height() - 20) << int(shownLanguage);
    }
    Localization::setCurrent(AppLanguage::en);
}

TEST_F(OSCGuideSheetTest, TheRelayIsTheOneBesideTheProgramThenTheBuildTreesThenOnPath)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const auto makeProgram = [&root](const QString& relative) {
        const QString path = root.filePath(relative);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n");
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    };
    const QString installed = makeProgram(QStringLiteral("opt/zelvane/bin/zelvane-mcp"));
    const QString built = makeProgram(QStringLiteral("build/src/mcp/zelvane-mcp"));
    const QString onPath = makeProgram(QStringLiteral("path/zelvane-mcp"));
    const QString empty = root.filePath(QStringLiteral("empty"));
    QDir().mkpath(empty);
    const QByteArray savedPath = qgetenv("PATH");
    qputenv("PATH", root.filePath(QStringLiteral("path")).toLocal8Bit());
    EXPECT_EQ(OSCGuideSheet::relayProgramPath(root.filePath(QStringLiteral("opt/zelvane/bin")), built), installed);
    EXPECT_EQ(OSCGuideSheet::relayProgramPath(empty, built), built);
    EXPECT_EQ(OSCGuideSheet::relayProgramPath(empty, root.filePath(QStringLiteral("gone/zelvane-mcp"))), onPath);
    // A file that cannot run is no relay.
    QFile::setPermissions(onPath, QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_EQ(OSCGuideSheet::relayProgramPath(empty, QString()), std::nullopt);
    qputenv("PATH", empty.toLocal8Bit());
    EXPECT_EQ(OSCGuideSheet::relayProgramPath(empty, QString()), std::nullopt);
    qputenv("PATH", savedPath);
    EXPECT_TRUE(OSCGuideSheet::missingRelayText().contains(QStringLiteral("PATH")));
}

TEST_F(OSCGuideSheetTest, TheChipsFollowTheServersWhileTheSheetIsOpen)
{
    auto model = zelvane::testing::modelWithServices();
    RemoteControl* remote = model->remoteControl();
    ASSERT_NE(remote, nullptr);
    ASSERT_TRUE(remote->isOSCRunning());
    OSCGuideSheet sheet(*model, [] {});
    const auto chip = [&](const char* name) { return sheet.findChild<Chip*>(QLatin1String(name))->text(); };
    EXPECT_EQ(chip("oscChip"), QStringLiteral("OSC UDP :") + QString::number(remote->oscInPort()));
    EXPECT_EQ(chip("httpChip"), QStringLiteral("HTTP / MCP :") + QString::number(remote->httpPort()));

    const quint16 osc = zelvane::testing::freeUdpPort();
    const quint16 http = zelvane::testing::freeTcpPort();
    ASSERT_TRUE(remote->startOSCServer(osc));
    ASSERT_TRUE(remote->startHTTPServer(http));
    EXPECT_EQ(chip("oscChip"), QStringLiteral("OSC UDP :") + QString::number(osc));
    EXPECT_EQ(chip("httpChip"), QStringLiteral("HTTP / MCP :") + QString::number(http));
    EXPECT_EQ(sheet.findChild<SectionHeader*>(QStringLiteral("addressesHeader"))->titleLabel()->text(),
              QStringLiteral("INCOMING OSC ADDRESSES (UDP :") + QString::number(osc) + QStringLiteral(")"));
    EXPECT_TRUE(configuredCommand(sheet.configuration()).endsWith(QStringLiteral("zelvane-mcp")));
}

}  // namespace
}  // namespace zelvane
