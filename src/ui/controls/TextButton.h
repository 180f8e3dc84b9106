#pragma once

#include "controls/HoverButton.h"

#include <QColor>
#include <QString>
#include <optional>

namespace zelvane {

// A compact labelled button: an optional symbol and a one-line title on a
// rounded fill. Its colour is the tint when given, else danger when
// destructive, else accent; prominent and destructive buttons are filled
// with it. setEnabled(false) greys it out and ignores clicks.
class TextButton : public HoverButton {
    Q_OBJECT

public:
    explicit TextButton(const QString& title = {}, std::function<void()> action = {}, QWidget* parent = nullptr);

    QString title() const { return text(); }
    void setTitle(const QString& title);
    const std::optional<QString>& symbol() const { return m_symbol; }
    void setSymbol(const std::optional<QString>& symbol);
    bool prominent() const { return m_prominent; }
    void setProminent(bool prominent);
    bool destructive() const { return m_destructive; }
    void setDestructive(bool destructive);
    const std::optional<QColor>& tint() const { return m_tint; }
    void setTint(const std::optional<QColor>& tint);
    bool compact() const { return m_compact; }
    void setCompact(bool compact);

    // The colours it draws with now, hover included.
    QColor backgroundColor() const;
    QColor foregroundColor() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor buttonColor() const;
    QFont titleFont() const;
    int symbolSize() const;
    void relayout();

    std::optional<QString> m_symbol;
    bool m_prominent = false;
    bool m_destructive = false;
    std::optional<QColor> m_tint;
    bool m_compact = false;
};

}  // namespace zelvane
