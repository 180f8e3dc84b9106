#include "panels/inspector/SignatureControls.h"

#include "Localization.h"
#include "VectorController.h"
#include "controls/TextButton.h"
#include "panels/inspector/ElementCommitField.h"
#include "panels/inspector/ElementEdits.h"
#include "panels/inspector/InspectorWidgets.h"

#include <QCheckBox>
#include <QVBoxLayout>

namespace zelvane {

SignatureControls::SignatureControls(VectorController& controller, QWidget* parent)
    : QWidget(parent), m_controller(controller)
{
    auto* column = InspectorWidgets::column(this, 8);

    m_ink = InspectorWidgets::inkToggle(this);
    connect(m_ink, &QCheckBox::clicked, this, [this](bool on) {
        ElementEdits::apply(
            m_controller, m_element.id, L("Fond de signature mis à jour", "Signature background updated"),
            ElementEdits::payloadChange<SignaturePayload>([on](SignaturePayload& p) { p.removeWhiteBackground = on; }));
    });
    column->addWidget(m_ink);

    m_drawn = new QWidget(this);
    auto* drawn = InspectorWidgets::column(m_drawn, 8);
    m_signer =
        new ElementCommitField(L("Nom du signataire", "Signer name"),
                               ElementEdits::payloadTextCommit<SignaturePayload>(
                                   controller, [](SignaturePayload& p, const QString& text) { p.signerName = text; }));
    drawn->addWidget(InspectorWidgets::fieldRow(L("Signataire", "Signer"), m_signer, m_drawn));
    // An empty caption is stored as an empty caption, not as none.
    m_caption =
        new ElementCommitField(L("Mention (optionnel)", "Caption (optional)"),
                               ElementEdits::payloadTextCommit<SignaturePayload>(
                                   controller, [](SignaturePayload& p, const QString& text) { p.caption = text; }));
    drawn->addWidget(InspectorWidgets::fieldRow(L("Mention", "Caption"), m_caption, m_drawn));
    m_save = new TextButton(
        L("Garder dans mes signatures", "Save to Signature Library"),
        [this] { m_controller.saveCustomSignature(m_element); }, m_drawn);
    m_save->setSymbol(QStringLiteral("star"));
    m_save->setCompact(true);
    drawn->addWidget(m_save, 0, Qt::AlignLeft);
    column->addWidget(m_drawn);
}

void SignatureControls::showElement(const VectorElement& element, const SignaturePayload& payload)
{
    m_element = element;
    const bool fromFile = payload.assetData.has_value();
    m_ink->setVisible(fromFile);
    m_drawn->setVisible(!fromFile);
    m_ink->setChecked(payload.removeWhiteBackground);
    m_signer->showElement(element.id, payload.signerName);
    m_caption->showElement(element.id, payload.caption.value_or(QString()));
}

}  // namespace zelvane
