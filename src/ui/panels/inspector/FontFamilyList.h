#pragma once

#include <QComboBox>
#include <QStringList>

namespace zelvane {

// The font menu of text elements: one entry per family, in plain text. The
// list is refilled only when it changes, so an open menu survives document
// changes; a family missing from the list selects nothing. Only the user's
// choice emits activated(); the wheel is left to the parents.
class FontFamilyList : public QComboBox {
    Q_OBJECT

public:
    explicit FontFamilyList(QWidget* parent = nullptr);

    // The installed free families, the element's own and the families registered
    // from PDFs: empty names dropped, duplicates removed, sorted by code
    // point (so upper case comes before lower case).
    static QStringList familyList(const QString& elementFamily, const QStringList& registeredFamilies);

    // Refills (when different) and selects `current`, without signals.
    void showFamilies(const QStringList& families, const QString& current);
    QStringList families() const { return m_families; }

protected:
    void wheelEvent(QWheelEvent* event) override;

private:
    QStringList m_families;
};

}  // namespace zelvane
