#include "panels/inspector/StampControls.h"

#include "Localization.h"
#include "VectorController.h"
#include "panels/inspector/ElementCommitField.h"
#include "panels/inspector/ElementEdits.h"
#include "panels/inspector/InspectorWidgets.h"

#include <QCheckBox>
#include <QVBoxLayout>

namespace zelvane {

StampControls::StampControls(VectorController& controller, QWidget* parent) : QWidget(parent), m_controller(controller)
{
    auto* column = InspectorWidgets::column(this, 8);

    m_ink = InspectorWidgets::inkToggle(this);
    connect(m_ink, &QCheckBox::clicked, this, [this](bool on) {
        ElementEdits::apply(
            m_controller, m_elementID, L("Fond du tampon mis à jour", "Stamp background updated"),
            ElementEdits::payloadChange<StampPayload>([on](StampPayload& p) { p.removeWhiteBackground = on; }));
    });
    column->addWidget(m_ink);

    m_builtIn = new QWidget(this);
    auto* builtIn = InspectorWidgets::column(m_builtIn, 8);
    m_title = new ElementCommitField(QStringLiteral("BON POUR ACCORD"),
                                     ElementEdits::payloadTextCommit<StampPayload>(
                                         controller, [](StampPayload& p, const QString& t) { p.title = t; }));
    builtIn->addWidget(InspectorWidgets::fieldRow(L("Titre", "Title"), m_title, m_builtIn));
    m_subtitle = new ElementCommitField(L("Date ou mention", "Date or caption"),
                                        ElementEdits::payloadTextCommit<StampPayload>(
                                            controller, [](StampPayload& p, const QString& t) { p.subtitle = t; }));
    builtIn->addWidget(InspectorWidgets::fieldRow(L("Sous-titre", "Subtitle"), m_subtitle, m_builtIn));
    column->addWidget(m_builtIn);
}

void StampControls::showElement(const VectorElement& element, const StampPayload& payload)
{
    m_elementID = element.id;
    const bool fromFile = payload.assetData.has_value();
    m_ink->setVisible(fromFile);
    m_builtIn->setVisible(!fromFile);
    m_ink->setChecked(payload.removeWhiteBackground);
    m_title->showElement(element.id, payload.title);
    m_subtitle->showElement(element.id, payload.subtitle);
}

}  // namespace zelvane
