#pragma once

#include <QSlider>

namespace zelvane {

// A horizontal slider over a range of doubles, on a QSlider scaled to
// integer steps. A value set from outside is clamped into the range before
// any integer conversion (not-a-number puts the knob at the minimum) and
// emits nothing, so showing a value never writes it back. Only the user's
// moves emit valueEdited(); a press, what it moves and its release are
// framed by gestureStarted() and gestureEnded(), while a key press is a
// gesture of its own (started,
// edited, ended at once). The mouse wheel is left to the parents, so
// scrolling a panel over the slider never moves it.
class DoubleSlider : public QSlider {
    Q_OBJECT

public:
    DoubleSlider(double minimum, double maximum, QWidget* parent = nullptr);

    double minimumValue() const { return m_minimum; }
    double maximumValue() const { return m_maximum; }
    // Where the knob stands, as a value of the range.
    double doubleValue() const;
    // Moves the knob to the value, clamped; no signal.
    void setDoubleValue(double value);

    // The knob position for a value: clamped, not-a-number at the minimum.
    int positionForValue(double value) const;
    double valueForPosition(int position) const;
    // Where the knob is drawn, in the slider's coordinates.
    QRect handleRect() const;

signals:
    void gestureStarted();
    void valueEdited(double value);
    void gestureEnded();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void onValueChanged(int position);
    void endMouseGesture();

    // From a press anywhere on the slider (the knob or the track, whose
    // jumps and repeats belong to the same gesture) to its release.
    bool m_mouseGesture = false;

    double m_minimum;
    double m_maximum;
};

}  // namespace zelvane
