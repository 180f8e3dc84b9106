#include "theme/Theme.h"

#include "model/VectorElement.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <algorithm>

namespace zelvane::Theme {

namespace {

QColor rgb(int red, int green, int blue)
{
    return QColor::fromRgb(red, green, blue);
}

}  // namespace

QColor background() { return rgb(0x11, 0x13, 0x17); }
QColor panel() { return rgb(0x16, 0x19, 0x1E); }
QColor lane() { return rgb(0x18, 0x1B, 0x21); }
QColor laneAlt() { return rgb(0x1B, 0x1F, 0x26); }
QColor laneSelected() { return rgb(0x1F, 0x25, 0x30); }
QColor header() { return rgb(0x14, 0x17, 0x1C); }
QColor separator() { return rgb(0x0B, 0x0C, 0x0F); }
QColor text() { return rgb(0xE6, 0xE8, 0xEC); }
QColor textDim() { return rgb(0x8A, 0x91, 0x9E); }
QColor textFaint() { return rgb(0x56, 0x5D, 0x6A); }
QColor accent() { return rgb(0xFF, 0xB4, 0x54); }
QColor alive() { return rgb(0x9E, 0xCE, 0x6A); }
QColor standby() { return rgb(0x7A, 0xA2, 0xF7); }
QColor tcp() { return rgb(0x5C, 0xE1, 0xE6); }
QColor osc() { return rgb(0xC7, 0x92, 0xEA); }
QColor warning() { return rgb(0xF2, 0xD9, 0x6B); }
QColor danger() { return rgb(0xFF, 0x5C, 0x57); }

QColor withOpacity(const QColor& color, double opacity)
{
    QColor result = color;
    result.setAlphaF(float(std::clamp(opacity, 0.0, 1.0)));
    return result;
}

QColor white(double opacity)
{
    return withOpacity(QColor(Qt::white), opacity);
}

QColor elementTint(const VectorElement& element)
{
    struct Tint {
        const VectorElement& element;
        QColor operator()(const TextPayload& text) const
        {
            if (!text.isPDFExtracted)
                return standby();
            return element.hasModifiedPDFText() ? alive() : tcp();
        }
        QColor operator()(const SignaturePayload&) const { return accent(); }
        QColor operator()(const PathPayload&) const { return osc(); }
        QColor operator()(const ShapePayload&) const { return alive(); }
        QColor operator()(const StampPayload&) const { return warning(); }
    };
    return std::visit(Tint{element}, element.kind);
}

QFont font(double size, QFont::Weight weight, bool monospaced)
{
    QFont result = monospaced ? QFontDatabase::systemFont(QFontDatabase::FixedFont) : QGuiApplication::font();
    result.setPointSizeF(size * 72.0 / 96.0);
    result.setWeight(weight);
    return result;
}

QPalette palette()
{
    QPalette p;
    const QColor base = panel();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const bool disabled = group == QPalette::Disabled;
        const QColor foreground = disabled ? textFaint() : text();
        p.setColor(group, QPalette::Window, background());
        p.setColor(group, QPalette::WindowText, foreground);
        p.setColor(group, QPalette::Base, base);
        p.setColor(group, QPalette::AlternateBase, laneAlt());
        p.setColor(group, QPalette::ToolTipBase, header());
        p.setColor(group, QPalette::ToolTipText, text());
        p.setColor(group, QPalette::PlaceholderText, textFaint());
        p.setColor(group, QPalette::Text, foreground);
        p.setColor(group, QPalette::Button, laneAlt());
        p.setColor(group, QPalette::ButtonText, foreground);
        p.setColor(group, QPalette::BrightText, danger());
        p.setColor(group, QPalette::Light, laneSelected());
        p.setColor(group, QPalette::Midlight, laneAlt());
        p.setColor(group, QPalette::Mid, lane());
        p.setColor(group, QPalette::Dark, separator());
        p.setColor(group, QPalette::Shadow, QColor(Qt::black));
        p.setColor(group, QPalette::Highlight, disabled ? laneSelected() : accent());
        p.setColor(group, QPalette::HighlightedText, background());
        p.setColor(group, QPalette::Link, standby());
        p.setColor(group, QPalette::LinkVisited, osc());
    }
    return p;
}

}  // namespace zelvane::Theme
