#include "panels/inspector/SelectedElementSection.h"

#include "Localization.h"
#include "VectorController.h"
#include "controls/Chip.h"
#include "controls/IconButton.h"
#include "controls/SectionHeader.h"
#include "controls/TextButton.h"
#include "operations/VectorOperations.h"
#include "panels/inspector/ColorSwatchStrip.h"
#include "panels/inspector/CoordinateBadge.h"
#include "panels/inspector/ElementCommitField.h"
#include "panels/inspector/ElementEdits.h"
#include "panels/inspector/ElementSliderRow.h"
#include "panels/inspector/InspectorFormat.h"
#include "panels/inspector/InspectorWidgets.h"
#include "panels/inspector/ProportionalSize.h"
#include "panels/inspector/ShapeControls.h"
#include "panels/inspector/SignatureControls.h"
#include "panels/inspector/StampControls.h"
#include "panels/inspector/TextControls.h"
#include "theme/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace zelvane {

namespace {

// A caption above a swatch strip, 5 points apart.
QWidget* captioned(const QString& caption, QWidget* content, QWidget* parent)
{
    auto* box = new QWidget(parent);
    auto* column = InspectorWidgets::column(box, 5);
    column->addWidget(InspectorWidgets::label(caption, 10.5, Theme::textDim(), box));
    content->setParent(box);
    column->addWidget(content);
    return box;
}

}  // namespace

SelectedElementSection::SelectedElementSection(VectorController& controller, QWidget* parent)
    : QWidget(parent), m_controller(controller)
{
    auto* column = InspectorWidgets::column(this, 10);

    // 1-2. Kind and name.
    m_chip = new Chip(QString(), Theme::accent(), true);
    column->addWidget(new SectionHeader(L("Élément sélectionné", "Selected Element"), m_chip, this));
    m_name = new ElementCommitField(
        L("Nom du calque", "Layer name"), [this](const QUuid& target, bool draft, const QString& text) {
            const auto change = [text](VectorElement& element) { element.name = text; };
            ElementEdits::commitField(m_controller, target, draft, QString(), change);
        });
    m_name->setObjectName(QStringLiteral("elementNameField"));
    column->addWidget(InspectorWidgets::fieldRow(L("Nom", "Name"), m_name, this));

    // 3. The kind's own controls.
    m_kindStack = new QStackedWidget(this);
    m_noControls = new QWidget(m_kindStack);
    m_text = new TextControls(controller, m_kindStack);
    m_signature = new SignatureControls(controller, m_kindStack);
    m_shape = new ShapeControls(controller, m_kindStack);
    m_stamp = new StampControls(controller, m_kindStack);
    for (QWidget* page : {m_noControls, static_cast<QWidget*>(m_text), static_cast<QWidget*>(m_signature),
                          static_cast<QWidget*>(m_shape), static_cast<QWidget*>(m_stamp)})
        m_kindStack->addWidget(page);
    column->addWidget(m_kindStack);

    // 4-7. Colours and stroke width.
    column->addWidget(new SectionHeader(L("Style & Couleurs", "Style & Colors"), nullptr, this));
    m_stroke = new ColorSwatchStrip(true, [this](const std::optional<QString>& hex) {
        ElementEdits::apply(m_controller, m_elementID, QString(),
                            [hex](VectorElement& element) { element.style.strokeColorHex = hex; });
    });
    column->addWidget(captioned(L("Contour / Encre", "Stroke / Ink"), m_stroke, this));
    m_fill = new ColorSwatchStrip(true, [this](const std::optional<QString>& hex) {
        ElementEdits::apply(m_controller, m_elementID, QString(),
                            [hex](VectorElement& element) { element.style.fillColorHex = hex; });
    });
    column->addWidget(captioned(L("Remplissage / Texte", "Fill / Text"), m_fill, this));
    m_strokeWidth = new ElementSliderRow(
        controller,
        {L("Trait", "Width"), 48, 0, 10, &InspectorFormat::pointsOneDecimal, 44, Theme::textDim(),
         [](VectorElement& element, double value) { element.style.strokeWidth = value; }},
        this);
    m_strokeWidth->setObjectName(QStringLiteral("strokeWidthRow"));
    column->addWidget(m_strokeWidth);

    // 8-10. Geometry.
    column->addWidget(new SectionHeader(L("Géométrie, Rotation & Ordre", "Geometry, Rotation & Order"), nullptr, this));
    auto* badges = new QHBoxLayout;
    badges->setSpacing(6);
    for (const char* letter : {"X", "Y", "L", "H"}) {
        auto* badge = new CoordinateBadge(QString::fromLatin1(letter), this);
        badges->addWidget(badge);
        m_badges.append(badge);
    }
    column->addLayout(badges);
    m_size = new ElementSliderRow(controller,
                                  {L("Taille", "Size"), 52, 36, 420, &InspectorFormat::wholePoints, 42, Theme::text(),
                                   [](VectorElement& element, double value) {
                                       element.frame = proportionalSizeFrame(element.frame, value);
                                   }},
                                  this);
    m_size->setObjectName(QStringLiteral("sizeRow"));
    column->addWidget(m_size);

    // 11. Rotation.
    m_rotation = new ElementSliderRow(
        controller,
        {L("Rotation", "Angle"), 52, -180, 180, &InspectorFormat::signedDegrees, 42, Theme::text(),
         [](VectorElement& element, double value) { element.rotationDegrees = value; }},
        this);
    m_rotation->setObjectName(QStringLiteral("rotationRow"));
    auto* rotation = new QVBoxLayout;
    rotation->setSpacing(5);
    rotation->addWidget(m_rotation);
    auto* steps = new QHBoxLayout;
    steps->setSpacing(5);
    const auto addButton = [this](QHBoxLayout* row, const QString& title, std::function<void()> action) {
        auto* button = new TextButton(title, std::move(action), this);
        button->setCompact(true);
        row->addWidget(button);
        m_buttons.append(button);
        return button;
    };
    addButton(steps, QStringLiteral("-15°"), [this] {
        rotate(L("Rotation -15°", "Rotated -15°"), [](double r) { return r - 15 < -180 ? r - 15 + 360 : r - 15; });
    });
    addButton(steps, QStringLiteral("0°"),
              [this] { rotate(L("Rotation réinitialisée (0°)", "Rotation reset (0°)"), [](double) { return 0.0; }); });
    addButton(steps, QStringLiteral("+15°"), [this] {
        rotate(L("Rotation +15°", "Rotated +15°"), [](double r) { return r + 15 > 180 ? r + 15 - 360 : r + 15; });
    });
    addButton(steps, QStringLiteral("90°"), [this] {
        rotate(L("Rotation +90°", "Rotated +90°"), [](double r) { return r + 90 > 180 ? r + 90 - 360 : r + 90; });
    })->setSymbol(QStringLiteral("rotate.right"));
    steps->addStretch(1);
    rotation->addLayout(steps);
    column->addLayout(rotation);

    // 12. Order, duplicate, delete.
    auto* order = new QHBoxLayout;
    order->setSpacing(6);
    addButton(order, L("1er plan", "Front"), [this] {
        const QUuid id = m_elementID;
        m_controller.perform(L("Mis au premier plan", "Brought to front"), [&](VectorDocument& document) {
            VectorOperations::bringToFront({id}, m_controller.currentPageIndex(), document);
        });
    })->setSymbol(QStringLiteral("square.3.layers.3d.top.filled"));
    addButton(order, L("Arrière", "Back"), [this] {
        const QUuid id = m_elementID;
        m_controller.perform(L("Mis à l'arrière-plan", "Sent to back"), [&](VectorDocument& document) {
            VectorOperations::sendToBack({id}, m_controller.currentPageIndex(), document);
        });
    })->setSymbol(QStringLiteral("square.3.layers.3d.bottom.filled"));
    addButton(order, L("Dupliquer", "Duplicate"), [this] { m_controller.duplicateSelectedElements(); })
        ->setSymbol(QStringLiteral("plus.square.on.square"));
    order->addStretch(1);
    auto* trash = new IconButton(QStringLiteral("trash"), L("Supprimer la sélection (Del)", "Delete selection (Del)"),
                                 [this] { m_controller.deleteSelectedElements(); }, this);
    trash->setTint(Theme::danger());
    trash->setObjectName(QStringLiteral("deleteSelectionButton"));
    order->addWidget(trash);
    column->addLayout(order);
}

TextButton* SelectedElementSection::button(const QString& title) const
{
    for (TextButton* button : m_buttons) {
        if (button->title() == title)
            return button;
    }
    return nullptr;
}

void SelectedElementSection::rotate(const QString& label, const std::function<double(double)>& next)
{
    // From the angle the document holds now, not the one shown.
    ElementEdits::apply(m_controller, m_elementID, label,
                        [&next](VectorElement& element) { element.rotationDegrees = next(element.rotationDegrees); });
}

void SelectedElementSection::retargetFields(const QUuid& elementID)
{
    for (ElementCommitField* field : findChildren<ElementCommitField*>())
        field->retarget(elementID);
}

void SelectedElementSection::showKindPage(QWidget* page)
{
    // The stack takes the height of the page shown, not of the tallest.
    for (int i = 0; i < m_kindStack->count(); ++i) {
        QWidget* each = m_kindStack->widget(i);
        each->setSizePolicy(each == page ? QSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred)
                                         : QSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored));
    }
    m_kindStack->setCurrentWidget(page);
    m_kindStack->setVisible(page != m_noControls);
    m_kindStack->updateGeometry();
}

void SelectedElementSection::showElement(const VectorElement& element)
{
    retargetFields(element.id);
    m_elementID = element.id;

    m_chip->setText(element.typeBadge());
    m_chip->setTint(Theme::elementTint(element));
    m_name->showElement(element.id, element.name);

    if (const auto* text = std::get_if<TextPayload>(&element.kind)) {
        m_text->showElement(element, *text);
        showKindPage(m_text);
    } else if (const auto* signature = std::get_if<SignaturePayload>(&element.kind)) {
        m_signature->showElement(element, *signature);
        showKindPage(m_signature);
    } else if (const auto* shape = std::get_if<ShapePayload>(&element.kind)) {
        m_shape->showElement(element, *shape);
        showKindPage(m_shape);
    } else if (const auto* stamp = std::get_if<StampPayload>(&element.kind)) {
        m_stamp->showElement(element, *stamp);
        showKindPage(m_stamp);
    } else {
        showKindPage(m_noControls);
    }

    m_stroke->setCurrentHex(element.style.strokeColorHex);
    m_fill->setCurrentHex(element.style.fillColorHex);
    m_strokeWidth->showValue(element.id, element.style.strokeWidth);

    const double coordinates[] = {element.frame.x, element.frame.y, element.frame.width, element.frame.height};
    for (int i = 0; i < m_badges.size(); ++i)
        m_badges[i]->setValue(coordinates[i]);
    const bool sized = std::holds_alternative<SignaturePayload>(element.kind) ||
                       std::holds_alternative<StampPayload>(element.kind);
    m_size->setVisible(sized);
    m_size->showValue(element.id, element.frame.width);
    m_rotation->showValue(element.id, element.rotationDegrees);
}

}  // namespace zelvane
