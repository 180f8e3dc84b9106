#include "sheets/HelpManualSheet.h"

#include "AppVersion.h"
#include "Localization.h"
#include "appmodel/AppModel.h"
#include "appmodel/CommandShortcuts.h"
#include "controls/SeparatorLine.h"
#include "controls/SymbolIcon.h"
#include "sheets/HelpManualContent.h"
#include "sheets/SheetParts.h"
#include "theme/Theme.h"

#include <QAbstractButton>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

namespace zelvane {

using namespace SheetParts;

namespace {

using SectionID = HelpManualSheet::SectionID;

// A widget filled with one colour.
QWidget* filled(const QColor& color)
{
    auto* widget = new QWidget;
    widget->setAutoFillBackground(true);
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, color);
    widget->setPalette(palette);
    return widget;
}

// One row of the section list: icon and title, a rounded fill when chosen.
class SectionRow : public QAbstractButton {
public:
    SectionRow(SectionID section, std::function<void()> choose) : m_section(section)
    {
        setText(HelpManualSheet::title(section));
        setObjectName(QStringLiteral("section-") + HelpManualSheet::rawValue(section));
        setFocusPolicy(Qt::TabFocus);
        setCursor(Qt::PointingHandCursor);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        connect(this, &QAbstractButton::clicked, this, std::move(choose));
    }

    void setSelected(bool selected)
    {
        m_selected = selected;
        update();
    }
    bool selected() const { return m_selected; }

    // At least 184 points wide, wider when the title (in the weight it has
    // when chosen) needs it.
    QSize sizeHint() const override
    {
        const QFontMetricsF metrics(titleFont());
        const double titleWidth = QFontMetricsF(Theme::font(12, QFont::DemiBold)).horizontalAdvance(text());
        return QSize(std::max(184, int(std::ceil(kTextLeft + titleWidth + kTextRight))),
                     int(std::ceil(std::max(metrics.height(), 16.0))) + 14);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        if (m_selected) {
            QPainterPath shape;
            shape.addRoundedRect(QRectF(rect()), 6, 6);
            painter.fillPath(shape, Theme::laneSelected());
        }
        const QColor iconColor = m_selected ? Theme::accent() : Theme::textDim();
        const QColor titleColor = m_selected ? Theme::text() : Theme::textDim();
        const int iconSize = 14;
        const QPixmap icon =
            SymbolIcon::tinted(HelpManualSheet::icon(m_section), iconSize, iconColor, devicePixelRatioF());
        // Icon column 18 points wide, 10 points in from the left.
        painter.drawPixmap(QPointF(10 + (18 - iconSize) / 2.0, (height() - iconSize) / 2.0), icon);
        painter.setFont(titleFont());
        painter.setPen(titleColor);
        const double x = kTextLeft;
        painter.drawText(QRectF(x, 0, width() - x - kTextRight, height()),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text());
    }

private:
    // Icon column 18 points wide, 10 points in from the left, then 9.
    static constexpr double kTextLeft = 10 + 18 + 9;
    static constexpr double kTextRight = 10;
    QFont titleFont() const { return Theme::font(12, m_selected ? QFont::DemiBold : QFont::Medium); }

    SectionID m_section;
    bool m_selected = false;
};

// The round number badge of a step.
class StepBadge : public QWidget {
public:
    explicit StepBadge(const QString& number) : m_number(number)
    {
        setFixedSize(22, 22);
        setObjectName(QStringLiteral("stepBadge"));
    }
    const QString& number() const { return m_number; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF area(0, 0, 22, 22);
        painter.setBrush(Theme::withOpacity(Theme::accent(), 0.14));
        painter.setPen(QPen(Theme::withOpacity(Theme::accent(), 0.35), 1));
        painter.drawEllipse(area.adjusted(0.5, 0.5, -0.5, -0.5));
        painter.setFont(Theme::font(11, QFont::Bold));
        painter.setPen(Theme::accent());
        painter.drawText(area, Qt::AlignCenter, m_number);
    }

private:
    QString m_number;
};

class Dot : public QWidget {
public:
    Dot() { setFixedSize(5, 11); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Theme::accent());
        painter.drawEllipse(QRectF(0, 6, 5, 5));
    }
};

QWidget* sectionHeader(const QString& title, const QString& subtitle)
{
    auto* widget = new QWidget;
    auto* layout = column(4);
    widget->setLayout(layout);
    QLabel* heading = label(title, 16, QFont::DemiBold, Theme::text(), true);
    heading->setObjectName(QStringLiteral("sectionHeading"));
    layout->addWidget(heading);
    layout->addWidget(label(subtitle, 12, QFont::Normal, Theme::textDim(), true));
    layout->addSpacing(6 - 4);
    layout->addWidget(separatorLine());
    return widget;
}

QWidget* numberedStep(const QString& number, const QString& title, const QString& body)
{
    auto* widget = new QWidget;
    auto* row = new QHBoxLayout(widget);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(12);
    row->addWidget(new StepBadge(number), 0, Qt::AlignTop);
    auto* texts = column(3);
    texts->addWidget(label(title, 12.5, QFont::DemiBold, Theme::text(), true));
    texts->addWidget(label(body, 11.5, QFont::Normal, Theme::textDim(), true));
    row->addLayout(texts, 1);
    return widget;
}

QWidget* bulletList(const QList<HelpManualSection::Item>& items)
{
    auto* card = new RoundedBox(Theme::lane(), 8);
    card->setObjectName(QStringLiteral("bulletCard"));
    card->setBorder(Theme::white(0.06));
    auto* layout = column(10);
    layout->setContentsMargins(12, 12, 12, 12);
    card->setLayout(layout);
    for (const HelpManualSection::Item& item : items) {
        auto* row = new QHBoxLayout;
        row->setSpacing(10);
        row->addWidget(new Dot, 0, Qt::AlignTop);
        auto* texts = column(2);
        texts->addWidget(label(item.title, 12, QFont::DemiBold, Theme::text(), true));
        texts->addWidget(label(item.text, 11.5, QFont::Normal, Theme::textDim(), true));
        row->addLayout(texts, 1);
        layout->addLayout(row);
    }
    return card;
}

}  // namespace

const QList<HelpManualSheet::SectionID>& HelpManualSheet::allSections()
{
    static const QList<SectionID> sections{SectionID::quickStart, SectionID::pdfTextEditing,
                                           SectionID::signaturesAndStamps, SectionID::multipageAndSVG,
                                           SectionID::oscAndMCP};
    return sections;
}

QString HelpManualSheet::rawValue(SectionID section)
{
    switch (section) {
    case SectionID::quickStart:
        return QStringLiteral("quickStart");
    case SectionID::pdfTextEditing:
        return QStringLiteral("pdfTextEditing");
    case SectionID::signaturesAndStamps:
        return QStringLiteral("signaturesAndStamps");
    case SectionID::multipageAndSVG:
        return QStringLiteral("multipageAndSVG");
    case SectionID::oscAndMCP:
        return QStringLiteral("oscAndMCP");
    }
    return {};
}

QString HelpManualSheet::title(SectionID section)
{
    switch (section) {
    case SectionID::quickStart:
        return L("Démarrage rapide", "Quick Start");
    case SectionID::pdfTextEditing:
        return L("Édition du texte PDF", "PDF Text Editing");
    case SectionID::signaturesAndStamps:
        return L("Signatures & Tampons", "Signatures & Stamps");
    case SectionID::multipageAndSVG:
        return L("Multipage, SVG & PDF", "Multi-Page, SVG & PDF");
    case SectionID::oscAndMCP:
        return L("OSC, API HTTP & MCP", "OSC, HTTP API & MCP");
    }
    return {};
}

QString HelpManualSheet::icon(SectionID section)
{
    switch (section) {
    case SectionID::quickStart:
        return QStringLiteral("play.circle");
    case SectionID::pdfTextEditing:
        return QStringLiteral("doc.text.magnifyingglass");
    case SectionID::signaturesAndStamps:
        return QStringLiteral("signature");
    case SectionID::multipageAndSVG:
        return QStringLiteral("rectangle.stack");
    case SectionID::oscAndMCP:
        return QStringLiteral("antenna.radiowaves.left.and.right");
    }
    return {};
}

HelpManualSheet::HelpManualSheet(AppModel& model, QWidget* parent)
    : HelpManualSheet(
          [&model] { QTimer::singleShot(0, &model, [&model] { model.setShowShortcuts(true); }); },
          [&model] { model.setShowHelp(false); }, parent)
{
}

HelpManualSheet::HelpManualSheet(std::function<void()> openShortcuts, std::function<void()> close, QWidget* parent)
    : SheetView(std::move(close), parent), m_openShortcuts(std::move(openShortcuts))
{
    setObjectName(QStringLiteral("HelpManualSheetView"));
    setFixedSize(kWidth, kHeight);
    auto* layout = column(0);
    setLayout(layout);
    layout->addWidget(makeHeader());
    layout->addWidget(separatorLine());
    layout->addWidget(makeMiddle(), 1);
    layout->addWidget(separatorLine());
    layout->addWidget(makeFooter());
    showSection();
}

QWidget* HelpManualSheet::makeHeader()
{
    QWidget* header = filled(Theme::header());
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(20, 14, 20, 14);
    row->setSpacing(10);
    row->addWidget(symbol(QStringLiteral("book.closed"), 16, Theme::accent()));
    row->addWidget(label(L("Guide d’utilisation — Zelvane", "User Guide — Zelvane"), 15, QFont::DemiBold,
                         Theme::text()));
    row->addStretch(1);
    QLabel* version = label(versionLabel(AppVersion::current()), 11, QFont::Normal, Theme::textFaint());
    version->setObjectName(QStringLiteral("versionLabel"));
    row->addWidget(version);
    return header;
}

QWidget* HelpManualSheet::makeMiddle()
{
    auto* middle = new QWidget;
    auto* row = new QHBoxLayout(middle);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    QWidget* sidebar = filled(Theme::header());
    auto* list = column(4);
    list->setContentsMargins(10, 10, 10, 10);
    sidebar->setLayout(list);
    // 204 points, or more when a title would be cut (French).
    int rowWidth = 184;
    for (SectionID section : allSections()) {
        auto* button = new SectionRow(section, [this, section] { selectSection(section); });
        m_sectionButtons.append(button);
        list->addWidget(button);
        rowWidth = std::max(rowWidth, button->sizeHint().width());
    }
    sidebar->setFixedWidth(rowWidth + 20);
    list->addStretch(1);
    row->addWidget(sidebar);
    row->addWidget(separatorLine(Qt::Vertical));

    m_scroll = new QScrollArea;
    m_scroll->setObjectName(QStringLiteral("manualContent"));
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setFocusPolicy(Qt::NoFocus);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_scroll->setWidgetResizable(true);
    QPalette palette = m_scroll->palette();
    palette.setColor(QPalette::Window, Theme::panel());
    m_scroll->setPalette(palette);
    m_scroll->viewport()->setAutoFillBackground(true);
    m_scroll->viewport()->setPalette(palette);
    row->addWidget(m_scroll, 1);
    return middle;
}

QWidget* HelpManualSheet::makeFooter()
{
    QWidget* footer = filled(Theme::header());
    auto* row = new QHBoxLayout(footer);
    row->setContentsMargins(20, 12, 20, 12);
    auto* shortcuts = new PlainButton(QStringLiteral("keyboard"),
                                      L("Raccourcis clavier (" + shortcutText(EditorCommand::keyboardShortcuts) + ")",
                                        "Keyboard Shortcuts (" + shortcutText(EditorCommand::keyboardShortcuts) + ")"), 11.5,
                                      Theme::textDim(), [this] {
                                          // The guide goes first; the card opens on a later turn.
                                          closeSheet();
                                          if (m_openShortcuts)
                                              m_openShortcuts();
                                      });
    shortcuts->setObjectName(QStringLiteral("shortcutsButton"));
    m_shortcutsButton = shortcuts;
    row->addWidget(shortcuts);
    row->addStretch(1);
    m_okButton = pushButton(QStringLiteral("OK"), "ok", [this] {
        closeSheet();
    }, true);
    row->addWidget(m_okButton);
    return footer;
}

QWidget* HelpManualSheet::sectionContent(SectionID section)
{
    const HelpManualSection text = helpManualSection(section);
    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("section-content-") + rawValue(section));
    auto* layout = column(18);
    layout->setContentsMargins(22, 22, 22, 22);
    content->setLayout(layout);
    layout->addWidget(sectionHeader(text.heading, text.subtitle));
    if (text.numbered) {
        for (qsizetype i = 0; i < text.items.size(); ++i)
            layout->addWidget(numberedStep(QString::number(i + 1), text.items[i].title, text.items[i].text));
    } else {
        layout->addWidget(bulletList(text.items));
    }
    layout->addStretch(1);
    return content;
}

void HelpManualSheet::selectSection(SectionID section)
{
    if (section == m_selected && m_scroll->widget())
        return;
    m_selected = section;
    showSection();
}

void HelpManualSheet::showSection()
{
    for (qsizetype i = 0; i < m_sectionButtons.size(); ++i)
        static_cast<SectionRow*>(m_sectionButtons[i])->setSelected(allSections()[i] == m_selected);
    // setWidget() deletes the previous content.
    m_scroll->setWidget(sectionContent(m_selected));
    m_scroll->verticalScrollBar()->setValue(0);
}

QAbstractButton* HelpManualSheet::sectionButton(SectionID section) const
{
    const qsizetype index = allSections().indexOf(section);
    return index >= 0 ? m_sectionButtons.value(index) : nullptr;
}

QString HelpManualSheet::currentHeading() const
{
    const auto* heading = m_scroll->widget() ? m_scroll->widget()->findChild<QLabel*>(QStringLiteral("sectionHeading"))
                                             : nullptr;
    return heading ? heading->text() : QString();
}

}  // namespace zelvane
