#pragma once

#include <QList>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

class QAbstractButton;

namespace zelvane {

// One colour the inspector offers: "#" and six upper-case hex digits, and
// its name in the language of the run's first use.
struct ColorSwatch {
    QString hex;
    QString name;
};

// A row of 18 × 18 colour buttons, one per swatch of the fixed palette,
// optionally preceded by a "none" button. The strip only reports the
// choice (an absent colour for none, else the swatch's hex as the palette
// holds it, also when it is already current); it never edits anything.
class ColorSwatchStrip : public QWidget {
    Q_OBJECT

public:
    using OnSelect = std::function<void(const std::optional<QString>&)>;

    // The fixed palette, built on first use; its names keep the language of
    // that moment for the rest of the run.
    static const QList<ColorSwatch>& swatches();

    ColorSwatchStrip(bool allowNone, OnSelect onSelect, QWidget* parent = nullptr);

    // The colour in use now: the swatch whose hex equals it ignoring letter
    // case is outlined; absent highlights the none button.
    void setCurrentHex(const std::optional<QString>& hex);
    const std::optional<QString>& currentHex() const { return m_currentHex; }

    // Index of the outlined swatch, or -1.
    int currentSwatchIndex() const;
    bool noneHighlighted() const { return m_allowNone && !m_currentHex; }

    // The none button (null without one) and the swatch buttons in palette order.
    QAbstractButton* noneButton() const { return m_noneButton; }
    QAbstractButton* swatchButton(int index) const { return m_swatchButtons.value(index); }

private:
    bool m_allowNone;
    OnSelect m_onSelect;
    std::optional<QString> m_currentHex;
    QAbstractButton* m_noneButton = nullptr;
    QList<QAbstractButton*> m_swatchButtons;
};

}  // namespace zelvane
