#include "panels/inspector/InspectorWidgets.h"

#include "Localization.h"
#include "controls/FieldRow.h"
#include "theme/Theme.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace zelvane::InspectorWidgets {

QLabel* label(const QString& text, double size, const QColor& color, QWidget* parent, bool monospaced)
{
    auto* result = new QLabel(text, parent);
    result->setTextFormat(Qt::PlainText);
    result->setFont(Theme::font(size, QFont::Normal, monospaced));
    QPalette palette = result->palette();
    palette.setColor(QPalette::WindowText, color);
    result->setPalette(palette);
    return result;
}

FieldRow* fieldRow(const QString& label, QWidget* content, QWidget* parent)
{
    auto* row = new FieldRow(label, 78, content, parent);
    if (auto* layout = qobject_cast<QHBoxLayout*>(row->layout())) {
        const int index = layout->indexOf(content);
        if (index >= 0)
            layout->setStretch(index, 1);
        // The trailing free space is not needed once the content stretches.
        layout->setStretch(layout->count() - 1, 0);
    }
    return row;
}

QCheckBox* toggle(const QString& title, QWidget* parent)
{
    auto* box = new QCheckBox(title, parent);
    box->setFont(Theme::font(11));
    QPalette palette = box->palette();
    palette.setColor(QPalette::WindowText, Theme::text());
    // Fusion outlines the box in a darker shade of Window and fills it with
    // Base: on the dark panel the outline would vanish, so an unticked box
    // gets a mid-grey outline on a lighter fill.
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
        palette.setColor(group, QPalette::Window, Theme::textDim());
    palette.setColor(QPalette::Base, Theme::laneSelected());
    box->setPalette(palette);
    return box;
}

QCheckBox* inkToggle(QWidget* parent)
{
    return toggle(L("Détourer le fond blanc (mode encre)", "Remove white background (ink mode)"), parent);
}

QVBoxLayout* column(QWidget* owner, int spacing)
{
    auto* layout = new QVBoxLayout(owner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

}  // namespace zelvane::InspectorWidgets
