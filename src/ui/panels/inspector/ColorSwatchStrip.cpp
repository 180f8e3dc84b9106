#include "panels/inspector/ColorSwatchStrip.h"

#include "Localization.h"
#include "controls/SymbolIcon.h"
#include "model/RGBAColor.h"
#include "theme/Theme.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>

namespace zelvane {

namespace {

constexpr int kSide = 18;

// One chrome-less 18 × 18 square: a colour with its border, or the none
// button's faint square with a crossed circle.
class SwatchButton : public QAbstractButton {
public:
    SwatchButton(std::optional<QColor> fill, QWidget* parent) : QAbstractButton(parent), m_fill(fill)
    {
        setFixedSize(kSide, kSide);
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::TabFocus);
    }

    void setHighlighted(bool highlighted)
    {
        if (m_highlighted == highlighted)
            return;
        m_highlighted = highlighted;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF square(0, 0, kSide, kSide);
        if (!m_fill) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(Theme::white(0.06));
            painter.drawRoundedRect(square, 4, 4);
            drawCrossedCircle(painter, m_highlighted ? Theme::accent() : Theme::textFaint());
            return;
        }
        painter.setPen(Qt::NoPen);
        painter.setBrush(*m_fill);
        painter.drawRoundedRect(square, 4, 4);
        // The border lies inside the square.
        const double width = m_highlighted ? 2.0 : 0.8;
        painter.setPen(QPen(m_highlighted ? Theme::accent() : Theme::white(0.25), width));
        painter.setBrush(Qt::NoBrush);
        const double inset = width / 2;
        painter.drawRoundedRect(square.adjusted(inset, inset, -inset, -inset), 4 - inset, 4 - inset);
    }

private:
    static void drawCrossedCircle(QPainter& painter, const QColor& color)
    {
        painter.setPen(QPen(color, 1.3));
        painter.setBrush(Qt::NoBrush);
        const QPointF centre(kSide / 2.0, kSide / 2.0);
        const double radius = 5.0;
        painter.drawEllipse(centre, radius, radius);
        const double d = radius * 0.7071;
        painter.drawLine(QPointF(centre.x() - d, centre.y() + d), QPointF(centre.x() + d, centre.y() - d));
    }

    std::optional<QColor> m_fill;
    bool m_highlighted = false;
};

QColor swatchColor(const QString& hex)
{
    // The colour at full opacity; an unreadable text shows black.
    const std::optional<RGBAColor> color = RGBAColor::fromHex(hex);
    if (!color)
        return QColor(0, 0, 0);
    return QColor::fromRgbF(float(color->r), float(color->g), float(color->b), 1.0f);
}

}  // namespace

const QList<ColorSwatch>& ColorSwatchStrip::swatches()
{
    static const QList<ColorSwatch> table{
        {QStringLiteral("#111317"), L("Noir", "Black")},
        {QStringLiteral("#1E3A8A"), L("Bleu encre", "Ink Blue")},
        {QStringLiteral("#0F766E"), L("Vert sarcelle", "Teal")},
        {QStringLiteral("#16A34A"), L("Vert accord", "Green")},
        {QStringLiteral("#D97706"), L("Ambre", "Amber")},
        {QStringLiteral("#DC2626"), L("Rouge", "Red")},
        {QStringLiteral("#7C3AED"), L("Violet", "Violet")},
        {QStringLiteral("#DBEAFE"), L("Bleu clair", "Light Blue")},
        {QStringLiteral("#FEF3C7"), L("Jaune pâle", "Soft Yellow")},
        {QStringLiteral("#F3F4F6"), L("Gris clair", "Light Gray")},
        {QStringLiteral("#FFFFFF"), L("Blanc", "White")},
    };
    return table;
}

ColorSwatchStrip::ColorSwatchStrip(bool allowNone, OnSelect onSelect, QWidget* parent)
    : QWidget(parent), m_allowNone(allowNone), m_onSelect(std::move(onSelect))
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(5);
    if (allowNone) {
        auto* none = new SwatchButton(std::nullopt, this);
        none->setToolTip(L("Aucun / Transparent", "None / Transparent"));
        connect(none, &QAbstractButton::clicked, this, [this] {
            const OnSelect select = m_onSelect;
            if (select)
                select(std::nullopt);
        });
        layout->addWidget(none);
        m_noneButton = none;
    }
    for (const ColorSwatch& swatch : swatches()) {
        auto* button = new SwatchButton(swatchColor(swatch.hex), this);
        button->setToolTip(swatch.name + QStringLiteral(" (") + swatch.hex + QStringLiteral(")"));
        const QString hex = swatch.hex;
        connect(button, &QAbstractButton::clicked, this, [this, hex] {
            const OnSelect select = m_onSelect;
            if (select)
                select(hex);
        });
        layout->addWidget(button);
        m_swatchButtons.append(button);
    }
    layout->addStretch(1);
    setCurrentHex(std::nullopt);
}

int ColorSwatchStrip::currentSwatchIndex() const
{
    if (!m_currentHex)
        return -1;
    // Letter case aside, character for character: "#FFF" is no swatch.
    const QString wanted = m_currentHex->toUpper();
    const QList<ColorSwatch>& table = swatches();
    for (int i = 0; i < table.size(); ++i) {
        if (table[i].hex.toUpper() == wanted)
            return i;
    }
    return -1;
}

void ColorSwatchStrip::setCurrentHex(const std::optional<QString>& hex)
{
    m_currentHex = hex;
    const int current = currentSwatchIndex();
    for (int i = 0; i < m_swatchButtons.size(); ++i)
        static_cast<SwatchButton*>(m_swatchButtons[i])->setHighlighted(i == current);
    if (m_noneButton)
        static_cast<SwatchButton*>(m_noneButton)->setHighlighted(noneHighlighted());
}

}  // namespace zelvane
