#include "panels/inspector/TextControls.h"

#include "Localization.h"
#include "VectorController.h"
#include "controls/IconButton.h"
#include "controls/SymbolIcon.h"
#include "fonts/PDFEmbeddedFontRegistry.h"
#include "fonts/TextFonts.h"
#include "panels/inspector/ElementCommitField.h"
#include "panels/inspector/ElementEdits.h"
#include "panels/inspector/ElementSliderRow.h"
#include "panels/inspector/FontFamilyList.h"
#include "panels/inspector/InspectorFormat.h"
#include "panels/inspector/InspectorWidgets.h"
#include "theme/Theme.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace zelvane {

namespace {

using TextChange = std::function<void(TextPayload&)>;

// What a change of the payload does to the frame.
enum class Refit {
    none,     // alignment: the frame stays
    content,  // the text: the frame follows the new text
    style,    // size, face, weight or slant: the frame follows the new style
};

// Changes the payload of a text element and refits its frame as asked;
// other kinds stay as they are.
ElementEdits::Change textChange(TextChange change, Refit refit)
{
    return [change = std::move(change), refit](VectorElement& element) {
        TextPayload* payload = element.text();
        if (!payload)
            return;
        const TextPayload before = *payload;
        change(*payload);
        if (refit == Refit::content)
            PDFCodec::updateTextFrameForEditedContent(element);
        else if (refit == Refit::style)
            PDFCodec::updateTextFrameForRestyledContent(element, before);
    };
}

// The rounded tinted band behind the PDF status line.
class StatusBand : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Theme::withOpacity(Theme::tcp(), 0.08));
        painter.drawRoundedRect(QRectF(rect()), 5, 5);
    }
};

QString alignmentSymbol(TextAlignmentMode mode)
{
    switch (mode) {
    case TextAlignmentMode::left: return QStringLiteral("text.alignleft");
    case TextAlignmentMode::center: return QStringLiteral("text.aligncenter");
    case TextAlignmentMode::right: break;
    }
    return QStringLiteral("text.alignright");
}

}  // namespace

TextControls::TextControls(VectorController& controller, QWidget* parent)
    : QWidget(parent), m_controller(controller)
{
    auto* column = InspectorWidgets::column(this, 8);

    // 1. Whether the PDF's own glyphs are masked.
    m_pdfStatus = new StatusBand(this);
    auto* statusRow = new QHBoxLayout(m_pdfStatus);
    statusRow->setContentsMargins(7, 7, 7, 7);
    statusRow->setSpacing(6);
    auto* statusIcon = new QLabel(m_pdfStatus);
    statusIcon->setPixmap(SymbolIcon::tinted(QStringLiteral("doc.text.magnifyingglass"), 13, Theme::tcp(),
                                             devicePixelRatioF()));
    statusRow->addWidget(statusIcon);
    m_pdfStatusText = new QLabel(m_pdfStatus);
    m_pdfStatusText->setFont(Theme::font(10.5, QFont::Medium));
    m_pdfStatusText->setWordWrap(true);
    statusRow->addWidget(m_pdfStatusText, 1);
    column->addWidget(m_pdfStatus);

    // 2. The content, committed as typed.
    m_content = new ElementCommitField(
        L("Contenu du texte…", "Text content…"),
        [this](const QUuid& target, bool draft, const QString& text) {
            const auto change = textChange([text](TextPayload& p) { p.text = text; }, Refit::content);
            const QString label = L("Texte modifié", "Text updated");
            ElementEdits::commitField(m_controller, target, draft, label, change);
        },
        this);
    column->addWidget(m_content);

    // 3. The font family.
    auto* fontRow = new QHBoxLayout;
    fontRow->setSpacing(6);
    auto* fontLabel = InspectorWidgets::label(L("Police", "Font"), 11, Theme::textDim(), this);
    fontLabel->setFixedWidth(48);
    fontRow->addWidget(fontLabel);
    m_fontList = new FontFamilyList(this);
    fontRow->addWidget(m_fontList, 1);
    column->addLayout(fontRow);
    connect(m_fontList, &QComboBox::activated, this, [this](int index) {
        const QString family = m_fontList->itemText(index);
        editText(L("Police modifiée", "Font updated"), true, [family](TextPayload& p) {
            p.fontFamily = family;
            p.postScriptFontName.reset();
        });
    });

    // 4. The size, live.
    m_size = new ElementSliderRow(controller,
                                  {L("Corps", "Size"), 0, 6, 42, &InspectorFormat::pointsOneDecimal, 46,
                                   Theme::textDim(),
                                   [](VectorElement& element, double value) {
                                       textChange([value](TextPayload& p) { p.fontSize = value; }, Refit::style)(element);
                                   }},
                                  this);
    static_cast<QHBoxLayout*>(m_size->layout())->setSpacing(6);
    column->addWidget(m_size);

    // 5. Bold, italic and the alignment.
    auto* styleRow = new QHBoxLayout;
    styleRow->setSpacing(6);
    m_bold = new IconButton(QStringLiteral("bold"), L("Gras", "Bold"), [this] {
        editText(QString(), true, [](TextPayload& p) { p.isBold = !p.isBold; });
    });
    m_italic = new IconButton(QStringLiteral("italic"), L("Italique", "Italic"), [this] {
        editText(QString(), true, [](TextPayload& p) { p.isItalic = !p.isItalic; });
    });
    for (IconButton* button : {m_bold, m_italic}) {
        button->setTint(Theme::accent());
        styleRow->addWidget(button);
    }
    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::VLine);
    divider->setFixedHeight(14);
    divider->setStyleSheet(QStringLiteral("color: %1;").arg(Theme::white(0.12).name(QColor::HexArgb)));
    styleRow->addWidget(divider);
    for (const TextAlignmentMode mode : EnumCases<TextAlignmentMode>::all) {
        auto* button = new IconButton(alignmentSymbol(mode), label(mode), [this, mode] {
            editText(QString(), false, [mode](TextPayload& p) { p.alignment = mode; });
        });
        button->setTint(Theme::accent());
        styleRow->addWidget(button);
        m_alignment.append(button);
    }
    styleRow->addStretch(1);
    column->addLayout(styleRow);
}

void TextControls::editText(const QString& label, bool restyles, const std::function<void(TextPayload&)>& change)
{
    ElementEdits::apply(m_controller, m_elementID, label, textChange(change, restyles ? Refit::style : Refit::none));
}

void TextControls::showElement(const VectorElement& element, const TextPayload& payload)
{
    m_elementID = element.id;
    m_pdfStatus->setVisible(payload.isPDFExtracted);
    if (payload.isPDFExtracted) {
        const bool modified = element.hasModifiedPDFText();
        m_pdfStatusText->setText(modified ? L("Texte PDF modifié (masquage vectoriel actif)",
                                              "Edited PDF text (vector mask active)")
                                          : L("Texte extrait du flux PDF natif", "Text extracted from native PDF stream"));
        QPalette palette = m_pdfStatusText->palette();
        palette.setColor(QPalette::WindowText, modified ? Theme::alive() : Theme::tcp());
        m_pdfStatusText->setPalette(palette);
    }
    m_content->showElement(element.id, payload.text);
    m_fontList->showFamilies(
        FontFamilyList::familyList(payload.fontFamily, PDFEmbeddedFontRegistry::shared().registeredFamilyNames()),
        payload.fontFamily);
    m_size->showValue(element.id, payload.fontSize);
    m_bold->setActive(payload.isBold);
    m_italic->setActive(payload.isItalic);
    for (int i = 0; i < m_alignment.size(); ++i)
        m_alignment[i]->setActive(EnumCases<TextAlignmentMode>::all[std::size_t(i)] == payload.alignment);
}

}  // namespace zelvane
