#include "panels/inspector/ElementSliderRow.h"

#include "VectorController.h"
#include "operations/VectorOperations.h"
#include "panels/inspector/DoubleSlider.h"
#include "theme/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <algorithm>

namespace zelvane {

ElementSliderRow::ElementSliderRow(VectorController& controller, Options options, QWidget* parent)
    : QWidget(parent),
      m_controller(controller),
      m_options(std::move(options)),
      m_slider(new DoubleSlider(m_options.minimum, m_options.maximum, this)),
      m_readout(new QLabel(this))
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    auto* label = new QLabel(m_options.label, this);
    label->setFont(Theme::font(11));
    label->setStyleSheet(QStringLiteral("color: %1;").arg(Theme::textDim().name()));
    if (m_options.labelWidth > 0)
        label->setFixedWidth(m_options.labelWidth);
    layout->addWidget(label);
    layout->addWidget(m_slider, 1);
    m_readout->setFont(Theme::font(10.5, QFont::Normal, true));
    m_readout->setStyleSheet(QStringLiteral("color: %1;").arg(m_options.readoutColor.name()));
    m_readout->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_readout->setMinimumWidth(m_options.readoutWidth);
    layout->addWidget(m_readout);

    connect(m_slider, &DoubleSlider::gestureStarted, this, &ElementSliderRow::startGesture);
    connect(m_slider, &DoubleSlider::valueEdited, this, &ElementSliderRow::edit);
    connect(m_slider, &DoubleSlider::gestureEnded, this, &ElementSliderRow::endGesture);
    connect(&m_controller, &VectorController::gestureCancelled, this, [this](quint64 gesture) {
        if (gesture != 0 && gesture == m_gesture) {
            m_gesture = 0;
            m_dragDropped = true;
        }
    });
}

void ElementSliderRow::showValue(const QUuid& elementID, double value)
{
    m_elementID = elementID;
    m_readout->setText(m_options.format ? m_options.format(value) : QString::number(value));
    // The knob follows the hand while it drags.
    if (!m_slider->isSliderDown())
        m_slider->setDoubleValue(value);
}

void ElementSliderRow::startGesture()
{
    m_dragElement = m_elementID;
    m_dragPage = m_controller.currentPageIndex();
    m_gesture = 0;
    m_dragDropped = m_dragElement.isNull();
}

void ElementSliderRow::edit(double value)
{
    if (m_dragDropped)
        return;
    if (m_gesture == 0) {
        // The step is recorded at the first move, for an element still there.
        const QList<VectorPage>& pages = m_controller.document().pages;
        const bool present = m_dragPage >= 0 && m_dragPage < pages.size() &&
                             std::any_of(pages[m_dragPage].elements.cbegin(), pages[m_dragPage].elements.cend(),
                                         [this](const VectorElement& e) { return e.id == m_dragElement; });
        if (!present) {
            m_dragDropped = true;
            return;
        }
        m_gesture = m_controller.beginGesture();
    }
    const Write write = m_options.write;
    const QUuid id = m_dragElement;
    const qsizetype page = m_dragPage;
    const bool stored = m_controller.updateGesture(m_gesture, [&](VectorDocument& document) {
        VectorOperations::updateElement(id, page, document, [&](VectorElement& element) { write(element, value); });
    });
    if (!stored) {
        m_gesture = 0;
        m_dragDropped = true;
    }
}

void ElementSliderRow::endGesture()
{
    if (m_gesture != 0)
        m_controller.commitGesture(m_gesture);
    m_gesture = 0;
    m_dragDropped = true;
}

}  // namespace zelvane
