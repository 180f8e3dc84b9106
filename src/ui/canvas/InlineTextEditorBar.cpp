#include "canvas/InlineTextEditorBar.h"

#include "Localization.h"
#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "controls/Chip.h"
#include "controls/IconButton.h"
#include "controls/TextButton.h"
#include "fonts/TextFonts.h"
#include "operations/VectorOperations.h"
#include "theme/Theme.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace zelvane {

namespace {

constexpr int kPadX = 12;
constexpr int kPadY = 7;
constexpr double kRadius = 8;
// Room around the bar for its shadow (radius 10, 4 points down).
constexpr int kShadowMargin = 12;

}  // namespace

InlineTextEditorBar::InlineTextEditorBar(AppModel& model, QWidget* parent)
    : QWidget(parent),
      m_model(model),
      m_chip(new Chip(QStringLiteral("TEXTE"), Theme::accent(), true, this)),
      m_field(new QLineEdit(this)),
      m_apply(new TextButton(QString(), [this] { commitEdit(); }, this)),
      m_restore(new TextButton(QString(), [this] { restoreOriginalPDFText(); }, this)),
      m_close(new IconButton(QStringLiteral("xmark"), QString(),
                             [this] { closeEditing(); }, this))
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(kShadowMargin + kPadX, kShadowMargin + kPadY - 4, kShadowMargin + kPadX,
                               kShadowMargin + kPadY + 4);
    layout->setSpacing(8);
    layout->addWidget(m_chip, 0, Qt::AlignVCenter);
    layout->addWidget(m_field, 1, Qt::AlignVCenter);
    layout->addWidget(m_apply, 0, Qt::AlignVCenter);
    layout->addWidget(m_restore, 0, Qt::AlignVCenter);
    layout->addWidget(m_close, 0, Qt::AlignVCenter);

    // Whole texts fit, however long.
    m_field->setMaxLength(1 << 30);
    m_field->setMinimumWidth(kFieldMinWidth);
    m_field->setMaximumWidth(kFieldMaxWidth);
    m_field->setFrame(false);
    m_field->setFont(Theme::font(12, QFont::Medium));
    m_field->setTextMargins(8, 4, 8, 4);
    m_field->setStyleSheet(QStringLiteral("QLineEdit { background: rgba(255, 255, 255, 18); border-radius: 5px; "
                                          "color: %1; selection-background-color: %2; }")
                               .arg(Theme::text().name(), Theme::withOpacity(Theme::accent(), 0.45).name(QColor::HexArgb)));
    connect(m_field, &QLineEdit::textEdited, this, [this](const QString& text) { m_draft = text; });
    connect(m_field, &QLineEdit::returnPressed, this, &InlineTextEditorBar::commitEdit);
    m_field->installEventFilter(this);

    m_apply->setSymbol(QStringLiteral("checkmark"));
    m_apply->setProminent(true);
    m_apply->setCompact(true);
    m_restore->setSymbol(QStringLiteral("arrow.uturn.backward"));
    m_restore->setCompact(true);
    m_close->setTint(Theme::textDim());

    connect(&m_model, &AppModel::languageChanged, this, &InlineTextEditorBar::retranslate);
    retranslate();
    refreshControls();
}

void InlineTextEditorBar::retranslate()
{
    m_field->setPlaceholderText(L("Texte du bloc…", "Block text…"));
    m_apply->setTitle(L("Appliquer", "Apply"));
    m_restore->setTitle(L("Origine PDF", "Original PDF"));
    m_close->setHelpText(L("Fermer", "Close"));
    adjustSize();
}

void InlineTextEditorBar::setElement(const QUuid& elementID, const TextPayload& payload)
{
    // A bar that is appearing starts from the stored text: a draft lives only
    // as long as the bar that showed it.
    const bool restart = isHidden() || elementID != m_elementID || payload.text != m_payload.text;
    m_elementID = elementID;
    m_payload = payload;
    if (restart)
        setDraftText(payload.text);
    refreshControls();
}

void InlineTextEditorBar::setDraftText(const QString& text)
{
    m_draft = text;
    m_field->setText(text);
    m_field->setCursorPosition(int(text.size()));
}

void InlineTextEditorBar::refreshControls()
{
    if (m_payload.isPDFExtracted) {
        m_chip->setText(QStringLiteral("PDF TXT"));
        m_chip->setTint(Theme::tcp());
    } else {
        m_chip->setText(QStringLiteral("TEXTE"));
        m_chip->setTint(Theme::accent());
    }
    // Only the stored text counts, not the draft.
    m_restore->setVisible(m_payload.isPDFExtracted && m_payload.originalPDFText
                          && *m_payload.originalPDFText != m_payload.text);
    adjustSize();
}

void InlineTextEditorBar::commitEdit()
{
    if (m_draft == m_payload.text)
        return;
    VectorController& controller = m_model.controller();
    const QUuid id = m_elementID;
    const QString draft = m_draft;
    controller.perform(L("Texte modifié", "Text edited"), [&](VectorDocument& document) {
        VectorOperations::updateElement(id, controller.currentPageIndex(), document, [&](VectorElement& element) {
            TextPayload* text = element.text();
            if (!text)
                return;
            text->text = draft;
            PDFCodec::updateTextFrameForEditedContent(element);
        });
    });
}

void InlineTextEditorBar::closeEditing()
{
    m_model.setEditingTextElementID(std::nullopt);
}

void InlineTextEditorBar::focusField(std::optional<int> cursor)
{
    m_field->setFocus(Qt::OtherFocusReason);
    if (cursor)
        m_field->setCursorPosition(std::clamp(*cursor, 0, int(m_field->text().size())));
    else
        m_field->selectAll();
}

bool InlineTextEditorBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_field)
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        // Undo and Redo stay with the field while it has typing to take
        // back; then they go to the document's menu commands.
        if (key->matches(QKeySequence::Undo) && !m_field->isUndoAvailable()) {
            key->ignore();
            return true;
        }
        if (key->matches(QKeySequence::Redo) && !m_field->isRedoAvailable()) {
            key->ignore();
            return true;
        }
        if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier) {
            key->accept();
            return true;
        }
    } else if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier) {
            closeEditing();
            return true;
        }
        // Turning the page ends the editing: not while typing waits to be
        // applied, so the draft is not lost to a stray key.
        if ((key->key() == Qt::Key_PageUp || key->key() == Qt::Key_PageDown) && m_draft != m_payload.text)
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

void InlineTextEditorBar::restoreOriginalPDFText()
{
    if (!m_payload.originalPDFText)
        return;
    const QString original = *m_payload.originalPDFText;
    VectorController& controller = m_model.controller();
    const QUuid id = m_elementID;
    controller.perform(L("Texte PDF restauré", "PDF text restored"), [&](VectorDocument& document) {
        VectorOperations::updateElement(id, controller.currentPageIndex(), document, [&](VectorElement& element) {
            TextPayload* text = element.text();
            if (!text)
                return;
            if (text->originalPDFRect)
                element.frame = *text->originalPDFRect;
            text->text = original;
            if (text->originalFontSize)
                text->fontSize = *text->originalFontSize;
            if (text->originalIsBold)
                text->isBold = *text->originalIsBold;
            if (text->originalIsItalic)
                text->isItalic = *text->originalIsItalic;
            element.rotationDegrees = text->originalRotationDegrees.value_or(0);
            if (text->originalFrameWidth && text->originalFrameHeight)
                element.frame = VectorRect(element.frame.x, element.frame.y, *text->originalFrameWidth,
                                           *text->originalFrameHeight);
            if (text->originalFontFamily) {
                text->fontFamily = *text->originalFontFamily;
                text->postScriptFontName = text->originalPostScriptFontName;
            }
            element.style.fillColorHex = text->originalTextColorHex.value_or(QStringLiteral("#111317"));
        });
    });
    setDraftText(original);
}

void InlineTextEditorBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bar = QRectF(rect()).adjusted(kShadowMargin, kShadowMargin - 4, -kShadowMargin, -kShadowMargin - 4);
    // A soft shadow 4 points below: rings of falling opacity.
    for (int i = 10; i >= 1; --i) {
        QPainterPath ring;
        ring.addRoundedRect(bar.translated(0, 4).adjusted(-i, -i, i, i), kRadius + i, kRadius + i);
        painter.fillPath(ring, QColor::fromRgbF(0, 0, 0, float(0.45 * 0.12 * (1 - i / 11.0))));
    }
    QPainterPath shape;
    shape.addRoundedRect(bar, kRadius, kRadius);
    painter.fillPath(shape, Theme::panel());
    QPainterPath border;
    border.addRoundedRect(bar.adjusted(0.5, 0.5, -0.5, -0.5), kRadius - 0.5, kRadius - 0.5);
    painter.strokePath(border, QPen(Theme::withOpacity(Theme::accent(), 0.55), 1));
}

}  // namespace zelvane
