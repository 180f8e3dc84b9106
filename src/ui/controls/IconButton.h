#pragma once

#include "controls/HoverButton.h"

#include <QColor>
#include <QString>

namespace zelvane {

// A 26 × 24 symbol button with a tooltip, which also names it; when active it is filled with its
// tint. setEnabled(false) greys the symbol and ignores clicks.
class IconButton : public HoverButton {
    Q_OBJECT

public:
    IconButton(const QString& symbol, const QString& helpText, std::function<void()> action = {},
               QWidget* parent = nullptr);

    const QString& symbol() const { return m_symbol; }
    void setSymbol(const QString& symbol);
    // The tooltip.
    QString helpText() const { return toolTip(); }
    // Also the name the button goes by for assistive technologies.
    void setHelpText(const QString& text);
    bool active() const { return m_active; }
    void setActive(bool active);
    const QColor& tint() const { return m_tint; }
    void setTint(const QColor& tint);

    QColor backgroundColor() const;
    QColor foregroundColor() const;

    QSize sizeHint() const override { return QSize(26, 24); }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_symbol;
    bool m_active = false;
    QColor m_tint;
};

}  // namespace zelvane
