#include "bars/StatusBar.h"

#include "AppVersion.h"
#include "Localization.h"
#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "bars/BarParts.h"
#include "bars/StatusSummary.h"
#include "controls/ActivitySpinner.h"
#include "controls/Chip.h"
#include "remote/RemoteControl.h"
#include "theme/Theme.h"
#include "update/OsselUpdater.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

namespace zelvane {

namespace {

constexpr quint16 kDefaultOSCPort = 9160;

QLabel* monoLabel(double size, QFont::Weight weight, const QColor& color)
{
    auto* label = new QLabel;
    label->setTextFormat(Qt::PlainText);
    label->setFont(Theme::font(size, weight, true));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    return label;
}

QHBoxLayout* group(int spacing)
{
    auto* layout = new QHBoxLayout;
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

QString versionText()
{
    const AppVersion& version = AppVersion::current();
    return version.build ? version.version + QStringLiteral(" (") + *version.build + QLatin1Char(')')
                         : version.version;
}

}  // namespace

StatusBar::StatusBar(AppModel& model, QWidget* parent) : QWidget(parent), m_model(model)
{
    setFixedHeight(kHeight);
    const QFont help = Theme::font(10.5, QFont::Normal, true);

    m_kind = new Chip(QString(), Theme::accent());
    m_kind->setObjectName(QStringLiteral("kindChip"));
    // Turns while a file opened from the window is read.
    m_opening = new ActivitySpinner(12);
    m_opening->setObjectName(QStringLiteral("openingSpinner"));
    m_opening->hide();
    m_message = new ElidedLabel(Theme::font(11));
    m_message->setObjectName(QStringLiteral("statusText"));

    m_previous = new SymbolButton(QStringLiteral("chevron.left"), 10, Theme::text(), [this] { previousPage(); });
    m_previous->setObjectName(QStringLiteral("previousPage"));
    const QString previousKeys = singleKeysText(SingleKeyAction::previousPage);
    m_previous->setToolTip(L(QStringLiteral("Page précédente (") + previousKeys + QLatin1Char(')'),
                             QStringLiteral("Previous page (") + previousKeys + QLatin1Char(')')));
    m_page = monoLabel(10.5, QFont::DemiBold, Theme::text());
    m_page->setObjectName(QStringLiteral("pageText"));
    m_next = new SymbolButton(QStringLiteral("chevron.right"), 10, Theme::text(), [this] { nextPage(); });
    m_next->setObjectName(QStringLiteral("nextPage"));
    const QString nextKeys = singleKeysText(SingleKeyAction::nextPage);
    m_next->setToolTip(L(QStringLiteral("Page suivante (") + nextKeys + QLatin1Char(')'),
                         QStringLiteral("Next page (") + nextKeys + QLatin1Char(')')));

    m_summary = monoLabel(10.5, QFont::Normal, Theme::textFaint());
    m_summary->setObjectName(QStringLiteral("summaryText"));

    m_osc = new PlainTextButton(QString(), help, Theme::osc(), [this] { m_model.setShowOSCGuide(true); });
    m_osc->setObjectName(QStringLiteral("oscGuide"));
    m_osc->setToolTip(L("Guide des commandes OSC, API HTTP et MCP", "OSC Commands, HTTP API, and MCP Guide"));
    auto* userGuide = new PlainTextButton(L("? aide", "? help"), help, Theme::textFaint(),
                                          [this] { m_model.setShowHelp(true); });
    userGuide->setObjectName(QStringLiteral("userGuide"));
    userGuide->setToolTip(L("Guide d'utilisation (", "User Guide (") + shortcutText(EditorCommand::help) +
                          QLatin1Char(')'));
    const QString shortcutsKey = shortcutText(EditorCommand::keyboardShortcuts);
    auto* shortcuts = new PlainTextButton(shortcutsKey + L(" raccourcis", " shortcuts"), help, Theme::textFaint(),
                                          [this] { m_model.setShowShortcuts(true); });
    shortcuts->setObjectName(QStringLiteral("shortcuts"));
    shortcuts->setToolTip(L("Raccourcis clavier (", "Keyboard Shortcuts (") + shortcutsKey + QLatin1Char(')'));
    auto* version = new PlainTextButton(QStringLiteral("v") + versionText(), help, Theme::textDim(),
                                        [this] { m_model.setShowAbout(true); });
    version->setObjectName(QStringLiteral("version"));
    version->setToolTip(L("À propos de Zelvane ", "About Zelvane ") + versionText());
    m_update = new PlainTextButton(QString(), Theme::font(10, QFont::Bold, true), Theme::background(),
                                   [this] { m_model.setShowUpdater(true); });
    m_update->setObjectName(QStringLiteral("updateBadge"));
    m_update->setCapsule(Theme::accent(), 6, 1.5);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 0, 12, 0);
    layout->setSpacing(14);
    auto* kindGroup = group(6);
    kindGroup->addWidget(m_kind);
    kindGroup->addWidget(m_opening);
    kindGroup->addWidget(m_message, 1);
    // The status line takes the free room, which pushes the rest right.
    layout->addLayout(kindGroup, 1);
    auto* pageGroup = group(6);
    pageGroup->addWidget(m_previous);
    pageGroup->addWidget(m_page);
    pageGroup->addWidget(m_next);
    layout->addLayout(pageGroup);
    layout->addWidget(new BarDivider(12));
    layout->addWidget(m_summary);
    layout->addWidget(new BarDivider(12));
    auto* helpRow = group(12);
    for (QWidget* entry : {static_cast<QWidget*>(m_osc), static_cast<QWidget*>(userGuide),
                           static_cast<QWidget*>(shortcuts), static_cast<QWidget*>(version),
                           static_cast<QWidget*>(m_update)})
        helpRow->addWidget(entry);
    layout->addLayout(helpRow);

    VectorController& controller = model.controller();
    connect(&model, &AppModel::flashMessageChanged, this, &StatusBar::refresh);
    connect(&model, &AppModel::openingFileNameChanged, this, &StatusBar::refresh);
    connect(&controller, &VectorController::openProgressChanged, this, &StatusBar::refreshOpening);
    connect(&controller, &VectorController::statusMessageChanged, this, &StatusBar::refresh);
    connect(&controller, &VectorController::lastErrorChanged, this, &StatusBar::refresh);
    connect(&controller, &VectorController::documentChanged, this, &StatusBar::refresh);
    connect(&controller, &VectorController::currentPageIndexChanged, this, &StatusBar::refresh);
    connect(&controller, &VectorController::selectionChanged, this, &StatusBar::refresh);
    connect(&model.updater(), &OsselUpdater::stateChanged, this, &StatusBar::refresh);
    refresh();
}

QString StatusBar::shownText() const
{
    return m_message->text();
}

void StatusBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Theme::panel());
    painter.fillRect(QRect(0, 0, width(), 1), Theme::separator());
}

void StatusBar::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // The receiver may have moved to another port while hidden.
    refresh();
}

quint16 StatusBar::oscPort() const
{
    if (const RemoteControl* remote = m_model.remoteControl())
        return remote->oscInPort();
    return kDefaultOSCPort;
}

void StatusBar::refreshOpening()
{
    const std::optional<QString>& opening = m_model.openingFileName();
    if (!opening)
        return;
    QString counts;
    // The pages read so far, once the import knows how many there are.
    if (const auto& progress = m_model.controller().openProgress())
        counts = QStringLiteral(" %1/%2 pages").arg(progress->pagesRead).arg(progress->pageCount);
    m_message->setText(L(QStringLiteral("Ouverture de ") + *opening + QStringLiteral("…") + counts,
                         QStringLiteral("Opening ") + *opening + QStringLiteral("…") + counts));
}

void StatusBar::refresh()
{
    const VectorController& controller = m_model.controller();
    const VectorDocument document = controller.document();
    const qsizetype index = controller.currentPageIndex();

    const QString kind = StatusSummary::kindText(document);
    m_kind->setText(kind);
    m_kind->setTint(kind == QStringLiteral("PDF") ? Theme::tcp() : Theme::accent());
    const std::optional<QString>& flash = m_model.flashMessage();
    if (m_model.openingFileName()) {
        m_opening->show();
        refreshOpening();
        m_message->setColor(Theme::text());
    } else {
        m_opening->hide();
        m_message->setText(flash ? *flash : controller.statusMessage());
        m_message->setColor(controller.lastError() ? Theme::danger() : Theme::textDim());
    }

    m_page->setText(StatusSummary::pageText(document, index));
    m_previous->setEnabled(index >= 1);
    m_next->setEnabled(index + 1 < document.pages.size());
    const qsizetype elements =
        document.pages.isEmpty() ? 0 : document.pages[index >= 0 && index < document.pages.size() ? index : 0].elements.size();
    m_summary->setText(StatusSummary::summaryText(elements, documentTotals(), controller.selection().size()));

    m_osc->setText(QStringLiteral("OSC :") + QString::number(oscPort()));
    m_osc->updateGeometry();
    if (const std::optional<ReleaseInfo> release = m_model.updater().availableRelease()) {
        m_update->setText(L("↑ MAJ v", "↑ Update v") + release->version);
        m_update->setToolTip(L(QStringLiteral("Une mise à jour Zelvane v") + release->version +
                                   QStringLiteral(" est disponible"),
                               QStringLiteral("Zelvane v") + release->version + QStringLiteral(" update is available")));
        m_update->updateGeometry();
        m_update->show();
    } else {
        m_update->hide();
    }
}

StatusSummary::Totals StatusBar::documentTotals()
{
    const VectorController::DocumentCounts counts = m_model.controller().documentCounts();
    StatusSummary::Totals totals;
    totals.pdfTexts = counts.pdfTexts;
    totals.modifiedPDFTexts = counts.modifiedPDFTexts;
    totals.signatures = counts.signatures;
    return totals;
}

void StatusBar::previousPage()
{
    VectorController& controller = m_model.controller();
    const qsizetype index = controller.currentPageIndex();
    if (index >= 1)
        controller.setCurrentPageIndex(index - 1);
}

void StatusBar::nextPage()
{
    VectorController& controller = m_model.controller();
    const qsizetype index = controller.currentPageIndex();
    if (index + 1 < controller.document().pages.size())
        controller.setCurrentPageIndex(index + 1);
}

}  // namespace zelvane
