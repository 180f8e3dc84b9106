#include "sheets/PreferencesView.h"

#include "Localization.h"
#include "appmodel/AppModel.h"
#include "controls/FieldRow.h"
#include "controls/SectionHeader.h"
#include "controls/SeparatorLine.h"
#include "controls/TextButton.h"
#include "sheets/RemotePortSettings.h"
#include "sheets/SheetParts.h"
#include "theme/Theme.h"
#include "update/OsselUpdater.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace zelvane {

using namespace SheetParts;

namespace {

QWidget* divider()
{
    return separatorLine();
}

QWidget* inRow(int spacing, std::initializer_list<QWidget*> widgets)
{
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    for (QWidget* widget : widgets)
        layout->addWidget(widget, 0, Qt::AlignVCenter);
    return row;
}

}  // namespace

PreferencesView::PreferencesView(AppModel& model, QWidget* parent) : QWidget(parent), m_model(model)
{
    setObjectName(QStringLiteral("PreferencesView"));
    setFixedSize(kWidth, kHeight);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 20);
    layout->setSpacing(10);

    // Language and updates.
    layout->addWidget(new SectionHeader(L("Langue & Mises à jour", "Language & Updates")));
    m_language = new QComboBox;
    m_language->setObjectName(QStringLiteral("languagePicker"));
    m_language->setFixedWidth(170);
    for (AppLanguage language : EnumCases<AppLanguage>::all)
        m_language->addItem(label(language), QVariant::fromValue(int(language)));
    m_language->setCurrentIndex(int(m_model.language()));
    connect(m_language, &QComboBox::activated, this, [this](int index) {
        // The window rebuilds this page for the new language.
        m_model.setLanguage(AppLanguage(m_language->itemData(index).toInt()));
    });
    layout->addWidget(new FieldRow(L("Langue", "Language"), 170, m_language));

    m_autoCheck = new QCheckBox(L("Vérifier les mises à jour au lancement", "Check for updates on launch"));
    m_autoCheck->setObjectName(QStringLiteral("autoCheckToggle"));
    m_autoCheck->setFont(Theme::font(11.5));
    setTextColor(m_autoCheck, Theme::text());
    m_autoCheck->setChecked(m_model.updater().autoCheckOnLaunch());
    connect(m_autoCheck, &QCheckBox::toggled, this, [this](bool on) { m_model.updater().setAutoCheckOnLaunch(on); });
    auto* checkNow = new TextButton(L("Vérifier maintenant…", "Check Now…"), [this] {
        m_model.setShowUpdater(true);
        m_model.updater().checkForUpdates(false);
    });
    checkNow->setObjectName(QStringLiteral("checkNow"));
    checkNow->setSymbol(QStringLiteral("arrow.down.circle"));
    checkNow->setCompact(true);
    m_checkNow = checkNow;
    auto* updates = new QHBoxLayout;
    updates->setSpacing(10);
    updates->addWidget(m_autoCheck);
    updates->addStretch(1);
    updates->addWidget(checkNow);
    layout->addLayout(updates);
    layout->addWidget(divider());

    // Display.
    layout->addWidget(new SectionHeader(L("Affichage & Édition PDF", "Display & PDF Editing")));
    m_pdfFrames = toggle(L("Encadrer les blocs de texte PDF éditables", "Highlight editable PDF text blocks"),
                         m_model.showPDFTextBoxes(), [](AppModel& m, bool on) { m.setShowPDFTextBoxes(on); });
    m_pdfFrames->setObjectName(QStringLiteral("pdfFramesToggle"));
    m_sidebar = toggle(L("Barre latérale des pages et calques", "Pages and layers sidebar"), m_model.showSidebar(),
                       [](AppModel& m, bool on) { m.setShowSidebar(on); });
    m_sidebar->setObjectName(QStringLiteral("sidebarToggle"));
    m_inspector = toggle(L("Inspecteur vectoriel détaillé", "Detailed vector inspector"), m_model.showInspector(),
                         [](AppModel& m, bool on) { m.setShowInspector(on); });
    m_inspector->setObjectName(QStringLiteral("inspectorToggle"));
    for (QCheckBox* box : {m_pdfFrames, m_sidebar, m_inspector})
        layout->addWidget(box);
    connect(&m_model, &AppModel::showPDFTextBoxesChanged, this, &PreferencesView::refreshToggles);
    connect(&m_model, &AppModel::showSidebarChanged, this, &PreferencesView::refreshToggles);
    connect(&m_model, &AppModel::showInspectorChanged, this, &PreferencesView::refreshToggles);
    connect(&m_model.updater(), &OsselUpdater::autoCheckOnLaunchChanged, this, &PreferencesView::refreshToggles);
    layout->addWidget(divider());

    // Ports.
    layout->addWidget(new SectionHeader(L("Ports OSC, API HTTP & MCP", "OSC, HTTP API & MCP Ports")));
    m_oscPort = portField(QStringLiteral("9160"));
    m_oscPort->setObjectName(QStringLiteral("oscPortField"));
    auto* apply = new TextButton(L("Appliquer", "Apply"), [this] { applyPorts(); });
    apply->setObjectName(QStringLiteral("applyPorts"));
    apply->setCompact(true);
    m_apply = apply;
    auto* ports = new QVBoxLayout;
    ports->setSpacing(6);
    ports->addWidget(new FieldRow(L("Port OSC entrant (UDP)", "Incoming OSC Port (UDP)"), 170,
                                  inRow(6, {m_oscPort, apply})));
    m_httpPort = portField(QStringLiteral("17960"));
    m_httpPort->setObjectName(QStringLiteral("httpPortField"));
    ports->addWidget(new FieldRow(QStringLiteral("Port HTTP / MCP (127.0.0.1)"), 170,
                                  inRow(6, {m_httpPort, label(QStringLiteral("/v1"), 11, QFont::Normal,
                                                              Theme::textDim(), false, true)})));
    m_feedback = label({}, 11, QFont::Normal, Theme::textDim(), true);
    m_feedback->setObjectName(QStringLiteral("portFeedback"));
    m_feedback->hide();
    ports->addWidget(m_feedback);
    layout->addLayout(ports);
    layout->addWidget(divider());

    // Privacy.
    layout->addWidget(new SectionHeader(L("Réseau & Confidentialité", "Network & Privacy")));
    layout->addWidget(label(
        L("Zelvane travaille intégralement en local sur les fichiers SVG et PDF. Il écoute uniquement les commandes "
          "locales de régie (OSC UDP :9160, HTTP 127.0.0.1:17960) et le relais MCP local (zelvane-mcp). Aucune "
          "télémétrie, aucune connexion externe hors vérification optionnelle des mises à jour GitHub.",
          "Zelvane processes SVG and PDF files strictly locally. It only listens to local show-control commands (OSC "
          "UDP :9160, HTTP 127.0.0.1:17960) and the local MCP relay (zelvane-mcp). Zero telemetry, zero external "
          "connections besides optional GitHub update checks."),
        11, QFont::Normal, Theme::textDim(), true));
    layout->addStretch(1);

    // Tab goes through the page in the order it reads.
    const QList<QWidget*> order{m_language, m_autoCheck, checkNow, m_pdfFrames, m_sidebar,
                                m_inspector, m_oscPort,   apply,    m_httpPort};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    fillPortFields();
}

QCheckBox* PreferencesView::toggle(const QString& title, bool on, void (*apply)(AppModel&, bool))
{
    auto* box = new QCheckBox(title);
    box->setFont(Theme::font(11.5));
    setTextColor(box, Theme::text());
    box->setChecked(on);
    connect(box, &QCheckBox::toggled, this, [this, apply](bool checked) { apply(m_model, checked); });
    return box;
}

QLineEdit* PreferencesView::portField(const QString& placeholder)
{
    auto* field = new QLineEdit;
    field->setPlaceholderText(placeholder);
    field->setFont(Theme::font(12, QFont::Normal, true));
    field->setFixedWidth(80 + 16);
    field->setStyleSheet(QStringLiteral("QLineEdit { background: rgba(255, 255, 255, 13); border: none; "
                                        "border-radius: 5px; padding: 4px 8px; color: %1; }")
                             .arg(Theme::text().name()));
    connect(field, &QLineEdit::returnPressed, this, &PreferencesView::applyPorts);
    return field;
}

void PreferencesView::refreshToggles()
{
    const QSignalBlocker a(m_pdfFrames), b(m_sidebar), c(m_inspector), d(m_autoCheck);
    m_pdfFrames->setChecked(m_model.showPDFTextBoxes());
    m_sidebar->setChecked(m_model.showSidebar());
    m_inspector->setChecked(m_model.showInspector());
    m_autoCheck->setChecked(m_model.updater().autoCheckOnLaunch());
}

void PreferencesView::fillPortFields()
{
    m_oscPort->setText(QString::number(RemotePortSettings::oscPort(m_model)));
    m_httpPort->setText(QString::number(RemotePortSettings::httpPort(m_model)));
}

void PreferencesView::applyPorts()
{
    const RemotePortSettings::ApplyOutcome outcome =
        RemotePortSettings::applyPorts(m_model.remoteControl(), m_oscPort->text(), m_httpPort->text());
    m_model.flash(outcome.message());
    m_feedback->setText(outcome.message(QStringLiteral("\n")));
    setTextColor(m_feedback, outcome.allApplied() ? Theme::alive() : Theme::warning());
    m_feedback->show();
}

void PreferencesView::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), Theme::panel());
}

void PreferencesView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        fillPortFields();
}

}  // namespace zelvane
