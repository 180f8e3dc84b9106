#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QFont>
#include <QLabel>
#include <QString>
#include <QWidget>
#include <functional>

class QKeyEvent;
class QPainter;
class QVBoxLayout;

// Small pieces shared by the manual, the shortcuts card, the about sheet,
// the remote-control guide and the settings page.
namespace zelvane {
struct AppVersion;
}

namespace zelvane::SheetParts {

// "v0.2.2", or "v0.2.2 (31)" with a build number.
QString versionLabel(const AppVersion& version);

// A plain-text label in the interface font; a wrapping one takes as many
// lines as it needs and never gives up height.
QLabel* label(const QString& text, double size, QFont::Weight weight, const QColor& color, bool wraps = false,
              bool monospaced = false);
void setTextColor(QWidget* widget, const QColor& color);

// A vertical box without margins.
QVBoxLayout* column(int spacing);

// Fills a capsule (round ends) with antialiasing.
void fillCapsule(QPainter& painter, const QRectF& area, const QColor& color);

// The symbol of a system name, tinted, in a square of `size` points.
QLabel* symbol(const QString& name, int size, const QColor& color);

// A widget that paints a continuous rounded rectangle (or a capsule when
// the radius is negative) behind its children, with an optional inner border.
class RoundedBox : public QWidget {
public:
    RoundedBox(const QColor& fill, double radius, QWidget* parent = nullptr);
    void setBorder(const QColor& color) { m_border = color; }
    void setFill(const QColor& fill)
    {
        m_fill = fill;
        update();
    }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_fill;
    QColor m_border;
    double m_radius;
};

// A borderless button drawing an optional symbol and its title in one
// colour, without a fill; the pointer turns into a hand over it.
class PlainButton : public QAbstractButton {
    Q_OBJECT

public:
    PlainButton(const QString& symbolName, const QString& title, double fontSize, const QColor& color,
                std::function<void()> action, QWidget* parent = nullptr);
    void setColor(const QColor& color);
    void setLabel(const QString& title);
    const QColor& color() const { return m_color; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_symbol;
    QFont m_font;
    QColor m_color;
};

// A standard push button that Tab reaches (Space presses it). The sheet's
// default button is drawn as such; Return itself is handled by the sheet.
QAbstractButton* pushButton(const QString& title, const char* objectName, std::function<void()> action,
                            bool isDefault = false);

// True for Return and Enter without modifiers other than the keypad's.
bool isReturn(const QKeyEvent* event);

// Clears the clipboard, then puts one plain string on it.
void copyPlainText(const QString& text);

// Gives a sheet of fixed width the height of its content.
void fitHeightToContent(QWidget* sheet, int width);

}  // namespace zelvane::SheetParts
