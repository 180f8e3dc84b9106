#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>

namespace zelvane {

struct VectorElement;

// The fixed dark palette of the whole interface. Every colour is opaque
// sRGB with whole byte components.
namespace Theme {

QColor background();    // #111317: window and canvas surround
QColor panel();         // #16191E
QColor lane();          // #181B21
QColor laneAlt();       // #1B1F26
QColor laneSelected();  // #1F2530
QColor header();        // #14171C
QColor separator();     // #0B0C0F: one-point dividers beside the panels
QColor text();          // #E6E8EC
QColor textDim();       // #8A919E
QColor textFaint();     // #565D6A
QColor accent();        // #FFB454: also the drop outline
QColor alive();         // #9ECE6A
QColor standby();       // #7AA2F7
QColor tcp();           // #5CE1E6
QColor osc();           // #C792EA
QColor warning();       // #F2D96B
QColor danger();        // #FF5C57

// A colour at the given opacity (0...1).
QColor withOpacity(const QColor& color, double opacity);
// White at the given opacity, for the controls' faint fills and borders.
QColor white(double opacity);

// The identifying colour of an element in the panels: signatures accent,
// paths osc, shapes alive, stamps warning; text standby, an untouched PDF
// line tcp and an edited one alive.
QColor elementTint(const VectorElement& element);

// The interface font at a size in points of a 96 dpi screen (one point is
// one pixel there), optionally in its monospaced design.
QFont font(double size, QFont::Weight weight = QFont::Normal, bool monospaced = false);

// The application palette for the Fusion style.
QPalette palette();

}  // namespace Theme

}  // namespace zelvane
