#include "sheets/ExportSheet.h"

#include "Localization.h"
#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "controls/Chip.h"
#include "controls/SectionHeader.h"
#include "controls/SymbolIcon.h"
#include "controls/TextButton.h"
#include "export/SVGExport.h"
#include "sheets/SheetParts.h"
#include "theme/Theme.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace zelvane {

namespace {

constexpr int kPadding = 20;

QLabel* label(const QString& text, double size, QFont::Weight weight, const QColor& color, bool wraps = false)
{
    auto* result = new QLabel(text);
    result->setTextFormat(Qt::PlainText);
    result->setFont(Theme::font(size, weight));
    QPalette palette = result->palette();
    palette.setColor(QPalette::WindowText, color);
    result->setPalette(palette);
    result->setWordWrap(wraps);
    result->setAttribute(Qt::WA_TransparentForMouseEvents);
    return result;
}

struct FormatText {
    ExportFormat format;
    QString title;
    QString description;
};

QList<FormatText> formatTexts()
{
    return {
        {ExportFormat::pdf, L("Document PDF vectoriel multipage (.pdf)", "Multi-Page Vector PDF (.pdf)"),
         L("Conserve le flux PDF d'origine, applique les textes édités, signatures et formes en pur vectoriel.",
           "Preserves original PDF vector streams, applies edited text blocks, signatures, and vector shapes.")},
        {ExportFormat::svg, L("Graphique vectoriel SVG 1.1 (.svg)", "SVG 1.1 Vector Graphic (.svg)"),
         L("SVG standard, lisible par Illustrator, Inkscape, les navigateurs web et les outils de vectorisation.",
           "Standard SVG that opens in Illustrator, Inkscape, web browsers, and vectorizing tools.")},
        {ExportFormat::png, L("Image haute définition PNG (.png)", "High-DPI PNG Image (.png)"),
         L("Rendu bitmap HiDPI (2×) de la page active pour partage rapide ou fiche régie.",
           "HiDPI (2×) bitmap render of the active page for quick sharing or stage sheets.")},
    };
}

// One format: a radio mark, the title and its description; the whole row
// takes clicks, and the chosen one sits on a lighter lane.
class FormatRow : public QAbstractButton {
public:
    FormatRow(AppModel& model, const FormatText& text) : m_model(model), m_format(text.format)
    {
        setObjectName(QStringLiteral("format.") + rawValue(text.format));
        setFocusPolicy(Qt::TabFocus);
        auto* layout = new QHBoxLayout(this);
        layout->setContentsMargins(8, 8, 8, 8);
        layout->setSpacing(10);
        m_radio = new QLabel;
        m_radio->setFixedSize(12, 12);
        m_radio->setAttribute(Qt::WA_TransparentForMouseEvents);
        layout->addWidget(m_radio, 0, Qt::AlignTop);
        auto* texts = new QVBoxLayout;
        texts->setContentsMargins(0, 0, 0, 0);
        texts->setSpacing(2);
        texts->addWidget(label(text.title, 12, QFont::Medium, Theme::text()));
        texts->addWidget(label(text.description, 10.5, QFont::Normal, Theme::textDim(), true));
        layout->addLayout(texts, 1);
        connect(this, &QAbstractButton::clicked, this, [this] { m_model.setExportFormat(m_format); });
        refresh();
    }

    bool chosen() const { return rawValue(m_model.exportFormat()) == rawValue(m_format); }

    void refresh()
    {
        m_radio->setPixmap(chosen() ? SymbolIcon::tinted(QStringLiteral("largecircle.fill.circle"), 12,
                                                         Theme::accent(), devicePixelRatioF())
                                    : SymbolIcon::tinted(QStringLiteral("circle"), 12, Theme::textFaint(),
                                                         devicePixelRatioF()));
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        if (!chosen())
            return;
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Theme::laneSelected());
        painter.drawRoundedRect(QRectF(rect()), 6, 6);
    }

private:
    AppModel& m_model;
    ExportFormat m_format;
    QLabel* m_radio;
};

}  // namespace

ExportSheet::ExportSheet(AppModel& model, QWidget* parent) : QWidget(parent), m_model(model)
{
    setFixedWidth(kWidth);
    setFocusPolicy(Qt::StrongFocus);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
    layout->setSpacing(16);

    layout->addWidget(label(L("Exporter le document vectoriel", "Export Vector Document"), 15, QFont::DemiBold,
                            Theme::text()));
    layout->addWidget(new SectionHeader(QStringLiteral("Format")));

    auto* rows = new QVBoxLayout;
    rows->setSpacing(4);
    QList<FormatRow*> formatRows;
    for (const FormatText& text : formatTexts()) {
        auto* row = new FormatRow(model, text);
        formatRows.append(row);
        rows->addWidget(row);
    }
    layout->addLayout(rows);

    m_chips = new QHBoxLayout;
    m_chips->setSpacing(8);
    layout->addLayout(m_chips);

    auto* buttons = new QHBoxLayout;
    auto* cancel = new QPushButton(L("Annuler", "Cancel"));
    cancel->setObjectName(QStringLiteral("cancel"));
    // Return and Escape are the sheet's own keys, never a button's.
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, this, &ExportSheet::cancel);
    buttons->addWidget(cancel);
    buttons->addStretch();
    m_copy = new TextButton(L("Copier le code SVG", "Copy SVG Code"), [this] { copySVG(); });
    m_copy->setObjectName(QStringLiteral("copySVG"));
    m_copy->setSymbol(QStringLiteral("doc.on.doc"));
    buttons->addWidget(m_copy);
    auto* save = new TextButton(L("Enregistrer…", "Save…"), [this] { this->save(); });
    save->setObjectName(QStringLiteral("save"));
    save->setSymbol(QStringLiteral("square.and.arrow.down"));
    save->setProminent(true);
    buttons->addWidget(save);
    layout->addLayout(buttons);

    connect(&model, &AppModel::exportFormatChanged, this, [this, formatRows] {
        for (FormatRow* row : formatRows)
            row->refresh();
        refreshFormat();
    });
    connect(&model.controller(), &VectorController::documentChanged, this, &ExportSheet::refreshChips);
    refreshFormat();
    refreshChips();
}

void ExportSheet::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), Theme::panel());
}

void ExportSheet::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        cancel();
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        save();
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void ExportSheet::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    setFocus();
}

void ExportSheet::refreshFormat()
{
    m_copy->setVisible(m_model.exportFormat() == ExportFormat::svg);
}

void ExportSheet::refreshChips()
{
    while (QLayoutItem* item = m_chips->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    const VectorDocument& document = m_model.controller().document();
    auto addChip = [this](const QString& text, const QColor& tint, const char* name) {
        auto* chip = new Chip(text, tint);
        chip->setObjectName(QLatin1String(name));
        m_chips->addWidget(chip);
    };
    addChip(QString::number(document.pages.size()) + QStringLiteral(" pages"), Theme::accent(), "pagesChip");
    addChip(QString::number(document.totalElementsCount()) + L(" éléments", " elements"), Theme::tcp(),
            "elementsChip");
    if (const qint64 signatures = document.signatureCount(); signatures >= 1)
        addChip(QString::number(signatures) + QStringLiteral(" signatures"), Theme::alive(), "signaturesChip");
    m_chips->addStretch();
    fitHeight();
}

void ExportSheet::fitHeight()
{
    QLayout* sheetLayout = layout();
    sheetLayout->activate();
    setFixedHeight(sheetLayout->hasHeightForWidth() ? sheetLayout->totalHeightForWidth(kWidth)
                                                    : sheetLayout->totalSizeHint().height());
    if (window() != this)
        window()->adjustSize();
}

void ExportSheet::cancel()
{
    m_model.setShowExportSheet(false);
}

void ExportSheet::copySVG()
{
    const QString svg = SVGCodec::exportSVG(m_model.controller().document());
    SheetParts::copyPlainText(svg);
    m_model.setShowExportSheet(false);
    m_model.flash(L("Code SVG copié dans le presse-papiers", "SVG code copied to clipboard"));
}

void ExportSheet::save()
{
    // The save closes the sheet on success; a failure leaves it open.
    m_model.saveDocumentPanel(m_model.exportFormat());
}

}  // namespace zelvane
