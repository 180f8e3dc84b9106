#pragma once

#include <QString>
#include <QWidget>

class QLabel;

namespace zelvane {

// A read-only badge: a short label and a value rounded to a whole number
// (halves away from zero), on a faint rounded fill that takes the width it
// is offered. A value with no whole number (not finite, or beyond a 64-bit
// integer) shows a dash.
class CoordinateBadge : public QWidget {
    Q_OBJECT

public:
    explicit CoordinateBadge(const QString& label, QWidget* parent = nullptr);

    void setValue(double value);
    QString valueText() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* m_label;
    QLabel* m_value;
};

}  // namespace zelvane
