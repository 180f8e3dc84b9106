#include "sheets/UpdateSheet.h"

#include "Localization.h"
#include "appmodel/AppModel.h"
#include "controls/ActivitySpinner.h"
#include "controls/Chip.h"
#include "controls/SeparatorLine.h"
#include "controls/SymbolIcon.h"
#include "controls/TextButton.h"
#include "controls/VectorHeroGraphic.h"
#include "sheets/SheetParts.h"
#include "theme/Theme.h"
#include "update/OsselUpdater.h"
#include "update/UpdateInstaller.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QTextDocument>
#include <QTextEdit>
#include <QScrollBar>
#include <QVBoxLayout>

namespace zelvane {

namespace {

using Kind = UpdateState::Kind;

constexpr int kPadding = 20;
constexpr int kNotesMinHeight = 70;
constexpr int kNotesMaxHeight = 140;

QLabel* label(const QString& text, double size, QFont::Weight weight, const QColor& color, bool wraps = false,
              bool monospaced = false)
{
    auto* result = new QLabel(text);
    result->setTextFormat(Qt::PlainText);
    result->setFont(Theme::font(size, weight, monospaced));
    QPalette palette = result->palette();
    palette.setColor(QPalette::WindowText, color);
    result->setPalette(palette);
    result->setWordWrap(wraps);
    if (wraps) {
        QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Minimum);
        policy.setHeightForWidth(true);
        result->setSizePolicy(policy);
    }
    return result;
}

QLabel* symbol(const QString& name, int size, const QColor& color)
{
    auto* result = new QLabel;
    result->setPixmap(SymbolIcon::tinted(name, size, color, result->devicePixelRatioF()));
    result->setFixedSize(size, size);
    return result;
}

// A region with vertical padding around its content.
QWidget* region(QLayout* content, int verticalPadding)
{
    auto* widget = new QWidget;
    content->setContentsMargins(0, verticalPadding, 0, verticalPadding);
    widget->setLayout(content);
    return widget;
}

QHBoxLayout* row(int spacing, Qt::Alignment alignment = Qt::AlignVCenter)
{
    auto* layout = new QHBoxLayout;
    layout->setSpacing(spacing);
    layout->setAlignment(alignment);
    return layout;
}

QWidget* activityRegion(const QString& text, QFont::Weight weight, const QColor& color, int padding)
{
    auto* layout = row(10);
    layout->addWidget(new ActivitySpinner(16));
    layout->addWidget(label(text, 12, weight, color));
    layout->addStretch();
    return region(layout, padding);
}

// The release notes in a scroll area of 70 to 140 points, on a faint
// rounded box. Lines wrap at the width the scroll bar leaves, breaking
// words too long for it (a checksum) anywhere.
class NotesBox : public QWidget {
public:
    explicit NotesBox(const QString& notes)
    {
        m_text = new QTextEdit;
        m_text->setObjectName(QStringLiteral("releaseNotes"));
        m_text->setReadOnly(true);
        m_text->setTabChangesFocus(true);
        m_text->setAcceptRichText(false);
        m_text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        m_text->setFrameShape(QFrame::NoFrame);
        m_text->setFont(Theme::font(11.5));
        m_text->setLineWrapMode(QTextEdit::WidgetWidth);
        m_text->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        m_text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_text->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        m_text->document()->setDocumentMargin(0);
        QPalette palette = m_text->palette();
        palette.setColor(QPalette::Text, Theme::text());
        palette.setColor(QPalette::Base, Qt::transparent);
        m_text->setPalette(palette);
        m_text->viewport()->setAutoFillBackground(false);
        m_text->setPlainText(notes);
        const int innerWidth = UpdateSheet::kWidth - 2 * kPadding - 2 * 10;
        QTextDocument measure;
        measure.setDefaultFont(m_text->font());
        measure.setDocumentMargin(0);
        QTextOption option = measure.defaultTextOption();
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        measure.setDefaultTextOption(option);
        measure.setPlainText(notes);
        measure.setTextWidth(innerWidth - m_text->verticalScrollBar()->sizeHint().width());
        const int wanted = int(std::ceil(measure.size().height()));
        m_text->setFixedHeight(std::clamp(wanted, kNotesMinHeight, kNotesMaxHeight));
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(10, 10, 10, 10);
        layout->addWidget(m_text);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Theme::white(0.04));
        painter.drawRoundedRect(QRectF(rect()), 6, 6);
    }

private:
    QTextEdit* m_text;
};

// Empties a layout. The widgets go later: one of them may be the button
// whose click changed the state.
void clear(QLayout* layout)
{
    while (QLayoutItem* item = layout->takeAt(0)) {
        if (QWidget* widget = item->widget()) {
            widget->hide();
            widget->setParent(nullptr);
            widget->deleteLater();
        }
        delete item;
    }
}

QPushButton* pushButton(const QString& title, const char* name, std::function<void()> action)
{
    auto* button = new QPushButton(title);
    button->setObjectName(QLatin1String(name));
    // Return is the sheet's own shortcut, never a button's.
    button->setAutoDefault(false);
    QObject::connect(button, &QPushButton::clicked, button, [action = std::move(action)] { action(); });
    return button;
}

}  // namespace

UpdateSheet::UpdateSheet(AppModel& model, QWidget* parent)
    : UpdateSheet(model.updater(), [&model] { model.setShowUpdater(false); }, parent)
{
}

UpdateSheet::UpdateSheet(OsselUpdater& updater, std::function<void()> close, QWidget* parent)
    : QWidget(parent), m_updater(updater), m_close(std::move(close))
{
    setFixedWidth(kWidth);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
    layout->setSpacing(16);
    setFocusPolicy(Qt::StrongFocus);

    auto* header = row(12);
    m_hero = new VectorHeroGraphic(46, false);
    header->addWidget(m_hero);
    auto* titles = SheetParts::column(3);
    titles->addWidget(label(L("Mises à jour — Zelvane", "Software Update — Zelvane"), 15, QFont::DemiBold,
                            Theme::text()));
    titles->addWidget(label(L("Version installée : v", "Installed version: v") + m_updater.currentVersion() +
                                QStringLiteral(" (build ") + QString::number(m_updater.currentBuild()) +
                                QLatin1Char(')'),
                            11.5, QFont::Normal, Theme::textDim(), false, true));
    header->addLayout(titles);
    header->addStretch();
    layout->addLayout(header);

    layout->addWidget(separatorLine());

    m_regionSlot = SheetParts::column(0);
    layout->addLayout(m_regionSlot);
    m_checkRow = new QHBoxLayout;
    layout->addLayout(m_checkRow);
    m_buttonRow = new QHBoxLayout;
    layout->addLayout(m_buttonRow);

    connect(&m_updater, &OsselUpdater::stateChanged, this, &UpdateSheet::rebuild);
    rebuild();
}

void UpdateSheet::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), Theme::panel());
}

void UpdateSheet::keyPressEvent(QKeyEvent* event)
{
    // The buttons leave Return to the sheet.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        confirm();
    else
        QWidget::keyPressEvent(event);
}

void UpdateSheet::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    setFocus();
}

void UpdateSheet::rebuild()
{
    m_hero->setActive(m_updater.state().is(Kind::checking));
    m_hero->update();
    clear(m_regionSlot);
    const bool hadFocus = hasFocus() || isAncestorOf(QApplication::focusWidget());
    m_regionSlot->addWidget(makeStateRegion());
    makeButtons();
    // New parts of a visible sheet are shown now (not on a later turn), so
    // that the height below counts them.
    if (isVisible()) {
        for (QLayout* part : {static_cast<QLayout*>(m_regionSlot), static_cast<QLayout*>(m_checkRow),
                              static_cast<QLayout*>(m_buttonRow)})
            for (int i = 0; i < part->count(); ++i)
                if (QWidget* widget = part->itemAt(i)->widget())
                    widget->show();
    }
    if (hadFocus)
        setFocus();
    // The width is fixed, the height follows the content.
    QLayout* sheetLayout = layout();
    sheetLayout->activate();
    setFixedHeight(sheetLayout->hasHeightForWidth() ? sheetLayout->totalHeightForWidth(kWidth)
                                                    : sheetLayout->totalSizeHint().height());
    if (window() != this)
        window()->adjustSize();
}

QWidget* UpdateSheet::makeStateRegion()
{
    const UpdateState& state = m_updater.state();
    switch (state.kind()) {
    case Kind::idle:
    case Kind::checking:
        return activityRegion(L("Recherche de mises à jour en cours…", "Checking for updates…"), QFont::Normal,
                              Theme::textDim(), 14);
    case Kind::upToDate: {
        auto* layout = row(10);
        layout->addWidget(symbol(QStringLiteral("checkmark.seal.fill"), 18, Theme::alive()));
        auto* texts = SheetParts::column(2);
        texts->addWidget(label(L(QStringLiteral("Zelvane v") + state.text() + QStringLiteral(" est à jour."),
                                 QStringLiteral("Zelvane v") + state.text() + QStringLiteral(" is up to date.")),
                               12.5, QFont::DemiBold, Theme::text()));
        texts->addWidget(label(L("Cette version est la dernière disponible.", "This is the latest available version."),
                               11, QFont::Normal, Theme::textDim(), true));
        layout->addLayout(texts, 1);
        return region(layout, 10);
    }
    case Kind::updateAvailable: {
        const ReleaseInfo& release = *state.release();
        auto* layout = SheetParts::column(8);
        auto* chipRow = row(0);
        chipRow->addWidget(
            new Chip(L("NOUVELLE VERSION v", "NEW VERSION v") + release.version, Theme::accent(), true));
        chipRow->addStretch();
        layout->addLayout(chipRow);
        layout->addWidget(new NotesBox(release.localizedNotes()));
        // A release that cannot be installed from here says why, before the
        // user tries; it is then offered without an install button.
        if (const std::optional<QString> blocker = installBlocker()) {
            auto* note = label(*blocker, 11, QFont::Normal, Theme::warning(), true);
            note->setObjectName(QStringLiteral("installationNote"));
            layout->addWidget(note);
        }
        return region(layout, 0);
    }
    case Kind::downloading: {
        auto* layout = SheetParts::column(8);
        layout->addWidget(label(L("Téléchargement de la mise à jour…", "Downloading update…"), 12, QFont::Medium,
                                Theme::text()));
        auto* bar = new QProgressBar;
        bar->setRange(0, 1000);
        bar->setValue(int(std::lround(std::clamp(state.progress(), 0.0, 1.0) * 1000)));
        bar->setTextVisible(false);
        bar->setFixedHeight(6);
        QPalette palette = bar->palette();
        palette.setColor(QPalette::Highlight, Theme::accent());
        bar->setPalette(palette);
        layout->addWidget(bar);
        return region(layout, 10);
    }
    case Kind::installing:
        return activityRegion(L("Vérification et installation…", "Verifying and installing…"), QFont::Medium,
                              Theme::text(), 10);
    case Kind::failed: {
        auto* layout = row(10, Qt::AlignTop);
        layout->addWidget(symbol(QStringLiteral("exclamationmark.triangle.fill"), 16, Theme::warning()), 0,
                          Qt::AlignTop);
        auto* texts = SheetParts::column(3);
        texts->addWidget(label(L("Impossible de vérifier ou d'installer la mise à jour",
                                 "Could not check or install update"),
                               12, QFont::DemiBold, Theme::text()));
        auto* message = label(state.text(), 11, QFont::Normal, Theme::textDim(), true);
        message->setObjectName(QStringLiteral("failureMessage"));
        texts->addWidget(message);
        layout->addLayout(texts, 1);
        return region(layout, 6);
    }
    }
    return new QWidget;
}

void UpdateSheet::makeButtons()
{
    clear(m_checkRow);
    clear(m_buttonRow);
    auto* checkAgain = new TextButton(L("Rechercher à nouveau", "Check Again"),
                                      [this] { m_updater.checkForUpdates(false); });
    checkAgain->setObjectName(QStringLiteral("checkAgain"));
    checkAgain->setSymbol(QStringLiteral("arrow.clockwise"));
    checkAgain->setCompact(true);
    // The updater ignores a check while it downloads or installs.
    checkAgain->setEnabled(!m_updater.state().is(Kind::downloading) && !m_updater.state().is(Kind::installing));
    m_buttonRow->addWidget(checkAgain);
    m_buttonRow->addStretch();
    if (m_updater.state().is(Kind::updateAvailable) && !installBlocker()) {
        m_buttonRow->addWidget(pushButton(L("Plus tard", "Later"), "later", [this] { m_close(); }));
        auto* install = new TextButton(L("Mettre à jour et relancer", "Update & Relaunch"), [this] { confirm(); });
        install->setObjectName(QStringLiteral("updateAndRelaunch"));
        install->setSymbol(QStringLiteral("arrow.down.circle.fill"));
        install->setProminent(true);
        m_buttonRow->addWidget(install);
    } else {
        m_buttonRow->addWidget(pushButton(L("Fermer", "Close"), "close", [this] { m_close(); }));
    }
    // Longer texts (French) may not fit one row of the fixed width.
    int wanted = 0;
    for (int i = 0; i < m_buttonRow->count(); ++i) {
        if (QWidget* widget = m_buttonRow->itemAt(i)->widget())
            wanted += widget->sizeHint().width() + m_buttonRow->spacing();
    }
    if (wanted > kWidth - 2 * kPadding) {
        m_buttonRow->removeWidget(checkAgain);
        m_checkRow->addWidget(checkAgain);
        m_checkRow->addStretch();
    }
}

std::optional<QString> UpdateSheet::installBlocker() const
{
    const std::optional<ReleaseInfo> release = m_updater.availableRelease();
    if (!release)
        return std::nullopt;
    if (const auto checksum = UpdateInstaller::expectedChecksum(*release); !checksum)
        return checksum.error().message;
    if (const auto installation = m_updater.installationFolder(); !installation)
        return installation.error().message;
    return std::nullopt;
}

void UpdateSheet::confirm()
{
    const std::optional<ReleaseInfo> release = m_updater.availableRelease();
    if (release && !installBlocker())
        m_updater.downloadAndInstall(*release);
    else
        m_close();
}

}  // namespace zelvane
