#include "sheets/OSCGuideSheet.h"

#include "Localization.h"
#include "appmodel/AppModel.h"
#include "controls/Chip.h"
#include "controls/SectionHeader.h"
#include "controls/SeparatorLine.h"
#include "controls/TextButton.h"
#include "sheets/RemotePortSettings.h"
#include "sheets/SheetParts.h"
#include "theme/Theme.h"

#include <QCoreApplication>
#include <QDir>
#include <QFontMetrics>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QJsonDocument>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QStandardPaths>
#include <QVBoxLayout>

#ifndef ZELVANE_BUILD_TREE_RELAY
#define ZELVANE_BUILD_TREE_RELAY ""
#endif

namespace zelvane {

using namespace SheetParts;

namespace {

constexpr const char* kRelayName = "zelvane-mcp";

// A text as a JSON string literal, quotes included.
QString jsonString(const QString& text)
{
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    // "[" + literal + "]"
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

QWidget* exampleRow(const OSCGuideSheet::Example& example, int argumentWidth)
{
    auto* row = new QWidget;
    row->setObjectName(QStringLiteral("oscRow"));
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    QLabel* address = label(example.address, 11, QFont::DemiBold, Theme::osc(), false, true);
    address->setObjectName(QStringLiteral("address"));
    address->setFixedWidth(185);
    layout->addWidget(address, 0, Qt::AlignTop);
    QLabel* argument = label(example.argument, 10.5, QFont::Normal, Theme::accent(), false, true);
    argument->setObjectName(QStringLiteral("argument"));
    argument->setFixedWidth(argumentWidth);
    layout->addWidget(argument, 0, Qt::AlignTop);
    QLabel* description = label(example.description, 11, QFont::Normal, Theme::textDim(), true);
    description->setObjectName(QStringLiteral("description"));
    layout->addWidget(description, 1, Qt::AlignTop);
    return row;
}

}  // namespace

QList<OSCGuideSheet::Example> OSCGuideSheet::oscExamples()
{
    const QString none = L("(aucun)", "(none)");
    return {
        {QStringLiteral("/zelvane/page"), QStringLiteral("1..N"),
         L("Aller à la page n°1..N du document multipage", "Jump to page #1..N of the multi-page document")},
        {QStringLiteral("/zelvane/page/next"), none, L("Passer à la page suivante", "Go to next page")},
        {QStringLiteral("/zelvane/page/prev"), none, L("Revenir à la page précédente", "Go to previous page")},
        {QStringLiteral("/zelvane/sign"), QStringLiteral("\"Direction Technique\""),
         L("Apposer une signature calligraphique sur la page active",
           "Place a calligraphic signature on the active page")},
        {QStringLiteral("/zelvane/stamp"), QStringLiteral("\"approved\""),
         L("Apposer un tampon (« approved », « signed », « stagePlot »)", "Place an approval or stage stamp")},
        {QStringLiteral("/zelvane/open"), QStringLiteral("\"/chemin/plan.pdf\""),
         L("Ouvrir un document SVG ou PDF", "Open an SVG or PDF document")},
        {QStringLiteral("/zelvane/export"), QStringLiteral("\"/tmp/sortie.pdf\""),
         L("Enregistrer en PDF vectoriel multipage, SVG ou PNG", "Export to multi-page vector PDF, SVG, or PNG")},
        {QStringLiteral("/zelvane/undo"), none, L("Annuler la dernière opération", "Undo last operation")},
    };
}

std::optional<QString> OSCGuideSheet::relayProgramPath()
{
    return relayProgramPath(QCoreApplication::applicationDirPath(), QStringLiteral(ZELVANE_BUILD_TREE_RELAY));
}

std::optional<QString> OSCGuideSheet::relayProgramPath(const QString& programFolder, const QString& buildTreeRelay)
{
    const auto runnable = [](const QString& path) {
        const QFileInfo info(path);
        return !path.isEmpty() && info.isFile() && info.isExecutable();
    };
    const QString beside = QDir(programFolder).filePath(QLatin1String(kRelayName));
    if (runnable(beside))
        return QFileInfo(beside).absoluteFilePath();
    if (runnable(buildTreeRelay))
        return QFileInfo(buildTreeRelay).absoluteFilePath();
    const QString onPath = QStandardPaths::findExecutable(QLatin1String(kRelayName));
    if (!onPath.isEmpty())
        return onPath;
    return std::nullopt;
}

QString OSCGuideSheet::missingRelayText()
{
    return L("zelvane-mcp est introuvable : ni à côté de ce programme, ni dans son dossier de compilation, ni dans "
             "le PATH. Installez Zelvane ou compilez zelvane-mcp, puis rouvrez ce guide.",
             "zelvane-mcp was not found beside this program, in its build tree or on PATH. Install Zelvane or build "
             "zelvane-mcp, then open this guide again.");
}

QString OSCGuideSheet::mcpConfiguration(const QString& relayPath)
{
    return QStringLiteral("{\n"
                          "  \"mcpServers\": {\n"
                          "    \"zelvane\": {\n"
                          "      \"command\": ") +
           jsonString(relayPath) +
           QStringLiteral("\n"
                          "    }\n"
                          "  }\n"
                          "}");
}

OSCGuideSheet::OSCGuideSheet(AppModel& model, QWidget* parent)
    : OSCGuideSheet(model, [&model] { model.setShowOSCGuide(false); }, parent)
{
}

OSCGuideSheet::OSCGuideSheet(AppModel& model, std::function<void()> close, QWidget* parent)
    : SheetView(std::move(close), parent), m_model(model)
{
    const std::optional<QString> relay = relayProgramPath();
    if (relay)
        m_configuration = mcpConfiguration(*relay);
    setObjectName(QStringLiteral("OSCGuideSheetView"));
    // The regions sit 10 points apart, so that the guide keeps to its 460
    // points with the taller type of this platform.
    auto* layout = column(10);
    layout->setContentsMargins(20, 20, 20, 20);
    setLayout(layout);

    // Title row.
    auto* titleRow = new QHBoxLayout;
    auto* titles = column(2);
    titles->addWidget(label(L("Pilotage OSC, API HTTP & Serveur MCP — Zelvane", "OSC, HTTP API & MCP Server — Zelvane"),
                            15, QFont::DemiBold, Theme::text()));
    titles->addWidget(label(L("S'intègre directement aux logiciels de régie, aux médias et aux agents IA.",
                              "Integrates directly with show-control and media software and with AI agents."),
                            11.5, QFont::Normal, Theme::textDim(), true));
    titleRow->addLayout(titles, 1);
    m_oscChip = new Chip({}, Theme::osc(), false);
    m_oscChip->setObjectName(QStringLiteral("oscChip"));
    titleRow->addWidget(m_oscChip);
    m_httpChip = new Chip({}, Theme::tcp(), false);
    m_httpChip->setObjectName(QStringLiteral("httpChip"));
    titleRow->addWidget(m_httpChip);
    layout->addLayout(titleRow);
    layout->addWidget(separatorLine());

    // Addresses.
    m_addresses = new SectionHeader({});
    m_addresses->setObjectName(QStringLiteral("addressesHeader"));
    layout->addWidget(m_addresses);
    auto* table = new RoundedBox(Theme::lane(), 6);
    table->setObjectName(QStringLiteral("addressTable"));
    auto* rows = column(5);
    rows->setContentsMargins(10, 10, 10, 10);
    table->setLayout(rows);
    // The example column is 120 points, or as wide as its longest example.
    const QList<Example> examples = oscExamples();
    int argumentWidth = 120;
    const QFontMetrics argumentMetrics(Theme::font(10.5, QFont::Normal, true));
    for (const Example& example : examples)
        argumentWidth = std::max(argumentWidth, argumentMetrics.horizontalAdvance(example.argument) + 2);
    for (const Example& example : examples)
        rows->addWidget(exampleRow(example, argumentWidth));
    layout->addWidget(table);

    // The client configuration.
    auto* copy = new TextButton(L("Copier JSON", "Copy JSON"), [this] { copyPlainText(m_configuration); });
    copy->setObjectName(QStringLiteral("copyJSON"));
    copy->setSymbol(QStringLiteral("doc.on.doc"));
    copy->setCompact(true);
    // Nothing to copy without a relay to name.
    copy->setEnabled(relay.has_value());
    m_copyButton = copy;
    layout->addWidget(new SectionHeader(L("Configuration MCP (zelvane-mcp)", "MCP Configuration (zelvane-mcp)"), copy));
    auto* configBox = new RoundedBox(Theme::lane(), 6);
    auto* configLayout = column(0);
    configLayout->setContentsMargins(10, 10, 10, 10);
    configBox->setLayout(configLayout);
    QLabel* config = relay ? label(m_configuration, 10.5, QFont::Normal, Theme::text(), false, true)
                           : label(missingRelayText(), 11, QFont::Normal, Theme::textDim(), true);
    config->setObjectName(QStringLiteral("configuration"));
    config->setTextInteractionFlags(Qt::TextSelectableByMouse);
    config->setWordWrap(true);
    configLayout->addWidget(config);
    layout->addWidget(configBox);

    // Buttons.
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_closeButton = pushButton(L("Fermer", "Close"), "close", [this] {
        closeSheet();
    }, true);
    buttons->addWidget(m_closeButton);
    layout->addLayout(buttons);

    refreshPorts();
    RemotePortSettings::whenPortsChange(m_model, this, [this] { refreshPorts(); });
    fitHeightToContent(this, kWidth);
    // Longer texts (French) wrap a description onto a second line: the
    // regions and rows then sit closer, so the guide still keeps to its 460
    // points.
    if (height() > kHeight) {
        layout->setSpacing(6);
        rows->setSpacing(2);
        fitHeightToContent(this, kWidth);
    }
}

QString OSCGuideSheet::oscChipText() const
{
    return QStringLiteral("OSC UDP :") + QString::number(RemotePortSettings::oscPort(m_model));
}

QString OSCGuideSheet::httpChipText() const
{
    return QStringLiteral("HTTP / MCP :") + QString::number(RemotePortSettings::httpPort(m_model));
}

QString OSCGuideSheet::addressesTitle() const
{
    const QString port = QString::number(RemotePortSettings::oscPort(m_model));
    return L(QStringLiteral("Adresses OSC entrantes (UDP :") + port + QLatin1Char(')'),
             QStringLiteral("Incoming OSC Addresses (UDP :") + port + QLatin1Char(')'));
}

void OSCGuideSheet::refreshPorts()
{
    m_oscChip->setText(oscChipText());
    m_httpChip->setText(httpChipText());
    m_addresses->titleLabel()->setText(addressesTitle().toUpper());
}

}  // namespace zelvane
