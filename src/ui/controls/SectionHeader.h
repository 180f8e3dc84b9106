#pragma once

#include <QWidget>

class QLabel;

namespace zelvane {

// A section title shown in capitals, with an optional view at the right end
// and 2 points of space below.
class SectionHeader : public QWidget {
    Q_OBJECT

public:
    // Takes the trailing view, when given, as a child.
    explicit SectionHeader(const QString& title, QWidget* trailing = nullptr, QWidget* parent = nullptr);

    QLabel* titleLabel() const { return m_title; }
    QWidget* trailing() const { return m_trailing; }

private:
    QLabel* m_title;
    QWidget* m_trailing;
};

}  // namespace zelvane
