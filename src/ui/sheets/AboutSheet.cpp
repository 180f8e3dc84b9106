#include "sheets/AboutSheet.h"

#include "Localization.h"
#include "appmodel/AppModel.h"
#include "appmodel/CommandShortcuts.h"
#include "controls/SeparatorLine.h"
#include "controls/SymbolIcon.h"
#include "controls/VectorHeroGraphic.h"
#include "sheets/RemotePortSettings.h"
#include "sheets/SheetParts.h"
#include "theme/Theme.h"
#include "update/OsselUpdater.h"

#include <QAbstractButton>
#include <QFontMetricsF>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

namespace zelvane {

using namespace SheetParts;

namespace {

// A badge: a small symbol and a text in one colour on a faint capsule.
class Pill : public QWidget {
public:
    Pill(const QString& icon, const QString& text, const QColor& tint) : m_icon(icon), m_text(text), m_tint(tint)
    {
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    }
    const QString& text() const { return m_text; }
    void setText(const QString& text)
    {
        m_text = text;
        updateGeometry();
        update();
    }
    QSize sizeHint() const override
    {
        const QFontMetricsF metrics(font());
        return QSize(int(std::ceil(7 + 10 + 4 + metrics.horizontalAdvance(m_text) + 7)),
                     int(std::ceil(std::max(metrics.height(), 10.0) + 6)));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        fillCapsule(painter, QRectF(rect()), Theme::withOpacity(m_tint, 0.12));
        painter.drawPixmap(QPointF(7, (height() - 10) / 2.0),
                           SymbolIcon::tinted(m_icon, 10, m_tint, devicePixelRatioF()));
        painter.setFont(font());
        painter.setPen(m_tint);
        painter.drawText(QRectF(7 + 10 + 4, 0, width() - 21, height()), Qt::AlignLeft | Qt::AlignVCenter, m_text);
    }

private:
    QFont font() const { return Theme::font(10, QFont::Medium); }

    QString m_icon;
    QString m_text;
    QColor m_tint;
};

// The version on an accent capsule; a click copies it.
class CapsuleButton : public QAbstractButton {
public:
    CapsuleButton()
    {
        setFocusPolicy(Qt::TabFocus);
        setCursor(Qt::PointingHandCursor);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    }
    QSize sizeHint() const override
    {
        const QFontMetricsF metrics(font());
        return QSize(int(std::ceil(metrics.horizontalAdvance(text()) + 14)), int(std::ceil(metrics.height() + 4)));
    }
    void setLabel(const QString& label)
    {
        setText(label);
        updateGeometry();
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        fillCapsule(painter, QRectF(rect()), isDown() ? Theme::withOpacity(Theme::accent(), 0.8) : Theme::accent());
        painter.setFont(font());
        painter.setPen(Theme::background());
        painter.drawText(QRectF(rect()), Qt::AlignCenter | Qt::TextSingleLine, text());
    }

private:
    QFont font() const { return Theme::font(11, QFont::DemiBold, true); }
};

// The function key of the guide: the help command's shortcut without
// modifiers (F1), else its first one.
QString helpKey()
{
    const QList<QKeySequence> keys = shortcutsFor(EditorCommand::help);
    for (const QKeySequence& key : keys) {
        if (key.count() == 1 && key[0].keyboardModifiers() == Qt::NoModifier)
            return shortcutText(key);
    }
    return keys.isEmpty() ? QString() : shortcutText(keys.first());
}

QWidget* featureCard(const AboutSheet::FeatureItem& item)
{
    auto* card = new RoundedBox(Theme::white(0.04), 8);
    card->setObjectName(QStringLiteral("featureCard"));
    auto* row = new QHBoxLayout(card);
    row->setContentsMargins(10, 10, 10, 10);
    row->setSpacing(10);
    auto* iconBox = new RoundedBox(Theme::withOpacity(item.tint, 0.14), 6);
    iconBox->setFixedSize(24, 24);
    auto* iconLayout = new QHBoxLayout(iconBox);
    iconLayout->setContentsMargins(0, 0, 0, 0);
    iconLayout->addWidget(symbol(item.icon, 14, item.tint), 0, Qt::AlignCenter);
    row->addWidget(iconBox, 0, Qt::AlignTop);
    auto* texts = column(3);
    texts->addWidget(label(item.title, 11.5, QFont::DemiBold, Theme::text(), true));
    texts->addWidget(label(item.detail, 10.5, QFont::Normal, Theme::textDim(), true));
    texts->addStretch(1);
    row->addLayout(texts, 1);
    return card;
}

}  // namespace

QList<AboutSheet::FeatureItem> AboutSheet::features()
{
    return {
        {QStringLiteral("doc.text.magnifyingglass"), Theme::tcp(),
         L("Édition directe du texte des PDF", "Direct PDF Text Editing"),
         L("Extraction automatique des lignes de texte PDF avec masquage vectoriel propre et remplacement haute "
           "précision.",
           "Automatic extraction of PDF text lines with clean vector masking and high-precision replacement.")},
        {QStringLiteral("signature"), Theme::accent(),
         L("Signatures calligraphiques & Tampons", "Calligraphic Signatures & Stamps"),
         L("Tracé manuscrit lissé en courbes de Bézier, bibliothèque de signatures enregistrées et tampons « BON POUR "
           "ACCORD ».",
           "Freehand strokes smoothed into Bezier curves, saved signature library, and approval stamps.")},
        {QStringLiteral("rectangle.stack"), Theme::alive(),
         L("Mode Multipage SVG & PDF natif", "Native Multi-Page SVG & PDF"),
         L("Navigation par miniatures, vue continue ou planche contact, ajout, duplication, rotation et "
           "réorganisation des pages.",
           "Thumbnail navigation, continuous scroll or contact grid, page insertion, duplication, rotation, and "
           "reordering.")},
        {QStringLiteral("bolt.horizontal.circle"), Theme::osc(),
         L("Fluidité 120 Hz, Zéro dépendance & MCP", "120 Hz Fluidity, Zero Dependency & MCP"),
         L("Caches géométriques avec frustum culling, pilotage OSC (:9160), API HTTP (/v1 :17960) et serveur MCP "
           "embarqué.",
           "Geometry caches with frustum culling, OSC control (:9160), HTTP API (/v1 :17960), and embedded MCP "
           "server.")},
    };
}

AboutSheet::AboutSheet(AppModel& model, QWidget* parent)
    : AboutSheet(
          model, AppVersion::current(),
          [&model] { QTimer::singleShot(0, &model, [&model] { model.setShowHelp(true); }); },
          [&model] { model.setShowAbout(false); }, parent)
{
}

AboutSheet::AboutSheet(AppModel& model, AppVersion version, std::function<void()> openHelp,
                       std::function<void()> close, QWidget* parent)
    : SheetView(std::move(close), parent),
      m_model(model),
      m_version(std::move(version)),
      m_openHelp(std::move(openHelp))
{
    setObjectName(QStringLiteral("AboutSheetView"));
    auto* layout = column(16);
    layout->setContentsMargins(22, 22, 22, 22);
    setLayout(layout);
    layout->addWidget(makeIdentity());
    layout->addWidget(separatorLine());
    layout->addWidget(makeHighlights());
    layout->addWidget(separatorLine());
    layout->addWidget(makeFooter());
    fitHeightToContent(this, kWidth);

    RemotePortSettings::whenPortsChange(m_model, this, [this] { refreshPorts(); });
    connect(&m_model.updater(), &OsselUpdater::stateChanged, this, [this] { refreshUpdateButton(); });
}

QWidget* AboutSheet::makeIdentity()
{
    auto* identity = new QWidget;
    auto* row = new QHBoxLayout(identity);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(16);

    auto* heroBox = new RoundedBox(Theme::header(), 16);
    heroBox->setBorder(Theme::white(0.08));
    auto* heroLayout = new QHBoxLayout(heroBox);
    heroLayout->setContentsMargins(0, 0, 0, 0);
    heroLayout->addWidget(new VectorHeroGraphic(72, true));
    row->addWidget(heroBox, 0, Qt::AlignVCenter);

    auto* texts = column(5);
    auto* nameRow = new QHBoxLayout;
    nameRow->setSpacing(8);
    nameRow->addWidget(label(QStringLiteral("Zelvane"), 20, QFont::Bold, Theme::text()), 0, Qt::AlignBaseline);
    auto* version = new CapsuleButton;
    version->setObjectName(QStringLiteral("versionButton"));
    version->setLabel(versionButtonText());
    connect(version, &QAbstractButton::clicked, this, [this] { copyVersion(); });
    m_versionButton = version;
    nameRow->addWidget(version, 0, Qt::AlignVCenter);
    nameRow->addStretch(1);
    texts->addLayout(nameRow);
    texts->addWidget(label(L("Éditeur vectoriel multipage ultra-léger pour ouvrir, modifier le texte, signer et "
                             "enregistrer les SVG et PDF",
                             "Ultra-lightweight multi-page vector editor to open, edit text, sign, and save SVG and PDF "
                             "documents"),
                           12, QFont::Medium, Theme::textDim(), true));
    auto* badges = new QHBoxLayout;
    badges->setContentsMargins(0, 2, 0, 0);
    badges->setSpacing(8);
    badges->addWidget(new Pill(QStringLiteral("doc.richtext"), QStringLiteral("SVG & PDF Multipage"), Theme::accent()));
    m_oscBadge = new Pill(QStringLiteral("waveform.path"), {}, Theme::osc());
    m_oscBadge->setObjectName(QStringLiteral("oscBadge"));
    badges->addWidget(m_oscBadge);
    m_httpBadge = new Pill(QStringLiteral("network"), {}, Theme::tcp());
    m_httpBadge->setObjectName(QStringLiteral("httpBadge"));
    badges->addWidget(m_httpBadge);
    badges->addStretch(1);
    texts->addLayout(badges);
    row->addLayout(texts, 1);
    refreshPorts();
    return identity;
}

QWidget* AboutSheet::makeHighlights()
{
    auto* highlights = new QWidget;
    auto* layout = column(8);
    highlights->setLayout(layout);
    QLabel* heading = label(L("POINTS FORTS", "HIGHLIGHTS"), 10, QFont::DemiBold, Theme::textFaint());
    QFont font = heading->font();
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0.8);
    heading->setFont(font);
    layout->addWidget(heading);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(10);
    const QList<FeatureItem> items = features();
    for (qsizetype i = 0; i < items.size(); ++i)
        grid->addWidget(featureCard(items[i]), int(i / 2), int(i % 2));
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    layout->addLayout(grid);
    return highlights;
}

QWidget* AboutSheet::makeFooter()
{
    auto* footer = new QWidget;
    auto* row = new QHBoxLayout(footer);
    row->setContentsMargins(0, 0, 0, 0);
    auto* credits = column(2);
    credits->addWidget(label(L("Conçu et développé par l'équipe Zelvane.", "Designed and built by the Zelvane team."),
                             10, QFont::Normal, Theme::textFaint()));
    credits->addWidget(label(L("© Zelvane — tous droits réservés.", "© Zelvane — all rights reserved."), 10,
                             QFont::Normal, Theme::textFaint()));
    row->addLayout(credits);
    row->addStretch(1);
    m_updateButton = new PlainButton(QStringLiteral("arrow.down.circle"), {}, 11.5, Theme::textDim(),
                                     [this] { checkForUpdates(); });
    m_updateButton->setObjectName(QStringLiteral("updateButton"));
    row->addWidget(m_updateButton);
    m_guideButton = new PlainButton(QStringLiteral("book.closed"), QStringLiteral("Guide (") + helpKey() + QLatin1Char(')'), 11.5,
                                    Theme::textDim(), [this] {
                                        closeSheet();
                                        if (m_openHelp)
                                            m_openHelp();
                                    });
    m_guideButton->setObjectName(QStringLiteral("guideButton"));
    row->addWidget(m_guideButton);
    m_okButton = pushButton(QStringLiteral("OK"), "ok", [this] {
        closeSheet();
    }, true);
    row->addWidget(m_okButton);
    refreshUpdateButton();
    return footer;
}

QString AboutSheet::copyText() const
{
    return m_version.versionLine();
}

QString AboutSheet::versionButtonText() const
{
    return m_copiedVersion ? L("copié", "copied") : versionLabel(m_version);
}

void AboutSheet::copyVersion()
{
    copyPlainText(copyText());
    m_copiedVersion = true;
    static_cast<CapsuleButton*>(m_versionButton)->setLabel(versionButtonText());
}

void AboutSheet::checkForUpdates()
{
    closeSheet();
    // The about sheet is gone before the update sheet shows.
    AppModel* model = &m_model;
    QTimer::singleShot(0, model, [model] {
        model->setShowUpdater(true);
        model->updater().checkForUpdates(false);
    });
}

void AboutSheet::refreshPorts()
{
    static_cast<Pill*>(m_oscBadge)->setText(oscBadgeText());
    static_cast<Pill*>(m_httpBadge)->setText(httpBadgeText());
}

void AboutSheet::refreshUpdateButton()
{
    if (const std::optional<ReleaseInfo> release = m_model.updater().availableRelease()) {
        m_updateButton->setLabel(L("↑ MAJ v", "↑ Update v") + release->version);
        m_updateButton->setColor(Theme::accent());
    } else {
        m_updateButton->setLabel(L("Mises à jour…", "Check for Updates…"));
        m_updateButton->setColor(Theme::textDim());
    }
}

QString AboutSheet::oscBadgeText() const
{
    return QStringLiteral("OSC UDP :") + QString::number(RemotePortSettings::oscPort(m_model));
}

QString AboutSheet::httpBadgeText() const
{
    return QStringLiteral("HTTP / MCP :") + QString::number(RemotePortSettings::httpPort(m_model));
}

QAbstractButton* AboutSheet::updateButton() const
{
    return m_updateButton;
}

QAbstractButton* AboutSheet::guideButton() const
{
    return m_guideButton;
}

}  // namespace zelvane
