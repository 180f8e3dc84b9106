#pragma once

#include <QWidget>

class QLabel;

namespace zelvane {

// A label column of a fixed width, then the content 8 points after it, then
// free space: the row takes the full width offered.
class FieldRow : public QWidget {
    Q_OBJECT

public:
    // Takes the content as a child.
    FieldRow(const QString& label, int labelWidth, QWidget* content, QWidget* parent = nullptr);

    QLabel* labelWidget() const { return m_label; }
    QWidget* content() const { return m_content; }

private:
    QLabel* m_label;
    QWidget* m_content;
};

}  // namespace zelvane
