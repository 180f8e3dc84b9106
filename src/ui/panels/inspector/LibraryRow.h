#pragma once

#include "controls/HoverButton.h"

#include <QSize>
#include <QString>
#include <functional>

namespace zelvane {

// One entry of a library list in the inspector: a miniature on white, a
// title and a subtitle, and a symbol at the trailing end; the active row is
// filled with the selected lane colour and outlined in the accent. The
// whole rectangle takes the click.
class LibraryRow : public HoverButton {
    Q_OBJECT

public:
    using PreviewPainter = std::function<void(QPainter&, const QRectF&)>;

    LibraryRow(const QSize& previewSize, PreviewPainter preview, std::function<void()> action,
               QWidget* parent = nullptr);

    void setTitle(const QString& title);
    void setSubtitle(const QString& subtitle, double pointSize);
    const QString& title() const { return m_title; }
    const QString& subtitle() const { return m_subtitle; }
    bool active() const { return m_active; }
    void setActive(bool active);
    // The trailing symbol and its colour on the active and the other rows;
    // an empty symbol shows nothing.
    void setTrailingSymbols(const QString& activeSymbol, const QString& inactiveSymbol);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QSize m_previewSize;
    PreviewPainter m_preview;
    QString m_title;
    QString m_subtitle;
    double m_subtitleSize = 10;
    bool m_active = false;
    QString m_activeSymbol;
    QString m_inactiveSymbol;
};

}  // namespace zelvane
