#include "panels/inspector/FontFamilyList.h"

#include "fonts/FontLookup.h"
#include "theme/Theme.h"

#include <QSet>
#include <QSignalBlocker>
#include <QWheelEvent>
#include <algorithm>

namespace zelvane {

FontFamilyList::FontFamilyList(QWidget* parent) : QComboBox(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setFont(Theme::font(11.5));
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(8);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QStringList FontFamilyList::familyList(const QString& elementFamily, const QStringList& registeredFamilies)
{
    // The free families installed here, the element's own (a document may
    // name a family this machine draws with a substitute) and the fonts of
    // the open PDF files.
    QStringList names = fonts::offeredTextFamilies();
    names.append(elementFamily);
    names += registeredFamilies;
    QStringList result;
    QSet<QString> seen;
    for (const QString& name : std::as_const(names)) {
        // Only the truly empty name goes; one made of spaces stays.
        if (name.isEmpty() || seen.contains(name))
            continue;
        seen.insert(name);
        result.append(name);
    }
    // By code point after canonical composition, case-sensitive; the
    // entries keep their own spelling.
    std::stable_sort(result.begin(), result.end(), [](const QString& a, const QString& b) {
        return a.normalized(QString::NormalizationForm_C).toUcs4() <
               b.normalized(QString::NormalizationForm_C).toUcs4();
    });
    return result;
}

void FontFamilyList::showFamilies(const QStringList& families, const QString& current)
{
    const QSignalBlocker blocker(this);
    if (families != m_families) {
        m_families = families;
        clear();
        addItems(families);
    }
    setCurrentIndex(int(families.indexOf(current)));
}

void FontFamilyList::wheelEvent(QWheelEvent* event)
{
    event->ignore();
}

}  // namespace zelvane
