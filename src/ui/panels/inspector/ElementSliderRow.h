#pragma once

#include "model/VectorElement.h"

#include <QColor>
#include <QString>
#include <QUuid>
#include <QWidget>
#include <functional>

class QLabel;

namespace zelvane {

class DoubleSlider;
class VectorController;

// A label, a slider and a readout that edit one value of the shown element.
// A drag (or one key press) is one undo step through the controller's
// gesture; a press without movement records nothing. The knob shows the
// element's value clamped into the range, the readout the true value, and
// showing a value never writes it.
class ElementSliderRow : public QWidget {
    Q_OBJECT

public:
    using Format = std::function<QString(double)>;
    using Write = std::function<void(VectorElement&, double)>;

    struct Options {
        QString label;
        // 0: the label takes its own width.
        int labelWidth = 0;
        double minimum = 0;
        double maximum = 1;
        Format format;
        int readoutWidth = 44;
        QColor readoutColor;
        Write write;
    };

    ElementSliderRow(VectorController& controller, Options options, QWidget* parent = nullptr);

    void showValue(const QUuid& elementID, double value);

    DoubleSlider* slider() const { return m_slider; }
    QLabel* readout() const { return m_readout; }

private:
    void startGesture();
    void edit(double value);
    void endGesture();

    VectorController& m_controller;
    Options m_options;
    DoubleSlider* m_slider;
    QLabel* m_readout;
    QUuid m_elementID;
    // The element and page a running drag writes to.
    QUuid m_dragElement;
    qsizetype m_dragPage = -1;
    quint64 m_gesture = 0;
    bool m_dragDropped = true;
};

}  // namespace zelvane
