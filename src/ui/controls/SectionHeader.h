#pragma once

#include <QWidget>

class QLabel;

namespace zelvane {

// A section title shown in capitals, with an optional view at the right end
// and 2 points of space below. When the title and the view do not fit side
// by side (longer French texts in a narrow panel), the view goes below the
// title, at the right, rather than cutting the title.
class SectionHeader : public QWidget {
    Q_OBJECT

public:
    // Takes the trailing view, when given, as a child.
    explicit SectionHeader(const QString& title, QWidget* trailing = nullptr, QWidget* parent = nullptr);

    QLabel* titleLabel() const { return m_title; }
    QWidget* trailing() const { return m_trailing; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // Side by side when the width allows it, else one above the other.
    void arrange();

    QLabel* m_title;
    QWidget* m_trailing;
};

}  // namespace zelvane
