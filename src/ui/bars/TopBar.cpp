#include "bars/TopBar.h"

#include "Localization.h"
#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "bars/BarParts.h"
#include "controls/IconButton.h"
#include "controls/SymbolIcon.h"
#include "controls/TextButton.h"
#include "model/StampPayload.h"
#include "theme/Format.h"
#include "theme/Theme.h"

#include <QAbstractButton>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace zelvane {

namespace {

// "Open an SVG or PDF document (Ctrl+O)" in the current language.
QString withKeys(const char* french, const char* english, const QString& keys)
{
    const QString suffix = QStringLiteral(" (") + keys + QLatin1Char(')');
    return L(QString::fromUtf8(french) + suffix, QString::fromUtf8(english) + suffix);
}

QString keys(EditorCommand command)
{
    return shortcutText(command);
}

void fillRounded(QPainter& painter, const QRectF& rect, double radius, const QColor& color)
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawRoundedRect(rect, radius, radius);
}

// A row of buttons on a faint rounded tray.
class Tray : public QWidget {
public:
    Tray()
    {
        auto* layout = new QHBoxLayout(this);
        layout->setContentsMargins(2, 2, 2, 2);
        layout->setSpacing(2);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        fillRounded(painter, QRectF(rect()), 5.5, Theme::white(0.05));
    }
};

// One tool of the strip: its symbol and short name, filled with the accent
// while it is the active tool. Without room for the name it shows the
// symbol alone (the tooltip still names it).
class ToolButton : public QAbstractButton {
public:
    static constexpr double kInset = 5;
    static constexpr int kSymbol = 12;
    static constexpr double kGap = 3;

    ToolButton(AppModel& model, EditorTool tool, const QString& symbol) : m_model(model), m_tool(tool), m_symbol(symbol)
    {
        setObjectName(QStringLiteral("tool.") + rawValue(tool));
        setToolTip(helpText(tool));
        setText(label(tool));
        setFocusPolicy(Qt::TabFocus);
        connect(this, &QAbstractButton::clicked, this, [this] { m_model.setActiveTool(m_tool); });
    }

    bool active() const { return m_model.activeTool() == m_tool; }
    QFont labelFont() const { return Theme::font(10.5, active() ? QFont::DemiBold : QFont::Medium); }

    QSize sizeHint() const override
    {
        const QFontMetrics metrics(labelFont());
        return QSize(qCeil(2 * kInset + kSymbol + kGap + metrics.horizontalAdvance(text())),
                     qCeil(metrics.height() + 8));
    }
    QSize minimumSizeHint() const override { return QSize(qCeil(2 * kInset + kSymbol), sizeHint().height()); }
    bool showsLabel() const { return width() >= sizeHint().width(); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        const bool isActive = active();
        QPainter painter(this);
        if (isActive)
            fillRounded(painter, QRectF(rect()), 4, Theme::accent());
        else if (underMouse())
            fillRounded(painter, QRectF(rect()), 4, Theme::white(0.06));
        const QColor color = isActive ? Theme::background() : Theme::text();
        const QPixmap symbol = barSymbol(m_symbol, kSymbol, color, devicePixelRatioF());
        if (!showsLabel()) {
            painter.drawPixmap(QPointF((width() - kSymbol) / 2.0, (height() - kSymbol) / 2.0), symbol);
            return;
        }
        painter.drawPixmap(QPointF(kInset, (height() - kSymbol) / 2.0), symbol);
        painter.setFont(labelFont());
        painter.setPen(color);
        const double textLeft = kInset + kSymbol + kGap;
        painter.drawText(QRectF(textLeft, 0, width() - textLeft, height()), Qt::AlignVCenter | Qt::AlignLeft, text());
    }
    void enterEvent(QEnterEvent* event) override
    {
        QAbstractButton::enterEvent(event);
        update();
    }
    void leaveEvent(QEvent* event) override
    {
        QAbstractButton::leaveEvent(event);
        update();
    }

private:
    AppModel& m_model;
    EditorTool m_tool;
    QString m_symbol;
};

// The tools on a faint tray. With less room than all names need, the
// tools show their symbols only.
class ToolStrip : public QWidget {
public:
    static constexpr int kInset = 2;
    static constexpr int kSpacing = 2;

    explicit ToolStrip(QList<ToolButton*> buttons) : m_buttons(std::move(buttons))
    {
        setObjectName(QStringLiteral("toolStrip"));
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
        for (ToolButton* button : m_buttons)
            button->setParent(this);
    }

    void toolChanged()
    {
        updateGeometry();
        arrange();
        update();
    }

    QSize sizeHint() const override { return QSize(widthFor(true), height(m_buttons)); }
    QSize minimumSizeHint() const override { return QSize(widthFor(false), height(m_buttons)); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        fillRounded(painter, QRectF(rect()), 5.5, Theme::white(0.05));
    }
    void resizeEvent(QResizeEvent*) override { arrange(); }

private:
    static int height(const QList<ToolButton*>& buttons)
    {
        return buttons.isEmpty() ? 0 : buttons.first()->sizeHint().height() + 2 * kInset;
    }
    int buttonWidth(const ToolButton* button, bool labels) const
    {
        return labels ? button->sizeHint().width() : button->minimumSizeHint().width();
    }
    int widthFor(bool labels) const
    {
        int total = 2 * kInset + kSpacing * int(qMax<qsizetype>(0, m_buttons.size() - 1));
        for (const ToolButton* button : m_buttons)
            total += buttonWidth(button, labels);
        return total;
    }
    void arrange()
    {
        const bool labels = width() >= widthFor(true);
        int x = kInset;
        const int buttonHeight = QWidget::height() - 2 * kInset;
        for (ToolButton* button : m_buttons) {
            const int w = buttonWidth(button, labels);
            button->setGeometry(x, kInset, w, buttonHeight);
            x += w + kSpacing;
        }
    }

    QList<ToolButton*> m_buttons;
};

// One display mode: its symbol on the accent while it is the canvas's mode.
class ModeButton : public QAbstractButton {
public:
    ModeButton(AppModel& model, CanvasDisplayMode mode, const QString& symbol)
        : m_model(model), m_mode(mode), m_symbol(symbol)
    {
        setObjectName(QStringLiteral("mode.") + rawValue(mode));
        setFocusPolicy(Qt::TabFocus);
        setFixedSize(24, 22);
        connect(this, &QAbstractButton::clicked, this, [this] { m_model.setDisplayMode(m_mode); });
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        const bool active = m_model.displayMode() == m_mode;
        QPainter painter(this);
        if (active)
            fillRounded(painter, QRectF(rect()), 4, Theme::accent());
        const QPixmap symbol =
            barSymbol(m_symbol, 12, active ? Theme::background() : Theme::textDim(), devicePixelRatioF());
        painter.drawPixmap(QPointF((width() - 12) / 2.0, (height() - 12) / 2.0), symbol);
    }

private:
    AppModel& m_model;
    CanvasDisplayMode m_mode;
    QString m_symbol;
};

// The zoom as a percentage, dim while the view is at rest; a click resets
// the view.
class ZoomPercentButton : public QAbstractButton {
public:
    explicit ZoomPercentButton(AppModel& model) : m_model(model)
    {
        setObjectName(QStringLiteral("zoomPercent"));
        setFocusPolicy(Qt::TabFocus);
        setFont(Theme::font(10.5, QFont::DemiBold, true));
        setFixedWidth(44);
    }

    QSize sizeHint() const override { return QSize(44, fontMetrics().height() + 8); }

    bool atRest() const
    {
        const QSizeF pan = m_model.panOffset();
        return std::abs(m_model.zoomScale() - 1) < 0.01 && pan.width() == 0 && pan.height() == 0;
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        fillRounded(painter, QRectF(rect()), 4, Theme::white(0.05));
        painter.setPen(atRest() ? Theme::textDim() : Theme::accent());
        painter.drawText(rect(), Qt::AlignCenter, Format::percent(m_model.zoomScale()));
    }

private:
    AppModel& m_model;
};

// The search field's frame: faint fill, a border lit while it has focus.
class SearchFrame : public QWidget {
public:
    explicit SearchFrame(QLineEdit*& edit) : m_edit(edit) {}
    QSize sizeHint() const override { return QSize(maximumWidth(), QWidget::sizeHint().height()); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const bool focused = m_edit && m_edit->hasFocus();
        painter.setBrush(Theme::white(0.05));
        painter.setPen(QPen(focused ? Theme::withOpacity(Theme::accent(), 0.6) : Theme::white(0.08), 1));
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
    }

private:
    QLineEdit*& m_edit;
};

}  // namespace

TopBar::TopBar(AppModel& model, QWidget* parent) : QWidget(parent), m_model(model)
{
    setFixedHeight(kHeight);
    VectorController& controller = model.controller();

    auto icon = [this](const char* name, const QString& symbol, const QString& help, std::function<void()> action) {
        auto* button = new IconButton(symbol, help, std::move(action));
        button->setObjectName(QLatin1String(name));
        button->setTint(Theme::accent());
        return button;
    };

    m_sidebarToggle = icon("sidebarToggle", QStringLiteral("sidebar.left"),
                           withKeys("Afficher ou masquer la barre latérale des pages et calques",
                                    "Show or hide pages and layers sidebar", keys(EditorCommand::toggleSidebar)),
                           [this] { m_model.setShowSidebar(!m_model.showSidebar()); });
    auto* open = icon("open", QStringLiteral("folder"),
                      withKeys("Ouvrir un document SVG ou PDF", "Open an SVG or PDF document",
                               keys(EditorCommand::openDocument)),
                      [this] { m_model.openDocumentPanel(); });
    auto* save = icon("save", QStringLiteral("square.and.arrow.down"),
                      withKeys("Enregistrer le document", "Save document", keys(EditorCommand::saveDocument)),
                      [this] { m_model.saveDocumentDirectOrPanel(); });
    auto* exportButton = icon("export", QStringLiteral("arrow.up.doc"),
                              withKeys("Exporter en PDF multipage, SVG ou PNG", "Export to multi-page PDF, SVG, or PNG",
                                       keys(EditorCommand::saveAsOrExport)),
                              [this] { m_model.setShowExportSheet(true); });
    m_undo = icon("undo", QStringLiteral("arrow.uturn.backward"),
                  withKeys("Annuler la dernière opération", "Undo last operation", keys(EditorCommand::undo)),
                  [this] { m_model.controller().undo(); });
    m_redo = icon("redo", QStringLiteral("arrow.uturn.forward"),
                  withKeys("Rétablir l'opération annulée", "Redo operation", keys(EditorCommand::redo)),
                  [this] { m_model.controller().redo(); });

    auto* sign = new TextButton(L("Signer", "Sign"), [this] { m_model.controller().stampActiveSignature(); });
    sign->setObjectName(QStringLiteral("sign"));
    sign->setSymbol(QStringLiteral("signature"));
    sign->setProminent(true);
    sign->setCompact(true);
    sign->setToolTip(L("Apposer la signature active sur la page courante (S)",
                       "Place active signature on current page (S)"));

    m_stampButton = new IconButton(QStringLiteral("seal"),
                                   L("Tampons d'approbation et bibliothèque de signatures (K)",
                                     "Approval stamps and signature library (K)"),
                                   [this] { showStampMenu(); });
    m_stampButton->setObjectName(QStringLiteral("stampMenu"));
    m_stampMenu = new QMenu(this);
    m_stampMenu->setObjectName(QStringLiteral("stampMenuPopup"));
    // Filled on every opening, so that library changes show.
    connect(m_stampMenu, &QMenu::aboutToShow, this, &TopBar::fillStampMenu);

    auto* addPageButton = icon("addPage", QStringLiteral("doc.badge.plus"),
                               withKeys("Ajouter une page au document multipage", "Add a page to the multi-page document",
                                        keys(EditorCommand::addBlankPage)),
                               [this] { addPage(); });
    m_inspectorToggle = icon("inspectorToggle", QStringLiteral("sidebar.right"),
                             withKeys("Afficher ou masquer l'inspecteur vectoriel", "Show or hide vector inspector",
                                      keys(EditorCommand::toggleInspector)),
                             [this] { m_model.setShowInspector(!m_model.showInspector()); });

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(10, 0, 10, 0);
    layout->setSpacing(7);
    layout->addWidget(m_sidebarToggle, 0, Qt::AlignVCenter);
    layout->addWidget(new BarDivider(16), 0, Qt::AlignVCenter);
    for (QWidget* button : {static_cast<QWidget*>(open), static_cast<QWidget*>(save),
                            static_cast<QWidget*>(exportButton), static_cast<QWidget*>(m_undo),
                            static_cast<QWidget*>(m_redo)})
        layout->addWidget(button, 0, Qt::AlignVCenter);
    layout->addWidget(new BarDivider(16), 0, Qt::AlignVCenter);
    layout->addWidget(makeToolStrip(), 0, Qt::AlignVCenter);
    layout->addWidget(new BarDivider(16), 0, Qt::AlignVCenter);
    layout->addWidget(sign, 0, Qt::AlignVCenter);
    layout->addWidget(m_stampButton, 0, Qt::AlignVCenter);
    layout->addWidget(addPageButton, 0, Qt::AlignVCenter);
    layout->addWidget(new BarDivider(16), 0, Qt::AlignVCenter);
    layout->addWidget(makeDisplayModePicker(), 0, Qt::AlignVCenter);
    layout->addWidget(makeZoomControls(), 0, Qt::AlignVCenter);
    layout->addSpacerItem(new QSpacerItem(4, 0, QSizePolicy::Expanding, QSizePolicy::Minimum));
    layout->addWidget(makeSearchField(), 0, Qt::AlignVCenter);
    layout->addWidget(m_inspectorToggle, 0, Qt::AlignVCenter);

    auto refreshToggles = [this] {
        m_sidebarToggle->setActive(m_model.showSidebar());
        m_inspectorToggle->setActive(m_model.showInspector());
        m_textFrames->setActive(m_model.showPDFTextBoxes());
    };
    connect(&model, &AppModel::showSidebarChanged, this, refreshToggles);
    connect(&model, &AppModel::showInspectorChanged, this, refreshToggles);
    connect(&model, &AppModel::showPDFTextBoxesChanged, this, refreshToggles);
    refreshToggles();
    // The modes and the percentage draw from the model.
    connect(&model, &AppModel::displayModeChanged, m_modePicker, [this] { m_modePicker->update(); });
    for (auto changed : {&AppModel::zoomScaleChanged, &AppModel::panOffsetChanged})
        connect(&model, changed, m_zoomPercent, [this] { m_zoomPercent->update(); });
    connect(&controller, &VectorController::historyChanged, this, &TopBar::refreshHistory);
    refreshHistory();
    connect(&controller, &VectorController::searchQueryChanged, this, &TopBar::refreshSearch);
    refreshSearch();
    connect(&model, &AppModel::searchFocusRequestChanged, this, [this] {
        m_searchEdit->setFocus(Qt::ShortcutFocusReason);
        m_searchField->update();
    });
}

void TopBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Theme::panel());
    painter.fillRect(QRect(0, height() - 1, width(), 1), Theme::separator());
}

QWidget* TopBar::makeToolStrip()
{
    static const std::array<const char*, 8> symbols{"cursorarrow", "character.cursor.ibeam", "signature", "pencil.tip",
                                                    "rectangle",   "circle",                 "arrow.up.right", "seal"};
    QList<ToolButton*> buttons;
    std::size_t i = 0;
    for (EditorTool tool : EnumCases<EditorTool>::all)
        buttons.append(new ToolButton(m_model, tool, QLatin1String(symbols[i++])));
    auto* strip = new ToolStrip(buttons);
    // The active name is bold, so the widths change with the tool.
    connect(&m_model, &AppModel::activeToolChanged, strip, [strip] { strip->toolChanged(); });
    return strip;
}

QWidget* TopBar::makeDisplayModePicker()
{
    struct Mode {
        CanvasDisplayMode mode;
        const char* symbol;
        const char* french;
        const char* english;
        EditorCommand command;
    };
    static const std::array<Mode, 3> modes{{
        {CanvasDisplayMode::singlePage, "doc.text", "Page", "Page", EditorCommand::singlePageView},
        {CanvasDisplayMode::multiPageContinuous, "rectangle.grid.1x2", "Continu", "Scroll", EditorCommand::continuousView},
        {CanvasDisplayMode::multiPageGrid, "square.grid.2x2", "Planche", "Grid", EditorCommand::gridView},
    }};
    auto* picker = new Tray;
    picker->setObjectName(QStringLiteral("displayModePicker"));
    m_modePicker = picker;
    for (const Mode& mode : modes) {
        auto* button = new ModeButton(m_model, mode.mode, QLatin1String(mode.symbol));
        const QString key = keys(mode.command);
        button->setToolTip(L(QStringLiteral("Vue ") + QString::fromUtf8(mode.french) + QStringLiteral(" (") + key +
                                 QLatin1Char(')'),
                             QString::fromUtf8(mode.english) + QStringLiteral(" view (") + key + QLatin1Char(')')));
        // It shows no text: its tooltip names it.
        button->setAccessibleName(button->toolTip());
        picker->layout()->addWidget(button);
    }
    return picker;
}

QWidget* TopBar::makeZoomControls()
{
    auto* group = new QWidget;
    group->setObjectName(QStringLiteral("zoomControls"));
    auto* layout = new QHBoxLayout(group);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    auto* zoomOut = new IconButton(QStringLiteral("minus.magnifyingglass"),
                                   withKeys("Zoom arrière", "Zoom out", keys(EditorCommand::zoomOut)),
                                   [this] { m_model.zoomOut(); });
    zoomOut->setObjectName(QStringLiteral("zoomOut"));
    auto* percent = new ZoomPercentButton(m_model);
    m_zoomPercent = percent;
    const QString resetKeys = singleKeysText(SingleKeyAction::resetView);
    percent->setToolTip(L(QStringLiteral("Réinitialiser la vue à 100 % (") + resetKeys + QLatin1Char(')'),
                          QStringLiteral("Reset view to 100% (") + resetKeys + QLatin1Char(')')));
    percent->setAccessibleName(percent->toolTip());
    connect(percent, &QAbstractButton::clicked, this, [this] { m_model.resetView(); });
    auto* zoomIn = new IconButton(QStringLiteral("plus.magnifyingglass"),
                                  withKeys("Zoom avant", "Zoom in", keys(EditorCommand::zoomIn)),
                                  [this] { m_model.zoomIn(); });
    zoomIn->setObjectName(QStringLiteral("zoomIn"));
    auto* fit = new IconButton(QStringLiteral("arrow.up.left.and.down.right.magnifyingglass"),
                               withKeys("Cadrer tout ou cadrer la sélection", "Fit page or frame selection",
                                        singleKeysText(SingleKeyAction::fitPageOrSelection)),
                               [this] { m_model.fitSelectionOrPageAnimated(); });
    fit->setObjectName(QStringLiteral("fit"));
    m_textFrames = new IconButton(QStringLiteral("character.textbox"),
                                  L("Afficher ou masquer les cadres des textes PDF éditables",
                                    "Show or hide editable PDF text frames"),
                                  [this] { m_model.setShowPDFTextBoxes(!m_model.showPDFTextBoxes()); });
    m_textFrames->setObjectName(QStringLiteral("textFrames"));
    m_textFrames->setTint(Theme::tcp());
    for (IconButton* button : {zoomOut, zoomIn, fit})
        button->setTint(Theme::accent());
    layout->addWidget(zoomOut);
    layout->addWidget(percent);
    layout->addWidget(zoomIn);
    layout->addWidget(fit);
    layout->addWidget(m_textFrames);
    return group;
}

QWidget* TopBar::makeSearchField()
{
    m_searchField = new SearchFrame(m_searchEdit);
    m_searchField->setObjectName(QStringLiteral("searchField"));
    // 142 wide, narrower only when the window is too narrow for the whole bar.
    m_searchField->setMinimumWidth(kSearchMinWidth);
    m_searchField->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    m_searchField->setToolTip(withKeys("Rechercher un texte dans le PDF/SVG ou filtrer les éléments",
                                       "Search text in PDF/SVG or filter elements", keys(EditorCommand::searchText)));
    auto* layout = new QHBoxLayout(m_searchField);
    layout->setContentsMargins(7, 4, 7, 4);
    layout->setSpacing(5);
    auto* glass = new QLabel;
    glass->setFixedSize(11, 11);
    layout->addWidget(glass);

    m_searchEdit = new QLineEdit;
    m_searchEdit->setObjectName(QStringLiteral("searchEdit"));
    m_searchEdit->setFrame(false);
    // Focused by a click or a search request, never by the window opening.
    m_searchEdit->setFocusPolicy(Qt::ClickFocus);
    m_searchEdit->setFont(Theme::font(11));
    m_searchEdit->setPlaceholderText(L("Filtrer texte / calque", "Filter text / layer"));
    QPalette palette = m_searchEdit->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    palette.setColor(QPalette::Text, Theme::text());
    palette.setColor(QPalette::PlaceholderText, Theme::textFaint());
    m_searchEdit->setPalette(palette);
    m_searchEdit->installEventFilter(this);
    connect(m_searchEdit, &QLineEdit::textEdited, this,
            [this](const QString& text) { m_model.controller().setSearchQuery(text); });
    layout->addWidget(m_searchEdit, 1);

    m_searchClear = new SymbolButton(QStringLiteral("xmark.circle.fill"), 11, Theme::textDim(),
                                     [this] { m_model.controller().setSearchQuery(QString()); });
    m_searchClear->setObjectName(QStringLiteral("searchClear"));
    m_searchClear->setToolTip(L("Effacer la recherche", "Clear search"));
    layout->addWidget(m_searchClear);
    // Wider than 142 when the placeholder needs it (French): the field's
    // margins, the glass and its gap, and the line edit's own 2 + 2.
    const int placeholderWidth = m_searchEdit->fontMetrics().horizontalAdvance(m_searchEdit->placeholderText());
    m_searchField->setMaximumWidth(std::max(kSearchWidth, 7 + 11 + 5 + 2 + placeholderWidth + 2 + 7 + 1));

    auto paintGlass = [this, glass] {
        glass->setPixmap(barSymbol(QStringLiteral("magnifyingglass"), 11,
                                            m_searchEdit->hasFocus() ? Theme::accent() : Theme::textDim(),
                                            glass->devicePixelRatioF()));
        m_searchField->update();
    };
    m_refreshGlass = paintGlass;
    paintGlass();
    return m_searchField;
}

bool TopBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_searchEdit) {
        switch (event->type()) {
        case QEvent::KeyPress:
            if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
                m_model.controller().setSearchQuery(QString());
                m_searchEdit->clearFocus();
                return true;
            }
            break;
        case QEvent::ShortcutOverride:
            // Escape belongs to the field while it has the focus.
            if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
                event->accept();
                return true;
            }
            break;
        case QEvent::FocusIn:
        case QEvent::FocusOut:
            if (m_refreshGlass)
                m_refreshGlass();
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TopBar::refreshHistory()
{
    const VectorController& controller = m_model.controller();
    m_undo->setEnabled(controller.canUndo());
    m_redo->setEnabled(controller.canRedo());
}

void TopBar::refreshSearch()
{
    const QString& query = m_model.controller().searchQuery();
    if (m_searchEdit->text() != query)
        m_searchEdit->setText(query);
    m_searchClear->setVisible(!query.isEmpty());
}

void TopBar::fillStampMenu()
{
    m_stampMenu->clear();
    m_stampMenu->addSection(L("Apposer un tampon vectoriel", "Place Vector Stamp"));
    for (VectorStampKind kind : EnumCases<VectorStampKind>::all) {
        QAction* action = m_stampMenu->addAction(SymbolIcon::icon(QStringLiteral("seal.fill")), defaultTitle(kind));
        action->setData(rawValue(kind));
        connect(action, &QAction::triggered, this, [this, kind] {
            VectorController& controller = m_model.controller();
            controller.setActiveStampKind(kind);
            controller.stampApprovalBadge(kind);
        });
    }
    m_stampMenu->addSeparator();
    m_stampMenu->addSection(L("Choisir la signature active", "Choose Active Signature"));
    for (const SignaturePreset& preset : m_model.controller().signatures()) {
        QString title = preset.title + QStringLiteral(" (") + preset.caption + QLatin1Char(')');
        // A lone "&" would read as a mnemonic.
        title.replace(QLatin1Char('&'), QStringLiteral("&&"));
        QAction* action = m_stampMenu->addAction(SymbolIcon::icon(QStringLiteral("signature")), title);
        action->setData(preset.id);
        const QUuid id = preset.id;
        connect(action, &QAction::triggered, this, [this, id] {
            VectorController& controller = m_model.controller();
            controller.setActiveSignaturePresetID(id);
            controller.stampActiveSignature();
        });
    }
}

void TopBar::showStampMenu()
{
    m_stampMenu->popup(m_stampButton->mapToGlobal(QPoint(0, m_stampButton->height() + 2)));
}

void TopBar::addPage()
{
    // One undo step; the new page, right after the current one, becomes current.
    m_model.controller().addBlankPage(PageFormatPreset::a4Portrait);
}

}  // namespace zelvane
